// The image operations of 'zentrel convert': parsed from the command line
// before any file is touched, then applied in order.
#ifndef ZENTREL_TOOLS_OPERATIONS_H
#define ZENTREL_TOOLS_OPERATIONS_H

#include <string>
#include <vector>

#include "ImageDataModel.h"

namespace cli {

struct Operation {
  enum Kind {
    Flip,
    Mirror,
    Left90,
    Right90,
    Rotate,
    Denoise,
    Edge,
    Shrink,
    Line,
    Background,
    Precision
  };
  Kind kind;
  std::string text;          // as the user wrote it, for messages
  std::vector<long> values;  // the arguments, in order
};

/// Parses one operation; throws UsageError naming it when it is not valid
/// (for denoise also a window, K or type the library would refuse).
Operation ParseOperation(const std::string& text);
/// Applies an operation; throws Failure naming it when the library refuses it.
void ApplyOperation(CImageDataModel& image, const Operation& op);
/// True for the operations that, on an 8-bit image, change colour-table
/// entries and so every pixel sharing them: edge, shrink, line.
bool ChangesColourTable(const Operation& op);
/// Turns an 8-bit image into a 24-bit one of the same pixels, keeping the
/// background colour and precision; throws Failure when memory is short.
void PromoteToTrueColour(CImageDataModel& image);
/// Parses RRGGBB (hexadecimal) into a colour; false when it is not one.
bool ParseColour(const std::string& text, COLORREF& colour);
/// Parses a whole decimal integer within [low, high]; false otherwise.
bool ParseInteger(const std::string& text, long low, long high, long& value);

/// Help text listing the operations.
extern const char kOperationsHelp[];

}  // namespace cli

#endif  // ZENTREL_TOOLS_OPERATIONS_H
