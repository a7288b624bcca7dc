// The file class over POSIX file descriptors.
//
// Open reports failure through its result and the exception object passed
// in; Read, Write, Seek, Flush and Close throw a CFileException allocated
// with new, which the catcher receives by pointer and deletes (Delete()).
// Abort closes without ever throwing.
//
// shareDenyWrite is accepted and recorded but not enforced: Linux has no
// mandatory share modes, and advisory locks would not stop other writers.
// A directory cannot be opened (the open fails with accessDenied), so a
// reader never mistakes one for an empty file.
#ifndef ZENTREL_PLATFORM_FILE_H
#define ZENTREL_PLATFORM_FILE_H

#include <cstdint>

#include "ZentrelPlatform.h"

class CFileException {
 public:
  enum {
    none,
    genericException,
    fileNotFound,
    badPath,
    tooManyOpenFiles,
    accessDenied,
    invalidFile,
    removeCurrentDir,
    directoryFull,
    badSeek,
    hardIO,
    sharingViolation,
    lockViolation,
    diskFull,
    endOfFile
  };

  CFileException() = default;
  CFileException(int cause, LONG osError, const CString& fileName)
      : m_cause(cause), m_lOsError(osError), m_strFileName(fileName) {}
  /// Deletes an exception that was thrown by pointer.
  void Delete() { delete this; }

  int m_cause = none;
  LONG m_lOsError = 0;
  CString m_strFileName;
};

/// What a path names, looked at without following a final symbolic link.
struct CPathStatus {
  enum Kind { missing, regularFile, symbolicLink, other };
  Kind m_kind = missing;
  /// The permission bits (0777) of what the path names; 0 when missing.
  UINT m_permissions = 0;
};

class CFile {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareDenyWrite = 0x0020,
    modeCreate = 0x1000,
    /// Creates a file that must not exist yet; a symbolic link at the name
    /// counts as existing. Fails with the operating-system error EEXIST when
    /// the name is taken. Used for unique temporary files.
    modeCreateNew = 0x4000,
  };
  enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };

  CFile() = default;
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;
  ~CFile();  // closes an open file, never throws

  /// Opens the file; nonzero on success. On failure fills *error (if given)
  /// and returns 0 without throwing. modeCreate creates or truncates.
  BOOL Open(const char* path, UINT flags, CFileException* error = nullptr);
  /// Reads up to count bytes; returns how many were read (fewer only at the
  /// end of the file).
  UINT Read(void* buffer, UINT count);
  /// Writes all count bytes.
  void Write(const void* buffer, UINT count);
  /// Moves the position; returns the new position from the start.
  std::uint64_t Seek(std::int64_t offset, UINT from);
  /// The file's length in bytes.
  std::uint64_t GetLength() const;
  /// Forces written data to the storage device.
  void Flush();
  void Close();
  void Abort();
  bool IsOpen() const { return m_fd >= 0; }

  /// Renames a file, replacing an existing target.
  static void Rename(const char* oldPath, const char* newPath);
  /// Removes a file.
  static void Remove(const char* path);
  /// What path names, without following a final symbolic link. A path that
  /// names nothing gives missing; any other failure throws.
  static CPathStatus GetPathStatus(const char* path);
  /// The text of the symbolic link path (the path it points to, as stored).
  static CString ReadLink(const char* path);
  /// Sets the permission bits (0777) of a file.
  static void SetPermissions(const char* path, UINT permissions);

 private:
  [[noreturn]] void Throw(int osError) const;

  int m_fd = -1;
  CString m_strFileName;
};

#endif  // ZENTREL_PLATFORM_FILE_H
