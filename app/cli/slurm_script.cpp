#include "slurm_script.h"

#include <cctype>
#include <cstdio>
#include <utility>

namespace mixora {
namespace {

// One "#SBATCH" line per option whose value a directive can hold. The job
// and task numbers the output pattern asks for are ours; any other "%" is not.
void Directives(std::string& text, const std::vector<std::string>& options) {
  for (const std::string& option : options) {
    const std::size_t equals = option.find('=');
    std::string value = equals == std::string::npos ? "" : option.substr(equals + 1);
    if (option.rfind("--output=", 0) == 0)
      for (const char* ours : {"%A", "%a", "%j"})
        for (std::size_t at; (at = value.find(ours)) != std::string::npos;) value.replace(at, 2, "n");
    if (equals == std::string::npos || DirectiveSafe(value)) text += "#SBATCH " + option + "\n";
  }
}

std::string Numbers(const std::vector<ChainTask>& tasks, bool mixtures) {
  std::string list;
  for (const ChainTask& task : tasks)
    list += (list.empty() ? "" : " ") + std::to_string((mixtures ? task.mixture : task.chain) + 1);
  return list;
}

}  // namespace

bool DirectiveSafe(const std::string& value) {
  if (value.empty()) return false;
  for (unsigned char ch : value)
    if (!std::isalnum(ch) && std::string("._-+/:,=@").find(static_cast<char>(ch)) == std::string::npos)
      return false;
  return true;
}

std::string SlurmName(const std::string& text) {
  std::string name;
  for (unsigned char ch : text) {
    const bool keep = std::isalnum(ch) || ch == '.' || ch == '_' || ch == '-' || ch == '+';
    name += keep ? static_cast<char>(ch) : '_';
  }
  return name;
}

std::string SlurmPathProblem(const std::string& path) {
  for (std::size_t i = 0; i < path.size(); ++i) {
    const unsigned char ch = static_cast<unsigned char>(path[i]);
    if (ch < 0x20 || ch == 0x7f) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", ch);
      return std::string("holding ") +
             (ch == '\n' ? "a line break" : ch == '\t' ? "a tab" : "a control character") + " (" +
             code + ") at character " + std::to_string(i + 1) + ", which a job cannot be given safely";
    }
  }
  // A backslash anywhere in a log file's path makes Slurm write its "%"
  // patterns as they stand, so every task would share one file.
  const std::size_t backslash = path.find('\\');
  if (backslash != std::string::npos)
    return "holding a backslash at character " + std::to_string(backslash + 1) +
           ", which makes Slurm name every task's log file alike";
  // A job opens its folder and files by absolute path; the system refuses
  // paths of PATH_MAX (4096) bytes or more.
  if (path.size() >= 4000)
    return std::to_string(path.size()) + " characters long, and a job cannot open a path of 4096 or more";
  return "";
}

std::vector<std::string> SlurmJobOptions(const SlurmJobSettings& s, bool reportsJob) {
  std::vector<std::string> options = {"--chdir=" + s.runFolder};
  options.push_back("--job-name=" + (reportsJob ? s.jobName + "-reports" : s.jobName));
  // Slurm expands "%" patterns over the whole path of a log file, the
  // working folder included when the name is relative: the folder's own "%"
  // are written "%%".
  std::string folder;
  for (char ch : s.runFolder + "/" + s.logFolder) folder += ch == '%' ? std::string("%%") : std::string(1, ch);
  options.push_back("--output=" + folder + (reportsJob ? "/reports_%j.out" : "/chains_%A_%a.out"));
  for (const auto& [option, value] : {std::pair{"--partition", &s.partition}, {"--time", &s.time},
                                      {"--mem", &s.mem}, {"--account", &s.account}})
    if (!value->empty()) options.push_back(std::string(option) + "=" + *value);
  return options;
}

std::string ShellWord(const std::string& text) {
  std::string quoted = "'";
  for (char ch : text) quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
  return quoted + "'";
}

std::string ArrayRange(std::size_t n) {
  return n <= 1 ? "0" : "0-" + std::to_string(n - 1);
}

