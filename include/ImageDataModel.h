// Zentrel: a raster-image library for desktop map software.
//
// One class, CImageDataModel, holds at most one raster image (8-bit
// palettised or 24-bit true colour) and offers everything a map application
// does with a scanned sheet: reading BMP and GIF files, saving BMP files,
// pixel access, painting into a device, flips, turns and rotation, outline
// marking, noise filters, contour tracing, point-list compression, region
// measuring, shape recognition and line drawing.
//
// Storage. The image lives in one packed DIB block: a 40-byte
// BITMAPINFOHEADER, the colour table (256 RGBQUAD entries for 8-bit images,
// none for 24-bit images) and the pixel rows, stored bottom-up, each row
// padded to a multiple of 4 bytes (GetLineBytes), followed by one spare row
// of zero bytes. The block stays at a fixed address while it is held.
//
// Coordinates. x counts columns from the left and y rows from the top, both
// from 0; pixel (x, y) is stored in row GetHeight() − 1 − y of the block.
//
// Colours are COLORREF values: red in the low byte, then green, then blue.
// The colour of an 8-bit pixel is the colour of its colour-table entry.
//
// Results. Methods typed int return 1 for success or true and 0 for failure
// or false unless their notes say otherwise. Nothing throws; failures are
// return values. The only messages are message boxes routed to the handler
// installed with SetMessageBoxHandler (see ZentrelPlatform.h).
//
// Threads. A record is used from one thread at a time; distinct records
// share nothing and may be used on different threads at once.
#ifndef ZENTREL_IMAGEDATAMODEL_H
#define ZENTREL_IMAGEDATAMODEL_H

#include "ZentrelDevice.h"
#include "ZentrelPlatform.h"

// ---- Widened reading: flags and read notes -----------------------------------
//
// The readers called with a name alone take the narrow file forms described
// with them. A host that wants the files people commonly have passes flags to
// the overloads below; 0 gives exactly the narrow readers.

/// GIF: skip extension blocks (graphic control, comment, application, plain
/// text, unknown labels) before the first image, keep the first frame's
/// transparent index, and take a file without a global colour table when
/// its first frame has a local one.
constexpr DWORD ZENTREL_READ_GIF_EXTENSIONS = 0x0001;
/// BMP: 1-, 2- and 4-bit files, RLE8 and RLE4, 16- and 32-bit files (plain
/// and bit fields), top-down files, OS/2 1.x and 2.x headers.
constexpr DWORD ZENTREL_READ_BMP_VARIANTS = 0x0002;
/// Every widened reader.
constexpr DWORD ZENTREL_READ_WIDE = ZENTREL_READ_GIF_EXTENSIONS | ZENTREL_READ_BMP_VARIANTS;

/// SaveBMPImage: when the temporary file cannot be created because the
/// target's folder may not be written, but the target is an existing file
/// that may be, write the target in place (a failure mid-write then leaves
/// it incomplete). SaveBMPImage(name) uses it; SaveBMPImage(name, 0) only
/// ever replaces the target with a complete temporary file.
constexpr DWORD ZENTREL_SAVE_IN_PLACE_FALLBACK = 0x0001;

/// Why the last read gave 0, or that a loaded file was incomplete
/// (GetLastReadNote). A loaded image carries NONE, TRUNCATED or
/// DAMAGED_DATA (RLE data cut at the image's edges); a refused file any
/// code but NONE and TRUNCATED.
constexpr int ZENTREL_NOTE_NONE = 0;                ///< read completely
constexpr int ZENTREL_NOTE_CANNOT_OPEN = 1;         ///< the file cannot be opened
constexpr int ZENTREL_NOTE_NOT_RECOGNISED = 2;      ///< no BMP or GIF signature
constexpr int ZENTREL_NOTE_UNSUPPORTED_DEPTH = 3;   ///< a bit depth the reader does not take
constexpr int ZENTREL_NOTE_COMPRESSED = 4;          ///< a compression the reader does not take
constexpr int ZENTREL_NOTE_UNSUPPORTED_LAYOUT = 5;  ///< a valid form the reader does not take
constexpr int ZENTREL_NOTE_DAMAGED_HEADER = 6;      ///< headers that make no sense
constexpr int ZENTREL_NOTE_TOO_LARGE = 7;           ///< over the read limit (SetReadLimit)
constexpr int ZENTREL_NOTE_NO_MEMORY = 8;           ///< memory ran out
constexpr int ZENTREL_NOTE_READ_ERROR = 9;          ///< the system failed a read
constexpr int ZENTREL_NOTE_TRUNCATED = 10;          ///< loaded; the file ended early
constexpr int ZENTREL_NOTE_DAMAGED_DATA = 11;       ///< damaged data: cut (loaded) or refused

