#pragma once
// The run control file a command was given: commands that work on one say
// what to do when they got something else.
#include <string>

namespace mixora::cli {

// "" when `path` may be a run control file; otherwise the closing error for
// it: no such file, a control file that has to be loaded first, a chain's
// sample, restart or graph file, or a file too short to hold a run.
std::string RunFileArgumentProblem(const std::string& path);

}  // namespace mixora::cli