std::string BuildChainArrayScript(const SlurmJobSettings& s) {
  // Paths stay out of the comments: a line break in one would end the
  // comment and run the rest.
  std::string text = "#!/bin/bash\n";
  text += "# Written by `mixora submit`: the chains of the run control file below,\n";
  text += "# one task per mixture and chain.\n";
  Directives(text, SlurmJobOptions(s, false));
  text += "#SBATCH --array=" + ArrayRange(s.tasks.size()) + "\n";
  // B: the warning goes to this shell only, which passes it on as SIGTERM;
  // USR1 tells it apart from a cancel.
  text += "#SBATCH --signal=B:USR1@" + std::to_string(s.warningSeconds) + "\n";
  text += "#SBATCH --requeue\n";
  // A requeued task keeps the output of its earlier attempts.
  text += "#SBATCH --open-mode=append\n";
  text += "#SBATCH --ntasks=1\n";
  text += "#SBATCH --cpus-per-task=" + std::to_string(s.threadsPerChain > 1 ? s.threadsPerChain : 1) + "\n";
  text += "\n";
  text += "mixora=" + ShellWord(s.mixoraPath) + "\n";
  text += "rcf=" + ShellWord(s.rcfPath) + "\n";
  text += "mixtures=(" + Numbers(s.tasks, true) + ")\n";
  text += "chains=(" + Numbers(s.tasks, false) + ")\n";
  text += "mixture=${mixtures[$SLURM_ARRAY_TASK_ID]}\n";
  text += "chain=${chains[$SLURM_ARRAY_TASK_ID]}\n";
  text += "\n";
  text += "# mixora stops its chain after the current iteration on SIGTERM, with its\n";
  text += "# samples and restart file saved; the next start resumes it from there.\n";
  text += "requeue=0\n";
  text += "trap 'trapped=1; requeue=1; kill -TERM \"$pid\" 2>/dev/null' USR1\n";
  text += "trap 'trapped=1; kill -TERM \"$pid\" 2>/dev/null' TERM INT HUP\n";
  text += "echo \"mixora: mixture $mixture, chain $chain on $(hostname) at $(date)\"\n";
  text += "\"$mixora\" run \"$rcf\" --mixture \"$mixture\" --chains \"$chain\" --quiet";
  if (s.threadsPerChain > 1) text += " --threads-per-chain " + std::to_string(s.threadsPerChain);
  if (s.overwrite) text += " --overwrite";
  text += " &\n";
  text += "pid=$!\n";
  text += "# A trapped signal ends `wait` early; wait again for mixora's own status.\n";
  text += "status=\n";
  text += "last=\n";
  text += "until [ -n \"$status\" ]; do\n";
  text += "  trapped=0\n";
  text += "  wait \"$pid\"\n";
  text += "  rc=$?\n";
  text += "  if [ \"$trapped\" = 0 ]; then status=$rc; else last=$rc; fi\n";
  text += "  # The signal came after mixora ended: the status was the one before.\n";
  text += "  if [ \"$rc\" = 127 ] && [ -n \"$last\" ] && [ \"$last\" != 127 ]; then status=$last; fi\n";
  text += "done\n";
  text += "if [ \"$requeue\" = 1 ] && [ \"$status\" != 0 ]; then\n";
  text += "  echo \"mixora: the time limit is near; chain $chain of mixture $mixture is saved and \"\\\n";
  text += "       \"its task goes back to the queue to resume\"\n";
  text += "  scontrol requeue \"${SLURM_ARRAY_JOB_ID}_${SLURM_ARRAY_TASK_ID}\"\n";
  text += "fi\n";
  text += "exit \"$status\"\n";
  return text;
}

std::string BuildReportScript(const SlurmJobSettings& s) {
  std::string text = "#!/bin/bash\n";
  text += "# Written by `mixora submit`: every report and diagnostic of the run control\n";
  text += "# file below, once every chain task has succeeded.\n";
  Directives(text, SlurmJobOptions(s, true));
  text += "#SBATCH --ntasks=1\n";
  text += "\n";
  text += "mixora=" + ShellWord(s.mixoraPath) + "\n";
  text += "rcf=" + ShellWord(s.rcfPath) + "\n";
  text += "status=0\n";
  text += "for mixture in";
  for (int p : s.reportMixtures) text += " " + std::to_string(p + 1);
  text += "; do\n";
  if (s.oneChain) {
    for (const char* kind : {"compositions --by population", "compositions --by region",
                             "assignments", "raftery-lewis --by population",
                             "raftery-lewis --by region"})
      text += "  \"$mixora\" report \"$rcf\" --mixture \"$mixture\" --kind " + std::string(kind) +
              " --overwrite --quiet || status=1\n";
  } else {
    text += "  \"$mixora\" report \"$rcf\" --mixture \"$mixture\" --kind all --overwrite --quiet"
            " || status=1\n";
  }
  text += "done\n";
  text += "exit \"$status\"\n";
  return text;
}

std::string ParseJobId(const std::string& output) {
  std::size_t at = 0;
  while (at < output.size() && std::isspace(static_cast<unsigned char>(output[at]))) ++at;
  std::size_t end = at;
  while (end < output.size() && std::isdigit(static_cast<unsigned char>(output[end]))) ++end;
  if (end == at) return "";
  if (end < output.size() && output[end] != ';' &&
      !std::isspace(static_cast<unsigned char>(output[end])))
    return "";
  return output.substr(at, end - at);
}

}  // namespace mixora
