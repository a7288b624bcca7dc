// Loading and saving images for the tool, with the reason for each failure.
// BMP and GIF files go through the core library; PNG, TIFF and PNM files
// through Zentrel::IO in the GDAL module, loaded when one is met. "-" is
// standard input or output.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "Cli.h"
#include "GdalModule.h"

#ifdef ZENTREL_HAVE_PNG
#include <png.h>
#endif

namespace cli {

const char* FormatName(int code) {
  switch (code) {
    case 1:
      return "BMP";
    case 2:
      return "TIF";
    case 3:
      return "GIF";
    default:
      return "unknown";
  }
}

namespace {

const char kNoIo[] = "PNG, TIFF and PNM files need Zentrel::IO, which this build of zentrel lacks";

// The module when it reads and writes PNG, TIFF and PNM files, else null.
const GdalModule* ImageModule() {
  const GdalModule* gdal = GdalModuleOrNull();
  return gdal && gdal->haveImageIo ? gdal : nullptr;
}

// The library reports failures as 0 only; find the likely reason for the user.
std::string WhyUnreadable(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return std::strerror(errno);
  if (S_ISDIR(info.st_mode)) return "is a folder";
  if (info.st_size == 0) return "the file is empty";
  return "";
}

// True when the first bytes are those of a PNG, TIFF or PNM file.
bool LooksLikeIoFormat(const std::uint8_t* d, std::size_t n) {
  if (n >= 4 && d[0] == 0x89 && d[1] == 'P' && d[2] == 'N' && d[3] == 'G') return true;
  const bool intel =
      n >= 4 && d[0] == 'I' && d[1] == 'I' && (d[2] == 42 || d[2] == 43) && d[3] == 0;
  const bool motorola =
      n >= 4 && d[0] == 'M' && d[1] == 'M' && d[2] == 0 && (d[3] == 42 || d[3] == 43);
  return intel || motorola || (n >= 2 && d[0] == 'P' && d[1] >= '1' && d[1] <= '7');
}

std::vector<std::uint8_t> ReadHead(const std::string& path) {
  std::vector<std::uint8_t> head(8);
  std::FILE* f = std::fopen(path.c_str(), "rb");
  head.resize(f ? std::fread(head.data(), 1, head.size(), f) : 0);
  if (f) std::fclose(f);
  return head;
}

bool IsGif(const std::vector<std::uint8_t>& head) {
  return head.size() >= 6 &&
         (std::memcmp(head.data(), "GIF87a", 6) == 0 || std::memcmp(head.data(), "GIF89a", 6) == 0);
}

bool IsBmp(const std::vector<std::uint8_t>& head) {
  return head.size() >= 2 && head[0] == 'B' && head[1] == 'M';
}

// The library's format code of a file's first bytes: 1 BMP, 3 GIF, 2 TIFF.
int CodeOfContent(const std::vector<std::uint8_t>& head) {
  if (IsBmp(head)) return 1;
  if (IsGif(head)) return 3;
  const bool tiff = head.size() >= 4 && ((head[0] == 'I' && head[1] == 'I' && head[3] == 0) ||
                                         (head[0] == 'M' && head[1] == 'M' && head[2] == 0));
  return tiff ? 2 : 0;
}

// BMP and GIF through the core library: the widened readers by content, or
// with strict the library's default readers by TestImageFormat. 'name' is
// what messages call the file.
void LoadWithCore(CImageDataModel& image, const std::string& path, const std::string& name,
                  const std::string& why, const LoadOptions& options) {
  const int format = DetectFormat(path, options);
  if (format != 1 && format != 3)
    throw Failure(name + ": not a BMP or GIF file (format code " + std::to_string(format) + ", " +
                  FormatName(format) + "), nor a PNG, TIFF or PNM file");
  int loaded = 0;
  if (!options.strict)
    loaded = image.ReadImage(path.c_str(), ZENTREL_READ_WIDE);
  else if (format == 1)
    loaded = image.ReadBMPImage(path.c_str());
  else
    loaded = image.ReadGIFImage(path.c_str());
  if (!loaded) {
    // The library's note says why; the file system's view of an empty file
    // says it more plainly.
    const std::string note = CImageDataModel::GetReadNoteText(image.GetLastReadNote());
    const std::string reason = !why.empty() ? why : !note.empty() ? note : "unsupported or damaged";
    throw Failure(name + ": cannot read it as " + FormatName(format) + " (" + reason + ")");
  }
}

std::vector<std::uint8_t> ReadStandardInput() {
  std::vector<std::uint8_t> bytes;
  std::uint8_t buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0)
    bytes.insert(bytes.end(), buffer, buffer + n);
  if (std::ferror(stdin)) throw Failure("standard input: cannot read it");
  return bytes;
}

// Standard input: PNG, TIFF and PNM from memory; BMP and GIF through a
// temporary file, since the core library reads files by name.
void LoadStandardInput(CImageDataModel& image, const LoadOptions& options) {
  const std::vector<std::uint8_t> bytes = ReadStandardInput();
  if (bytes.empty()) throw Failure("standard input: it is empty");
  if (LooksLikeIoFormat(bytes.data(), bytes.size())) {
    const GdalModule* io = ImageModule();
    if (!io) throw Failure(std::string("standard input: ") + kNoIo);
    const std::string why = io->readImageFromMemory(bytes.data(), bytes.size(), image);
    if (!why.empty()) throw Failure("standard input: " + why);
    return;
  }
  if (!IsGif(bytes) && !IsBmp(bytes))
    throw Failure("standard input: not a BMP, GIF, PNG, TIFF or PNM image");
  const char* tmp = std::getenv("TMPDIR");
  std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/zentrel-stdin-XXXXXX";
  std::vector<char> pattern(name.begin(), name.end());
  pattern.push_back('\0');
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0)
    throw Failure(std::string("standard input: cannot buffer it: ") + std::strerror(errno));
  const bool written =
      ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  ::close(fd);
  try {
    if (!written) throw Failure("standard input: cannot buffer it");
    // The content decides, whatever the temporary's name.
    LoadOptions byContent = options;
    byContent.strict = false;
    if (options.strict) {
      const bool gif = IsGif(bytes);
      if (!(gif ? image.ReadGIFImage(pattern.data()) : image.ReadBMPImage(pattern.data())))
        throw Failure(std::string("standard input: cannot read it as ") + (gif ? "GIF" : "BMP") +
                      " (unsupported or damaged)");
    } else {
      LoadWithCore(image, pattern.data(), "standard input", "", byContent);
    }
  } catch (...) {
    ::unlink(pattern.data());
    throw;
  }
  ::unlink(pattern.data());
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Why a BMP could not be written, found after the fact.
std::string WhyUnwritable(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  struct stat info;
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return "no such folder";
  if (::access(folder.c_str(), W_OK) != 0) return "the folder is not writable";
  if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return "is a folder";
  return "write failed";
}

bool WriteAllToStandardOutput(const std::vector<std::uint8_t>& bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
         std::fflush(stdout) == 0;
}

}  // namespace

