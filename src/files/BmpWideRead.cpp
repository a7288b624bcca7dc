// CImageDataModel::ReadBMPImage with flags: the widened BMP reader, which
// takes the common forms of the BMP format the narrow reader refuses and
// turns each into the record's 8-bit or 24-bit image.
#include <algorithm>
#include <cstring>
#include <utility>

#include "ImageDataModel.h"
#include "files/BmpPixelRows.h"
#include "files/BmpRle.h"
#include "files/BmpVariant.h"
#include "files/CloseReadFile.h"
#include "files/ReadLimit.h"
#include "image/DibBlock.h"
#include "image/Raster.h"
#include "image/RecordBlock.h"
#include "platform/File.h"
#include "platform/Memory.h"

using namespace zentrel::detail;

namespace zentrel::detail {
namespace {

constexpr std::uint64_t kMaxReadBytes = 0xFFFFFFFFu;  // one File::Read at most
constexpr std::uint64_t kChunkBytes = 1u << 20;       // uncompressed rows per read

/// The bytes from offset to the end of the file (0 when it lies past it),
/// no more than one read can take.
std::uint64_t BytesFrom(std::uint64_t offset, std::uint64_t fileLength) {
  return offset < fileLength ? std::min(fileLength - offset, kMaxReadBytes) : 0;
}

/// Reads the colour table into the block's table: entries of 3 (OS/2 1.x) or
/// 4 bytes, blue, green, red first; entries the file lacks stay black.
void ReadColourTable(CFile& file, const BmpVariant& v, RGBQUAD* table) {
  if (v.tableEntries == 0) return;
  BYTE bytes[4 * 256] = {};
  file.Seek(static_cast<std::int64_t>(v.tableOffset), CFile::begin);
  file.Read(bytes, v.tableEntries * v.entryBytes);
  for (std::uint32_t i = 0; i < v.tableEntries; ++i) {
    const BYTE* entry = bytes + i * v.entryBytes;
    table[i] = RGBQUAD{entry[0], entry[1], entry[2], 0};
  }
}

/// The block's row for the file's row r.
BYTE* StoredRow(const BmpVariant& v, const DibBlock& block, std::uint32_t r) {
  const std::uint32_t stored = v.topDown ? StoredRowOf(v.height, r) : r;
  return block.Bits() + std::size_t{stored} * block.RowBytes();
}

/// Converts one file row of which the file supplied have bytes into the
/// block's row; pixels the file lacks stay 0.
void ConvertRow(const BmpVariant& v, const BitFieldChannel channels[3], const BYTE* in,
                std::uint64_t have, BYTE* out) {
  const std::uint32_t count =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(v.width, have * 8 / v.bits));
  if (v.form == BmpPixelForm::Indexed)
    UnpackIndices(in, count, v.bits, out);
  else if (v.form == BmpPixelForm::Rgb24)
    std::memcpy(out, in, std::size_t{count} * 3);
  else
    UnpackBitFields(in, count, v.bits / 8, channels, out);
}

/// Uncompressed rows, read some rows at a time. Returns the note.
int ReadPlainRows(CFile& file, const BmpVariant& v, std::uint64_t fileLength,
                  const DibBlock& block) {
  const std::uint64_t rowBytes = v.FileRowBytes();
  // Reads of about kChunkBytes, never more than the file holds (a file that
  // claims more rows than it has needs no buffer for them).
  const std::uint64_t rowsPerChunk = std::max<std::uint64_t>(1, kChunkBytes / rowBytes);
  const std::uint64_t chunkBytes =
      std::min(rowsPerChunk * rowBytes, BytesFrom(v.pixelOffset, fileLength));
  if (chunkBytes == 0) return ZENTREL_NOTE_TRUNCATED;
  ScratchBuffer buffer = AllocateScratch(static_cast<std::size_t>(chunkBytes));
  if (!buffer) return ZENTREL_NOTE_NO_MEMORY;
  const BitFieldChannel channels[3] = {BitFieldChannel(v.masks[0]), BitFieldChannel(v.masks[1]),
                                       BitFieldChannel(v.masks[2])};
  const std::uint64_t pixelBytes = (std::uint64_t{v.width} * v.bits + 7) / 8;
  file.Seek(static_cast<std::int64_t>(v.pixelOffset), CFile::begin);
  for (std::uint32_t r = 0; r < v.height;) {
    const std::uint64_t want = std::min(std::uint64_t{v.height - r} * rowBytes, chunkBytes);
    const UINT got = file.Read(buffer.get(), static_cast<UINT>(want));
    for (std::uint64_t at = 0; at < want; at += rowBytes, ++r) {
      const std::uint64_t have = got > at ? std::min<std::uint64_t>(rowBytes, got - at) : 0;
      ConvertRow(v, channels, buffer.get() + at, have, StoredRow(v, block, r));
      // Only the last row may lack its padding without losing a pixel.
      if (have < rowBytes)
        return have < pixelBytes || r + 1 < v.height ? ZENTREL_NOTE_TRUNCATED : ZENTREL_NOTE_NONE;
    }
  }
  return ZENTREL_NOTE_NONE;
}

/// RLE8 or RLE4 data, taken whole (it is never longer than the file).
int ReadRleRows(CFile& file, const BmpVariant& v, std::uint64_t fileLength, const DibBlock& block) {
  const std::uint64_t bytes = BytesFrom(v.pixelOffset, fileLength);
  ScratchBuffer data = AllocateScratch(static_cast<std::size_t>(bytes) + 1);
  if (!data) return ZENTREL_NOTE_NO_MEMORY;
  file.Seek(static_cast<std::int64_t>(v.pixelOffset), CFile::begin);
  const UINT got = bytes ? file.Read(data.get(), static_cast<UINT>(bytes)) : 0;
  RleTarget target;
  target.bits = block.Bits();
  target.rowBytes = block.RowBytes();
  target.width = v.width;
  target.paddedWidth = v.FileRowBytes() * 8 / v.bits;
  target.height = v.height;
  target.topDown = v.topDown;
  return DecodeBmpRle(data.get(), got, v.form == BmpPixelForm::Rle4, target);
}

}  // namespace
}  // namespace zentrel::detail