// The library's internal views that reach into the record (friends below).
namespace zentrel {
namespace detail {
class ImageAccess;
class RecordBlock;
}  // namespace detail
}  // namespace zentrel

class ZENTREL_API CImageDataModel : public CObject {
 public:
  // ---- Construction and attributes -----------------------------------------

  /// An empty record: identifier −1, empty name, ruler 4, scale 1.0,
  /// background colour RGB(235, 235, 235), precision 20, working rectangle
  /// (0, 0, 0, 0).
  CImageDataModel();
  /// An empty record whose working rectangle is range; every other attribute
  /// takes the default constructor's value.
  explicit CImageDataModel(CRect range);
  /// Releases the image and the palette object.
  ~CImageDataModel() override;

  void SetID(LONG id);
  LONG GetID() const;
  void SetName(CString name);
  CString GetName() const;
  /// Stores the low 16 bits of value (70000 reads back as 4464).
  void SetRuler(int value);
  short GetRuler() const;
  void SetScale(double scale);
  double GetScale() const;

  /// Background colour of the raster operations (see IsBackground).
  void SetBKColor(BYTE red, BYTE green, BYTE blue);
  COLORREF GetBKColor() const;
  /// Colour tolerance, clamped into 15..40 (15 or less gives 15, above 40
  /// gives 40). It sets the background test (IsBackground) and the colour
  /// match threshold of the outline, tracing and region operations:
  /// precision × 3.6 truncated (72 at the default 20).
  void SetPrecision(int precision);
  int GetPrecision() const;

  /// The working rectangle: inclusive pixel bounds that the library stores
  /// for the caller. Installing an image, and a quarter turn, reset it to the
  /// whole image; no operation is limited by it.
  void SetRange(RECT range);
  void SetRange(int left, int top, int right, int bottom);
  CRect GetRange() const;
  /// right − left of the working rectangle, without adding 1, modulo 2^32.
  UINT GetRangeWidth() const;
  /// bottom − top of the working rectangle, without adding 1, modulo 2^32.
  UINT GetRangeHeight() const;

  // ---- Storage -------------------------------------------------------------

  /// Size of the image in pixels. After FreeImage they keep the released
  /// image's size.
  UINT GetWidth() const;
  UINT GetHeight() const;
  /// Bytes per stored pixel row: ((width × depth + 31) / 32) × 4.
  UINT GetLineBytes() const;
  /// The handle of the packed DIB block, null when no image is held. The
  /// caller may read and write the block but never frees it.
  HGLOBAL GetHandle() const;
  /// First byte of the pixel rows (the bottom row), null when empty.
  BYTE* GetBuffer() const;
  /// First colour-table entry; for a 24-bit image the same as GetBuffer().
  RGBQUAD* GetPalette() const;
  /// The header at the start of the block, null when empty. The caller may
  /// write it; the operations never let it lead them outside the block:
  /// - while biBitCount is not the depth the block was made for (8 for a
  ///   block with a colour table, 24 for one without; see SetColorPixel),
  ///   every operation that reads or writes pixels or the colour table
  ///   (pixel access and colour tests, outlines, noise filters, shrinking,
  ///   transforms, colour tracing, regions, lines, InitDIBData,
  ///   CreateDIBPalette, painting) behaves as on an empty record and changes
  ///   nothing;
  /// - every operation indexes the rows with GetWidth(), GetHeight() and
  ///   GetLineBytes(), never with biWidth or biHeight, so other values there
  ///   change no result, except that PaintImageToDevice, which hands the
  ///   header to the device, paints nothing (returns 0) while biSize is not
  ///   40 or biWidth, biHeight or biBitCount differs from the image's.
  /// Restoring the fields makes the image usable again. SaveBMPImage writes
  /// the rows and table as the block holds them and rewrites biWidth,
  /// biHeight and biSizeImage from the record.
  BITMAPINFOHEADER* GetBmh() const;
  /// The palette object made by InitDIBData for an 8-bit image, or null
  /// (InitDIBData on a 24-bit image releases one made earlier).
  CPalette* GetDIBPalette() const;

