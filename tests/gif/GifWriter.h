// A small GIF writer for the tests: an LZW encoder, a code packer that
// follows the decoder's code width, sub-block framing and file assembly,
// with switches for the malformed files the tests need.
#ifndef ZENTREL_TESTS_GIF_GIFWRITER_H
#define ZENTREL_TESTS_GIF_GIFWRITER_H

#include <cstdint>
#include <string>
#include <vector>

namespace gift {

using Bytes = std::vector<std::uint8_t>;

struct LzwOptions {
  bool initialClear = true;
  bool endCode = true;
  /// Emit a clear code when the table is full (otherwise keep coding with
  /// the full table, as a stream that relies on the table staying full).
  bool clearWhenFull = true;
};

/// The LZW codes for indices (each below 2^minCodeSize). When lengths is
/// given it receives, per code, the number of indices it stands for (0 for
/// clear and end codes).
std::vector<std::uint32_t> LzwCodes(const Bytes& indices, int minCodeSize,
                                    const LzwOptions& options = {},
                                    std::vector<std::uint32_t>* lengths = nullptr);
/// Packs codes least significant bit first at the width a decoder reads them
/// with (growing as the decoder's table grows, reset by clear codes). Code
/// values wider than their width are cut to it.
Bytes PackCodes(const std::vector<std::uint32_t>& codes, int minCodeSize);
/// Frames bytes as data sub-blocks of blockSize bytes (the last shorter),
/// followed by the zero-length terminator when terminate is set.
Bytes SubBlocks(const Bytes& bytes, int blockSize = 255, bool terminate = true);
/// Frames bytes as data sub-blocks of the given sizes in turn (the last size
/// repeating), followed by the zero-length terminator.
Bytes SubBlocksOfSizes(const Bytes& bytes, const std::vector<int>& sizes);
/// LzwCodes + PackCodes + SubBlocks.
Bytes EncodeData(const Bytes& indices, int minCodeSize, const LzwOptions& options = {});

/// The pieces of a GIF file, written in this order.
struct GifPieces {
  std::string signature = "GIF89a";
  int screenWidth = 0;
  int screenHeight = 0;
  bool globalTable = true;
  int globalBits = 8;  // table of 2^globalBits entries
  std::uint8_t background = 0;
  std::uint8_t pixelRatio = 0;  // must be 0 for the reader
  Bytes globalColours;          // 3 bytes per entry; missing entries are made up
  Bytes beforeImage;            // raw bytes between the global table and the image
  int left = 0, top = 0;
  int imageWidth = 0;
  int imageHeight = 0;
  bool interlaced = false;
  bool localTable = false;
  int localBits = 1;
  Bytes localColours;
  int minCodeSize = 8;
  Bytes data;  // the sub-block chain, terminator included
  Bytes trailer = {0x3B};
};

/// The bytes of the file.
Bytes Assemble(const GifPieces& pieces);
/// A distinct colour for each index (used when a table is made up).
void MakeColours(Bytes& colours, int entries, unsigned seed);

/// A one-frame GIF of width × height indices (frame = screen), data encoded
/// with the given minimum code size.
GifPieces SimpleGif(int width, int height, const Bytes& indices, int bits, int minCodeSize);

/// Indices in the interlaced storage order of a frame.
Bytes InterlaceRows(const Bytes& indices, int width, int height);

/// A graphic control extension block (8 bytes).
Bytes GraphicControlExtension();

}  // namespace gift

#endif  // ZENTREL_TESTS_GIF_GIFWRITER_H
