#pragma once
// Running the mixora program from tests as a biologist's shell would: in a
// given folder, with no terminal anywhere (questions are answered No and
// progress comes as plain lines), capturing both output streams.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace mixora::testing_support {

struct CliResult {
  int exitCode = -1;
  std::string out;
  std::string err;

  // The last line the program wrote to standard error, without its end.
  std::string LastErrorLine() const {
    std::string text = err;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    const std::size_t at = text.rfind('\n');
    return at == std::string::npos ? text : text.substr(at + 1);
  }
};

inline std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char ch : text) quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
  return quoted + "'";
}

// Runs mixora with `arguments` (shell words, as typed) in folder. The
// streams are captured in two hidden files of the folder.
inline CliResult RunCliLine(const std::filesystem::path& folder, const std::string& arguments) {
  const std::filesystem::path out = folder / ".cli_out", err = folder / ".cli_err";
  const std::string command = "cd " + ShellQuote(folder.string()) + " && " +
                              ShellQuote(MIXORA_CLI_PATH) + " " + arguments + " >" +
                              ShellQuote(out.string()) + " 2>" + ShellQuote(err.string()) +
                              " </dev/null";
  const int status = std::system(command.c_str());
  CliResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadFileBytes(out);
  result.err = ReadFileBytes(err);
  return result;
}

// The same with each argument given on its own and quoted here.
inline CliResult RunCli(const std::filesystem::path& folder, const std::vector<std::string>& args) {
  std::string arguments;
  for (const std::string& arg : args) arguments += (arguments.empty() ? "" : " ") + ShellQuote(arg);
  return RunCliLine(folder, arguments);
}

}  // namespace mixora::testing_support
