// `mixora submit`: a run's chains as a Slurm job array, one task per mixture
// and chain, and its reports as a job that follows the array. Chains that
// have finished are left out, so submitting the same run again resumes only
// what is left.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "chain_list.h"
#include "cli_support.h"
#include "commands.h"
#include "run_file_argument.h"
#include "core/paths.h"
#include "core/atomic_file.h"
#include "sampler/run_status.h"
#include "slurm_script.h"

extern char** environ;

namespace mixora::cli {

namespace {

struct SubmitOptions {
  std::string rcfPath;
  int mixture = 0;  // from 1; 0 = the first
  bool all = false;
  std::string chains;
  int threadsPerChain = 1;
  std::string partition;
  std::string time;
  std::string mem;
  std::string account;
  std::vector<std::string> sbatchArgs;
  bool noReports = false;
  bool dryRun = false;
  bool overwrite = false;
};

// The full path of program on PATH, or "".
std::string FindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "";
  std::size_t from = 0;
  for (;;) {
    const std::size_t end = folders.find(':', from);
    std::string folder = folders.substr(from, end == std::string::npos ? std::string::npos : end - from);
    if (folder.empty()) folder = ".";
    const std::string candidate = folder + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    if (end == std::string::npos) return "";
    from = end + 1;
  }
}

// Runs the program with the arguments, its standard error passed through and
// its standard output returned in out. Returns its exit status, or -1 when it
// could not be started or did not exit normally.
int RunProgram(const std::vector<std::string>& args, std::string& out) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  // mixora ignores SIGPIPE; sbatch gets the default back.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  const int spawned = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeEnds[1]);
  if (spawned != 0) {
    ::close(pipeEnds[0]);
    return -1;
  }
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(pipeEnds[0], buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    out.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(pipeEnds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ThisProgram() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? "mixora" : self.string();
}

bool WriteScript(const std::string& path, const std::string& text) {
  const std::string temp = path + "." + std::to_string(::getpid()) + ".new";
  if (ReplaceFileAtomically(temp, path, reinterpret_cast<const uint8_t*>(text.data()),
                            text.size()) != 1) {
    PrintError("cannot write " + path + ": " + std::strerror(errno));
    return false;
  }
  ::chmod(path.c_str(), 0755);
  return true;
}

std::string CommandLine(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& arg : args) {
    const bool plain = arg.find_first_not_of(
                           "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_=:,./@%+") ==
                       std::string::npos;
    line += (line.empty() ? "" : " ") + (plain ? arg : ShellWord(arg));
  }
  return line;
}

// Submits the script; returns the job id, or "" (said why).
std::string Submit(const std::vector<std::string>& args) {
  std::string out;
  const int status = RunProgram(args, out);
  const std::string id = status == 0 ? ParseJobId(out) : "";
  if (id.empty())
    PrintError("sbatch failed" + (status > 0 ? " (exit status " + std::to_string(status) + ")" : "") +
               ": " + CommandLine(args));
  return id;
}

int RunSubmit(SubmitOptions& options) {
  std::error_code error;
  const std::filesystem::path rcf = std::filesystem::absolute(options.rcfPath, error);
  const std::string rcfPath = rcf.lexically_normal().string();
  // Checked first: such a path must not reach a script or sbatch at all.
  for (const std::string& path : {rcfPath, ThisProgram()}) {
    const std::string problem = SlurmPathProblem(path);
    if (!problem.empty()) {
      PrintError("cannot submit " + path + ": the path is " + problem +
                 "; move the run (or the program) to a folder whose path has no such character "
                 "and is shorter, and load it there");
      return 1;
    }
  }
  std::vector<int> chainList;
  std::string why;
  if (!options.chains.empty() && !ParseChainList(options.chains, chainList, why)) {
    PrintError(why);
    return 2;
  }
  if (options.threadsPerChain < 1) {
    PrintError("--threads-per-chain counts from 1");
    return 2;
  }
  const std::string sbatch = FindOnPath("sbatch");
  if (sbatch.empty() && !options.dryRun) {
    PrintError("sbatch was not found on the PATH: `mixora submit` hands the chains to a Slurm "
               "cluster and needs its client commands (run it on the cluster's login node, or "
               "use --dry-run to write the batch scripts without submitting them)");
    return 1;
  }

  CliOptions quiet;
  quiet.quiet = true;
  Interaction ui = MakeTerminalInteraction(quiet);
  // A missing file is named by the reader below, with its own words.
  if (const std::string problem =
          FileExists(options.rcfPath) ? RunFileArgumentProblem(options.rcfPath) : "";
      !problem.empty()) {
    PrintError(problem);
    return 1;
  }
  RunStatus status;
  const std::size_t mark = ShownProblemMark();
  if (!ReadRunStatus(rcfPath, ui, status)) {
    PrintError(WithCause("cannot read " + rcfPath, mark));
    return 1;
  }
  for (int c : chainList) {
    if (c >= status.numberOfChains) {
      PrintError("chain " + std::to_string(c + 1) + ": the run has " +
                 std::to_string(status.numberOfChains) + " chains");
      return 2;
    }
  }
  const int mixtureCount = static_cast<int>(status.mixtures.size());
  std::vector<int> mixtures;
  if (options.all) {
    for (const MixtureStatus& m : status.mixtures) {
      if (m.hasFish) mixtures.push_back(m.mixture);
      else PrintError("mixture " + std::to_string(m.mixture + 1) +
                      " is left out: every one of its fish was left out at load");
    }
  } else {
    const int p = options.mixture > 0 ? options.mixture - 1 : 0;
    if (p >= mixtureCount) {
      PrintError("mixture " + std::to_string(p + 1) + ": the run has " +
                 std::to_string(mixtureCount) + " mixtures");
      return 2;
    }
    if (!status.mixtures[p].hasFish) {
      PrintError("mixture " + std::to_string(p + 1) +
                 " cannot run: every one of its fish was left out at load");
      return 1;
    }
    mixtures.push_back(p);
  }
  if (mixtures.empty()) {
    PrintError("no mixture of " + rcfPath + " has fish that take part in the run");
    return 1;
  }

  SlurmJobSettings job;
  job.mixoraPath = ThisProgram();
  job.rcfPath = rcfPath;
  const std::string stem = rcf.stem().string();
  const std::filesystem::path folder = rcf.parent_path();
  job.runFolder = folder.string();
  job.jobName = "mixora-" + SlurmName(stem);
  job.logFolder = SlurmName(stem) + "_slurm";
  job.reportMixtures = mixtures;
  job.threadsPerChain = options.threadsPerChain;
  job.partition = options.partition;
  job.time = options.time;
  job.mem = options.mem;
  job.account = options.account;
  job.overwrite = options.overwrite;
  job.oneChain = status.numberOfChains < 2;
  int finished = 0;
  for (int p : mixtures) {
    for (const ChainStatus& chain : status.mixtures[p].chains) {
      if (!chainList.empty() &&
          std::find(chainList.begin(), chainList.end(), chain.chain) == chainList.end())
        continue;
      if (chain.state == ChainState::kFinished) {
        ++finished;
        continue;
      }
      if (chain.state == ChainState::kStale)
        PrintError("mixture " + std::to_string(p + 1) + ", chain " + std::to_string(chain.chain + 1) +
                   ": " + chain.problem + "; its task will fail" +
                   (options.overwrite ? " unless it can start afresh" : " (--overwrite lets it start afresh)"));
      if (chain.state == ChainState::kDamaged)
        PrintError("mixture " + std::to_string(p + 1) + ", chain " + std::to_string(chain.chain + 1) +
                   " is damaged (" + chain.problem + "); its task will fail" +
                   (options.overwrite ? " unless it can start afresh" : " (--overwrite lets it start afresh)"));
      job.tasks.push_back(ChainTask{p, chain.chain});
    }
  }

  const std::string chainScript = (folder / (stem + "_chains.sbatch")).string();
  const std::string reportScript = (folder / (stem + "_reports.sbatch")).string();
  const std::string logFolder = (folder / job.logFolder).string();
  std::filesystem::create_directories(logFolder, error);
  if (error) {
    PrintError("cannot create " + logFolder + ": " + error.message());
    return 1;
  }
  const bool withChains = !job.tasks.empty();
  const bool withReports = !options.noReports;
  if (withChains && !WriteScript(chainScript, BuildChainArrayScript(job))) return 1;
  if (withReports && !WriteScript(reportScript, BuildReportScript(job))) return 1;

  // The job's folder, name, log files and resources go on sbatch's command
  // line, which holds any path; the user's own options come last and win.
  std::vector<std::string> chainArgs = {sbatch.empty() ? "sbatch" : sbatch, "--parsable"};
  const std::vector<std::string> chainOptions = SlurmJobOptions(job, false);
  chainArgs.insert(chainArgs.end(), chainOptions.begin(), chainOptions.end());
  chainArgs.insert(chainArgs.end(), options.sbatchArgs.begin(), options.sbatchArgs.end());
  chainArgs.push_back(chainScript);
  auto reportArgs = [&](const std::string& after) {
    std::vector<std::string> args = {sbatch.empty() ? "sbatch" : sbatch, "--parsable"};
    if (!after.empty()) {
      args.push_back("--dependency=afterok:" + after);
      // Cancelled, not left pending for ever, when a chain task fails.
      args.push_back("--kill-on-invalid-dep=yes");
    }
    const std::vector<std::string> reportOptions = SlurmJobOptions(job, true);
    args.insert(args.end(), reportOptions.begin(), reportOptions.end());
    args.insert(args.end(), options.sbatchArgs.begin(), options.sbatchArgs.end());
    args.push_back(reportScript);
    return args;
  };

  std::cout << job.tasks.size() << " chain task" << (job.tasks.size() == 1 ? "" : "s") << " to run";
  if (finished > 0) std::cout << " (" << finished << " finished chain" << (finished == 1 ? "" : "s")
                              << " left out)";
  std::cout << "\n";
  if (options.dryRun) {
    if (withChains)
      std::cout << "\n" << chainScript << ":\n" << BuildChainArrayScript(job);
    if (withReports)
      std::cout << "\n" << reportScript << ":\n" << BuildReportScript(job);
    std::cout << "\nNot submitted (--dry-run). The commands would be:\n";
    if (withChains) std::cout << "  " << CommandLine(chainArgs) << "\n";
    if (withReports) std::cout << "  " << CommandLine(reportArgs(withChains ? "<chains job>" : "")) << "\n";
    std::cout << std::flush;
    return 0;
  }

  std::string chainsJob, reportsJob;
  if (withChains) {
    chainsJob = Submit(chainArgs);
    if (chainsJob.empty()) return 1;
    std::cout << "Chains: job array " << chainsJob << " (" << job.tasks.size() << " task"
              << (job.tasks.size() == 1 ? "" : "s") << "), script " << chainScript << "\n";
  } else {
    std::cout << "Every chain has finished; nothing to run.\n";
  }
  if (withReports) {
    reportsJob = Submit(reportArgs(chainsJob));
    if (reportsJob.empty()) {
      if (!chainsJob.empty())
        PrintError("the chains were submitted as job " + chainsJob +
                   " but the reports were not; run `mixora report " + rcfPath +
                   " --all` once the chains have finished");
      return 1;
    }
    std::cout << "Reports: job " << reportsJob
              << (chainsJob.empty() ? "" : ", when every chain task has succeeded") << ", script "
              << reportScript << "\n";
  }
  std::string jobs = chainsJob;
  if (!reportsJob.empty()) jobs += (jobs.empty() ? "" : ",") + reportsJob;
  std::cout << "Follow them with: squeue -j " << jobs << "   and   mixora status " << rcfPath
            << "\n"
            << "Job output: " << logFolder << "\n"
            << std::flush;
  return 0;
}

}  // namespace

void RegisterSubmitCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<SubmitOptions>();
  CLI::App* command = app.add_subcommand(
      "submit",
      "Run the chains on a Slurm cluster: a job array with one task per mixture and chain, and "
      "a job that writes the reports when every task has succeeded");
  command->add_option("RUN_FILE", options->rcfPath, "Run control file (.rcf)")->required();
  CLI::Option* mixture =
      command->add_option("--mixture", options->mixture, "Mixture to run, counted from 1 (default 1)")
          ->check(CLI::PositiveNumber);
  command->add_flag("--all", options->all, "Run every mixture")->excludes(mixture);
  command->add_option("--chains", options->chains,
                      "Chains to run, counted from 1, e.g. 1,3 or 2-4 (default: all)");
  command->add_option("--threads-per-chain", options->threadsPerChain,
                      "Processor cores for each chain (default 1)")
      ->check(CLI::PositiveNumber);
  command->add_option("--partition", options->partition, "Slurm partition");
  command->add_option("--time", options->time,
                      "Time limit of each task, e.g. 4:00:00; a task stopped by it saves its chain "
                      "and goes back to the queue to resume");
  command->add_option("--mem", options->mem, "Memory of each task, e.g. 2G");
  command->add_option("--account", options->account, "Slurm account");
  command->add_option("--sbatch-arg", options->sbatchArgs,
                      "Any further sbatch option, given to both jobs (repeatable)")
      ->allow_extra_args(false);
  command->add_flag("--no-reports", options->noReports, "Submit the chains only");
  command->add_flag("--dry-run", options->dryRun,
                    "Write and print the batch scripts without submitting them");
  command->add_flag("--overwrite", options->overwrite,
                    "Let a task whose chain cannot resume replace that chain's files");
  command->footer(
      "Writes <run>_chains.sbatch and <run>_reports.sbatch beside the run control file; job "
      "output goes to <run>_slurm/. Finished chains are left out, so submitting the same run "
      "again resumes the others. `mixora status RUN_FILE` shows where every chain stands.");
  command->callback([options, &exitCode] { exitCode = RunSubmit(*options); });
}

}  // namespace mixora::cli
