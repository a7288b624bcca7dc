// Format recognition: by the end of a file's name, and by its first bytes.
#include "ImageDataModel.h"
#include "files/BmpFormat.h"
#include "platform/File.h"

using namespace zentrel::detail;

namespace zentrel::detail {
namespace {

constexpr short kUnknownFormat = 0;
constexpr short kBmpFormat = 1;
constexpr short kTifFormat = 2;
constexpr short kGifFormat = 3;

}  // namespace
}  // namespace zentrel::detail

short CImageDataModel::TestMode(CString name) {
  CString ending = name.Right(4);
  ending.MakeUpper();
  if (ending == ".BMP") return kBmpFormat;
  if (ending == ".TIF") return kTifFormat;
  if (ending == ".GIF") return kGifFormat;
  return kUnknownFormat;
}

short CImageDataModel::TestImageFormat(CString name) {
  CFile file;
  CFileException openError;
  if (!file.Open(name, CFile::modeRead | CFile::shareDenyWrite, &openError)) return kUnknownFormat;
  try {
    BYTE signature[2];
    const short format =
        file.Read(signature, 2) == 2 && IsBmpSignature(signature) ? kBmpFormat : TestMode(name);
    file.Close();
    return format;
  } catch (CFileException* error) {
    error->Delete();
    file.Abort();
    return kUnknownFormat;
  }
}
