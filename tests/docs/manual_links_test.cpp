// The user manual is plain HTML kept in the repository: every link between
// its pages, every anchor a link names and every picture must be there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const fs::path kManual = fs::path(MIXORA_EXAMPLES_DIR) / ".." / "docs" / "manual";

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::set<std::string> AnchorsOf(const std::string& page) {
  std::set<std::string> ids;
  static const std::regex id(R"re(\bid="([^"]+)")re");
  for (std::sregex_iterator it(page.begin(), page.end(), id), end; it != end; ++it) ids.insert((*it)[1]);
  return ids;
}

}  // namespace

TEST(ManualLinks, EveryLinkAnchorAndPictureResolves) {
  ASSERT_TRUE(fs::is_regular_file(kManual / "index.html"));
  static const std::regex target(R"re(\b(?:href|src)="([^"]*)")re");
  int links = 0;
  for (const auto& entry : fs::directory_iterator(kManual)) {
    if (entry.path().extension() != ".html") continue;
    const std::string page = ReadText(entry.path());
    for (std::sregex_iterator it(page.begin(), page.end(), target), end; it != end; ++it) {
      const std::string link = (*it)[1];
      if (link.rfind("http://", 0) == 0 || link.rfind("https://", 0) == 0 || link.rfind("mailto:", 0) == 0)
        continue;
      ++links;
      const std::size_t hash = link.find('#');
      const std::string file = link.substr(0, hash);
      const fs::path resolved = file.empty() ? entry.path() : entry.path().parent_path() / file;
      EXPECT_TRUE(fs::is_regular_file(resolved))
          << entry.path().filename() << " links to missing " << link;
      if (hash != std::string::npos && fs::is_regular_file(resolved)) {
        const std::string anchor = link.substr(hash + 1);
        EXPECT_TRUE(AnchorsOf(ReadText(resolved)).count(anchor) == 1)
            << entry.path().filename() << " links to missing anchor " << link;
      }
    }
  }
  EXPECT_GT(links, 20);
}
