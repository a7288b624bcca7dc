// CFile over POSIX file descriptors.
#include "platform/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <limits>

namespace {

int CauseOf(int osError) {
  switch (osError) {
    case ENOENT:
      return CFileException::fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return CFileException::badPath;
    case EMFILE:
    case ENFILE:
      return CFileException::tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return CFileException::accessDenied;
    case EBADF:
      return CFileException::invalidFile;
    case ENOSPC:
    case EDQUOT:
      return CFileException::diskFull;
    case ESPIPE:
    case EOVERFLOW:
      return CFileException::badSeek;
    case EIO:
      return CFileException::hardIO;
    default:
      return CFileException::genericException;
  }
}

}  // namespace

CFile::~CFile() { Abort(); }

BOOL CFile::Open(const char* path, UINT flags, CFileException* error) {
  Abort();
  m_strFileName = path;
  int oflags = O_CLOEXEC;
  if (flags & modeReadWrite)
    oflags |= O_RDWR;
  else if (flags & modeWrite)
    oflags |= O_WRONLY;
  else
    oflags |= O_RDONLY;
  if (flags & modeCreate) oflags |= O_CREAT | O_TRUNC;
  if (flags & modeCreateNew) oflags = (oflags & ~O_TRUNC) | O_CREAT | O_EXCL;
  // A read-only open never waits: opening a pipe that no one writes to yet
  // would block the caller until a writer appears. Once open, the file is
  // set back to blocking, so reads behave as usual (such a pipe reads as
  // empty).
  const bool readOnly = (oflags & O_ACCMODE) == O_RDONLY;
  if (readOnly) oflags |= O_NONBLOCK;

  int osError = 0;
  int fd = path ? ::open(path, oflags, 0666) : -1;
  if (!path) osError = ENOENT;
  if (fd < 0 && path) osError = errno;
  if (fd >= 0) {
    struct stat info;
    if (::fstat(fd, &info) != 0) {
      osError = errno;
    } else if (S_ISDIR(info.st_mode)) {
      osError = EISDIR;
    } else if (readOnly && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
      osError = errno;
    }
    if (osError) {
      ::close(fd);
      fd = -1;
    }
  }
  if (fd < 0) {
    if (error) *error = CFileException(CauseOf(osError), osError, m_strFileName);
    return FALSE;
  }
  m_fd = fd;
  return TRUE;
}

void CFile::Throw(int osError) const {
  throw new CFileException(CauseOf(osError), osError, m_strFileName);
}

UINT CFile::Read(void* buffer, UINT count) {
  if (m_fd < 0) Throw(EBADF);
  BYTE* out = static_cast<BYTE*>(buffer);
  UINT done = 0;
  while (done < count) {
    ssize_t n = ::read(m_fd, out + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Throw(errno);
    }
    if (n == 0) break;
    done += static_cast<UINT>(n);
  }
  return done;
}

void CFile::Write(const void* buffer, UINT count) {
  if (m_fd < 0) Throw(EBADF);
  const BYTE* in = static_cast<const BYTE*>(buffer);
  UINT done = 0;
  while (done < count) {
    ssize_t n = ::write(m_fd, in + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Throw(errno);
    }
    if (n == 0) Throw(ENOSPC);
    done += static_cast<UINT>(n);
  }
}

std::uint64_t CFile::Seek(std::int64_t offset, UINT from) {
  if (m_fd < 0) Throw(EBADF);
  int whence = from == current ? SEEK_CUR : from == end ? SEEK_END : SEEK_SET;
  off_t position = ::lseek(m_fd, static_cast<off_t>(offset), whence);
  if (position < 0) Throw(errno);
  return static_cast<std::uint64_t>(position);
}

std::uint64_t CFile::GetLength() const {
  if (m_fd < 0) Throw(EBADF);
  struct stat info;
  if (::fstat(m_fd, &info) != 0) Throw(errno);
  return info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

void CFile::Flush() {
  if (m_fd < 0) Throw(EBADF);
  if (::fsync(m_fd) != 0 && errno != EINVAL && errno != EROFS) Throw(errno);
}

void CFile::Close() {
  if (m_fd < 0) return;
  int fd = m_fd;
  m_fd = -1;
  if (::close(fd) != 0 && errno != EINTR) Throw(errno);
}

void CFile::Abort() {
  if (m_fd < 0) return;
  ::close(m_fd);
  m_fd = -1;
}

void CFile::Rename(const char* oldPath, const char* newPath) {
  if (::rename(oldPath, newPath) != 0)
    throw new CFileException(CauseOf(errno), errno, CString(oldPath));
}

void CFile::Remove(const char* path) {
  if (::unlink(path) != 0) throw new CFileException(CauseOf(errno), errno, CString(path));
}

CPathStatus CFile::GetPathStatus(const char* path) {
  CPathStatus status;
  struct stat info;
  if (::lstat(path, &info) != 0) {
    if (errno == ENOENT) return status;
    throw new CFileException(CauseOf(errno), errno, CString(path));
  }
  if (S_ISLNK(info.st_mode))
    status.m_kind = CPathStatus::symbolicLink;
  else if (S_ISREG(info.st_mode))
    status.m_kind = CPathStatus::regularFile;
  else
    status.m_kind = CPathStatus::other;
  status.m_permissions = static_cast<UINT>(info.st_mode & 0777);
  return status;
}

CString CFile::ReadLink(const char* path) {
  // A link text that fills the buffer may have been cut short; no path that
  // long can be opened anyway.
  char text[PATH_MAX];
  const ssize_t n = ::readlink(path, text, sizeof text);
  if (n < 0) throw new CFileException(CauseOf(errno), errno, CString(path));
  if (static_cast<std::size_t>(n) >= sizeof text)
    throw new CFileException(CauseOf(ENAMETOOLONG), ENAMETOOLONG, CString(path));
  return CString(std::string(text, static_cast<std::size_t>(n)));
}

void CFile::SetPermissions(const char* path, UINT permissions) {
  if (::chmod(path, static_cast<mode_t>(permissions & 0777)) != 0)
    throw new CFileException(CauseOf(errno), errno, CString(path));
}
