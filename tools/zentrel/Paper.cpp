// Paper colour detection (histogram mode) and the no-shape diagnostics.
#include "Paper.h"

#include <cstdio>
#include <unordered_map>
#include <vector>

#include "Cli.h"
#include "Operations.h"

namespace cli {
namespace {

constexpr std::uint64_t kMaxSamples = 4000000;

unsigned BinOf(COLORREF c) {
  return (static_cast<unsigned>(GetRValue(c)) >> 2) << 12 |
         (static_cast<unsigned>(GetGValue(c)) >> 2) << 6 |
         (static_cast<unsigned>(GetBValue(c)) >> 2);
}

// The sampling step along each axis that keeps the count near kMaxSamples.
UINT SampleStep(UINT width, UINT height) {
  const std::uint64_t pixels = static_cast<std::uint64_t>(width) * height;
  UINT step = 1;
  while (pixels / (static_cast<std::uint64_t>(step) * step) > kMaxSamples) ++step;
  return step;
}

}  // namespace

PaperChoice ParsePaperChoice(const std::string& text) {
  PaperChoice choice;
  if (text == "auto") return choice;
  if (!ParseColour(text, choice.colour))
    throw UsageError("--background needs 'auto' or a colour RRGGBB, not '" + text + "'");
  choice.automatic = false;
  return choice;
}

COLORREF DominantColour(const CImageDataModel& image) {
  const UINT w = image.GetWidth(), h = image.GetHeight();
  if (image.IsEmpty() || w == 0 || h == 0) return RGB(235, 235, 235);
  const UINT step = SampleStep(w, h);
  std::vector<std::uint32_t> bins(1u << 18, 0);
  for (UINT y = 0; y < h; y += step)
    for (UINT x = 0; x < w; x += step) ++bins[BinOf(image.GetPixel(x, y))];
  unsigned best = 0;
  for (unsigned b = 1; b < bins.size(); ++b)
    if (bins[b] > bins[best]) best = b;
  // Within the fullest bin, the most common exact colour (first seen wins a tie).
  std::unordered_map<COLORREF, std::uint32_t> counts;
  COLORREF mode = 0;
  std::uint32_t modeCount = 0;
  for (UINT y = 0; y < h; y += step)
    for (UINT x = 0; x < w; x += step) {
      const COLORREF c = image.GetPixel(x, y);
      if (BinOf(c) != best) continue;
      const std::uint32_t n = ++counts[c];
      if (n > modeCount) {
        modeCount = n;
        mode = c;
      }
    }
  return mode;
}

COLORREF ResolvePaper(const CImageDataModel& image, const PaperChoice& choice) {
  return choice.automatic ? DominantColour(image) : choice.colour;
}

COLORREF ApplyPaper(CImageDataModel& image, const PaperChoice& choice) {
  const COLORREF paper = ResolvePaper(image, choice);
  image.SetBKColor(GetRValue(paper), GetGValue(paper), GetBValue(paper));
  return paper;
}

std::uint64_t CountInkPixels(const CImageDataModel& image) {
  std::uint64_t ink = 0;
  for (UINT y = 0; y < image.GetHeight(); ++y)
    for (UINT x = 0; x < image.GetWidth(); ++x) ink += image.IsBackground(x, y) ? 0 : 1;
  return ink;
}

std::string HexColour(COLORREF c) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
  return text;
}

std::string DescribeColour(COLORREF c) {
  return "RGB(" + std::to_string(GetRValue(c)) + ", " + std::to_string(GetGValue(c)) + ", " +
         std::to_string(GetBValue(c)) + ")";
}

std::string WhyNothingFound(const CImageDataModel& image, bool automatic, std::size_t contours) {
  const std::uint64_t total = static_cast<std::uint64_t>(image.GetWidth()) * image.GetHeight();
  const std::uint64_t ink = CountInkPixels(image);
  char percent[32];
  std::snprintf(percent, sizeof percent, "%.2f",
                total ? 100.0 * static_cast<double>(ink) / static_cast<double>(total) : 0.0);
  std::string text =
      (contours == 0 ? std::string("nothing found")
                     : "no rectangle or circle among " + std::to_string(contours) + " contours") +
      ": paper " + DescribeColour(image.GetBKColor()) + (automatic ? " (detected)" : " (given)") +
      ", tolerance " + std::to_string(image.GetPrecision()) + " per channel; " +
      std::to_string(ink) + " of " + std::to_string(total) + " pixels (" + percent +
      "%) differ from the paper";
  if (ink == 0)
    text += automatic ? " - the sheet is blank at this tolerance"
                      : " - the sheet is blank at this colour; try --background auto";
  else if (ink * 2 > total)
    text += " - most of the sheet differs from the paper; check --background";
  return text;
}

}  // namespace cli
