// Running the GIF reader on bytes, and the comparison with the reference.
#include "GifTestSupport.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace gift {

ScratchFolder::ScratchFolder() {
  std::error_code error;
  const bool memory =
      std::filesystem::is_directory("/dev/shm", error) && ::access("/dev/shm", W_OK) == 0;
  const std::filesystem::path base =
      memory ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
  std::string pattern = (base / "zentrel-gif-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
  m_path = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

std::vector<std::uint8_t> BlockBytes(const CImageDataModel& image) {
  if (image.IsEmpty()) return {};
  const auto* start = reinterpret_cast<const std::uint8_t*>(image.GetBmh());
  const std::size_t size = 40 + 1024 +
                           static_cast<std::size_t>(image.GetLineBytes()) *
                               (static_cast<std::size_t>(image.GetHeight()) + 1);
  return std::vector<std::uint8_t>(start, start + size);
}

LibraryOutcome DecodeWithLibrary(const ScratchFolder& dir, const Bytes& file) {
  const std::string path = dir.File("case.gif");
  EXPECT_TRUE(zt::WriteFileBytes(path, file));
  LibraryOutcome outcome;
  zt::MessageCapture capture;
  CImageDataModel image;
  outcome.result = image.ReadGIFImage(path.c_str());
  outcome.messages = capture.texts();
  outcome.styles = capture.styles();
  outcome.block = BlockBytes(image);
  return outcome;
}

::testing::AssertionResult SameAsReference(const ScratchFolder& dir, const Bytes& file) {
  const ReferenceOutcome want = DecodeReference(file);
  const LibraryOutcome got = DecodeWithLibrary(dir, file);
  if (got.result != want.result)
    return ::testing::AssertionFailure()
           << "result " << got.result << ", reference " << want.result;
  if (got.messages != want.messages)
    return ::testing::AssertionFailure()
           << "messages differ (" << got.messages.size() << " vs " << want.messages.size() << ")";
  if (got.block.size() != want.block.size())
    return ::testing::AssertionFailure()
           << "block of " << got.block.size() << " bytes, reference " << want.block.size();
  const auto diff = std::mismatch(got.block.begin(), got.block.end(), want.block.begin());
  if (diff.first != got.block.end())
    return ::testing::AssertionFailure()
           << "block byte " << (diff.first - got.block.begin()) << " is " << int(*diff.first)
           << ", reference " << int(*diff.second);
  return ::testing::AssertionSuccess();
}

Bytes ImageIndices(const CImageDataModel& image) {
  Bytes out;
  for (UINT y = 0; y < image.GetHeight(); ++y)
    for (UINT x = 0; x < image.GetWidth(); ++x) out.push_back(zt::IndexAt(image, x, y));
  return out;
}

Bytes PlaceFrame(const Bytes& frame, int imageWidth, int imageHeight, int screenWidth,
                 int screenHeight) {
  Bytes out(static_cast<std::size_t>(screenWidth) * static_cast<std::size_t>(screenHeight), 0);
  for (int r = 0; r < imageHeight; ++r) {
    const int y = screenHeight - imageHeight + r;
    if (y < 0 || y >= screenHeight) continue;
    for (int c = 0; c < imageWidth && c < screenWidth; ++c)
      out[static_cast<std::size_t>(y) * static_cast<std::size_t>(screenWidth) +
          static_cast<std::size_t>(c)] =
          frame[static_cast<std::size_t>(r) * static_cast<std::size_t>(imageWidth) +
                static_cast<std::size_t>(c)];
  }
  return out;
}

Bytes WithoutLeadingExtensions(const Bytes& file) {
  if (file.size() < 13) return file;
  Bytes out = file;
  out[12] = 0;
  std::size_t start = 13;
  if (out[10] & 0x80) start += 3u << ((out[10] & 7) + 1);
  std::size_t pos = start;
  while (pos + 1 < out.size() && out[pos] == 0x21) {
    pos += 2;  // introducer and label, then the sub-blocks
    while (pos < out.size()) {
      const std::size_t count = out[pos];
      pos += 1 + count;
      if (count == 0) break;
    }
  }
  if (pos > out.size()) pos = out.size();
  if (start < out.size())
    out.erase(out.begin() + static_cast<std::ptrdiff_t>(start),
              out.begin() + static_cast<std::ptrdiff_t>(pos));
  return out;
}

Bytes PassingHeaderChecks(const Bytes& file, int maxSide) {
  Bytes out = file;
  if (out.size() < 13) out.resize(13, 0);
  const char signature[] = "GIF89a";
  std::copy(signature, signature + 6, out.begin());
  out[10] = static_cast<std::uint8_t>(out[10] | 0x80);
  for (int at : {6, 8}) {
    const int side =
        (out[static_cast<std::size_t>(at)] | out[static_cast<std::size_t>(at) + 1] << 8) % maxSide +
        1;
    out[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(side & 0xFF);
    out[static_cast<std::size_t>(at) + 1] = static_cast<std::uint8_t>(side >> 8);
  }
  return WithoutLeadingExtensions(out);
}

}  // namespace gift