bool SaveFormatFromWord(const std::string& word, SaveFormat& format) {
  const std::string w = Lower(word);
  if (w == "bmp")
    format = SaveFormat::Bmp;
  else if (w == "png")
    format = SaveFormat::Png;
  else if (w == "tif" || w == "tiff")
    format = SaveFormat::Tiff;
  else if (w == "pgm")
    format = SaveFormat::Pgm;
  else if (w == "ppm")
    format = SaveFormat::Ppm;
  else
    return false;
  return true;
}

bool SaveFormatFromName(const std::string& path, SaveFormat& format) {
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
  return SaveFormatFromWord(path.substr(dot + 1), format);
}

bool HaveImageIo() { return ImageModule() != nullptr; }

LoadOptions& DefaultLoadOptions() {
  static LoadOptions options;
  return options;
}

int DetectFormat(const std::string& path, const LoadOptions& options) {
  if (options.strict) {
    CImageDataModel probe;
    return probe.TestImageFormat(path.c_str());
  }
  return CodeOfContent(ReadHead(path));
}

const char* ContentFormatName(const std::string& path) {
  const std::vector<std::uint8_t> head = ReadHead(path);
  if (IsBmp(head)) return "BMP";
  if (IsGif(head)) return "GIF";
  if (!LooksLikeIoFormat(head.data(), head.size())) return "unknown";
  return head[0] == 0x89 ? "PNG" : head[0] == 'P' ? "PNM" : "TIFF";
}

void LoadImage(CImageDataModel& image, const std::string& path, bool forPainting,
               const LoadOptions& options) {
  const std::string name = path == "-" ? "standard input" : path;
  if (path == "-") {
    LoadStandardInput(image, options);
  } else {
    const std::string why = WhyUnreadable(path);
    if (!why.empty() && why != "the file is empty") throw Failure(path + ": " + why);
    const std::vector<std::uint8_t> head = ReadHead(path);
    if (LooksLikeIoFormat(head.data(), head.size())) {
      const GdalModule* io = ImageModule();
      if (!io) throw Failure(path + ": " + kNoIo);
      const std::string failure = io->readImage(path, image);
      if (!failure.empty()) throw Failure(path + ": cannot read it (" + failure + ")");
    } else {
      LoadWithCore(image, path, path, why, options);
    }
  }
  // paint-check-only-when-painting: the 10000-pixel limit is the painting one.
  if (forPainting && !image.InitDIBData())
    throw Failure(name + ": the image cannot be used (too large?)");
}

void SaveImage(CImageDataModel& image, const std::string& path) {
  SaveFormat format = SaveFormat::Bmp;  // other extensions keep getting BMP bytes
  SaveFormatFromName(path, format);
  SaveImage(image, path, format);
}

