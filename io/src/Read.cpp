// Format recognition by content and the ReadImage entry points.
#include <cpl_vsi.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "GdalCall.h"
#include "Readers.h"

namespace zentrel {
namespace io {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// An in-memory stream over the bytes (only read, despite fmemopen's signature).
File MemoryStream(const std::uint8_t* data, std::size_t size) {
  return File(::fmemopen(const_cast<std::uint8_t*>(data), size, "rb"));
}

Status ReadFromMemory(const std::uint8_t* data, std::size_t size, FileFormat format,
                      CImageDataModel& image) {
  if (format == FileFormat::PNM || IsInterlaced16BitPng(data, size)) {
    File stream = MemoryStream(data, size);
    if (!stream) return Status::Fail("cannot read the bytes (no memory)");
    return format == FileFormat::PNM ? ReadPnmStream(stream.get(), image)
                                     : ReadPng16Interlaced(stream.get(), image);
  }
  GdalCall call;
  const std::string name = UniqueMemoryPath(format == FileFormat::PNG ? ".png" : ".tif");
  VSILFILE* mem = VSIFileFromMemBuffer(name.c_str(), const_cast<GByte*>(data), size, FALSE);
  if (!mem) return Status::Fail("cannot read the bytes (no memory)");
  VSIFCloseL(mem);
  Status result = ReadWithGdal(name, format, image);
  VSIUnlink(name.c_str());
  return result;
}

Status Unrecognised(FileFormat format) {
  if (format == FileFormat::BMP || format == FileFormat::GIF)
    return Status::Fail(std::string("unsupported: a ") + FormatName(format) +
                        " file (the core library reads it)");
  return Status::Fail("unsupported: not a PNG, TIFF or PNM file");
}

}  // namespace

FileFormat DetectFormat(const std::uint8_t* d, std::size_t n) {
  static const std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (n >= 8 && std::memcmp(d, kPng, 8) == 0) return FileFormat::PNG;
  if (n >= 4 && ((d[0] == 'I' && d[1] == 'I' && (d[2] == 42 || d[2] == 43) && d[3] == 0) ||
                 (d[0] == 'M' && d[1] == 'M' && d[2] == 0 && (d[3] == 42 || d[3] == 43))))
    return FileFormat::TIFF;
  if (n >= 4 && std::memcmp(d, "GIF8", 4) == 0) return FileFormat::GIF;
  if (n >= 2 && d[0] == 'B' && d[1] == 'M') return FileFormat::BMP;
  if (n >= 2 && d[0] == 'P' && d[1] >= '1' && d[1] <= '7') return FileFormat::PNM;
  return FileFormat::Unknown;
}

bool IsInterlaced16BitPng(const std::uint8_t* d, std::size_t n) {
  // Signature (8), IHDR length and type (8), width, height, then depth at
  // byte 24 and the interlace method at byte 28.
  return n >= 29 && DetectFormat(d, n) == FileFormat::PNG && std::memcmp(d + 12, "IHDR", 4) == 0 &&
         d[24] == 16 && d[28] == 1;
}

FileFormat DetectFileFormat(const std::string& path) {
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) return FileFormat::Unknown;
  std::uint8_t head[8];
  const std::size_t n = std::fread(head, 1, sizeof head, f.get());
  return DetectFormat(head, n);
}

const char* FormatName(FileFormat format) {
  switch (format) {
    case FileFormat::BMP:
      return "BMP";
    case FileFormat::GIF:
      return "GIF";
    case FileFormat::PNG:
      return "PNG";
    case FileFormat::TIFF:
      return "TIFF";
    case FileFormat::PNM:
      return "PNM";
    default:
      return "unknown";
  }
}

Status ReadImage(const std::string& path, CImageDataModel& image) {
  if (!image.IsEmpty()) return Status::Fail("the record already holds an image");
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) return Status::Fail(std::string("cannot open it: ") + std::strerror(errno));
  std::uint8_t head[32];
  const std::size_t n = std::fread(head, 1, sizeof head, f.get());
  const FileFormat format = DetectFormat(head, n);
  if (format == FileFormat::PNM || IsInterlaced16BitPng(head, n)) {
    std::rewind(f.get());
    return format == FileFormat::PNM ? ReadPnmStream(f.get(), image)
                                     : ReadPng16Interlaced(f.get(), image);
  }
  if (format != FileFormat::PNG && format != FileFormat::TIFF) return Unrecognised(format);
  f.reset();
  return ReadWithGdal(path, format, image);
}

Status ReadImageFromMemory(const std::uint8_t* data, std::size_t size, CImageDataModel& image) {
  if (!image.IsEmpty()) return Status::Fail("the record already holds an image");
  const FileFormat format = data ? DetectFormat(data, size) : FileFormat::Unknown;
  if (format != FileFormat::PNG && format != FileFormat::TIFF && format != FileFormat::PNM)
    return Unrecognised(format);
  return ReadFromMemory(data, size, format, image);
}

}  // namespace io
}  // namespace zentrel