  /// The bit depth (biBitCount of the header), 0 when no image is held.
  short GetColorPixel() const;
  /// Restates the depth in the header. Only the depth the block was made for
  /// is accepted (8 for a block with a colour table, 24 for one without):
  /// any other value would make pixel access address bytes outside the
  /// block, so it is ignored, as is every call on an empty record.
  void SetColorPixel(short depth);
  /// Colour-table entries: 1 << depth as a 16-bit value for the header's
  /// depths 0 to 15 (256 for an 8-bit image, −32768 for 15); 0 for 24-bit
  /// and other depths of 16 and more, and when no image is held.
  short GetImageColors() const;
  /// 1 when no image is held.
  int IsEmpty() const;

  /// Installs a blank image: a zero-filled packed DIB of width × height
  /// pixels at bits 8 or 24 (colour table all black, pixels all 0), and sets
  /// the working rectangle to the whole image. An image already held is
  /// released first. Returns 0 and changes nothing for other depths or a
  /// width or height below 1; returns 0 with the record empty when the block
  /// would exceed 2 GiB − 1 bytes or cannot be allocated.
  int InitImage(int width, int height, int bits);
  /// InitImage(GetWidth(), GetHeight(), bits).
  int InitImage(int bits);
  /// Releases the block. Returns 1 if one was held, 0 otherwise. The size,
  /// row length, working rectangle, attributes and palette object stay.
  int FreeImage();
  /// Call once after installing an image, before painting it. An image wider
  /// or higher than 10000 pixels is released, the message "Map is too large"
  /// is shown and the result is 0. For an 8-bit image a new palette object is
  /// made from the colour table (replacing one made earlier); the result is
  /// then that of CreateDIBPalette. A 24-bit image gives 1 and releases a
  /// palette object made earlier (it described another image's colours);
  /// an empty record gives 0.
  int InitDIBData();
  /// Builds the platform palette of the palette object from the colour table
  /// (GetImageColors() entries; a snapshot). Returns 1 when it was made;
  /// 0 when there is no palette object, no colour table or no memory.
  int CreateDIBPalette();

  // ---- Pixel access and colour tests ---------------------------------------

  /// The colour of pixel (x, y); 0 outside the image or when empty.
  COLORREF GetPixel(UINT x, UINT y) const;
  /// GetPixel(point.x, point.y): a negative coordinate is outside.
  COLORREF GetPixel(POINT point) const;
  /// The mean colour of the pixels that are not background in the window
  /// x − dx .. x + dx, y − dy .. y + dy clipped to the image, each channel
  /// divided with the fraction dropped. 0 when no image is held, the window
  /// is empty (a negative dx or dy) or every pixel in it is background.
  COLORREF GetPixel(UINT x, UINT y, int dx, int dy) const;
  COLORREF GetPixel(POINT point, int dx, int dy) const;
  /// Sets pixel (x, y) to colour; nothing happens outside the image or when
  /// empty. On an 8-bit image the pixel's index is kept and its colour-table
  /// entry is rewritten, so every pixel sharing that index changes colour.
  void SetPixel(UINT x, UINT y, COLORREF colour);
  void SetPixel(POINT point, COLORREF colour);
  /// Writes a grid of rows × columns colours, row-major, to the top-left
  /// corner of the image: entry r × columns + c goes to pixel (c, r) for
  /// r < min(rows, height) and c < min(columns, width), through SetPixel.
  /// The grid must hold rows × columns entries. Always returns 1.
  int SetPixelFromGrid(UINT rows, UINT columns, const COLORREF* grid);
  /// The sum of the absolute red, green and blue differences between pixel
  /// (x, y) and colour, 0..765; 0 outside the image or when empty.
  int ColorDistance(UINT x, UINT y, COLORREF colour) const;
  /// 1 when each channel of pixel (x, y) differs from the background colour
  /// by less than the precision P and the three differences sum to less than
  /// P × 3.7 truncated. Outside the image or when empty the test is applied
  /// to colour 0, as GetPixel reports there.
  int IsBackground(UINT x, UINT y) const;
  int IsBackground(POINT point) const;

  // ---- Painting ------------------------------------------------------------

  /// Paints the image into the device at rect. When rect is one pixel smaller
  /// than the image in both directions (as GetRange() is for a fresh image)
  /// the image is copied unscaled without its top row and right column;
  /// otherwise the whole image is stretched into rect (right − left by
  /// bottom − top pixels). The palette object, if any, is selected for the
  /// call. Returns the number of scan lines painted; 0 when empty or when
  /// the header no longer describes the image (see GetBmh).
  int PaintImageToDevice(CDC* dc, CRect* rect);

