// Parsing and applying the operations of 'zentrel convert'.
#include "Operations.h"

#include <charconv>
#include <climits>

#include "Cli.h"

namespace cli {

const char kOperationsHelp[] =
    "Operations (applied in order):\n"
    "  flip | mirror | left90 | right90     turn upside down, left-right, a quarter turn\n"
    "  rotate=DEG                           rotate by whole degrees (positive: clockwise)\n"
    "  denoise=W,H,K,TYPE                   8-bit images only: filter with a W x H window\n"
    "                                       (1..10 each), 0 <= K < W x H; TYPE 0 mean,\n"
    "                                       1 outlier mean, 2 mean of the K nearest (K >= 1),\n"
    "                                       3 median, 4 contrast raising\n"
    "  edge                                 paint red every pixel of a non-background\n"
    "                                       region that touches the background\n"
    "  shrink                               one pass in reading order: a region pixel\n"
    "                                       touching the background becomes background,\n"
    "                                       and counts as background for the rest of the\n"
    "                                       pass, so the change runs on rightwards and\n"
    "                                       downwards: thin shapes vanish, and so does a\n"
    "                                       filled shape surrounded by paper (only pixels\n"
    "                                       on the image border stay)\n"
    "  line=X1,Y1,X2,Y2,RRGGBB              draw a line\n"
    "  background=RRGGBB                    background colour for edge and shrink\n"
    "                                       (default EBEBEB)\n"
    "  precision=N                          colour tolerance, 15..40\n"
    "On an 8-bit image, edge, shrink and line would recolour colour-table entries,\n"
    "changing every pixel that shares them: the image is first made 24-bit (a note\n"
    "on standard error says so). --keep-palette keeps the colour table and the\n"
    "library's own behaviour.\n";

bool ParseInteger(const std::string& text, long low, long high, long& value) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  auto [end, error] = std::from_chars(first, last, value);
  return error == std::errc() && end == last && first != last && value >= low && value <= high;
}

bool ParseColour(const std::string& text, COLORREF& colour) {
  if (text.size() != 6) return false;
  unsigned long rgb = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + 6, rgb, 16);
  if (error != std::errc() || end != text.data() + 6) return false;
  colour = RGB(static_cast<BYTE>(rgb >> 16), static_cast<BYTE>(rgb >> 8), static_cast<BYTE>(rgb));
  return true;
}

namespace {

std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    std::size_t comma = text.find(',', start);
    parts.push_back(text.substr(start, comma - start));
    if (comma == std::string::npos) return parts;
    start = comma + 1;
  }
}

// Parses comma-separated integers; the last one may be a colour.
std::vector<long> ParseArguments(const Operation& op, const std::string& arguments,
                                 std::size_t count, bool lastIsColour, long low, long high) {
  const std::vector<std::string> parts = SplitCommas(arguments);
  if (parts.size() != count)
    throw UsageError("operation '" + op.text + "' needs " + std::to_string(count) +
                     " comma-separated values");
  std::vector<long> values;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    long value = 0;
    if (lastIsColour && i + 1 == parts.size()) {
      COLORREF colour = 0;
      if (!ParseColour(parts[i], colour))
        throw UsageError("operation '" + op.text + "': '" + parts[i] + "' is not a colour RRGGBB");
      value = static_cast<long>(colour);
    } else if (!ParseInteger(parts[i], low, high, value)) {
      throw UsageError("operation '" + op.text + "': '" + parts[i] + "' is not a whole number in " +
                       std::to_string(low) + ".." + std::to_string(high));
    }
    values.push_back(value);
  }
  return values;
}

// denoise-refusal-usage-error: the library leaves an image untouched for a
// denoise it refuses (and for a type outside 0..4 even reports success):
// both are mistakes on the command line, so they are refused here, before
// any file is read.
void CheckDenoise(const Operation& op) {
  const long w = op.values[0], h = op.values[1], k = op.values[2], type = op.values[3];
  std::string why;
  if (w < 1 || w > 10 || h < 1 || h > 10)
    why = "the window sides must be 1..10";
  else if (type < 0 || type > 4)
    why = "TYPE must be 0..4";
  else if (k < 0 || k >= w * h)
    why = "K must be 0.." + std::to_string(w * h - 1) + " for a " + std::to_string(w) + " x " +
          std::to_string(h) + " window";
  else if (type == 2 && k < 1)
    why = "type 2 needs K of at least 1";
  if (!why.empty()) throw UsageError("operation '" + op.text + "': " + why);
}

}  // namespace

bool ChangesColourTable(const Operation& op) {
  return op.kind == Operation::Edge || op.kind == Operation::Shrink || op.kind == Operation::Line;
}

