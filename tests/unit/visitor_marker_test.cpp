#include "launcher/start/visitor_marker.h"

#include "common/telemetry/visitor_id.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "common/text.h"

namespace tavo::launcher {
namespace {

namespace fs = std::filesystem;

// Written at build time by tests/tools/visitor_marker_files.py beside this
// program's folder: <build>/tests/tools/visitor_marker.
fs::path FilesFolder() {
  wchar_t self[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  return fs::path(std::wstring(self, length)).parent_path().parent_path() / L"tools" / L"visitor_marker";
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Case {
  std::string file;
  std::string expectedId;
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  std::ifstream list(FilesFolder() / L"cases.txt");
  for (std::string line; std::getline(list, line);) {
    size_t tab = line.find('\t');
    if (tab != std::string::npos) cases.push_back({line.substr(0, tab), line.substr(tab + 1)});
  }
  return cases;
}

bool Contains(std::span<const uint8_t> data, const std::string& text) {
  return std::search(data.begin(), data.end(), text.begin(), text.end()) != data.end();
}

TEST(VisitorIdText, AcceptsOnlyTheTwoPrefixesWithLowerCaseHex) {
  EXPECT_TRUE(IsVisitorId("vis_0123456789abcdef0123456789abcdef"));
  EXPECT_TRUE(IsVisitorId("vst_0123456789abcdef0123456789abcdef"));
  EXPECT_FALSE(IsVisitorId("vsx_0123456789abcdef0123456789abcdef"));
  EXPECT_FALSE(IsVisitorId("vis_0123456789ABCDEF0123456789abcdef"));
  EXPECT_FALSE(IsVisitorId("vis_0123456789abcdef0123456789abcdeg"));
  EXPECT_FALSE(IsVisitorId("vis_0123456789abcdef0123456789abcde"));
  EXPECT_FALSE(IsVisitorId(std::string_view("vis_0123456789abcdef0123456789abcde\0", 36)));
}

// Copies of the x64 test launcher, the i686 release launcher (when the release
// tree was built) and a minimal PE32 image, each stamped in many ways.
TEST(VisitorMarkerScan, FindsTheIdOnlyInAWellFormedTableWithOneMarker) {
  std::vector<Case> cases = Cases();
  ASSERT_GE(cases.size(), 30u) << "no case list in " << FilesFolder().string();
  bool sawPe32Plus = false;
  bool sawPe32 = false;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::vector<uint8_t> data = ReadBytes(FilesFolder() / c.file);
    ASSERT_FALSE(data.empty());
    EXPECT_EQ(Utf8(FindVisitorId(data)), c.expectedId);
    sawPe32Plus |= c.file.starts_with("pe32plus_");
    sawPe32 |= c.file.starts_with("pe32_");
  }
  EXPECT_TRUE(sawPe32Plus);
  EXPECT_TRUE(sawPe32);
}

TEST(VisitorMarkerScan, RejectsImagesTooShortForTheirHeaders) {
  std::vector<uint8_t> data = ReadBytes(FilesFolder() / L"pe32_minimal.once.exe");
  ASSERT_EQ(Utf8(FindVisitorId(data)), "vis_0123456789abcdef0123456789abcdef");
  EXPECT_EQ(FindVisitorId({}), L"");
  EXPECT_EQ(FindVisitorId(std::span(data).first(255)), L"");
  // The PE header offset pointing at the last bytes: the optional header's
  // magic would lie past the end.
  std::vector<uint8_t> shifted(data.begin(), data.begin() + 256);
  shifted[0x3C] = 256 - 24;
  shifted[0x3D] = 0;
  std::copy_n("PE\0\0", 4, shifted.begin() + (256 - 24));
  EXPECT_EQ(FindVisitorId(shifted), L"");
}

// Random damage to stamped files: the scan must neither crash nor read out of
// bounds, and any id it returns must follow a marker in the damaged file.
TEST(VisitorMarkerScan, SurvivesRandomMutations) {
  std::mt19937 random(20240611);
  int mutations = 0;
  int idsFound = 0;
  for (const Case& c : Cases()) {
    if (!c.file.ends_with(".once.exe") && !c.file.ends_with(".twice_same.exe")) continue;
    std::vector<uint8_t> data = ReadBytes(FilesFolder() / c.file);
    // The headers and the certificate table at the end are where damage matters.
    const size_t table = data.size() - 640;
    for (int i = 0; i < 100; ++i, ++mutations) {
      // Edited in place and restored afterwards: the files are megabytes long.
      std::vector<std::pair<size_t, uint8_t>> saved;
      const int edits = 1 + static_cast<int>(random() % 4);
      for (int k = 0; k < edits; ++k) {
        size_t at;
        switch (random() % 4) {
          case 0: at = random() % 512; break;
          case 1: at = table + random() % 640; break;
          case 2: at = random() % data.size(); break;
          default: at = 0x3C + random() % 4; break;
        }
        saved.emplace_back(at, data[at]);
        data[at] = static_cast<uint8_t>(random());
      }
      std::span<const uint8_t> image(data);
      if (random() % 5 == 0) image = image.first(random() % (data.size() + 1));
      const std::string id = Utf8(FindVisitorId(image));
      if (!id.empty()) {
        ++idsFound;
        EXPECT_TRUE(IsVisitorId(id)) << c.file << " mutation " << i;
        EXPECT_TRUE(Contains(image, std::string(kVisitorMarker) + id)) << c.file << " mutation " << i;
      }
      for (auto it = saved.rbegin(); it != saved.rend(); ++it) data[it->first] = it->second;
    }
  }
  EXPECT_GE(mutations, 300);
  EXPECT_GT(idsFound, 0);  // some mutations leave the stamp intact
}

TEST(VisitorMarkerScan, OwnFileOfAnUnsignedProgramHasNoId) {
  EXPECT_EQ(ReadOwnVisitorId(), L"");
}

}  // namespace
}  // namespace tavo::launcher