  // ---- Files ---------------------------------------------------------------

  /// Format code from the last four characters of the name, any case:
  /// ".BMP" 1, ".TIF" 2, ".GIF" 3, anything else 0.
  short TestMode(CString name);
  /// 1 when the file begins with "BM", else TestMode(name); 0 when the file
  /// cannot be opened or read.
  short TestImageFormat(CString name);
  /// Loads an uncompressed 8-bit or 24-bit bottom-up BMP file. The record
  /// must be empty (FreeImage first). Returns 1 on success.
  int ReadBMPImage(CString name);
  /// Writes the image as a BMP file. Returns 0 when empty or on any error.
  int SaveBMPImage(CString name);
  /// Loads the first image of a GIF file as an 8-bit image of the logical
  /// screen's size. The record must be empty. Returns 1 on success.
  int ReadGIFImage(CString name);
  /// Entry points kept for hosts that call them: they do nothing and
  /// return 1.
  int ReadTIFImage(CString name);
  int SaveGIFImage(CString name);
  int SaveTIFImage(CString name);

  // ---- Widened reading -------------------------------------------------------

  /// ReadBMPImage(name) when flags lack ZENTREL_READ_BMP_VARIANTS. With it,
  /// also reads 1-, 2- and 4-bit files (to 8 bits with the file's colour
  /// table, entries past it black), RLE8 and RLE4 (to 8 bits; pixels the
  /// stream skips or leaves out are index 0, and what it would write past a
  /// row or the image is dropped), 16- and 32-bit files (plain or bit fields,
  /// alpha ignored; to 24 bits, each channel scaled to 0..255 and rounded),
  /// top-down files (stored bottom-up as usual) and OS/2 headers (12 bytes
  /// with 3-byte table entries; 16 to 64 bytes). The record's header is then
  /// that of a fresh image of the result's depth (biCompression 0, 40 bytes)
  /// with the file's resolution. Refused with 0: embedded JPEG or PNG, OS/2
  /// Huffman and RLE24, other depths, a block over the read limit, damaged
  /// headers; a refused file leaves the record as it was. GetLastReadNote
  /// tells why.
  int ReadBMPImage(CString name, DWORD flags);
  /// ReadGIFImage(name) when flags lack ZENTREL_READ_GIF_EXTENSIONS. With it,
  /// extension blocks before the first image descriptor are skipped by
  /// their sub-block framing (a sub-block running past the end of the file
  /// is refused with "Corrupt GIF file (No image separator)!\n"), the last
  /// graphic control extension before the first image gives
  /// GetTransparentIndex, and a file without a global colour table is taken
  /// when its first frame has a local one. Everything else (messages,
  /// placement, interlacing, only the first frame) is as ReadGIFImage(name).
  int ReadGIFImage(CString name, DWORD flags);
  /// Reads a BMP or GIF file recognised by its first bytes ("BM", "GIF87a",
  /// "GIF89a"), never by its name, with ReadBMPImage(name, flags) or
  /// ReadGIFImage(name, flags). 0 with ZENTREL_NOTE_NOT_RECOGNISED for any
  /// other content, ZENTREL_NOTE_CANNOT_OPEN when the file cannot be opened.
  int ReadImage(CString name, DWORD flags);
  /// Saves as SaveBMPImage(name) does, choosing whether a target in a folder
  /// that takes no new file may be written in place: with
  /// ZENTREL_SAVE_IN_PLACE_FALLBACK (what SaveBMPImage(name) uses) it is,
  /// when the target itself may be written; without it such a save gives 0
  /// and leaves the target as it was.
  int SaveBMPImage(CString name, DWORD flags);

  /// One of the ZENTREL_NOTE_ codes for the last read of this record (every
  /// ReadBMPImage, ReadGIFImage and ReadImage sets it, the narrow readers
  /// too, without changing their results). ZENTREL_NOTE_NONE before any read.
  int GetLastReadNote() const;
  /// A short English description of a note code ("" for none, "unknown"
  /// for a code not listed above).
  static const char* GetReadNoteText(int note);
  /// The transparent colour index of the first frame of the last GIF read
  /// (from its graphic control extension), or −1 when it has none; −1 after
  /// any other read.
  int GetTransparentIndex() const;
  /// Colour-table entries the last loaded file itself gave (32 for a
  /// 32-colour GIF, 0 for a BMP file of 16 bits or more), although an 8-bit
  /// image always holds 256; 0 after a refused read.
  int GetFileColors() const;
  /// The most a read may allocate for the image block, in bytes: a file
  /// whose image would need more is refused before any memory is taken
  /// (ZENTREL_NOTE_TOO_LARGE). 0, the default, means the library's cap of
  /// 2 GiB − 1; larger values are that cap as well. Applies to every reader.
  void SetReadLimit(DWORD maxBlockBytes);
  DWORD GetReadLimit() const;

