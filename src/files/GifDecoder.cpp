// GifDecoder: opening the file, the header, screen descriptor, colour
// tables and first image descriptor, the result block, and the messages.
#include "files/GifDecoder.h"

#include <cstring>

#include "ImageDataModel.h"
#include "files/GifCodeStream.h"
#include "files/ReadLimit.h"
#include "image/DibBlock.h"
#include "platform/Endian.h"
#include "platform/MessageBox.h"

namespace zentrel::detail {

namespace {

constexpr BYTE kImageSeparator = 0x2C;
constexpr UINT kMaxMinCodeSize = 11;
// Bytes of the file read ahead for the LZW data.
constexpr UINT kReadAheadBytes = 65536;

void Show(const char* text) { AfxMessageBox(text, MB_OK, 0); }

}  // namespace

GifDecoder::GifDecoder(CString path) : m_strFileName(path) {}

GifDecoder::GifDecoder(CString path, DWORD flags, DWORD blockLimit)
    : m_strFileName(path), m_nFlags(flags), m_nBlockLimit(blockLimit) {}

bool GifDecoder::Widened() const { return (m_nFlags & ZENTREL_READ_GIF_EXTENSIONS) != 0; }

// Ends a read that has found a fault: the file is closed and the message
// (if any) shown; the block goes with this object. Always 0.
int GifDecoder::Refuse(int note, const char* message) {
  m_nNote = note;
  m_file.Close();
  if (message) Show(message);
  return 0;
}

// m_scratch and m_file release themselves.
GifDecoder::~GifDecoder() { ReleaseImage(); }

void GifDecoder::HandBlockTo(HGLOBAL& dib, BITMAPINFOHEADER*& bmh, RGBQUAD*& palette,
                             BYTE*& pixels) {
  dib = m_hDIB;
  bmh = m_pBmh;
  palette = m_pPalette;
  pixels = m_pBits;
  m_hDIB = nullptr;
  m_pBmh = nullptr;
  m_pPalette = nullptr;
  m_pBits = nullptr;
}

int GifDecoder::AllocateImage(int width, int height, int bitCount) {
  if (width <= 0 || height <= 0) return 0;
  if (ExceedsReadLimit(static_cast<UINT>(width), static_cast<UINT>(height), bitCount,
                       m_nBlockLimit))
    return 0;
  DibBlock block;
  if (!AllocateDib(static_cast<UINT>(width), static_cast<UINT>(height), bitCount, DibRows::Zeroed,
                   block))
    return 0;
  block.HandTo(m_hDIB, m_pBmh, m_pPalette, m_pBits);
  return 1;
}

int GifDecoder::ReleaseImage() { return ReleaseDib(m_hDIB, m_pBits, m_pPalette, m_pBmh) ? 1 : 0; }

int GifDecoder::Decode() {
  m_nNote = ZENTREL_NOTE_CANNOT_OPEN;
  CFileException openError;
  if (!m_file.Open(m_strFileName, CFile::modeRead | CFile::shareDenyWrite, &openError)) return 0;
  try {
    return DecodeOpenFile();
  } catch (CFileException* error) {
    error->Delete();
    m_nNote = ZENTREL_NOTE_READ_ERROR;
    m_file.Abort();
    m_file.Close();
    return 0;
  }
}

// Colour table entries [0, entries) from the file (red, green, blue each);
// entries [entries, 256) black. Missing bytes read as 0.
void GifDecoder::ReadColourTable(UINT entries) {
  BYTE table[3 * 256] = {};
  m_file.Read(table, 3 * entries);
  for (UINT i = 0; i < 256; ++i) {
    const BYTE* rgb = table + 3 * i;
    m_pPalette[i] = i < entries ? RGBQUAD{rgb[2], rgb[1], rgb[0], 0} : RGBQUAD{0, 0, 0, 0};
  }
}

// Everything after the file is open. Header pieces are read into fixed
// buffers (no allocation that could fail); bytes the file does not supply
// read as 0.
int GifDecoder::DecodeOpenFile() {
  const std::uint64_t length = m_file.GetLength();
  if (length <= m_nChunkSize) m_nChunkSize = static_cast<UINT>(length);
  m_file.Seek(0, CFile::begin);

  BYTE signature[6] = {};
  m_file.Read(signature, sizeof signature);
  if (std::memcmp(signature, "GIF89a", 6) != 0 && std::memcmp(signature, "GIF87a", 6) != 0)
    return Refuse(ZENTREL_NOTE_NOT_RECOGNISED, "Not a GIF file!");

  BYTE screen[7] = {};
  m_file.Read(screen, sizeof screen);
  m_nScreenWidth = LoadLE16(screen);
  m_nScreenHeight = LoadLE16(screen + 2);
  m_bGlobalTable = (screen[4] & 0x80) ? TRUE : FALSE;
  m_nColorCount = 1 << ((screen[4] & 7) + 1);
  m_nColorMask = static_cast<UINT>(m_nColorCount) - 1;
  if (screen[6] != 0) return Refuse(ZENTREL_NOTE_UNSUPPORTED_LAYOUT, "Corrupt GIF file!");
  // gif-local-table-only: the widened reader defers the want of a colour
  // table until it knows whether the first frame brings its own.
  if (!m_bGlobalTable && !Widened())
    return Refuse(ZENTREL_NOTE_UNSUPPORTED_LAYOUT, "File has not color table!\n");
  if (!AllocateImage(m_nScreenWidth, m_nScreenHeight, 8)) {
    const bool tooLarge = m_nScreenWidth > 0 && m_nScreenHeight > 0 &&
                          ExceedsReadLimit(static_cast<UINT>(m_nScreenWidth),
                                           static_cast<UINT>(m_nScreenHeight), 8, m_nBlockLimit);
    m_nNote = m_nScreenWidth == 0 || m_nScreenHeight == 0 ? ZENTREL_NOTE_DAMAGED_HEADER
              : tooLarge                                  ? ZENTREL_NOTE_TOO_LARGE
                                                          : ZENTREL_NOTE_NO_MEMORY;
    Show("Insufissiant Memory!");
    return 0;
  }
  if (m_bGlobalTable) ReadColourTable(static_cast<UINT>(m_nColorCount));

  // gif-extension-skip: the widened reader passes over extension blocks;
  // the narrow one wants the image descriptor right after the global table.
  if (Widened() && !SkipExtensions(length))
    return Refuse(ZENTREL_NOTE_DAMAGED_DATA, "Corrupt GIF file (No image separator)!\n");
  BYTE descriptor[10] = {};
  m_file.Read(descriptor, sizeof descriptor);
  if (descriptor[0] != kImageSeparator) {
    const bool extension = descriptor[0] == 0x21;
    return Refuse(extension ? ZENTREL_NOTE_UNSUPPORTED_LAYOUT : ZENTREL_NOTE_DAMAGED_HEADER,
                  "Corrupt GIF file (No image separator)!\n");
  }
  m_nImageWidth = LoadLE16(descriptor + 5);
  m_nImageHeight = LoadLE16(descriptor + 7);
  m_bInterlaced = (descriptor[9] & 0x40) ? TRUE : FALSE;
  // A local colour table is read, not mistaken for the LZW data: it becomes
  // the result's colour table and sets the colour count and mask.
  if (descriptor[9] & 0x80) {
    m_nColorCount = 1 << ((descriptor[9] & 7) + 1);
    m_nColorMask = static_cast<UINT>(m_nColorCount) - 1;
    ReadColourTable(static_cast<UINT>(m_nColorCount));
  } else if (!m_bGlobalTable) {
    return Refuse(ZENTREL_NOTE_UNSUPPORTED_LAYOUT, "File has not color table!\n");
  }
  BYTE minCodeSize = 0;
  m_file.Read(&minCodeSize, 1);
  // Above 11 the table has no room for a single code: refused quietly.
  if (minCodeSize > kMaxMinCodeSize) return Refuse(ZENTREL_NOTE_DAMAGED_DATA, nullptr);

  // The data buffer (zeroed, so that bytes it has not been filled with read
  // the same every time), its padding, and the read-ahead behind it.
  const UINT dataBytes = m_nChunkSize + 255 + GifCodeStream::kPadding;
  const UINT readAhead = length < kReadAheadBytes ? static_cast<UINT>(length) + 1 : kReadAheadBytes;
  m_scratch = AllocateScratch(static_cast<std::size_t>(dataBytes) + readAhead);
  if (!m_scratch) return Refuse(ZENTREL_NOTE_NO_MEMORY, "Cann't Alloc Ram!\n");
  m_pData = m_scratch.get();
  std::memset(m_pData, 0, dataBytes);
  m_input.Attach(m_pData + dataBytes, readAhead);

  RunDecodingLoop(minCodeSize);
  // The data ended before the frame was full: loaded, but incomplete.
  m_nNote = m_nRow < m_nImageHeight ? ZENTREL_NOTE_TRUNCATED : ZENTREL_NOTE_NONE;

  m_scratch.reset();
  m_pData = nullptr;
  m_file.Close();
  return 1;
}

}  // namespace zentrel::detail
