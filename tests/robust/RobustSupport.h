// Helpers of the robustness tests: patterned images, folder listings, and
// the record with its protected operations reachable.
#ifndef ZENTREL_TESTS_ROBUST_ROBUSTSUPPORT_H
#define ZENTREL_TESTS_ROBUST_ROBUSTSUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "ImageDataModel.h"

namespace robust {

using Bytes = std::vector<std::uint8_t>;

/// Makes image a width × height image at bits whose pixel bytes (and, for 8
/// bits, colour table) follow a pattern with no two neighbours alike.
void MakePatterned(CImageDataModel& image, int width, int height, int bits);

/// A GIF file made readable by the reader's header rules: the extension
/// blocks between its global colour table and its first image descriptor
/// taken out, the aspect byte 0 and the global table flag set, so that its
/// image data reaches the decoder.
Bytes ReadableGif(const Bytes& file);

/// A GIF89a file of width × height pixels with a global table of 256
/// colours (entry i: red i, green 255 − i, blue i / 2) and the given indices
/// (top row first), coded without compression: every index a 9-bit code,
/// with a clear code often enough that the code width never grows.
Bytes PlainGif(int width, int height, const Bytes& indices);

/// The names in folder, sorted.
std::vector<std::string> FolderEntries(const std::string& folder);

/// Header, colour table and pixel rows of a held image, for comparing a
/// record before and after an operation that must leave it unchanged.
struct Snapshot {
  UINT width = 0;
  UINT height = 0;
  UINT lineBytes = 0;
  RECT range{};
  Bytes header;
  Bytes table;
  Bytes pixels;
  bool operator==(const Snapshot& other) const;
};
Snapshot Take(const CImageDataModel& image);

/// The record with its protected operations and fields reachable, as a
/// host's derived class has them.
class Record : public CImageDataModel {
 public:
  using CImageDataModel::ThinEdge;
  using CImageDataModel::VecCompress;
  using CImageDataModel::VecConnect;
  using CImageDataModel::VecTrace;
};

}  // namespace robust

#endif  // ZENTREL_TESTS_ROBUST_ROBUSTSUPPORT_H
