// A file written so that the file it replaces stays intact until the new
// content is complete: the bytes go to a temporary file beside the target,
// which is renamed over the target only after it is written and flushed.
#ifndef ZENTREL_FILES_REPLACINGFILE_H
#define ZENTREL_FILES_REPLACINGFILE_H

#include "platform/File.h"

namespace zentrel::detail {

/// Use: Open, write through File(), then Commit. On any failure, or when the
/// object goes away without a Commit, the temporary file is removed and the
/// target is left as it was.
///
/// A target that is a symbolic link is resolved: the file it points to is
/// replaced and the link kept. An existing target keeps its permission bits.
/// A target that exists but is no regular file (a device, a pipe) is never
/// renamed over; it is opened and written directly.
class ReplacingFile {
 public:
  ReplacingFile() = default;
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile() { Abandon(); }

  /// Opens the file that will become target; false on failure (nothing is
  /// left behind). With inPlaceFallback, a target whose folder takes no new
  /// file (permission denied, read-only file system) but which is itself an
  /// existing, writable regular file is opened for writing in place.
  bool Open(const CString& target, bool inPlaceFallback = false);
  /// The open file to write to; Write throws CFileException* on failure.
  CFile& File() { return m_file; }
  /// Flushes and closes the file and puts it in place of the target. Throws
  /// CFileException* on failure; the caller then calls Abandon.
  void Commit();
  /// Closes the file and removes the temporary; never throws.
  void Abandon();

 private:
  /// 0 when the temporary is open, else the system's error number.
  LONG OpenTemporary(const CString& folder, UINT permissions, bool keepPermissions);

  CFile m_file;
  CString m_target;     // the resolved target
  CString m_temporary;  // empty when the target is written directly
};

}  // namespace zentrel::detail

#endif  // ZENTREL_FILES_REPLACINGFILE_H
