// A plain reference GIF reader for the differential tests: it follows the
// reader's steps one by one (one index, one code, one byte at a time) on
// the file's bytes in memory, and gives the result, the messages and the
// whole result block that ReadGIFImage must produce.
#ifndef ZENTREL_TESTS_GIF_GIFREFERENCE_H
#define ZENTREL_TESTS_GIF_GIFREFERENCE_H

#include <cstdint>
#include <string>
#include <vector>

namespace gift {

struct ReferenceOutcome {
  int result = 0;
  std::vector<std::string> messages;
  /// The packed DIB block (header, colour table, rows, spare row) on
  /// success; empty otherwise.
  std::vector<std::uint8_t> block;
  /// Largest data-buffer byte index that code assembly asked for, and the
  /// buffer's size: the test files that push the position past the buffer
  /// check themselves with these.
  std::uint64_t largestByteIndex = 0;
  std::uint64_t bufferBytes = 0;
  /// Number of refills of the data buffer, and of codes completed with
  /// bytes taken ahead from the file.
  int fills = 0;
  int takeAheads = 0;
};

ReferenceOutcome DecodeReference(const std::vector<std::uint8_t>& file);

}  // namespace gift

#endif  // ZENTREL_TESTS_GIF_GIFREFERENCE_H
