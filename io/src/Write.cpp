// Encoding the record through GDAL (PNG, TIFF, PGM, PPM) and writing the
// bytes so that an existing file is replaced only by a complete new one.
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <fcntl.h>
#include <gdal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "GdalCall.h"
#include "ZentrelIO.h"

namespace zentrel {
namespace io {

namespace {

bool EndsWith(std::string name, const char* suffix) {
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::size_t n = std::strlen(suffix);
  return name.size() >= n && name.compare(name.size() - n, n, suffix) == 0;
}

// Every pixel of the image in RGB, or its table indexes, as band-separate
// rows of a GDAL in-memory dataset.
Status MakeMemoryDataset(const CImageDataModel& image, OutputFormat format, GdalCall& call,
                         Dataset& out) {
  const int depth = image.GetColorPixel();
  if (image.IsEmpty() || (depth != 8 && depth != 24))
    return Status::Fail("the record holds no 8-bit or 24-bit image");
  // header-must-fit-block: a host may have written the header's depth; only
  // a block with a colour table before its rows holds 8-bit rows and a table
  // to read, so any other pairing would read past the block.
  const bool tableBlock = image.GetBuffer() != reinterpret_cast<const BYTE*>(image.GetPalette());
  if ((depth == 8) != tableBlock)
    return Status::Fail("the header's depth is not the one the image's block was made for");
  const int w = static_cast<int>(image.GetWidth()), h = static_cast<int>(image.GetHeight());
  const RGBQUAD* table = image.GetPalette();
  // PNG and TIFF keep the colour table; PGM holds grey levels, PPM RGB.
  const bool indexed = depth == 8 && (format == OutputFormat::PNG || format == OutputFormat::TIFF);
  const int bands = format == OutputFormat::PGM || indexed ? 1 : 3;
  GDALDriverH mem = GDALGetDriverByName("MEM");
  if (!mem) return Status::Fail("GDAL has no in-memory driver");
  Dataset ds(GDALCreate(mem, "", w, h, bands, GDT_Byte, nullptr));
  if (!ds) return Status::Fail(call.Reason("cannot encode: ", "no memory"));
  GDALDatasetH d = static_cast<GDALDatasetH>(ds.get());
  std::vector<GByte> row(static_cast<std::size_t>(w) * bands);
  for (int y = 0; y < h; ++y) {
    const BYTE* src =
        image.GetBuffer() + static_cast<std::size_t>(h - 1 - y) * image.GetLineBytes();
    for (int x = 0; x < w; ++x) {
      GByte* p = &row[static_cast<std::size_t>(x) * bands];
      if (indexed) {
        p[0] = src[x];
        continue;
      }
      BYTE r, g, b;
      if (depth == 24) {
        b = src[3 * x], g = src[3 * x + 1], r = src[3 * x + 2];
      } else {
        const RGBQUAD& q = table[src[x]];
        b = q.rgbBlue, g = q.rgbGreen, r = q.rgbRed;
      }
      if (bands == 1) {  // pgm-grey-only: a PGM cannot hold colour
        if (r != g || g != b)
          return Status::Fail("cannot write PGM: pixel (" + std::to_string(x) + ", " +
                              std::to_string(y) + ") is not grey (write PPM instead)");
        p[0] = r;
      } else {
        p[0] = r, p[1] = g, p[2] = b;
      }
    }
    if (GDALDatasetRasterIO(d, GF_Write, 0, y, w, 1, row.data(), w, 1, GDT_Byte, bands, nullptr,
                            bands, 0, 1) != CE_None)
      return Status::Fail(call.Reason("cannot encode: ", "writing a row failed"));
  }
  if (bands == 3) {
    // Without this, TIFF would store three grey samples, not an RGB pixel.
    const GDALColorInterp rgb[3] = {GCI_RedBand, GCI_GreenBand, GCI_BlueBand};
    for (int i = 0; i < 3; ++i)
      GDALSetRasterColorInterpretation(GDALGetRasterBand(d, i + 1), rgb[i]);
  }
  if (indexed) {
    GDALColorTableH colours = GDALCreateColorTable(GPI_RGB);
    for (int i = 0; i < 256; ++i) {
      const GDALColorEntry e = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 255};
      GDALSetColorEntry(colours, i, &e);
    }
    GDALRasterBandH band = GDALGetRasterBand(d, 1);
    GDALSetRasterColorTable(band, colours);
    GDALSetRasterColorInterpretation(band, GCI_PaletteIndex);
    GDALDestroyColorTable(colours);
  }
  out = std::move(ds);
  return Status::Ok();
}

// Writes all bytes to fd; false on any error.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool OutputFormatFromName(const std::string& path, OutputFormat& format) {
  if (EndsWith(path, ".png"))
    format = OutputFormat::PNG;
  else if (EndsWith(path, ".tif") || EndsWith(path, ".tiff"))
    format = OutputFormat::TIFF;
  else if (EndsWith(path, ".pgm"))
    format = OutputFormat::PGM;
  else if (EndsWith(path, ".ppm"))
    format = OutputFormat::PPM;
  else
    return false;
  return true;
}

Status EncodeImage(const CImageDataModel& image, OutputFormat format,
                   std::vector<std::uint8_t>& bytes, TiffCompression compression) {
  GdalCall call;
  Dataset source;
  Status made = MakeMemoryDataset(image, format, call, source);
  if (!made) return made;
  const char* driverName = format == OutputFormat::PNG    ? "PNG"
                           : format == OutputFormat::TIFF ? "GTiff"
                                                          : "PNM";
  GDALDriverH driver = GDALGetDriverByName(driverName);
  if (!driver) return Status::Fail(std::string("GDAL has no ") + driverName + " driver");
  char** options = nullptr;
  if (format == OutputFormat::TIFF)
    options = CSLSetNameValue(options, "COMPRESS",
                              compression == TiffCompression::LZW ? "LZW" : "DEFLATE");
  const std::string name = UniqueMemoryPath(format == OutputFormat::PNG    ? ".png"
                                            : format == OutputFormat::TIFF ? ".tif"
                                            : format == OutputFormat::PGM  ? ".pgm"
                                                                           : ".ppm");
  GDALDatasetH copy = GDALCreateCopy(driver, name.c_str(), static_cast<GDALDatasetH>(source.get()),
                                     FALSE, options, nullptr, nullptr);
  CSLDestroy(options);
  if (copy) GDALClose(copy);  // errors while flushing reach the call's handler
  const bool closed = copy != nullptr;
  Status result = Status::Ok();
  vsi_l_offset length = 0;
  GByte* data = closed ? VSIGetMemFileBuffer(name.c_str(), &length, FALSE) : nullptr;
  if (!data || !call.FirstError().empty())
    result = Status::Fail(call.Reason("cannot encode: ", "the encoder failed"));
  else
    bytes.assign(data, data + length);
  VSIUnlink(name.c_str());
  return result;
}

Status WriteImage(const CImageDataModel& image, const std::string& path, OutputFormat format,
                  TiffCompression compression) {
  std::vector<std::uint8_t> bytes;
  Status encoded = EncodeImage(image, format, bytes, compression);
  if (!encoded) return encoded;
  // io-safe-replace, as the core library's BMP writer: the file a symbolic
  // link names is the one replaced.
  std::string target = path;
  char resolved[PATH_MAX];
  struct stat info;
  const bool exists = ::stat(path.c_str(), &info) == 0;
  if (exists && !S_ISREG(info.st_mode)) return Status::Fail("cannot write it: not a regular file");
  if (exists && ::realpath(path.c_str(), resolved)) target = resolved;
  const std::size_t slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  // A new file beside the target, made with O_EXCL so that no other file is
  // ever opened; its mode follows the umask as any new file's does.
  static std::atomic<unsigned> serial{0};
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = (slash == std::string::npos ? std::string() : folder + "/") + "." + base + "." +
                std::to_string(::getpid()) + "-" + std::to_string(serial.fetch_add(1)) + ".tmp";
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return Status::Fail(std::string("cannot write it: ") + std::strerror(errno));
  bool ok = (!exists || ::fchmod(fd, info.st_mode & 07777) == 0) &&
            WriteAll(fd, bytes.data(), bytes.size());
  int error = ok ? 0 : errno;
  if (ok && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) ok = false, error = errno;
  if (::close(fd) != 0 && ok) ok = false, error = errno;
  if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) ok = false, error = errno;
  if (!ok) {
    ::unlink(temporary.c_str());
    return Status::Fail(std::string("cannot write it: ") +
                        (error ? std::strerror(error) : "write failed"));
  }
  return Status::Ok();
}

}  // namespace io
}  // namespace zentrel
