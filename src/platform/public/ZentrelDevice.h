// The device context: an off-screen raster device (a 32-bit pixel buffer of
// the host's chosen size) with the palette, stretch-mode and DIB painting
// calls of the platform's graphics interface, a log of those calls, and a
// writer that saves what the device shows as a 24-bit BMP file.
#ifndef ZENTREL_DEVICE_H
#define ZENTREL_DEVICE_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "ZentrelPlatform.h"

class CDC;
/// Handle of a device context: the device itself.
typedef CDC* HDC;

/// A bitmap description: the header followed by its colour table.
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

// Stretch modes. This device samples the nearest source pixel in every mode
// (COLORONCOLOR: eliminated rows and columns are dropped, never blended).
#define BLACKONWHITE 1
#define WHITEONBLACK 2
#define COLORONCOLOR 3
#define HALFTONE 4

/// The colour table holds literal red, green and blue values.
#define DIB_RGB_COLORS 0
/// The colour table holds indices into the selected palette (not supported).
#define DIB_PAL_COLORS 1
/// Raster operation: copy the source.
#define SRCCOPY 0x00CC0020u
/// GetPixel's result outside the device.
#define CLR_INVALID 0xFFFFFFFFu

/// One call made on a device, as its call log keeps it.
struct CDeviceCall {
  /// "SelectPalette", "SetStretchBltMode", "SetDIBitsToDevice" or
  /// "StretchDIBits".
  const char* name;
  /// Number of arguments after the device itself.
  int argCount;
  /// The arguments in call order; handles and pointers as their addresses.
  std::int64_t args[12];
  /// The call's result (for SelectPalette the address of the palette
  /// returned).
  std::int64_t result;
};

/// An off-screen device. Its pixels are rows of GetWidth() 32-bit values,
/// the top row first, each 0xFFRRGGBB in the host's byte order (the layout a
/// toolkit calls RGB32 or XRGB8888), so that a host can blit the buffer to a
/// window as it is. A new device is white.
///
/// The painting calls follow the platform's documented semantics for an
/// uncompressed bottom-up DIB (positive biHeight; biSize 40, 108 or 124; the
/// colour table at biSize bytes from the header's start): 8-bit pixels
/// through the colour table (biClrUsed entries, or 256 when it is 0; an
/// index past the table is black), 24-bit pixels as blue, green, red; rows
/// padded to 4 bytes; the source origin at the lower-left corner. Every
/// write is clipped to the device, and no read leaves the source rows that
/// the header and the scan-line arguments describe. Other descriptions
/// (top-down, compressed, other depths, DIB_PAL_COLORS, a raster operation
/// other than SRCCOPY) paint nothing and return 0.
class ZENTREL_API CDC : public CObject {
 public:
  /// Capacity of the call log: it keeps the most recent calls.
  static constexpr UINT kCallLogCapacity = 64;

  /// A device without pixels: everything painted on it is clipped away.
  CDC();
  /// A white device of width × height pixels. When either is below 1, or
  /// the buffer would exceed 2 GiB − 1 bytes or cannot be allocated, the
  /// device has no pixels (GetWidth and GetHeight give 0).
  CDC(int width, int height);
  ~CDC() override;

  /// This device's handle, for the free functions below.
  HDC GetSafeHdc() const { return m_hDC; }
  HDC m_hDC;

  // ---- Pixels --------------------------------------------------------------

  int GetWidth() const { return m_nWidth; }
  int GetHeight() const { return m_nHeight; }
  /// The pixel rows (see the class notes); null for a device without pixels.
  const std::uint32_t* GetBits() const { return m_pPixels; }
  std::uint32_t* GetBits() { return m_pPixels; }
  /// The colour at (x, y) as a COLORREF; CLR_INVALID outside the device.
  COLORREF GetPixel(int x, int y) const;
  /// Fills the whole device with colour.
  void FillSolid(COLORREF colour);
  /// Saves the pixels as an uncompressed 24-bit bottom-up BMP file, created
  /// or truncated. Returns 1 on success; 0 for a device without pixels or on
  /// any file error.
  BOOL SaveBitmap(CString path) const;

