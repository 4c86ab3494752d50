// The expander of what the launcher carries packed: whole packed files expand
// exactly, anything damaged is refused whole.
#include "launcher/packed/packed_data.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <functional>
#include <string>

#include "common/winrt/hresult_error.h"

namespace tavo::launcher {
namespace {

std::vector<uint8_t> Sample(size_t size) {
  std::vector<uint8_t> data(size);
  uint32_t state = 12345;
  // Half noise, half repeats: the stream has both literals and matches.
  for (size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    data[i] = i % 512 < 256 ? static_cast<uint8_t>(state >> 24) : static_cast<uint8_t>(i % 7);
  }
  return data;
}

// The packed form that resources/pack.py writes, with zlib's own deflate.
std::vector<uint8_t> Pack(const std::vector<uint8_t>& data, uint32_t statedSize) {
  uLongf streamSize = compressBound(static_cast<uLong>(data.size()));
  std::vector<uint8_t> packed(8 + streamSize);
  EXPECT_EQ(compress2(packed.data() + 8, &streamSize, data.data(), static_cast<uLong>(data.size()), 9), Z_OK);
  packed.resize(8 + streamSize);
  const uint8_t header[8] = {'T', 'V', 'Z', '1', static_cast<uint8_t>(statedSize), static_cast<uint8_t>(statedSize >> 8),
                             static_cast<uint8_t>(statedSize >> 16), static_cast<uint8_t>(statedSize >> 24)};
  std::copy(std::begin(header), std::end(header), packed.begin());
  return packed;
}

std::vector<uint8_t> Pack(const std::vector<uint8_t>& data) { return Pack(data, static_cast<uint32_t>(data.size())); }

TEST(PackedData, ExpandsWholeFilesExactly) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{4096}, size_t{391656}}) {
    const std::vector<uint8_t> data = Sample(size);
    EXPECT_EQ(ExpandPacked(Pack(data)), data) << size << " bytes";
  }
}

TEST(PackedData, RefusesEveryDamagedFileWhole) {
  const std::vector<uint8_t> data = Sample(100000);
  const std::vector<uint8_t> good = Pack(data);
  struct Case {
    const char* name;
    std::function<std::vector<uint8_t>()> make;
  };
  const Case cases[] = {
      {"empty", [] { return std::vector<uint8_t>(); }},
      {"header only", [&] { return std::vector<uint8_t>(good.begin(), good.begin() + 8); }},
      {"another mark", [&] { auto p = good; p[3] = '2'; return p; }},
      {"the file unpacked", [&] { return data; }},
      {"cut in the middle", [&] { return std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2); }},
      {"cut before the checksum", [&] { return std::vector<uint8_t>(good.begin(), good.end() - 2); }},
      {"one byte changed in the stream", [&] { auto p = good; p[good.size() / 2] ^= 0x10; return p; }},
      {"checksum changed", [&] { auto p = good; p.back() ^= 1; return p; }},
      {"bytes after the stream", [&] { auto p = good; p.push_back(0); return p; }},
      {"stated size too small", [&] { return Pack(data, 99999); }},
      {"stated size too large", [&] { return Pack(data, 100001); }},
      {"stated size zero", [&] { return Pack(data, 0); }},
      {"stated size above the limit", [&] { return Pack(data, kMaxExpandedSize + 1); }},
  };
  for (const Case& c : cases) {
    try {
      ExpandPacked(c.make());
      ADD_FAILURE() << c.name << ": expanded";
    } catch (const hresult_error& error) {
      EXPECT_EQ(error.code(), HRESULT_FROM_WIN32(ERROR_INVALID_DATA)) << c.name;
    }
  }
}

}  // namespace
}  // namespace tavo::launcher
