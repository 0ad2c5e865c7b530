// A chain's stock assignment sample file (.Sta), read as the assignment
// reports read it: header, blocks, and every kept record tallied.
#include "fuzz_fixture.h"
#include "fuzz_support.h"
#include "reports/assignment_tally.h"
#include "reports/report_job.h"
#include "runfiles/sample_file_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace mixora;
  static RunRecord run = fuzzing::FixtureRun(fuzzing::ScratchFolder());
  const std::string path = AssignmentFilePath(run, 0);
  fuzzing::WriteInput(path.substr(path.rfind('/') + 1), data, size);
  ReportJob job;
  job.run = &run;
  job.ui = fuzzing::SilentUi();
  job.kind = kReportAssignments;
  PrepareReportJob(job);
  AssignmentTally tally;
  if (ResetAssignmentTally(run, tally) == 0) return 0;
  SampleFileReader reader;
  if (OpenSampleFileForReading(reader, path) == 1) {
    std::string error;
    AddChainAssignments(job, reader, 0, tally, error);
  }
  CloseSampleFileReader(reader);
  return 0;
}
