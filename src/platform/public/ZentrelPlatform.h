// Platform types that cross the library's interface: fixed-width integer
// names, points and rectangles, the bitmap header records, the string class,
// the palette object and the message-box handler.
//
// Every type here has the same size and layout on every host; bitmap records
// are stored in memory in host byte order, while the file readers and writers
// convert from and to the little-endian order of the BMP format.
#ifndef ZENTREL_PLATFORM_H
#define ZENTREL_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <string>

#if defined(ZENTREL_BUILDING)
#define ZENTREL_API __attribute__((visibility("default")))
#else
#define ZENTREL_API
#endif

// ---- Integer types ---------------------------------------------------------

typedef std::uint8_t BYTE;
typedef std::uint16_t WORD;
typedef std::uint32_t DWORD;
typedef std::uint32_t UINT;
typedef std::int32_t LONG;
typedef std::int32_t BOOL;
typedef DWORD COLORREF;
typedef void* HGLOBAL;
typedef void* HLOCAL;

/// Opaque handle of a platform palette (see CreatePalette in CPalette's notes).
typedef struct ZentrelPaletteObject* HPALETTE;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// ---- Colours ---------------------------------------------------------------

/// A colour value: red in the low byte, then green, then blue; top byte 0.
inline constexpr COLORREF RGB(BYTE red, BYTE green, BYTE blue) {
  return static_cast<COLORREF>(red) | (static_cast<COLORREF>(green) << 8) |
         (static_cast<COLORREF>(blue) << 16);
}
inline constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
inline constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
inline constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }

// ---- Points and rectangles -------------------------------------------------

struct POINT {
  LONG x;
  LONG y;
};

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

/// A point with constructors; converts freely to and from POINT.
class CPoint : public POINT {
 public:
  CPoint() : POINT{0, 0} {}
  CPoint(int x0, int y0) : POINT{x0, y0} {}
  CPoint(const POINT& p) : POINT(p) {}  // NOLINT: implicit like the framework's
  bool operator==(const POINT& p) const { return x == p.x && y == p.y; }
  bool operator!=(const POINT& p) const { return !(*this == p); }
};

/// A rectangle with constructors; Width() and Height() are right − left and
/// bottom − top, without adding 1.
class CRect : public RECT {
 public:
  CRect() : RECT{0, 0, 0, 0} {}
  CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
  CRect(const RECT& r) : RECT(r) {}  // NOLINT: implicit like the framework's
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const RECT& r) const {
    return left == r.left && top == r.top && right == r.right && bottom == r.bottom;
  }
  bool operator!=(const RECT& r) const { return !(*this == r); }
};

// ---- Bitmap records --------------------------------------------------------

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
  WORD bfType;
  DWORD bfSize;
  WORD bfReserved1;
  WORD bfReserved2;
  DWORD bfOffBits;
};
#pragma pack(pop)

struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
};

struct LOGPALETTE {
  WORD palVersion;
  WORD palNumEntries;
  PALETTEENTRY palPalEntry[1];
};

static_assert(sizeof(RGBQUAD) == 4, "RGBQUAD must be 4 bytes");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER must be 40 bytes");
static_assert(sizeof(BITMAPFILEHEADER) == 14, "BITMAPFILEHEADER must be 14 bytes");
static_assert(sizeof(PALETTEENTRY) == 4, "PALETTEENTRY must be 4 bytes");
static_assert(sizeof(LOGPALETTE) == 8, "LOGPALETTE must be 8 bytes");
static_assert(sizeof(POINT) == 8 && sizeof(RECT) == 16, "POINT and RECT hold 32-bit members");

#define BI_RGB 0L

// ---- Base object -----------------------------------------------------------

/// Base of the library's classes: a virtual destructor, and no copying, so
/// that every block and palette object has exactly one owner.
class ZENTREL_API CObject {
 public:
  CObject() = default;
  CObject(const CObject&) = delete;
  CObject& operator=(const CObject&) = delete;
  virtual ~CObject();
};

// ---- Strings ---------------------------------------------------------------

/// A byte string. Paths and names cross the interface as CString by value.
class CString {
 public:
  CString() = default;
  CString(const char* text) : m_text(text ? text : "") {}  // NOLINT: implicit
  CString(const std::string& text) : m_text(text) {}       // NOLINT: implicit

  int GetLength() const { return static_cast<int>(m_text.size()); }
  bool IsEmpty() const { return m_text.empty(); }
  const char* GetString() const { return m_text.c_str(); }
  operator const char*() const { return m_text.c_str(); }  // NOLINT: implicit
  const std::string& str() const { return m_text; }

  /// The last n characters (all of them when the string is shorter; none
  /// for n ≤ 0).
  CString Right(int n) const {
    if (n <= 0) return CString();
    std::size_t count = static_cast<std::size_t>(n);
    if (count >= m_text.size()) return *this;
    return CString(m_text.substr(m_text.size() - count));
  }
  /// Upper-cases the ASCII letters in place.
  void MakeUpper() {
    for (char& c : m_text)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }

  friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
  friend bool operator!=(const CString& a, const CString& b) { return a.m_text != b.m_text; }
  friend bool operator<(const CString& a, const CString& b) { return a.m_text < b.m_text; }
  friend bool operator==(const CString& a, const char* b) { return a.m_text == (b ? b : ""); }
  friend bool operator!=(const CString& a, const char* b) { return !(a == b); }

 private:
  std::string m_text;
};

// ---- Palettes --------------------------------------------------------------

/// Creates a platform palette holding the entries of the logical palette
/// (palNumEntries entries, 1 to 256). Returns null when the record is null,
/// holds no entries or more than 256, or memory runs out.
ZENTREL_API HPALETTE CreatePalette(const LOGPALETTE* logical);

/// Releases a platform palette made by CreatePalette. Returns 1 when a
/// palette was released, 0 for null.
ZENTREL_API BOOL DeleteObject(HPALETTE palette);

/// A palette object: owns at most one platform palette and releases it when
/// it is deleted.
class ZENTREL_API CPalette : public CObject {
 public:
  CPalette() = default;
  ~CPalette() override;

  /// Takes ownership of a platform palette. Returns 1 when one was given,
  /// 0 for null (the object then holds none).
  BOOL Attach(HPALETTE palette);
  /// Gives up ownership without releasing the platform palette.
  HPALETTE Detach();
  /// Releases the platform palette held, if any. Returns 1 when one was held.
  BOOL DeleteObject();

  HPALETTE GetSafeHandle() const { return m_hObject; }
  operator HPALETTE() const { return m_hObject; }  // NOLINT: implicit

  /// Number of entries of the held palette, 0 when none is held.
  int GetEntryCount() const;
  /// Copies up to count entries, starting at start, into entries; returns how
  /// many were copied.
  UINT GetPaletteEntries(UINT start, UINT count, PALETTEENTRY* entries) const;

  HPALETTE m_hObject = nullptr;
};

// ---- Message boxes ---------------------------------------------------------

/// Receives the text of every message box the library shows, and its style
/// (MB_OK = 0, MB_ICONINFORMATION = 0x40). It must return once the user has
/// seen the message; the library goes on only after it returns.
typedef void (*MessageBoxHandler)(const char* text, UINT style);

/// Installs the handler for all message boxes of the library and returns the
/// previous one; null restores the default, which writes the text to
/// standard error (followed by a newline unless the text ends with one).
/// The handler is process-wide: install it once, at start-up.
ZENTREL_API MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

#define MB_OK 0x00000000L
#define MB_ICONINFORMATION 0x00000040L

#endif  // ZENTREL_PLATFORM_H
