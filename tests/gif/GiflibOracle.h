// giflib as an independent decoder to compare the reader with. Linked into
// test programs only, never into the library.
#ifndef ZENTREL_TESTS_GIF_GIFLIBORACLE_H
#define ZENTREL_TESTS_GIF_GIFLIBORACLE_H

#include <cstdint>
#include <vector>

namespace gift {

/// The first frame of a GIF file as giflib decodes it.
struct GiflibFrame {
  bool ok = false;  // false when giflib cannot decode a first frame
  /// Screen-sized, rows from the top: the frame placed against the left and
  /// bottom edges of the screen as the reader places frames (parts outside
  /// the screen dropped), each index masked with the colour table's size.
  std::vector<std::uint8_t> indices;
  /// The frame's colour table (its own, else the global one) as 256 RGB
  /// triples, entries past its size black.
  std::vector<std::uint8_t> colours;
  /// The transparent index of the frame's graphic control block, −1 for none.
  int transparent = -1;
};

GiflibFrame DecodeWithGiflib(const std::vector<std::uint8_t>& file);

}  // namespace gift

#endif  // ZENTREL_TESTS_GIF_GIFLIBORACLE_H
