// Closing a file that a reader only read from.
#ifndef ZENTREL_FILES_CLOSEREADFILE_H
#define ZENTREL_FILES_CLOSEREADFILE_H

#include "platform/File.h"

namespace zentrel::detail {

/// bmp-close-failure: closes a file opened for reading and ignores a failure
/// of the close. Nothing written can be lost with a read-only file, and
/// every byte the read needed has been read by then, so a failed close must
/// not turn a complete read into a failed one (nor change why a file was
/// refused).
inline void CloseReadFile(CFile& file) {
  try {
    file.Close();
  } catch (CFileException* error) {
    error->Delete();
  }
}

}  // namespace zentrel::detail

#endif  // ZENTREL_FILES_CLOSEREADFILE_H
