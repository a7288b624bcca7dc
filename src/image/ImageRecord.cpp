// The image record: construction, attributes, and the packed DIB block's
// allocation and release.
#include <utility>

#include "ImageDataModel.h"
#include "image/DibBlock.h"
#include "image/Raster.h"
#include "image/RecordBlock.h"

using namespace zentrel::detail;

namespace zentrel::detail {
namespace {

constexpr LONG kDefaultID = -1;
constexpr short kDefaultRuler = 4;
constexpr COLORREF kDefaultBackground = RGB(235, 235, 235);
constexpr int kDefaultPrecision = 20;
constexpr int kMinPrecision = 15;
constexpr int kMaxPrecision = 40;

}  // namespace
}  // namespace zentrel::detail

CImageDataModel::CImageDataModel() : CImageDataModel(CRect(0, 0, 0, 0)) {}

// The attributes this constructor leaves unset elsewhere get the default
// constructor's values, so every record starts in a defined state.
CImageDataModel::CImageDataModel(CRect range)
    : m_nID(kDefaultID),
      m_nHeight(0),
      m_nWidth(0),
      m_nRuler(kDefaultRuler),
      m_dScale(1.0),
      m_crBackground(kDefaultBackground),
      m_nLineBytes(0),
      m_nPrecision(kDefaultPrecision),
      m_hDIB(nullptr),
      m_pBits(nullptr),
      m_pPalette(nullptr),
      m_pBmh(nullptr),
      m_rcRange(range),
      m_pDIBPalette(nullptr) {}

CImageDataModel::~CImageDataModel() {
  FreeImage();
  delete m_pDIBPalette;
}

// ---- Attributes ------------------------------------------------------------

void CImageDataModel::SetID(LONG id) { m_nID = id; }
LONG CImageDataModel::GetID() const { return m_nID; }
void CImageDataModel::SetName(CString name) { m_strName = name; }
CString CImageDataModel::GetName() const { return m_strName; }

void CImageDataModel::SetRuler(int value) {
  // Keep the low 16 bits, read as a signed value.
  int low = value & 0xFFFF;
  m_nRuler = static_cast<short>(low >= 0x8000 ? low - 0x10000 : low);
}
short CImageDataModel::GetRuler() const { return m_nRuler; }
void CImageDataModel::SetScale(double scale) { m_dScale = scale; }
double CImageDataModel::GetScale() const { return m_dScale; }

void CImageDataModel::SetBKColor(BYTE red, BYTE green, BYTE blue) {
  m_crBackground = RGB(red, green, blue);
}
COLORREF CImageDataModel::GetBKColor() const { return m_crBackground; }

void CImageDataModel::SetPrecision(int precision) {
  if (precision <= kMinPrecision)
    m_nPrecision = kMinPrecision;
  else if (precision > kMaxPrecision)
    m_nPrecision = kMaxPrecision;
  else
    m_nPrecision = precision;
}
int CImageDataModel::GetPrecision() const { return m_nPrecision; }

void CImageDataModel::SetRange(RECT range) { m_rcRange = range; }
void CImageDataModel::SetRange(int left, int top, int right, int bottom) {
  m_rcRange = RECT{left, top, right, bottom};
}
CRect CImageDataModel::GetRange() const { return CRect(m_rcRange); }
UINT CImageDataModel::GetRangeWidth() const {
  return static_cast<UINT>(m_rcRange.right) - static_cast<UINT>(m_rcRange.left);
}
UINT CImageDataModel::GetRangeHeight() const {
  return static_cast<UINT>(m_rcRange.bottom) - static_cast<UINT>(m_rcRange.top);
}

// ---- Storage ---------------------------------------------------------------

UINT CImageDataModel::GetWidth() const { return m_nWidth; }
UINT CImageDataModel::GetHeight() const { return m_nHeight; }
UINT CImageDataModel::GetLineBytes() const { return m_nLineBytes; }
HGLOBAL CImageDataModel::GetHandle() const { return m_hDIB; }
BYTE* CImageDataModel::GetBuffer() const { return m_pBits; }
RGBQUAD* CImageDataModel::GetPalette() const { return m_pPalette; }
BITMAPINFOHEADER* CImageDataModel::GetBmh() const { return m_pBmh; }
CPalette* CImageDataModel::GetDIBPalette() const { return m_pDIBPalette; }

short CImageDataModel::GetColorPixel() const {
  return m_hDIB ? static_cast<short>(m_pBmh->biBitCount) : 0;
}

void CImageDataModel::SetColorPixel(short depth) {
  if (!m_hDIB) return;
  // The block's own depth follows from its layout: a colour table lies
  // between the header and the pixel rows only in a block made for 8 bits.
  if (depth == BlockDepth(m_pPalette, m_pBits)) m_pBmh->biBitCount = static_cast<WORD>(depth);
}

short CImageDataModel::GetImageColors() const {
  if (!m_hDIB) return 0;
  const WORD depth = m_pBmh->biBitCount;
  // 1 << depth as a 16-bit value (a 15-bit header gives −32768); 24 bits,
  // and 16 bits and more, whose counts the 16-bit result cannot hold, give 0.
  if (depth >= 16) return 0;
  return static_cast<short>(static_cast<std::uint16_t>(1u << depth));
}

int CImageDataModel::IsEmpty() const { return m_hDIB == nullptr ? 1 : 0; }

int CImageDataModel::InitImage(int width, int height, int bits) {
  if ((bits != 8 && bits != 24) || height <= 0 || width <= 0) return 0;
  // A block still held is released first (not leaked), so that a block that
  // cannot be made, or exceeds the cap (block-size-cap), leaves the record
  // empty.
  FreeImage();
  DibBlock block;
  if (!AllocateDib(static_cast<UINT>(width), static_cast<UINT>(height), bits, DibRows::Zeroed,
                   block))
    return 0;
  RecordBlock::Install(*this, std::move(block));
  return 1;
}

int CImageDataModel::InitImage(int bits) {
  // Sizes that do not fit an int are refused like any other bad size.
  if (m_nWidth > 0x7FFFFFFFu || m_nHeight > 0x7FFFFFFFu) return 0;
  return InitImage(static_cast<int>(m_nWidth), static_cast<int>(m_nHeight), bits);
}

int CImageDataModel::FreeImage() { return RecordBlock::Release(*this) ? 1 : 0; }
