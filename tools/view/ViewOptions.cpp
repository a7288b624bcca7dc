// Parsing the viewer's command line.
#include "ViewOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "Cli.h"
#include "FrameFile.h"
#include "Viewport.h"

namespace view {
namespace {

bool ParseSide(const std::string& text, int& side) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  side = std::atoi(text.c_str());
  return side >= 1 && side <= 16384;
}

double ParseZoom(const std::string& text) {
  errno = 0;
  char* end = nullptr;
  const double zoom = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(zoom) ||
      zoom < Viewport::kMinZoom || zoom > Viewport::kMaxZoom)
    throw cli::UsageError("--zoom '" + text + "' is not 'fit' or a number from 1/64 to 32");
  return zoom;
}

}  // namespace

const char* ViewUsage() {
  return "usage: zentrel-view FILE [--zoom Z|fit] [--size WxH] [--overlay] [--outlines]\n"
         "                    [--screenshot OUT.png|OUT.bmp] [--report-ready]\n"
         "Shows a BMP or GIF map sheet in a window, painted with PaintImageToDevice.\n"
         "Keys: wheel, + and - zoom; 0 fits the window; 1 is one to one; drag or the\n"
         "arrow keys pan; o shows the traced outlines and shapes; b the marked\n"
         "outlines instead of the sheet; r and l turn the sheet; s saves the window\n"
         "as a PNG file; q or Escape quits. The window title shows the pixel under\n"
         "the pointer, its colour and the zoom.\n"
         "--screenshot renders one frame, saves it (PNG, or BMP by its extension)\n"
         "and exits. --report-ready prints one line once the first frame is shown.";
}

ViewOptions ParseViewOptions(const std::vector<std::string>& args) {
  ViewOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "-h" || a == "--help") {
      o.help = true;
    } else if (a == "--zoom") {
      if (!hasValue) throw cli::UsageError("--zoom needs a number or 'fit'");
      const std::string& z = args[++i];
      if (z == "fit")
        o.fit = true;
      else
        o.zoom = ParseZoom(z);
    } else if (a == "--size") {
      if (!hasValue) throw cli::UsageError("--size needs WxH");
      const std::string& s = args[++i];
      const std::size_t x = s.find('x');
      if (x == std::string::npos || !ParseSide(s.substr(0, x), o.windowWidth) ||
          !ParseSide(s.substr(x + 1), o.windowHeight))
        throw cli::UsageError("--size '" + s + "' is not WxH with sides 1..16384");
    } else if (a == "--screenshot") {
      if (!hasValue) throw cli::UsageError("--screenshot needs a file name");
      o.screenshot = args[++i];
      if (FrameFormatOf(o.screenshot) == FrameFormat::kUnknown)
        throw cli::UsageError("--screenshot '" + o.screenshot + "' must end in .png or .bmp");
    } else if (a == "--overlay") {
      o.overlay = true;
    } else if (a == "--outlines") {
      o.outlines = true;
    } else if (a == "--report-ready") {
      o.reportReady = true;
    } else if (!a.empty() && a[0] == '-') {
      throw cli::UsageError("unknown option '" + a + "'");
    } else if (o.file.empty()) {
      o.file = a;
    } else {
      throw cli::UsageError("one file at a time ('" + a + "' is a second one)");
    }
  }
  if (o.file.empty() && !o.help) throw cli::UsageError("no file to show");
  return o;
}

}  // namespace view
