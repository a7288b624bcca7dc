// The viewer's command line.
#ifndef ZENTREL_TOOLS_VIEW_VIEWOPTIONS_H
#define ZENTREL_TOOLS_VIEW_VIEWOPTIONS_H

#include <string>
#include <vector>

namespace view {

struct ViewOptions {
  std::string file;
  std::string screenshot;  // render one frame into this file and exit
  double zoom = 0;         // 0: one to one when the sheet fits the window, else fit
  bool fit = false;        // --zoom fit
  int windowWidth = 0;     // 0: from the sheet and the screen
  int windowHeight = 0;
  bool overlay = false;
  bool outlines = false;
  bool reportReady = false;
  bool help = false;
};

/// The usage text for --help.
const char* ViewUsage();

/// Parses the arguments after the program name; throws cli::UsageError for
/// a wrong command line.
ViewOptions ParseViewOptions(const std::vector<std::string>& args);

}  // namespace view

#endif  // ZENTREL_TOOLS_VIEW_VIEWOPTIONS_H
