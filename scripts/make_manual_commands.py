#!/usr/bin/env python3
"""Writes docs/manual/commands.html from the program's own help texts, so the
manual lists every command with exactly the options the program takes.

    python3 scripts/make_manual_commands.py build/app/cli/mixora
"""
import html
import os
import re
import subprocess
import sys

HEAD = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Mixora manual: commands</title>
<link rel="stylesheet" href="manual.css">
</head>
<body>
<nav class="top"><a href="index.html">Contents</a> <a href="tutorial.html">Tutorial</a> <a href="commands.html">Commands</a> <a href="windows.html">Windows</a> <a href="formats.html">File formats</a> <a href="reading.html">Reading the results</a></nav>
<h1>The commands of the command line</h1>
<p>Every command is a sub-command of <code>mixora</code>: <code>mixora COMMAND [OPTIONS]</code>.
<code>mixora COMMAND --help</code> prints the same text as below. A command exits with status 0
only when it succeeded; errors go to standard error and name the file, the line or fish, and
the problem. Output that standard output cannot take (a full disk, a closed pipe) is a failure
too: the command exits with status 1 and its last line says so; a run saves and stops its
chains first, so that the next run resumes them.</p>
"""


def run(program, *args):
    out = subprocess.run([program, *args], capture_output=True, text=True)
    return out.stdout + out.stderr


def main():
    program = sys.argv[1]
    top = run(program, "--help")
    commands = []
    in_subs = False
    for line in top.splitlines():
        if line.strip().lower().startswith("subcommands"):
            in_subs = True
            continue
        if in_subs:
            m = re.match(r"\s+(\S+)\s+(.*)", line)
            if m:
                commands.append((m.group(1), m.group(2)))
            elif line.strip() == "":
                continue
            else:
                in_subs = False
    body = [HEAD, "<ul>"]
    for name, summary in commands:
        body.append('<li><a href="#%s"><code>%s</code></a>: %s</li>' % (name, name, html.escape(summary)))
    body.append("</ul>")
    for name, _ in commands:
        text = run(program, name, "--help").replace(program, "mixora")
        body.append('<h2 id="%s">mixora %s</h2>' % (name, name))
        body.append("<pre>%s</pre>" % html.escape(text.rstrip()))
    body.append("</body>\n</html>\n")
    target = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "docs", "manual", "commands.html")
    with open(target, "w") as out:
        out.write("\n".join(body))
    print("wrote %s: %d commands" % (os.path.normpath(target), len(commands)))


if __name__ == "__main__":
    main()