int CImageDataModel::ReadBMPImage(CString name, DWORD flags) {
  if (!(flags & ZENTREL_READ_BMP_VARIANTS)) return ReadBMPImage(name);
  m_nReadNote = ZENTREL_NOTE_CANNOT_OPEN;
  m_nTransparentIndex = -1;
  m_nFileColors = 0;
  CFile file;
  CFileException openError;
  if (!file.Open(name, CFile::modeRead | CFile::shareDenyWrite, &openError)) return 0;
  // The image is built in a block of its own and installed only when
  // complete, so a refused file leaves the record as it was; installing
  // releases a block still held (read-releases-held).
  DibBlock block;
  try {
    const std::uint64_t fileLength = file.GetLength();
    BYTE head[kBmpVariantHeadBytes] = {};
    const UINT headBytes = file.Read(head, sizeof head);
    BmpVariant v;
    int note = ParseBmpVariant(head, headBytes, fileLength, v);
    if (note == ZENTREL_NOTE_NONE &&
        ExceedsReadLimit(v.width, v.height, v.OutputBits(), m_nReadLimit))
      note = ZENTREL_NOTE_TOO_LARGE;
    if (note == ZENTREL_NOTE_NONE &&
        !AllocateDib(v.width, v.height, v.OutputBits(), DibRows::Zeroed, block))
      note = ZENTREL_NOTE_NO_MEMORY;
    if (note != ZENTREL_NOTE_NONE) {
      m_nReadNote = note;
      CloseReadFile(file);
      return 0;
    }
    ReadColourTable(file, v, block.Table());
    const bool rle = v.form == BmpPixelForm::Rle8 || v.form == BmpPixelForm::Rle4;
    note =
        rle ? ReadRleRows(file, v, fileLength, block) : ReadPlainRows(file, v, fileLength, block);
    CloseReadFile(file);
    if (note == ZENTREL_NOTE_NO_MEMORY) {
      m_nReadNote = note;
      return 0;  // the block is released with its handle
    }
    block.Header()->biXPelsPerMeter = v.xPelsPerMeter;
    block.Header()->biYPelsPerMeter = v.yPelsPerMeter;
    RecordBlock::Install(*this, std::move(block));
    m_dScale = 1.0;
    m_nReadNote = note;
    m_nFileColors = static_cast<int>(v.tableEntries);
    return 1;
  } catch (CFileException* error) {
    error->Delete();
    file.Abort();
    m_nReadNote = ZENTREL_NOTE_READ_ERROR;
    return 0;
  }
}
