// Running the library's GIF reader on bytes in the test programs, and
// comparing its outcome with the reference reader's.
#ifndef ZENTREL_TESTS_GIF_GIFTESTSUPPORT_H
#define ZENTREL_TESTS_GIF_GIFTESTSUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "GifReference.h"
#include "GifWriter.h"
#include "ImageDataModel.h"
#include "support/TestSupport.h"

namespace gift {

/// A fresh folder for the test files, removed with its contents at the end.
/// It lies in memory (/dev/shm) where the system has such a folder: these
/// tests write thousands of small files, which a loaded disk makes slow.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  /// path/name
  std::string File(const std::string& name) const { return m_path + "/" + name; }

 private:
  std::string m_path;
};

/// What ReadGIFImage did with a file.
struct LibraryOutcome {
  int result = 0;
  std::vector<std::string> messages;
  std::vector<UINT> styles;
  std::vector<std::uint8_t> block;  // the record's block after a success
};

/// The record's whole packed DIB block (empty when it holds none).
std::vector<std::uint8_t> BlockBytes(const CImageDataModel& image);

/// Writes bytes to a file in dir and reads it with ReadGIFImage into a
/// fresh record.
LibraryOutcome DecodeWithLibrary(const ScratchFolder& dir, const Bytes& file);

/// Checks that the library and the reference agree on file: result,
/// messages and every byte of the block. The label names the case.
::testing::AssertionResult SameAsReference(const ScratchFolder& dir, const Bytes& file);

/// The indices of the result image, row by row from the top, width × height.
Bytes ImageIndices(const CImageDataModel& image);

/// The result of placing a frame of imageWidth × imageHeight indices (rows
/// from the top) in a screen: against the left and bottom edges, clipped,
/// the rest 0.
Bytes PlaceFrame(const Bytes& frame, int imageWidth, int imageHeight, int screenWidth,
                 int screenHeight);

/// The file with the extension blocks between the global colour table and
/// the first image descriptor removed, and its pixel ratio byte set to 0: a real
/// file made acceptable to the reader, its image data unchanged.
Bytes WithoutLeadingExtensions(const Bytes& file);

/// A damaged file made to pass the header checks: signature, pixel ratio byte,
/// global table flag, leading extensions, and a screen of at most
/// maxSide × maxSide (so that its block stays small).
Bytes PassingHeaderChecks(const Bytes& file, int maxSide);

}  // namespace gift

#endif  // ZENTREL_TESTS_GIF_GIFTESTSUPPORT_H
