// The ink mask of a sheet, ink where the sheet is not its paper colour:
// one byte per pixel in an 8-bit record (the picture of the traced
// outlines), or packed two bits per pixel for the pipeline itself.
#ifndef ZENTREL_TOOLS_INKMASK_H
#define ZENTREL_TOOLS_INKMASK_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ImageDataModel.h"

namespace cli {

/// Values of a mask cell. Ink cells start as kInk; the border follower adds
/// kOnBorder to every cell it passes and kRightOpen where it found paper to
/// the cell's right.
enum MaskCell : BYTE { kPaper = 0, kInk = 1, kOnBorder = 2, kRightOpen = 4 };

/// A view of the mask's rows in image order (y from the top): the record
/// stores rows bottom-up, so a step down the image is a step back in memory.
struct MaskView {
  BYTE* top = nullptr;      // the cell (0, 0)
  std::ptrdiff_t down = 0;  // address step from (x, y) to (x, y + 1)
  int width = 0, height = 0;

  BYTE* At(int x, int y) const { return top + x + static_cast<std::ptrdiff_t>(y) * down; }
};

/// The ink mask packed four cells to a byte, a quarter of the byte mask's
/// memory: each cell holds one of four states, read and written as the
/// byte mask's values kPaper, kInk, kInk | kOnBorder and
/// kInk | kOnBorder | kRightOpen (no other value occurs). Rows are indexed
/// from the top of the image.
class PackedMask {
 public:
  /// Makes the mask width x height cells, all paper; false (mask empty)
  /// when a side is negative or memory runs out.
  bool Reset(int width, int height);
  /// Frees the cells.
  void Clear();
  int Width() const { return width_; }
  int Height() const { return height_; }

  /// The value of cell (x, y); both inside the mask.
  BYTE Get(int x, int y) const { return ValueOf((Word(x, y) >> Shift(x)) & 3); }
  /// Adds the marks 'flags' (kOnBorder, kRightOpen) to the ink cell (x, y).
  void Mark(int x, int y, BYTE flags) {
    std::uint64_t& word = words_[Index(x, y)];
    const BYTE value = ValueOf((word >> Shift(x)) & 3) | flags;
    word = (word & ~(std::uint64_t{3} << Shift(x))) | (std::uint64_t{CodeOf(value)} << Shift(x));
  }
  /// Makes cell (x, y) paper.
  void SetPaper(int x, int y) { words_[Index(x, y)] &= ~(std::uint64_t{3} << Shift(x)); }
  /// The first cell of row y from x (at least 1) up to 'end' (at most the
  /// width) whose value differs from that of the cell on its left; 'end'
  /// when there is none. Reads whole words at a time.
  int NextChange(int x, int y, int end) const;

  /// The words of a row.
  std::size_t WordsPerRow() const { return stride_; }
  /// For the majority vote: each cell of row y holds the number of ink
  /// cells among itself and its left and right neighbours (words of
  /// WordsPerRow()).
  void RowSums(int y, std::uint64_t* sums) const;
  /// Sets each cell of row y but the first and last to ink when at least
  /// five of the nine cells around it are, from the RowSums of the
  /// unfiltered rows y - 1, y and y + 1.
  void VoteRow(int y, const std::uint64_t* above, const std::uint64_t* here,
               const std::uint64_t* below);

  /// Row y as values, one byte a cell (width bytes), and back.
  void UnpackRow(int y, BYTE* values) const;
  void PackRow(int y, const BYTE* values);

  static constexpr int kCellsPerWord = 32;

 private:
  // A cell's two-bit code counts its marks: the value 0, 1, 3 or 7 has as
  // many bits set as the code says.
  static BYTE ValueOf(std::uint64_t code) { return static_cast<BYTE>((1u << code) - 1); }
  static unsigned CodeOf(BYTE value) {
    return (value & 1u) + ((value >> 1) & 1u) + ((value >> 2) & 1u);
  }
  static int Shift(int x) { return (x % kCellsPerWord) * 2; }
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * stride_ + static_cast<std::size_t>(x / kCellsPerWord);
  }
  std::uint64_t Word(int x, int y) const { return words_[Index(x, y)]; }

  std::vector<std::uint64_t> words_;
  std::size_t stride_ = 0;  // words a row
  int width_ = 0, height_ = 0;
};

/// Makes 'mask' an 8-bit image of the sheet's size with one cell per pixel:
/// kInk where the sheet's pixel fails the sheet's background test
/// (IsBackground, with its background colour and precision), kPaper
/// elsewhere and always on the outermost ring, so that every ink cell has
/// eight neighbours inside the mask. Its colour table shows paper in the
/// sheet's background colour, ink grey and traced border cells red.
/// Returns false (mask empty) when the sheet is empty or not 8 or 24 bits,
/// or when memory runs out.
bool BuildInkMask(const CImageDataModel& sheet, CImageDataModel& mask);

/// The same mask packed: 'mask' becomes the sheet's size with the same
/// cells. Returns false (mask empty) on the same grounds.
bool BuildInkMask(const CImageDataModel& sheet, PackedMask& mask);

/// A 3 x 3 majority vote over the ink cells (a cell is ink when at least
/// five of the nine cells around it are): single specks and two-pixel dots
/// vanish, and pinholes in filled shapes close. Needs a few rows of scratch.
void MajorityFilter(const MaskView& mask);
void MajorityFilter(PackedMask& mask);

/// Makes 'picture' the 8-bit picture of a packed mask, as the byte mask
/// would be: one byte a cell, with its colour table for the paper colour
/// 'paper'. Returns false (picture empty) when memory runs out.
bool PaintMask(const PackedMask& mask, COLORREF paper, CImageDataModel& picture);

/// The view of a mask made by BuildInkMask.
MaskView ViewOf(const CImageDataModel& mask);

/// True when colour would pass the sheet's background test: each channel
/// within precision of the background and their sum below precision x 3.7.
bool IsPaperColour(COLORREF colour, COLORREF background, int precision);

}  // namespace cli

#endif  // ZENTREL_TOOLS_INKMASK_H
