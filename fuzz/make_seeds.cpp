// Writes the seed files of the binary-file targets into the folder given:
// a run control file of the fixture run (compressed and as content), the
// sample and restart files of a short chain of it, a graph file and an undo
// file made from them. Text targets take their seeds from examples/ and
// tests/data/.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "fuzz_fixture.h"
#include "fuzz_support.h"
#include "runfiles/block_undo.h"
#include "runfiles/run_control_writer.h"
#include "runfiles/run_file_names.h"
#include "runfiles/sample_block.h"
#include "runfiles/sample_file_header.h"

namespace {

using namespace mixora;

std::vector<uint8_t> Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void Put(const std::string& path, uint8_t lead, bool withLead, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (withLead) out.put(static_cast<char>(lead));
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool RunChain(RunRecord& run, int32_t last) {
  const Interaction& ui = fuzzing::SilentUi();
  auto chain = fuzzing::FixtureChain(run, ui, false, true);
  if (chain == nullptr || DrawFrequencies(*chain) == 0) return false;
  for (int32_t t = 1; t <= last; ++t) {
    chain->iteration.store(t);
    if (RunIteration(*chain) == 0) return false;
  }
  const int saved = TransferRestartFile(*chain, kRestartWrite, kRestartFull);
  CloseChainSamples(chain->samples);
  if (chain->samples.chainLog != nullptr) std::fclose(chain->samples.chainLog);
  return saved == 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: mixora_fuzz_seeds OUTPUT_FOLDER\n";
    return 2;
  }
  const std::string out = argv[1];
  RunRecord run = fuzzing::FixtureRun(fuzzing::ScratchFolder());
  if (!RunChain(run, 250)) {
    std::cerr << "the seed chain failed\n";
    return 1;
  }
  const std::string sta = BuildRunFileName(run, 0, kNoReport, kNoGroup, kExtAssignments);
  const std::string ise = BuildRunFileName(run, 0, kNoReport, kNoGroup, kExtComposition);
  const std::string rst = BuildRunFileName(run, 0, kNoReport, kNoGroup, kExtRestart);
  Put(out + "/sample_sta/chain.Sta", 0, false, Slurp(sta));
  Put(out + "/sample_ise/chain.Ise", 0, false, Slurp(ise));
  Put(out + "/restart/chain.Rst", 0, false, Slurp(rst));

  std::vector<uint8_t> graph = Slurp(ise);
  if (graph.size() > kMagicSize) graph[6] = kGraphFileMagic[6];
  Put(out + "/sample_graph/chain.gse", 0, false, graph);

  const std::vector<uint8_t> content = EncodeRunControlContent(run);
  Put(out + "/run_control/content.bin", 0, true, content);
  const std::string rcf = fuzzing::ScratchFile("seed.rcf");
  if (WriteRunControlFile(rcf, run, fuzzing::SilentUi()) == 1) {
    Put(out + "/run_control/file.rcf", 1, true, Slurp(rcf));
  }

  // The undo file of the Ise file's first block, as a resume saves it.
  std::vector<uint8_t> whole = Slurp(ise);
  if (whole.size() > kSampleFileHeaderSize) {
    std::vector<uint8_t> block(whole.begin() + kSampleFileHeaderSize, whole.end());
    if (SaveBlockUndo(ise, kSampleFileHeaderSize, block) == 1) {
      Put(out + "/undo/block.undo", 1, true, Slurp(BlockUndoPath(ise)));
    }
  }
  return 0;
}
