// Interlaced PNG files of 16-bit samples through libpng. GDAL 3.6 returns
// such files with every sample byte-swapped (measured on PngSuite's
// basi*16 files), so ReadImage routes exactly this variant here
// (png16-interlaced).
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "Readers.h"
#include "RecordFill.h"

namespace zentrel {
namespace io {

namespace {

struct PngError {
  char message[200];
};

void OnError(png_structp png, png_const_charp message) {
  auto* error = static_cast<PngError*>(png_get_error_ptr(png));
  std::strncpy(error->message, message ? message : "", sizeof error->message - 1);
  png_longjmp(png, 1);
}
void OnWarning(png_structp, png_const_charp) {}

// The decoding, with only plain data across libpng's longjmp: the caller
// owns the pixel buffer (a vector sized from the header in the callback).
struct PngJob {
  std::FILE* stream;
  png_structp png;
  png_infop info;
  png_uint_32 width, height;
  int colourType;
  bool transparent;
  png_color_16 transparentColour;
  std::uint8_t* pixels;  // set by the caller between the two steps
  PngError error;
};

bool ReadHeader(PngJob* job) {
  if (setjmp(png_jmpbuf(job->png))) return false;
  png_init_io(job->png, job->stream);
  png_read_info(job->png, job->info);
  int depth = 0, interlace = 0;
  png_get_IHDR(job->png, job->info, &job->width, &job->height, &depth, &job->colourType, &interlace,
               nullptr, nullptr);
  png_color_16p colour = nullptr;
  job->transparent = png_get_tRNS(job->png, job->info, nullptr, nullptr, &colour) && colour;
  if (job->transparent) job->transparentColour = *colour;
  png_set_interlace_handling(job->png);
  png_read_update_info(job->png, job->info);
  return true;
}

bool ReadPixels(PngJob* job, png_bytepp rows) {
  if (setjmp(png_jmpbuf(job->png))) return false;
  png_read_image(job->png, rows);
  png_read_end(job->png, nullptr);
  return true;
}

}  // namespace

Status ReadPng16Interlaced(std::FILE* stream, CImageDataModel& image) {
  PngJob job{};
  job.stream = stream;
  job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &job.error, OnError, OnWarning);
  job.info = job.png ? png_create_info_struct(job.png) : nullptr;
  if (!job.info) {
    png_destroy_read_struct(&job.png, nullptr, nullptr);
    return Status::Fail("no memory for the PNG decoder");
  }
  // The record's read limit decides (RecordFill::Begin), before the
  // whole-image buffer is taken.
  Status result = Status::Ok();
  SampleLayout layout;
  layout.maxValue = 65535;
  if (!ReadHeader(&job)) {
    result = Status::Fail(std::string("damaged file: libpng: ") + job.error.message);
  } else {
    switch (job.colourType) {
      case PNG_COLOR_TYPE_GRAY:
        layout.kind = SampleLayout::Grey;
        break;
      case PNG_COLOR_TYPE_GRAY_ALPHA:
        layout.kind = SampleLayout::GreyAlpha;
        break;
      case PNG_COLOR_TYPE_RGB:
        layout.kind = SampleLayout::Rgb;
        break;
      default:
        layout.kind = SampleLayout::Rgba;
        break;
    }
    if (job.transparent) {
      layout.hasTransparentValue = true;
      const png_color_16& t = job.transparentColour;
      layout.transparent[0] = layout.kind == SampleLayout::Grey ? t.gray : t.red;
      layout.transparent[1] = t.green;
      layout.transparent[2] = t.blue;
    }
    RecordFill fill(image, layout);
    result = fill.Begin(job.width, job.height);
    if (result) {
      const std::size_t rowBytes = png_get_rowbytes(job.png, job.info);
      const unsigned channels = layout.Channels();
      if (rowBytes != static_cast<std::size_t>(job.width) * channels * 2) {
        fill.Abandon();
        result = Status::Fail("damaged file: unexpected PNG row size");
      } else {
        std::vector<std::uint8_t> pixels(rowBytes * job.height);
        std::vector<png_bytep> rows(job.height);
        for (png_uint_32 y = 0; y < job.height; ++y) rows[y] = &pixels[rowBytes * y];
        if (!ReadPixels(&job, rows.data())) {
          fill.Abandon();
          result = Status::Fail(std::string("damaged file: libpng: ") + job.error.message);
        } else {
          std::vector<std::uint16_t> samples(static_cast<std::size_t>(job.width) * channels);
          for (png_uint_32 y = 0; y < job.height; ++y) {
            // PNG stores 16-bit samples most significant byte first.
            for (std::size_t i = 0; i < samples.size(); ++i)
              samples[i] = static_cast<std::uint16_t>((rows[y][2 * i] << 8) | rows[y][2 * i + 1]);
            fill.PutRow(y, samples.data());
          }
        }
      }
    }
  }
  png_destroy_read_struct(&job.png, &job.info, nullptr);
  return result;
}

}  // namespace io
}  // namespace zentrel