  // ---- Geometric transforms ------------------------------------------------

  /// Turns the picture upside down, in place: whole stored rows change
  /// places, padding included. Every transform returns 0 and changes nothing
  /// when the record is empty, when the header's depth is not the 8 or 24
  /// its rows were made for, or when memory runs out.
  int Flip();
  /// Reverses the picture left to right, in place; row padding becomes 0.
  int Mirror();
  /// Quarter turn counter-clockwise: width and height swap, the row length
  /// follows, the working rectangle becomes the whole image, biSizeImage
  /// keeps its value, and the padding and the bytes after the rows become 0.
  /// Square images turn in place, others through a scratch image. When the
  /// turned rows do not fit the block (8-bit images such as 4 × 2) they go
  /// into a new block with the same header and colour table, so GetHandle,
  /// GetBmh, GetPalette and GetBuffer change.
  int Left90();
  /// Quarter turn clockwise; as Left90 otherwise.
  int Right90();
  /// Rotates the picture by angle degrees (positive is clockwise, pi taken
  /// as 3.1415) about column width / 2 of stored row height / 2, keeping its
  /// size; each pixel takes the source pixel its position maps back to,
  /// truncated toward zero, and pixels without a source become 0. Returns 1,
  /// or 0 with the image unchanged when it is empty or the scratch cannot be
  /// had: a block of the image's size, 48 KB and a few bytes per tile,
  /// of which only the pixels the turn must keep while it writes over the
  /// image are touched (on a large image about an eighth of them at 30
  /// degrees, a quarter at 90, half at 180).
  int Rotate(int angle);

  // ---- Outlines, noise and shrinking ---------------------------------------

  /// 1 when pixel (x, y) matches colour (distance below the colour match
  /// threshold) and lies on the outline of that colour's region: on the image
  /// border, or with a diagonal neighbour that does not match. A position
  /// outside a held image gives 1 (its distance reads 0); an empty record 0.
  int IsEdge(UINT x, UINT y, COLORREF colour);
  /// 1 when pixel (x, y) is not background and lies on the image border or
  /// has a diagonal neighbour that is background. 0 outside the image and
  /// when empty.
  int IsEdge(UINT x, UINT y);
  /// Paints every interior outline pixel of the non-background regions red
  /// (0xFF), in place, row by row. 0 when empty.
  int Edge();
  /// Filters an 8-bit image in place with a width × height window (1..10
  /// each): type 0 mean, 1 outlier mean (only where the pixel is more than
  /// 20 from it), 2 mean of the k nearest values (ties in reading order),
  /// 3 median (the lower middle for even counts), 4 contrast raising
  /// (2v − mean, limited to 0..255). Each window sees the values already
  /// written; an even window's sample past the right or bottom edge reads the
  /// edge. 0 when empty, not 8-bit, a parameter is rejected (k ≥ width ×
  /// height, or k < 1 for type 2) or scratch memory is short, the image then
  /// unchanged; 1 otherwise (a type outside 0..4 changes nothing).
  int RemoveNoise(int width, int height, int k, int type);
  /// Turns every interior non-background pixel that touches the background
  /// (8 neighbours) into background, in place, row by row. 0 when empty.
  int Shrink();

  // ---- Vectorisation -------------------------------------------------------

  /// Does nothing; returns 1.
  int Trace();

  // ---- Regions, shapes and lines -------------------------------------------

