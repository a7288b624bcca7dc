// Loading and saving images for the tool, with the reason for each failure.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "Cli.h"

namespace cli {

const char* FormatName(int code) {
  switch (code) {
    case 1:
      return "BMP";
    case 2:
      return "TIF";
    case 3:
      return "GIF";
    default:
      return "unknown";
  }
}

namespace {

// The library reports failures as 0 only; find the likely reason for the user.
std::string WhyUnreadable(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return std::strerror(errno);
  if (S_ISDIR(info.st_mode)) return "is a folder";
  if (info.st_size == 0) return "the file is empty";
  return "";
}

}  // namespace

LoadOptions& DefaultLoadOptions() {
  static LoadOptions options;
  return options;
}

int DetectFormat(const std::string& path, const LoadOptions& options) {
  if (options.strict) {
    CImageDataModel probe;
    return probe.TestImageFormat(path.c_str());
  }
  char head[6] = {};
  std::ifstream(path, std::ios::binary).read(head, sizeof head);
  if (head[0] == 'B' && head[1] == 'M') return 1;
  if (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0) return 3;
  return 0;
}

void LoadImage(CImageDataModel& image, const std::string& path, bool forPainting,
               const LoadOptions& options) {
  const std::string why = WhyUnreadable(path);
  if (!why.empty() && why != "the file is empty") throw Failure(path + ": " + why);
  const int format = DetectFormat(path, options);
  if (format != 1 && format != 3)
    throw Failure(path + ": not a BMP or GIF file (format code " + std::to_string(format) + ", " +
                  FormatName(format) + ")");
  int loaded = 0;
  if (!options.strict)
    loaded = image.ReadImage(path.c_str(), ZENTREL_READ_WIDE);
  else if (format == 1)
    loaded = image.ReadBMPImage(path.c_str());
  else
    loaded = image.ReadGIFImage(path.c_str());
  if (!loaded) {
    // The library's note says why; the file system's view of an empty file
    // says it more plainly.
    const std::string note = CImageDataModel::GetReadNoteText(image.GetLastReadNote());
    const std::string reason = !why.empty() ? why : !note.empty() ? note : "unsupported or damaged";
    throw Failure(path + ": cannot read it as " + FormatName(format) + " (" + reason + ")");
  }
  // paint-check-only-when-painting: the 10000-pixel limit is the painting one.
  if (forPainting && !image.InitDIBData())
    throw Failure(path + ": the image cannot be used (too large?)");
}

void SaveImage(CImageDataModel& image, const std::string& path) {
  if (image.SaveBMPImage(path.c_str())) return;
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  struct stat info;
  std::string why = "write failed";
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    why = "no such folder";
  else if (::access(folder.c_str(), W_OK) != 0)
    why = "the folder is not writable";
  else if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
    why = "is a folder";
  throw Failure(path + ": cannot write it (" + why + ")");
}

}  // namespace cli
