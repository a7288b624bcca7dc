// The GIF reader's decoder object: it reads the file framing, decodes the
// first frame's LZW data into a new 8-bit packed DIB and hands that block
// to CImageDataModel::ReadGIFImage. One object lives for one call.
#ifndef ZENTREL_FILES_GIFDECODER_H
#define ZENTREL_FILES_GIFDECODER_H

#include <cstdint>

#include "files/GifInput.h"
#include "platform/File.h"
#include "platform/Memory.h"

namespace zentrel::detail {

class GifDecoder : public CObject {
 public:
  /// Fill threshold of the data buffer; smaller files are taken in one fill.
  static constexpr UINT kChunkSize = 51200;

  explicit GifDecoder(CString path);
  /// A decoder with the widened reading of flags (ZENTREL_READ_GIF_EXTENSIONS)
  /// and the host's block limit (0: the library's cap).
  GifDecoder(CString path, DWORD flags, DWORD blockLimit);
  /// Releases a result block not handed on with HandBlockTo.
  ~GifDecoder() override;

  /// The whole read: framing and LZW decoding. 1 on success, 0 on failure
  /// (after any message); a block allocated on the way is released when
  /// this object goes, unless handed on.
  int Decode();
  /// Gives the result block to the one who keeps it (the four addresses as
  /// DibBlock::HandTo gives them); this object holds none afterwards.
  void HandBlockTo(HGLOBAL& dib, BITMAPINFOHEADER*& bmh, RGBQUAD*& palette, BYTE*& pixels);

  /// What Decode found, for the record's questions: a ZENTREL_NOTE_ code,
  /// the first frame's transparent index (−1 for none) and the entries of
  /// the colour table the frame uses.
  int Note() const { return m_nNote; }
  int TransparentIndex() const { return m_nTransparentIndex; }
  int FileColors() const { return m_nColorCount; }

 private:
  int AllocateImage(int width, int height, int bitCount);
  int ReleaseImage();
  int DecodeOpenFile();
  bool Widened() const;
  int Refuse(int note, const char* message);
  // Extension blocks before the first image (GifExtensions.cpp).
  bool SkipExtensions(std::uint64_t length);
  bool SkipSubBlocks(BYTE label, std::uint64_t length);
  void ReadColourTable(UINT entries);
  // The frame's data through the LZW decoder into the rows (GifFrameData.cpp).
  void RunDecodingLoop(UINT minCodeSize);
  class FrameRows;

  // Output of strings along the frame (GifOutput.cpp).
  void StartFrame();
  BYTE* RowPointer(int row) const;
  void NextRow();
  void EmitRun(const BYTE* indices, int count);

  // The result block, owned by this object until handed on.
  HGLOBAL m_hDIB = nullptr;
  BYTE* m_pBits = nullptr;
  RGBQUAD* m_pPalette = nullptr;
  BITMAPINFOHEADER* m_pBmh = nullptr;

  CString m_strFileName;
  DWORD m_nFlags = 0;
  DWORD m_nBlockLimit = 0;
  int m_nNote = 0;
  int m_nTransparentIndex = -1;
  UINT m_nChunkSize = kChunkSize;
  int m_nCol = 0, m_nRow = 0, m_nPass = 0;
  int m_nScreenWidth = 0, m_nScreenHeight = 0;
  int m_nImageWidth = 0, m_nImageHeight = 0;
  int m_nColorCount = 0;
  UINT m_nColorMask = 0;
  BOOL m_bInterlaced = FALSE;
  BOOL m_bGlobalTable = FALSE;

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

}  // namespace zentrel::detail

#endif  // ZENTREL_FILES_GIFDECODER_H