void SaveImage(CImageDataModel& image, const std::string& path, SaveFormat format) {
  const bool toStdout = path == "-";
  const std::string name = toStdout ? "standard output" : path;
  if (format == SaveFormat::Bmp) {
    if (!toStdout) {
      if (image.SaveBMPImage(path.c_str())) return;
      throw Failure(path + ": cannot write it (" + WhyUnwritable(path) + ")");
    }
    // The core library writes files by name: through a temporary file.
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zentrel-stdout-XXXXXX.bmp";
    const int fd = ::mkstemps(&pattern[0], 4);
    if (fd < 0) throw Failure("standard output: cannot buffer the image");
    ::close(fd);
    const std::string temporary = pattern;
    const bool saved = image.SaveBMPImage(temporary.c_str()) != 0;
    std::vector<std::uint8_t> bytes;
    if (std::FILE* f = saved ? std::fopen(temporary.c_str(), "rb") : nullptr) {
      std::uint8_t buffer[65536];
      std::size_t n;
      while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
      std::fclose(f);
    }
    ::unlink(temporary.c_str());
    if (bytes.empty() || !WriteAllToStandardOutput(bytes))
      throw Failure("standard output: cannot write it");
    return;
  }
  const GdalModule* io = ImageModule();
  if (!io) throw Failure(name + ": " + kNoIo);
  if (toStdout) {
    std::vector<std::uint8_t> bytes;
    const std::string failure = io->encodeImage(image, format, bytes);
    if (!failure.empty()) throw Failure(name + ": cannot write it (" + failure + ")");
    if (!WriteAllToStandardOutput(bytes)) throw Failure("standard output: cannot write it");
    return;
  }
  const std::string failure = io->writeImage(image, path, format);
  if (!failure.empty()) throw Failure(path + ": cannot write it (" + failure + ")");
}

namespace {

#ifdef ZENTREL_HAVE_PNG
// An 8- or 24-bit record as PNG bytes through libpng, without the GDAL
// module: 8-bit records as a palette image with their whole colour table.
std::vector<std::uint8_t> EncodeWithLibpng(const CImageDataModel& image) {
  const bool palette = image.GetColorPixel() == 8;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = image.GetWidth();
  png.height = image.GetHeight();
  png.format = palette ? PNG_FORMAT_RGB_COLORMAP : PNG_FORMAT_BGR;  // the record holds BGR
  std::vector<std::uint8_t> colours;
  if (palette) {
    png.colormap_entries = 256;
    const RGBQUAD* table = image.GetPalette();
    for (int i = 0; i < 256; ++i)
      colours.insert(colours.end(), {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue});
  }
  // The record stores its rows bottom-up, which a negative stride says.
  const png_int_32 stride = -static_cast<png_int_32>(image.GetLineBytes());
  const void* pixels = image.GetBuffer();
  const void* map = palette ? colours.data() : nullptr;
  // One pass into a buffer of the largest size the data can take; only the
  // pages written are ever touched.
  png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(png);
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[size]);
  std::vector<std::uint8_t> bytes;
  if (buffer && png_image_write_to_memory(&png, buffer.get(), &size, 0, pixels, stride, map))
    bytes.assign(buffer.get(), buffer.get() + size);
  if (bytes.empty())
    throw Failure(std::string("cannot encode the picture as PNG (") + png.message + ")");
  return bytes;
}
#endif

// The record as PNG bytes for a picture; empty, with a note on standard
// error, when it cannot be encoded here.
std::vector<std::uint8_t> EncodePicture(const CImageDataModel& image) {
#ifdef ZENTREL_HAVE_PNG
  const int depth = image.GetColorPixel();
  if (!image.IsEmpty() && (depth == 8 || depth == 24)) return EncodeWithLibpng(image);
#endif
  std::vector<std::uint8_t> png;
  const GdalModule* io = ImageModule();
  if (!io) {
    std::fprintf(stderr, "zentrel: the SVG has no picture: %s\n", kNoIo);
    return png;
  }
  const std::string failure = io->encodeImage(image, SaveFormat::Png, png);
  if (!failure.empty()) throw Failure("cannot encode the picture as PNG (" + failure + ")");
  return png;
}

}  // namespace

std::string PngBase64(const CImageDataModel& image) {
  const std::vector<std::uint8_t> png = EncodePicture(image);
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((png.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < png.size(); i += 3) {
    const std::uint32_t n = (png[i] << 16) | (i + 1 < png.size() ? png[i + 1] << 8 : 0) |
                            (i + 2 < png.size() ? png[i + 2] : 0);
    out += kDigits[(n >> 18) & 63];
    out += kDigits[(n >> 12) & 63];
    out += i + 1 < png.size() ? kDigits[(n >> 6) & 63] : '=';
    out += i + 2 < png.size() ? kDigits[n & 63] : '=';
  }
  return out;
}

}  // namespace cli
