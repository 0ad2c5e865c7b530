// The engine's rooms stand on floors, and data walks up them: a control file
// is read (input), packed into run files, sampled, judged and reported. A
// file includes only its own room and the rooms of lower floors, so a room can
// be read, tested and changed without the ones above it. This check reads
// every quoted include under src/ and names each one that runs up a floor.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace mixora {
namespace {

namespace fs = std::filesystem;

// Ground floor first. Rooms that share a floor do not include each other.
const std::vector<std::vector<std::string>> kFloors = {
    {"core"},
    {"input"},
    {"runfiles"},
    {"formats"},
    {"sampler"},
    {"diagnostics"},
    {"reports"},
    {"assessment", "tools"},
};

std::map<std::string, int> FloorOfRoom() {
  std::map<std::string, int> floorOf;
  for (std::size_t f = 0; f < kFloors.size(); ++f)
    for (const std::string& room : kFloors[f]) floorOf[room] = static_cast<int>(f) + 1;
  return floorOf;
}

const fs::path kSource = fs::path(MIXORA_SOURCE_DIR) / "src";

struct Include {
  std::string file;  // relative to src/
  int line = 0;
  std::string target;
};

std::vector<Include> QuotedIncludes() {
  static const std::regex kInclude(R"re(^\s*#\s*include\s*"([^"]+)")re");
  std::vector<Include> found;
  for (const auto& entry : fs::recursive_directory_iterator(kSource)) {
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
    std::ifstream in(entry.path());
    std::string text;
    int number = 0;
    while (std::getline(in, text)) {
      ++number;
      std::smatch match;
      if (std::regex_search(text, match, kInclude))
        found.push_back({fs::relative(entry.path(), kSource).generic_string(), number, match[1]});
    }
  }
  return found;
}

std::string RoomOf(const std::string& path) { return path.substr(0, path.find('/')); }

TEST(IncludeFloors, EveryRoomOfTheEngineHasAFloor) {
  const auto floorOf = FloorOfRoom();
  for (const auto& entry : fs::directory_iterator(kSource)) {
    if (!entry.is_directory()) continue;
    const std::string room = entry.path().filename().string();
    EXPECT_TRUE(floorOf.count(room))
        << "src/" << room << " is on no floor: add it to kFloors here and to the README's picture";
  }
}

TEST(IncludeFloors, NoIncludeRunsUpAFloorOrAcrossOne) {
  const auto floorOf = FloorOfRoom();
  const std::vector<Include> includes = QuotedIncludes();
  ASSERT_GT(includes.size(), 100u) << "no includes read under " << kSource;
  for (const Include& include : includes) {
    const std::string from = RoomOf(include.file);
    const std::string to = RoomOf(include.target);
    const std::string where = "src/" + include.file + ":" + std::to_string(include.line) +
                              " includes \"" + include.target + "\"";
    if (include.target.find('/') == std::string::npos || !floorOf.count(to)) {
      ADD_FAILURE() << where << ": name headers from src/ by their room, as \"room/name.h\"";
      continue;
    }
    EXPECT_TRUE(fs::exists(kSource / include.target)) << where << ": no such file under src/";
    if (from == to) continue;
    EXPECT_LT(floorOf.at(to), floorOf.at(from))
        << where << ": " << from << " (floor " << floorOf.at(from) << ") may include only "
        << "lower floors, and " << to << " is on floor " << floorOf.at(to);
  }
}

// The README draws the same floors, one "floor N  room room" line each; the
// picture a newcomer reads must be the one the build holds to.
TEST(IncludeFloors, TheReadmeDrawsTheSameFloors) {
  std::ifstream in(fs::path(MIXORA_SOURCE_DIR) / "README.md");
  ASSERT_TRUE(in) << "README.md not found";
  static const std::regex kFloorLine(R"(^\s*floor (\d+)\s+(src/\S+(\s+src/\S+)*)\s*$)");
  std::map<int, std::set<std::string>> drawn;
  std::string text;
  while (std::getline(in, text)) {
    std::smatch match;
    if (!std::regex_match(text, match, kFloorLine)) continue;
    std::istringstream rooms(match[2].str());
    std::string room;
    while (rooms >> room) drawn[std::stoi(match[1])].insert(room.substr(4));
  }
  std::map<int, std::set<std::string>> held;
  for (std::size_t f = 0; f < kFloors.size(); ++f)
    held[static_cast<int>(f) + 1] = {kFloors[f].begin(), kFloors[f].end()};
  EXPECT_EQ(drawn, held);
}

}  // namespace
}  // namespace mixora
