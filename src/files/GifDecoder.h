// The GIF reader's decoder object: it reads the file framing, decodes the
// first frame's LZW data into a new 8-bit packed DIB and hands that block
// to CImageDataModel::ReadGIFImage. One object lives for one call.
#ifndef ZENTREL_FILES_GIFDECODER_H
#define ZENTREL_FILES_GIFDECODER_H

#include <cstdint>

#include "files/GifInput.h"
#include "platform/File.h"
#include "platform/Memory.h"

class GifDecoder : public CObject {
 public:
  /// Codes have at most 12 bits, so the string table has 4096 entries.
  static constexpr UINT kTableSize = 4096;
  /// The output stack holds a whole string: at most 4096 indices (the walk
  /// stops there) plus the one pushed ahead for a code not yet in the
  /// table, so every code expands exactly, however long its string.
  static constexpr int kStackSize = 4097;
  /// Fill threshold of the data buffer; smaller files are taken in one fill.
  static constexpr UINT kChunkSize = 51200;

  explicit GifDecoder(CString path);
  /// A decoder with the widened reading of flags (ZENTREL_READ_GIF_EXTENSIONS)
  /// and the host's block limit (0: the library's cap).
  GifDecoder(CString path, DWORD flags, DWORD blockLimit);
  ~GifDecoder() override;

  /// The whole read: framing and LZW decoding. 1 on success, 0 on failure
  /// (after any message). On failure the caller releases the block.
  int Decode();
  /// Allocates the result packed DIB as CImageDataModel::InitImage does,
  /// into this object's block fields. 1 on success.
  int AllocateImage(int width, int height, int bitCount);
  /// Releases a result block still held. 1 if one was released.
  int ReleaseImage();
  /// Refills the data buffer from the sub-block chain; the bytes read.
  UINT ReadSubBlocks();
  /// The next code of the data, or the end code when no data is left.
  UINT GetNextCode();
  /// Stores one colour index at the frame position and advances it.
  void PutPixel(UINT index);

  /// What Decode found, for the record's questions: a ZENTREL_NOTE_ code,
  /// the first frame's transparent index (−1 for none) and the entries of
  /// the colour table the frame uses.
  int Note() const { return m_nNote; }
  int TransparentIndex() const { return m_nTransparentIndex; }
  int FileColors() const { return m_nColorCount; }

  // The result block, owned by this object until ReadGIFImage takes it.
  HGLOBAL m_hDIB = nullptr;
  BYTE* m_pBits = nullptr;
  RGBQUAD* m_pPalette = nullptr;
  BITMAPINFOHEADER* m_pBmh = nullptr;

 private:
  int DecodeOpenFile();
  bool Widened() const;
  int Refuse(int note, const char* message);
  // Extension blocks before the first image (GifExtensions.cpp).
  bool SkipExtensions(std::uint64_t length);
  bool SkipSubBlocks(BYTE label, std::uint64_t length);
  void ReadColourTable(UINT entries);
  void StartData(UINT minCodeSize);
  void SetCodeSize(int codeSize);
  void RunDecodingLoop();

  // Output of strings along the frame (GifOutput.cpp).
  void StartFrame();
  BYTE* RowPointer(int row) const;
  void NextRow();
  void EmitRun(const BYTE* indices, int count);

  // The string table (GifLzw.cpp).
  void ResetFastTable();
  // Kept out of line: they are rare, and inlined they would cost the
  // decoding loop its registers.
  __attribute__((noinline)) UINT FetchCode(UINT& bitPos, int codeSize, UINT readMask,
                                           UINT& fastLimit);
  __attribute__((noinline)) int ExpandExactly(UINT code);
  void ExpandFast(UINT code, BYTE* out) const;
  // A literal colour index: not above the colour mask, and not an entry of
  // the table. With more colours than the minimum code size covers, codes
  // from the first free code up are table entries even below the colour
  // count; taking them as indices would garble valid files.
  bool IsRoot(UINT code) const { return code <= m_nColorMask && code < m_nFirstFree; }

  CString m_strFileName;
  DWORD m_nFlags = 0;
  DWORD m_nBlockLimit = 0;
  int m_nNote = 0;
  int m_nTransparentIndex = -1;
  UINT m_nBitPos = 0;
  UINT m_nChunkSize = kChunkSize;
  UINT m_nDataBytes = 0;
  int m_nCol = 0, m_nRow = 0, m_nPass = 0;
  int m_nStackTop = 0;
  int m_nScreenWidth = 0, m_nScreenHeight = 0;
  int m_nImageWidth = 0, m_nImageHeight = 0;
  int m_nColorCount = 0;
  int m_nCodeSize = 0, m_nInitCodeSize = 0;
  UINT m_nMaxCode = 0, m_nClearCode = 0, m_nEndCode = 0;
  UINT m_nCurCode = 0, m_nOldCode = 0;
  UINT m_nFirstFree = 0, m_nFreeCode = 0, m_nFinChar = 0;
  UINT m_nColorMask = 0;
  UINT m_nReadMask = 0;
  BOOL m_bInterlaced = FALSE;
  BOOL m_bGlobalTable = FALSE;

  // The string table, zeroed at the start so that any stream decodes the
  // same way every time. m_nPrefix and m_nSuffix are the table itself: the
  // code of an entry's string without its last index, and that index
  // (narrow types hold every value: codes below 4096, indices below 256).
  // Only entries from the first free code up are ever assigned.
  std::uint16_t m_nPrefix[kTableSize] = {};
  BYTE m_nSuffix[kTableSize] = {};

  // A cache of the strings of known entries: roots, and entries assigned
  // since the last clear whose prefix chain runs through such entries down
  // to a root. m_length holds a string's length (0x8000 and above: not
  // known, expand step by step), m_first its first index, m_chunk its
  // indices 8k.. (k = (length − 1) / 8), index 8k in the low byte and 0
  // after the string's end, and m_link the entry whose string is the first
  // 8k indices. Entries from the free code up are never known. The arrays
  // read at random for each code (lengths, first indices, chunks) stay
  // apart from the others, small enough together for the first-level cache.
  std::uint64_t m_chunk[kTableSize] = {};
  std::uint16_t m_length[kTableSize] = {};
  BYTE m_first[kTableSize] = {};
  std::uint16_t m_link[kTableSize] = {};
  // The output stack, filled from its end so that a string reads front to
  // back; 8 spare bytes, as the fast expansion writes whole chunks.
  BYTE m_nStack[kStackSize + 8] = {};

  // Frame cursor: the stored row of m_nRow when it lies inside the result
  // (else null), the row length, and the columns that are both in the frame
  // and in the result.
  BYTE* m_pRow = nullptr;
  std::size_t m_nLineBytes = 0;
  int m_nVisibleWidth = 0;

  BYTE* m_pData = nullptr;
  ScratchBuffer m_scratch;  // holds m_pData and the read-ahead of m_input
  CFile m_file;
  GifInput m_input{m_file};
};

#endif  // ZENTREL_FILES_GIFDECODER_H
