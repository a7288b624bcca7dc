// zentrel-view: shows a map sheet in a window, painted through the library.
#include <SDL.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Cli.h"
#include "Sheet.h"
#include "ViewOptions.h"
#include "ViewerWindow.h"

namespace {

/// Starts SDL's video; a screenshot needs no screen, so it falls back to the
/// driver that draws into memory only.
bool StartVideo(bool screenshot) {
  if (SDL_Init(SDL_INIT_VIDEO) == 0) return true;
  if (!screenshot) return false;
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
  return SDL_Init(SDL_INIT_VIDEO) == 0;
}

int Show(const view::ViewOptions& options) {
  view::Sheet sheet(options.file);
  if (!StartVideo(!options.screenshot.empty()))
    throw cli::Failure(std::string("cannot start the video: ") + SDL_GetError());
  int status = 0;
  {
    view::ViewerWindow window(sheet, options);
    if (!options.screenshot.empty()) {
      window.Screenshot(options.screenshot);
      std::printf("saved %s\n", options.screenshot.c_str());
    } else {
      status = window.Run();
    }
  }
  SDL_Quit();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    const view::ViewOptions options = view::ParseViewOptions(args);
    if (options.help) {
      std::puts(view::ViewUsage());
      return 0;
    }
    return Show(options);
  } catch (const cli::UsageError& e) {
    std::fprintf(stderr, "zentrel-view: %s (see zentrel-view --help)\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zentrel-view: %s\n", e.what());
    SDL_Quit();
    return 1;
  }
}
