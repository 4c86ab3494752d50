#include "launcher/packed/packed_data.h"

#include <windows.h>
#include <zlib.h>

#include <cstring>
#include <limits>

#include "common/winrt/hresult_error.h"

namespace tavo::launcher {
namespace {

constexpr uint8_t kMark[4] = {'T', 'V', 'Z', '1'};
constexpr size_t kHeaderSize = 8;

[[noreturn]] void ThrowDamaged() { throw hresult_error(HRESULT_FROM_WIN32(ERROR_INVALID_DATA)); }

// One inflate stream, ended on every way out.
class Inflater {
 public:
  Inflater() {
    const int result = inflateInit(&stream_);
    if (result == Z_MEM_ERROR) throw std::bad_alloc();
    if (result != Z_OK) throw hresult_error(E_UNEXPECTED);  // a zlib built for other headers
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  ~Inflater() { inflateEnd(&stream_); }
  z_stream& get() { return stream_; }

 private:
  z_stream stream_{};
};

}  // namespace

std::vector<uint8_t> ExpandPacked(std::span<const uint8_t> packed) {
  if (packed.size() < kHeaderSize || std::memcmp(packed.data(), kMark, sizeof(kMark)) != 0) ThrowDamaged();
  const uint32_t size = static_cast<uint32_t>(packed[4]) | static_cast<uint32_t>(packed[5]) << 8 |
                        static_cast<uint32_t>(packed[6]) << 16 | static_cast<uint32_t>(packed[7]) << 24;
  const size_t streamSize = packed.size() - kHeaderSize;
  if (size > kMaxExpandedSize || streamSize > std::numeric_limits<uInt>::max()) ThrowDamaged();

  std::vector<uint8_t> expanded(size);
  Inflater inflater;
  z_stream& stream = inflater.get();
  stream.next_in = const_cast<Bytef*>(packed.data() + kHeaderSize);
  stream.avail_in = static_cast<uInt>(streamSize);
  // One byte more room than promised, so that a stream that runs longer is
  // told from one that ends exactly.
  uint8_t beyond = 0;
  stream.next_out = size > 0 ? expanded.data() : &beyond;
  stream.avail_out = size > 0 ? static_cast<uInt>(size) : 1;
  int result = inflate(&stream, Z_FINISH);
  if (result == Z_BUF_ERROR && size > 0 && stream.avail_out == 0) {
    stream.next_out = &beyond;
    stream.avail_out = 1;
    result = inflate(&stream, Z_FINISH);
  }
  if (result == Z_MEM_ERROR) throw std::bad_alloc();
  // Z_STREAM_END: the checksum matched. Anything else is a damaged or cut stream.
  if (result != Z_STREAM_END || stream.total_out != size || stream.avail_in != 0) ThrowDamaged();
  return expanded;
}

}  // namespace tavo::launcher