  /// Measures the patch of colour around seed: returns the region colour
  /// (the mean of the 11 × 11 window around the seed) and grows rect by 3
  /// pixels per side and pass until no side touches that colour or it is 100
  /// pixels wide, then widens it by 1. A background seed leaves rect at the
  /// seed. A seed outside the image or an empty record gives 0 and rect at
  /// the seed.
  DWORD GetMinRegion(POINT seed, CRect& rect);
  /// 1 when the n points (n ≥ 4) trace a rectangle: their path length (no
  /// closing segment) over their greatest extent (the last point left out)
  /// is within 0.15 of 2√2. Sets centre to (0, 0) first; on success writes
  /// size (length / 4, truncated) and centre (mean point, truncated). Points
  /// that all coincide are not a rectangle. Any coordinates are safe; a size
  /// beyond the int range saturates.
  int IsRectangle(int n, const POINT* points, int& size, POINT& centre);
  /// 1 when the n points (n ≥ 6) lie evenly around their mean point (spread
  /// within precision × 0.01, at least 0.15), 0 when not or too few, −1 when
  /// they coincide. Writes size (mean radius, rounded) and centre unless it
  /// returns 0 for too few points or −1.
  int IsCircle(int n, const POINT* points, int& size, POINT& centre);
  /// 1 circle (or coinciding points), 2 rectangle, 0 neither.
  int CircleOrRectangle(int n, const POINT* points, int& size, POINT& centre);
  /// Draws a straight line from p1 to p2, both ends included, in colour,
  /// one pixel per unit of the longer axis (x at 45 degrees). The other
  /// coordinate is a float advanced by the slope and drawn at
  /// floor(c + 0.5); below −0.5 it is off the image. Any end points are safe
  /// and quick: only the stretch over the image is walked pixel by pixel.
  void DDALine(CPoint p1, CPoint p2, DWORD colour);

 protected:
  // ---- Contour tracing for derived classes ---------------------------------

  /// The number of the 8 neighbours of mask cell (x, y) that equal value;
  /// 0 for a null mask or a cell on the outermost ring or outside. The mask
  /// is width × height bytes, row-major; a value outside 0..255 matches
  /// nothing.
  short VecConnect(int x, int y, int width, int height, const BYTE* mask, int value);
  /// Traces the cells of value from (x, y), clearing each visited cell and
  /// writing its position to points (room for 1600). Neighbours are tried
  /// below, below left, above, above right, right, below right, left, above
  /// left; one is entered only if a neighbour of its own is still marked, so
  /// the last cell of an open chain stays marked. At 1600 points the trace
  /// stops with the last recorded cell still marked. Returns the count; 0
  /// for a null mask or point buffer or a start on the outermost ring.
  short VecTrace(int x, int y, int width, int height, POINT* points, BYTE* mask, int value);
  /// Clears, in one in-place pass (rows from the top, each from the left),
  /// every mask cell off the outermost ring with three or more zero
  /// neighbours.
  void ThinEdge(int width, int height, BYTE* mask);
  /// The number of the 8 neighbours of pixel (x, y) that match colour; 0 on
  /// the outermost ring or outside.
  short VecConnect(int x, int y, DWORD colour);
  /// Follows pixels matching colour from (x, y), recording positions with one
  /// or two matching neighbours into points (room for 16000). Moves to the
  /// first matching neighbour (in the mask tracer's order) not yet entered
  /// in this call, so it never enters a position twice and always ends: at
  /// a position without such a neighbour, on the outermost ring, or at 16000
  /// points. Returns the count; 0 for an empty record or a null buffer.
  short VecTrace(int x, int y, DWORD colour, POINT* points);
  /// Keeps the significant points of a list of n points. When n ≥ 5 the list
  /// must have room for n + 2 entries (entries n and n + 1 are overwritten);
  /// kept needs room for n. Returns the number kept.
  short VecCompress(POINT* points, short n, POINT* kept);

  // ---- The record ------------------------------------------------------------

  LONG m_nID;
  CString m_strName;
  UINT m_nHeight;
  UINT m_nWidth;
  short m_nRuler;
  double m_dScale;
  COLORREF m_crBackground;
  UINT m_nLineBytes;
  int m_nPrecision;
  HGLOBAL m_hDIB;
  BYTE* m_pBits;
  RGBQUAD* m_pPalette;
  BITMAPINFOHEADER* m_pBmh;
  RECT m_rcRange;
  CPalette* m_pDIBPalette;

 private:
  friend class zentrel::detail::ImageAccess;  // the library's internal views of the record
  friend class zentrel::detail::RecordBlock;  // installs and releases the block

  // What the last read left to be asked (GetLastReadNote and the next two),
  // and the host's read limit.
  int m_nReadNote = ZENTREL_NOTE_NONE;
  int m_nTransparentIndex = -1;
  int m_nFileColors = 0;
  DWORD m_nReadLimit = 0;
};

#endif  // ZENTREL_IMAGEDATAMODEL_H
