// PNG and TIFF files through GDAL: the bands, sample types, colour table and
// transparency GDAL reports are mapped onto the record's two layouts.
#include <gdal.h>

#include <cstdlib>
#include <memory>
#include <sstream>

#include "GdalCall.h"
#include "Readers.h"
#include "RecordFill.h"

namespace zentrel {
namespace io {

namespace {

// Largest sample value of a band: from NBITS (1..16) when GDAL gives it.
unsigned BandMaximum(GDALRasterBandH band, GDALDataType type) {
  unsigned bits = type == GDT_Byte ? 8 : 16;
  if (const char* nbits = GDALGetMetadataItem(band, "NBITS", "IMAGE_STRUCTURE")) {
    const long n = std::strtol(nbits, nullptr, 10);
    if (n >= 1 && n <= static_cast<long>(bits)) bits = static_cast<unsigned>(n);
  }
  return (1u << bits) - 1u;
}

// The layout of the dataset's bands, or why the record cannot hold them.
Status Describe(GDALDatasetH ds, bool png, SampleLayout& layout) {
  const int count = GDALGetRasterCount(ds);
  if (count < 1) return Status::Fail("unsupported: the file holds no raster band");
  GDALRasterBandH first = GDALGetRasterBand(ds, 1);
  const GDALDataType type = GDALGetRasterDataType(first);
  for (int i = 1; i <= count; ++i) {
    const GDALDataType t = GDALGetRasterDataType(GDALGetRasterBand(ds, i));
    if (t != GDT_Byte && t != GDT_UInt16)
      return Status::Fail(std::string("unsupported: ") + GDALGetDataTypeName(t) +
                          " samples (the record holds 1 to 16-bit unsigned samples)");
    if (t != type) return Status::Fail("unsupported: bands of different sample types");
  }
  layout.maxValue = BandMaximum(first, type);
  auto interp = [&](int i) { return GDALGetRasterColorInterpretation(GDALGetRasterBand(ds, i)); };
  const bool rgb = count >= 3 && interp(1) == GCI_RedBand && interp(2) == GCI_GreenBand &&
                   interp(3) == GCI_BlueBand;
  if (count == 1 && interp(1) == GCI_PaletteIndex) {
    GDALColorTableH table = GDALGetRasterColorTable(first);
    if (!table) return Status::Fail("damaged file: a palette image without a colour table");
    const int entries = GDALGetColorEntryCount(table);
    if (entries > 256)
      return Status::Fail("unsupported: a colour table of " + std::to_string(entries) +
                          " entries (the record holds 256)");
    // tiff-colormap-rounding: GDAL turns 16-bit TIFF colour-map entries into
    // 8 bits by dividing by 257; libtiff and Pillow take the high byte, one
    // higher for maps written as v * 256. GDAL's values are kept.
    layout.kind = SampleLayout::Palette;
    for (int i = 0; i < entries; ++i) {
      const GDALColorEntry* e = GDALGetColorEntry(table, i);
      for (short v : {e->c1, e->c2, e->c3, e->c4})
        layout.palette.push_back(static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v));
    }
  } else if (count == 1 && interp(1) != GCI_PaletteIndex) {
    layout.kind = SampleLayout::Grey;
    int has = 0;
    const double nodata = GDALGetRasterNoDataValue(first, &has);
    // A PNG's tRNS grey value reaches GDAL as the band's nodata value.
    if (png && has && nodata >= 0 && nodata <= 65535) {
      layout.hasTransparentValue = true;
      layout.transparent[0] = static_cast<unsigned>(nodata);
    }
  } else if (count == 2 && interp(2) == GCI_AlphaBand) {
    layout.kind = SampleLayout::GreyAlpha;
  } else if (count == 3 && rgb) {
    layout.kind = SampleLayout::Rgb;
    // A PNG's tRNS colour reaches GDAL as the dataset's NODATA_VALUES.
    const char* values = png ? GDALGetMetadataItem(ds, "NODATA_VALUES", nullptr) : nullptr;
    std::istringstream in(values ? values : "");
    unsigned r, g, b;
    if (in >> r >> g >> b) {
      layout.hasTransparentValue = true;
      layout.transparent[0] = r;
      layout.transparent[1] = g;
      layout.transparent[2] = b;
    }
  } else if (count == 4 && rgb && interp(4) == GCI_AlphaBand) {
    layout.kind = SampleLayout::Rgba;
  } else {
    return Status::Fail("unsupported: " + std::to_string(count) + " bands (" +
                        GDALGetColorInterpretationName(interp(1)) +
                        " first); the record holds grey, palette or RGB images");
  }
  return Status::Ok();
}

}  // namespace

Status ReadWithGdal(const std::string& path, FileFormat format, CImageDataModel& image) {
  if (!image.IsEmpty()) return Status::Fail("the record already holds an image");
  GdalCall call;
  const bool png = format == FileFormat::PNG;
  const char* const drivers[] = {png ? "PNG" : "GTiff", nullptr};
  Dataset ds(
      GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, drivers, nullptr, nullptr));
  if (!ds)
    return Status::Fail(
        call.Reason("damaged file: ", "it cannot be opened as " + std::string(FormatName(format))));
  GDALDatasetH h = static_cast<GDALDatasetH>(ds.get());
  SampleLayout layout;
  Status described = Describe(h, png, layout);
  if (!described) return described;
  const int width = GDALGetRasterXSize(h), height = GDALGetRasterYSize(h);
  RecordFill fill(image, layout);
  Status begun = fill.Begin(static_cast<std::uint64_t>(width > 0 ? width : 0),
                            static_cast<std::uint64_t>(height > 0 ? height : 0));
  if (!begun) return begun;
  const int channels = static_cast<int>(layout.Channels());
  std::vector<std::uint16_t> row(static_cast<std::size_t>(width) * channels);
  const int bytes = static_cast<int>(sizeof(std::uint16_t));
  call.ClearError();  // only errors while decoding pixels count from here
  for (int y = 0; y < height; ++y) {
    // All bands of one row, interleaved, as 16-bit samples.
    const CPLErr err =
        GDALDatasetRasterIO(h, GF_Read, 0, y, width, 1, row.data(), width, 1, GDT_UInt16, channels,
                            nullptr, bytes * channels, 0, bytes);
    if (err != CE_None || !call.FirstError().empty()) {
      fill.Abandon();
      return Status::Fail(
          call.Reason("damaged file: ", "row " + std::to_string(y) + " cannot be decoded"));
    }
    fill.PutRow(static_cast<unsigned>(y), row.data());
  }
  return Status::Ok();
}

}  // namespace io
}  // namespace zentrel