  // ---- Graphics calls ------------------------------------------------------

  /// Makes palette current and returns the palette that was current before
  /// (at first the device's own default palette, or null if there was no
  /// memory to make one). A null palette is refused:
  /// the result is null and nothing changes. The palette is only recorded:
  /// DIB_RGB_COLORS painting into 32-bit pixels does not consult it, and the
  /// device never reads through the handle.
  HPALETTE SelectPalette(HPALETTE palette, BOOL forceBackground);
  HPALETTE GetCurrentPalette() const { return m_hPalette; }
  /// Sets the stretch mode (1 to 4) and returns the previous one; 0 and no
  /// change for any other mode. A new device is in BLACKONWHITE.
  int SetStretchBltMode(int mode);
  int GetStretchBltMode() const { return m_nStretchMode; }
  /// Copies the width × height source rectangle whose lower-left corner is
  /// (srcX, srcY) unscaled to the device, its upper-left corner at
  /// (destX, destY). bits holds scanLines rows beginning with row firstScan
  /// (rows counted from the bottom); rows outside that band are not painted.
  /// Returns the number of device rows painted.
  int SetDIBitsToDevice(int destX, int destY, DWORD width, DWORD height, int srcX, int srcY,
                        UINT firstScan, UINT scanLines, const void* bits, const BITMAPINFO* info,
                        UINT usage);
  /// Copies the source rectangle with lower-left corner (srcX, srcY) and
  /// size srcWidth × srcHeight, scaled, into the destination rectangle with
  /// corner (destX, destY) and size destWidth × destHeight. A negative size
  /// runs from its corner towards lower coordinates (a width of −4 at x 10
  /// covers columns 10 down to 7); where the source and destination signs
  /// differ the picture is mirrored. Destination pixel k steps from the
  /// corner takes the source pixel k × |source size| / |destination size|
  /// steps (truncated) from the source corner, in each direction. Returns
  /// the number of device rows painted.
  int StretchDIBits(int destX, int destY, int destWidth, int destHeight, int srcX, int srcY,
                    int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info,
                    UINT usage, DWORD rop);

  // ---- Call log ------------------------------------------------------------

  /// Number of calls held (the most recent, at most kCallLogCapacity).
  UINT GetCallCount() const {
    return m_nCalls < kCallLogCapacity ? static_cast<UINT>(m_nCalls) : kCallLogCapacity;
  }
  /// Held call index, 0 being the oldest held; null past the end.
  const CDeviceCall* GetCall(UINT index) const;
  void ClearCallLog() { m_nCalls = 0; }
  /// Writes a call as text, such as "SetStretchBltMode(3) = 1", into text
  /// (always terminated when size > 0); returns the length of the full text.
  static int FormatCall(const CDeviceCall& call, char* text, std::size_t size);

 private:
  void Log(const char* name, std::initializer_list<std::int64_t> args, std::int64_t result);

  int m_nWidth = 0;
  int m_nHeight = 0;
  std::uint32_t* m_pPixels = nullptr;
  HPALETTE m_hDefaultPalette = nullptr;
  HPALETTE m_hPalette = nullptr;
  int m_nStretchMode = BLACKONWHITE;
  std::uint64_t m_nCalls = 0;  // calls logged since the last clear
  CDeviceCall m_calls[kCallLogCapacity];
};

// The same calls on a device handle; a null handle gives 0 (or null).
ZENTREL_API HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
ZENTREL_API int SetStretchBltMode(HDC dc, int mode);
ZENTREL_API int SetDIBitsToDevice(HDC dc, int destX, int destY, DWORD width, DWORD height, int srcX,
                                  int srcY, UINT firstScan, UINT scanLines, const void* bits,
                                  const BITMAPINFO* info, UINT usage);
ZENTREL_API int StretchDIBits(HDC dc, int destX, int destY, int destWidth, int destHeight, int srcX,
                              int srcY, int srcWidth, int srcHeight, const void* bits,
                              const BITMAPINFO* info, UINT usage, DWORD rop);

#endif  // ZENTREL_DEVICE_H
