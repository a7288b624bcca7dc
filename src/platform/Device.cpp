// The off-screen device: its pixel buffer, palette and stretch-mode state,
// the call log, and the free functions that reach a device by its handle.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>

#include "ZentrelDevice.h"

namespace {

/// The largest pixel buffer a device allocates, as for image blocks.
constexpr std::uint64_t kMaxDeviceBytes = 0x7FFFFFFFu;

/// The colours of a device's default palette: the twenty colours a display
/// device reserves (sixteen standard colours and four extra greys and tints).
constexpr BYTE kDefaultColours[20][3] = {
    {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
    {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
    {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};

HPALETTE CreateDefaultPalette() {
  // LOGPALETTE declares one entry; the record is laid out with room for 20.
  struct {
    LOGPALETTE head;
    PALETTEENTRY more[19];
  } logical{};
  logical.head.palVersion = 0x300;
  logical.head.palNumEntries = 20;
  PALETTEENTRY* entries = logical.head.palPalEntry;
  for (int i = 0; i < 20; ++i)
    entries[i] =
        PALETTEENTRY{kDefaultColours[i][0], kDefaultColours[i][1], kDefaultColours[i][2], 0};
  return CreatePalette(&logical.head);
}

std::int64_t AddressOf(const void* p) {
  return static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(p));
}

enum class Style { Decimal, Address, Hexadecimal };

/// How an argument of a logged call is written: handles and pointers as
/// addresses, the raster operation in hexadecimal, the rest in decimal.
Style StyleOf(const char* name, int index) {
  if (std::strcmp(name, "SelectPalette") == 0) return index == 0 ? Style::Address : Style::Decimal;
  if (index == 8 || index == 9) return Style::Address;  // the bits and the description
  if (index == 11 && std::strcmp(name, "StretchDIBits") == 0) return Style::Hexadecimal;
  return Style::Decimal;
}

}  // namespace

CDC::CDC() : m_hDC(this), m_hDefaultPalette(CreateDefaultPalette()) {
  m_hPalette = m_hDefaultPalette;
}

CDC::CDC(int width, int height) : CDC() {
  if (width < 1 || height < 1) return;
  std::uint64_t count = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  if (count > kMaxDeviceBytes / 4) return;
  m_pPixels = new (std::nothrow) std::uint32_t[count];
  if (!m_pPixels) return;
  m_nWidth = width;
  m_nHeight = height;
  FillSolid(RGB(255, 255, 255));
}

CDC::~CDC() {
  delete[] m_pPixels;
  DeleteObject(m_hDefaultPalette);
}

// ---- Pixels ----------------------------------------------------------------

COLORREF CDC::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight) return CLR_INVALID;
  std::uint32_t pixel = m_pPixels[static_cast<std::size_t>(y) * m_nWidth + x];
  return RGB(static_cast<BYTE>(pixel >> 16), static_cast<BYTE>(pixel >> 8),
             static_cast<BYTE>(pixel));
}

void CDC::FillSolid(COLORREF colour) {
  std::uint32_t pixel = 0xFF000000u | (std::uint32_t{GetRValue(colour)} << 16) |
                        (std::uint32_t{GetGValue(colour)} << 8) | GetBValue(colour);
  std::size_t count = static_cast<std::size_t>(m_nWidth) * static_cast<std::size_t>(m_nHeight);
  for (std::size_t i = 0; i < count; ++i) m_pPixels[i] = pixel;
}

// ---- Palette and stretch mode ------------------------------------------------

HPALETTE CDC::SelectPalette(HPALETTE palette, BOOL forceBackground) {
  HPALETTE previous = palette ? m_hPalette : nullptr;
  if (palette) m_hPalette = palette;
  Log("SelectPalette", {AddressOf(palette), forceBackground}, AddressOf(previous));
  return previous;
}

int CDC::SetStretchBltMode(int mode) {
  int previous = 0;
  if (mode >= BLACKONWHITE && mode <= HALFTONE) {
    previous = m_nStretchMode;
    m_nStretchMode = mode;
  }
  Log("SetStretchBltMode", {mode}, previous);
  return previous;
}

// ---- Call log --------------------------------------------------------------

void CDC::Log(const char* name, std::initializer_list<std::int64_t> args, std::int64_t result) {
  CDeviceCall& call = m_calls[m_nCalls % kCallLogCapacity];
  call = CDeviceCall{};
  call.name = name;
  for (std::int64_t value : args) {
    if (call.argCount == 12) break;
    call.args[call.argCount++] = value;
  }
  call.result = result;
  ++m_nCalls;
}

const CDeviceCall* CDC::GetCall(UINT index) const {
  UINT held = GetCallCount();
  if (index >= held) return nullptr;
  std::uint64_t first = m_nCalls - held;
  return &m_calls[(first + index) % kCallLogCapacity];
}

int CDC::FormatCall(const CDeviceCall& call, char* text, std::size_t size) {
  const char* name = call.name ? call.name : "";
  // Measure and write in one pass: each piece goes to what is left of text.
  int length = 0;
  auto append = [&](const char* format, auto value) {
    std::size_t used = static_cast<std::size_t>(length);
    char* out = used < size ? text + used : nullptr;
    int n = std::snprintf(out, out ? size - used : 0, format, value);
    if (n > 0) length += n;
  };
  if (size > 0) text[0] = '\0';
  append("%s(", name);
  for (int i = 0; i < call.argCount && i < 12; ++i) {
    if (i > 0) append("%s", ", ");
    Style style = StyleOf(name, i);
    if (style == Style::Address)
      append("0x%" PRIx64, static_cast<std::uint64_t>(call.args[i]));
    else if (style == Style::Hexadecimal)
      append("0x%08" PRIX64, static_cast<std::uint64_t>(call.args[i]));
    else
      append("%" PRId64, call.args[i]);
  }
  if (std::strcmp(name, "SelectPalette") == 0)
    append(") = 0x%" PRIx64, static_cast<std::uint64_t>(call.result));
  else
    append(") = %" PRId64, call.result);
  return length;
}

// ---- Calls through a handle ------------------------------------------------

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground) {
  return dc ? dc->SelectPalette(palette, forceBackground) : nullptr;
}

int SetStretchBltMode(HDC dc, int mode) { return dc ? dc->SetStretchBltMode(mode) : 0; }

int SetDIBitsToDevice(HDC dc, int destX, int destY, DWORD width, DWORD height, int srcX, int srcY,
                      UINT firstScan, UINT scanLines, const void* bits, const BITMAPINFO* info,
                      UINT usage) {
  return dc ? dc->SetDIBitsToDevice(destX, destY, width, height, srcX, srcY, firstScan, scanLines,
                                    bits, info, usage)
            : 0;
}

int StretchDIBits(HDC dc, int destX, int destY, int destWidth, int destHeight, int srcX, int srcY,
                  int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage,
                  DWORD rop) {
  return dc ? dc->StretchDIBits(destX, destY, destWidth, destHeight, srcX, srcY, srcWidth,
                                srcHeight, bits, info, usage, rop)
            : 0;
}
