// zentrel: the command-line host of the library. Reads BMP and GIF map
// sheets, converts and filters them, vectorises them into shapes, paints
// them, and runs the bundled demonstration.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Cli.h"

#ifndef ZENTREL_VERSION
#define ZENTREL_VERSION "unknown"
#endif

namespace {

const char kUsage[] =
    "usage: zentrel COMMAND [ARGS...]\n"
    "\n"
    "Commands:\n"
    "  info FILE...                          format, size, depth and colours of each file\n"
    "  convert IN OUT [OP...]                read, apply operations in order, save in the\n"
    "                                        format of OUT's extension (bmp, png, tif, pgm, ppm)\n"
    "  vectorize IN [--geojson F] [--dxf F]  trace contours and recognise shapes\n"
    "  vectorize --out-dir DIR INPUT...      the same on many sheets at once\n"
    "  render IN OUT.bmp [--size WxH]        paint the image into an off-screen device\n"
    "  demo [OUTDIR]                         the main job on the bundled sample sheet\n"
    "\n"
    "Options: --help (also after a command), --version.\n"
    "  --strict (before the command)         read files as the library does by default:\n"
    "                                        uncompressed 8/24-bit BMP, GIF without\n"
    "                                        extension blocks, format from the name;\n"
    "                                        without it every common BMP and GIF form is\n"
    "                                        read and the format comes from the content\n";

// Library message boxes are shown once each, on standard error.
void PrintMessage(const char* text, UINT) {
  std::string line(text);
  while (!line.empty() && line.back() == '\n') line.pop_back();
  std::fprintf(stderr, "zentrel: %s\n", line.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  SetMessageBoxHandler(&PrintMessage);
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  // Global options stand before the command.
  while (!args.empty() && args.front() == "--strict") {
    cli::DefaultLoadOptions().strict = true;
    args.erase(args.begin());
  }
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "--version") {
    std::printf("zentrel %s\n", ZENTREL_VERSION);
    return 0;
  }
  try {
    if (command == "info") return cli::RunInfo(args);
    if (command == "convert") return cli::RunConvert(args);
    if (command == "vectorize") return cli::RunVectorize(args);
    if (command == "render") return cli::RunRender(args);
    if (command == "demo") return cli::RunDemo(args);
    throw cli::UsageError("unknown command '" + command + "'");
  } catch (const cli::UsageError& e) {
    std::fprintf(stderr, "zentrel: %s (see 'zentrel --help')\n", e.what());
    return 2;
  } catch (const cli::Failure& e) {
    std::fprintf(stderr, "zentrel: %s\n", e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zentrel: %s\n", e.what());
    return 1;
  }
}
