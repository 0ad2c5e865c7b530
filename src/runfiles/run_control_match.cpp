#include "runfiles/run_control_match.h"

#include <cstddef>
#include <cstring>
#include <filesystem>

#include "core/paths.h"
#include "runfiles/run_control_pieces.h"
#include "runfiles/run_control_reader.h"
#include "runfiles/run_control_writer.h"

namespace mixora {

namespace {

// Takes the stored path when it names the same file as the fresh one, so the
// byte comparison that follows sees only real differences.
template <std::size_t N>
void AdoptStoredPath(char (&fresh)[N], const char (&stored)[N]) {
  const std::string a = GetField(fresh), b = GetField(stored);
  if (a == b || SameFile(a, b)) std::memcpy(fresh, stored, N);
}

}  // namespace

bool RunControlMatchesInputs(const Control& control, const std::string& rcfPath, std::string& why) {
  why.clear();
  RunControlContent existing;
  if (!OpenRunControlContent(rcfPath, Interaction{}, existing)) {
    why = rcfPath + " cannot be read as a run control file";
    return false;
  }
  RunRecord pieces;
  BuildRunPieces(control, pieces, Interaction{});
  if (existing.bytes.size() >= sizeof pieces.settings) {
    RunSettings stored;
    std::memcpy(&stored, existing.bytes.data(), sizeof stored);
    AdoptStoredPath(pieces.settings.ControlFilePath, stored.ControlFilePath);
    AdoptStoredPath(pieces.settings.BaselineFile, stored.BaselineFile);
    AdoptStoredPath(pieces.settings.MixtureFile, stored.MixtureFile);
  }
  const std::vector<uint8_t> fresh = EncodeRunControlContent(pieces);
  if (fresh == existing.bytes) return true;
  const bool settingsDiffer =
      existing.bytes.size() < sizeof pieces.settings ||
      std::memcmp(existing.bytes.data(), fresh.data(), sizeof pieces.settings) != 0;
  why = rcfPath + (settingsDiffer
                       ? " was written from other settings than the control file holds now"
                       : " was written from another baseline or mixture than the control file "
                         "names now");
  return false;
}

}  // namespace mixora
