#include "slurm_script.h"

#include <cctype>

namespace mixora {
namespace {

void Directive(std::string& text, const std::string& option, const std::string& value) {
  if (!value.empty()) text += "#SBATCH " + option + "=" + value + "\n";
}

// The resource lines both scripts share.
void ResourceDirectives(std::string& text, const SlurmJobSettings& settings) {
  Directive(text, "--partition", settings.partition);
  Directive(text, "--time", settings.time);
  Directive(text, "--mem", settings.mem);
  Directive(text, "--account", settings.account);
}

std::string Numbers(const std::vector<ChainTask>& tasks, bool mixtures) {
  std::string list;
  for (const ChainTask& task : tasks)
    list += (list.empty() ? "" : " ") + std::to_string((mixtures ? task.mixture : task.chain) + 1);
  return list;
}

}  // namespace

std::string ShellWord(const std::string& text) {
  std::string quoted = "'";
  for (char ch : text) quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
  return quoted + "'";
}

std::string ArrayRange(std::size_t n) {
  return n <= 1 ? "0" : "0-" + std::to_string(n - 1);
}

std::string BuildChainArrayScript(const SlurmJobSettings& s) {
  std::string text = "#!/bin/bash\n";
  text += "# Written by `mixora submit`: the chains of " + s.rcfPath + ",\n";
  text += "# one task per mixture and chain.\n";
  Directive(text, "--job-name", s.jobName);
  Directive(text, "--array", ArrayRange(s.tasks.size()));
  Directive(text, "--output", s.logFolder + "/chains_%A_%a.out");
  // B: the warning goes to this shell only, which passes it on as SIGTERM;
  // USR1 tells it apart from a cancel.
  Directive(text, "--signal", "B:USR1@" + std::to_string(s.warningSeconds));
  text += "#SBATCH --requeue\n";
  // A requeued task keeps the output of its earlier attempts.
  Directive(text, "--open-mode", "append");
  Directive(text, "--ntasks", "1");
  Directive(text, "--cpus-per-task", std::to_string(s.threadsPerChain > 1 ? s.threadsPerChain : 1));
  ResourceDirectives(text, s);
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
  text += "# Written by `mixora submit`: every report and diagnostic of " + s.rcfPath + ",\n";
  text += "# once every chain task has succeeded.\n";
  Directive(text, "--job-name", s.jobName + "-reports");
  Directive(text, "--output", s.logFolder + "/reports_%j.out");
  Directive(text, "--ntasks", "1");
  ResourceDirectives(text, s);
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