void PromoteToTrueColour(CImageDataModel& image) {
  const UINT w = image.GetWidth(), h = image.GetHeight();
  std::vector<COLORREF> pixels;
  pixels.reserve(static_cast<std::size_t>(w) * h);
  for (UINT y = 0; y < h; ++y)
    for (UINT x = 0; x < w; ++x) pixels.push_back(image.GetPixel(x, y));
  const COLORREF background = image.GetBKColor();
  const int precision = image.GetPrecision();
  image.FreeImage();
  if (!image.InitImage(static_cast<int>(w), static_cast<int>(h), 24))
    throw Failure("cannot make a 24-bit copy of the image (out of memory?)");
  image.SetBKColor(GetRValue(background), GetGValue(background), GetBValue(background));
  image.SetPrecision(precision);
  std::size_t i = 0;
  for (UINT y = 0; y < h; ++y)
    for (UINT x = 0; x < w; ++x) image.SetPixel(x, y, pixels[i++]);
}

Operation ParseOperation(const std::string& text) {
  const std::size_t equals = text.find('=');
  const std::string name = text.substr(0, equals);
  const bool hasArguments = equals != std::string::npos;
  const std::string arguments = hasArguments ? text.substr(equals + 1) : "";
  Operation op{Operation::Flip, text, {}};

  struct Plain {
    const char* name;
    Operation::Kind kind;
  };
  static const Plain kPlain[] = {{"flip", Operation::Flip},     {"mirror", Operation::Mirror},
                                 {"left90", Operation::Left90}, {"right90", Operation::Right90},
                                 {"edge", Operation::Edge},     {"shrink", Operation::Shrink}};
  for (const Plain& plain : kPlain) {
    if (name != plain.name) continue;
    if (hasArguments) throw UsageError("operation '" + text + "': '" + name + "' takes no value");
    op.kind = plain.kind;
    return op;
  }
  if (!hasArguments) throw UsageError("unknown operation '" + text + "'");
  if (name == "rotate") {
    op.kind = Operation::Rotate;
    op.values = ParseArguments(op, arguments, 1, false, INT_MIN, INT_MAX);
  } else if (name == "denoise") {
    op.kind = Operation::Denoise;
    op.values = ParseArguments(op, arguments, 4, false, INT_MIN, INT_MAX);
    CheckDenoise(op);
  } else if (name == "line") {
    op.kind = Operation::Line;
    op.values = ParseArguments(op, arguments, 5, true, INT_MIN, INT_MAX);
  } else if (name == "background") {
    op.kind = Operation::Background;
    op.values = ParseArguments(op, arguments, 1, true, 0, 0);
  } else if (name == "precision") {
    op.kind = Operation::Precision;
    op.values = ParseArguments(op, arguments, 1, false, 15, 40);
  } else {
    throw UsageError("unknown operation '" + text + "'");
  }
  return op;
}

void ApplyOperation(CImageDataModel& image, const Operation& op) {
  const std::vector<long>& v = op.values;
  int result = 1;
  switch (op.kind) {
    case Operation::Flip:
      result = image.Flip();
      break;
    case Operation::Mirror:
      result = image.Mirror();
      break;
    case Operation::Left90:
      result = image.Left90();
      break;
    case Operation::Right90:
      result = image.Right90();
      break;
    case Operation::Rotate:
      result = image.Rotate(static_cast<int>(v[0]));
      break;
    case Operation::Denoise:
      result = image.RemoveNoise(static_cast<int>(v[0]), static_cast<int>(v[1]),
                                 static_cast<int>(v[2]), static_cast<int>(v[3]));
      if (!result)
        throw Failure("operation '" + op.text +
                      "' was refused (8-bit images only; window 1..10 each; K below W x H, "
                      "and at least 1 for type 2)");
      break;
    case Operation::Edge:
      result = image.Edge();
      break;
    case Operation::Shrink:
      result = image.Shrink();
      break;
    case Operation::Line:
      image.DDALine(CPoint(static_cast<int>(v[0]), static_cast<int>(v[1])),
                    CPoint(static_cast<int>(v[2]), static_cast<int>(v[3])),
                    static_cast<DWORD>(v[4]));
      break;
    case Operation::Background: {
      const COLORREF c = static_cast<COLORREF>(v[0]);
      image.SetBKColor(GetRValue(c), GetGValue(c), GetBValue(c));
      break;
    }
    case Operation::Precision:
      image.SetPrecision(static_cast<int>(v[0]));
      break;
  }
  if (!result) throw Failure("operation '" + op.text + "' failed (out of memory?)");
}

}  // namespace cli
