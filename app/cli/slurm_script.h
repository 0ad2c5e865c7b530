#pragma once
// The batch scripts that run a run's chains on a Slurm cluster: a job array
// with one task per (mixture, chain), each task running `mixora run` on its
// own chain, and a job that writes every report once the whole array has
// succeeded. Only text is built here; submitting it is the front end's.
#include <string>
#include <vector>

namespace mixora {

struct ChainTask {
  int mixture = 0;  // from 0
  int chain = 0;    // from 0
};

struct SlurmJobSettings {
  std::string mixoraPath;  // the program the tasks run, as an absolute path
  std::string rcfPath;     // absolute
  std::string runFolder;   // absolute: the jobs' working folder, the run control file's
  std::string jobName;     // e.g. "mixora-tavrin"; SlurmName keeps it directive-safe
  std::string logFolder;   // directive-safe name of the job output folder inside runFolder
  std::vector<ChainTask> tasks;
  std::vector<int> reportMixtures;  // from 0
  int threadsPerChain = 1;
  // Empty means the cluster's default.
  std::string partition;
  std::string time;
  std::string mem;
  std::string account;
  // With one chain there is no Gelman-Rubin diagnostic to write.
  bool oneChain = false;
  bool overwrite = false;  // tasks may replace outputs of chains that cannot resume
  // Seconds ahead of the time limit at which a task is told to save and stop.
  int warningSeconds = 120;
};

// Paths and the user's values reach Slurm in two ways: as "#SBATCH" lines of
// the script, which sbatch splits at blanks and which a line break would end
// (the rest of the value then runs as a command), and as sbatch's own
// arguments, which hold any text. Every option is given as an argument;
// the script repeats only those whose value a directive can hold, so that a
// script submitted again by hand still finds its folder and log files.

// The options of one job for sbatch's command line: working folder, job name,
// output file pattern and the resource requests that are set.
std::vector<std::string> SlurmJobOptions(const SlurmJobSettings& settings, bool reportsJob);

// True when `value` can stand after "#SBATCH --option=": letters, digits and
// . _ - + / : , = @ only. Anything else (a blank, a quote, "%", "$", a line
// break) stays on the command line.
bool DirectiveSafe(const std::string& value);

// `text` with every character but letters, digits and . _ - + written as "_",
// so that it can name a job or a log folder in a directive ("%" would be
// expanded by Slurm in a file name).
std::string SlurmName(const std::string& text);

// "" when `path` can be handed to Slurm; otherwise why not: a control
// character or a backslash (named with its position) or a length past what
// the system lets a job open.
std::string SlurmPathProblem(const std::string& path);

// The job array script. Ahead of its time limit Slurm sends SIGUSR1 to the
// task's shell, which asks mixora to stop, then requeues the task so that it
// resumes; a cancel or preemption (SIGTERM) stops mixora the same way without
// the requeue.
std::string BuildChainArrayScript(const SlurmJobSettings& settings);

// The reports script: `mixora report` for every mixture in reportMixtures.
std::string BuildReportScript(const SlurmJobSettings& settings);

// "0-7": the array indexes of n tasks.
std::string ArrayRange(std::size_t n);

// Quoted for a POSIX shell: 'text', with every ' written as '\''.
std::string ShellWord(const std::string& text);

// The job id sbatch --parsable printed ("1234" or "1234;cluster"), or "" when
// the output holds none.
std::string ParseJobId(const std::string& sbatchOutput);

}  // namespace mixora
