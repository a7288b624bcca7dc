// Writing a file beside its target and renaming it into place.
#include "files/ReplacingFile.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>

namespace zentrel::detail {

namespace {

constexpr int kMaxLinkHops = 40;
constexpr int kNameAttempts = 100;
constexpr UINT kCreateFlags = CFile::modeCreate | CFile::modeReadWrite | CFile::shareDenyWrite;

/// The folder part of path with its final '/', or empty for a bare name.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

/// Follows symbolic links at the end of path until it names something else
/// or nothing, leaving path and status on that. False for a chain of links
/// too long (or circular) to follow. Throws CFileException*.
bool ResolveLinks(std::string& path, CPathStatus& status) {
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    status = CFile::GetPathStatus(path.c_str());
    if (status.m_kind != CPathStatus::symbolicLink) return true;
    const std::string link = CFile::ReadLink(path.c_str()).str();
    if (link.empty()) return false;
    // A relative link is relative to the folder that holds the link.
    path = link[0] == '/' ? link : FolderOf(path) + link;
  }
  return false;
}

/// Temporary-file name number attempt in folder: a hidden name built from a
/// mixed seed, so that concurrent savers pick different names.
std::string TemporaryName(const std::string& folder, std::uint64_t seed, int attempt) {
  std::uint64_t value = seed + static_cast<std::uint64_t>(attempt) * 0x9E3779B97F4A7C15ull;
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
  value ^= value >> 31;
  constexpr char kDigits[] = "0123456789abcdef";
  std::string name = folder + ".zentrel-";
  for (int shift = 60; shift >= 0; shift -= 4) name += kDigits[(value >> shift) & 0xF];
  return name + ".tmp";
}

/// True when the existing regular file path may be written by this process,
/// so that replacing it never succeeds where writing it would have failed
/// (a read-only map stays protected). Opening without truncation leaves the
/// file unchanged.
bool IsWritable(const std::string& path) {
  CFile probe;
  CFileException error;
  if (!probe.Open(path.c_str(), CFile::modeReadWrite, &error)) return false;
  probe.Abort();
  return true;
}

/// True for the errors of a folder that takes no new file.
bool IsFolderLocked(LONG error) { return error == EACCES || error == EPERM || error == EROFS; }

}  // namespace

bool ReplacingFile::Open(const CString& target, bool inPlaceFallback) {
  Abandon();
  if (target.IsEmpty()) return false;
  try {
    std::string path = target.str();
    CPathStatus status;
    if (!ResolveLinks(path, status)) return false;
    m_target = path;
    if (status.m_kind == CPathStatus::other) {
      // Renaming over a device or a pipe would replace the node itself: such
      // a target is written in place, and its own errors decide the result.
      CFileException error;
      return m_file.Open(m_target, kCreateFlags, &error) != FALSE;
    }
    const bool exists = status.m_kind == CPathStatus::regularFile;
    if (exists && !IsWritable(path)) return false;
    const LONG error = OpenTemporary(FolderOf(path), status.m_permissions, exists);
    if (error == 0) return true;
    // bmp-save-in-place: where no temporary can be made beside the target,
    // a host that asks for it gets the target itself written, as a save
    // without the temporary did.
    if (!inPlaceFallback || !exists || !IsFolderLocked(error)) return false;
    CFileException openError;
    return m_file.Open(m_target, kCreateFlags, &openError) != FALSE;
  } catch (CFileException* error) {
    error->Delete();
    Abandon();
    return false;
  }
}

LONG ReplacingFile::OpenTemporary(const CString& folder, UINT permissions, bool keepPermissions) {
  const std::uint64_t seed =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      reinterpret_cast<std::uintptr_t>(this);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string name = TemporaryName(folder.str(), seed, attempt);
    CFileException error;
    if (m_file.Open(name.c_str(),
                    CFile::modeCreateNew | CFile::modeReadWrite | CFile::shareDenyWrite, &error)) {
      m_temporary = name;
      // Set before any byte is written, so the new content is never readable
      // more widely than the old was.
      if (keepPermissions) CFile::SetPermissions(m_temporary, permissions);
      return 0;
    }
    if (error.m_lOsError != EEXIST) return error.m_lOsError != 0 ? error.m_lOsError : EIO;
  }
  return EEXIST;
}

void ReplacingFile::Commit() {
  m_file.Flush();
  m_file.Close();
  if (!m_temporary.IsEmpty()) {
    CFile::Rename(m_temporary, m_target);
    m_temporary = CString();
  }
}

void ReplacingFile::Abandon() {
  m_file.Abort();
  if (m_temporary.IsEmpty()) return;
  try {
    CFile::Remove(m_temporary);
  } catch (CFileException* error) {
    error->Delete();
  }
  m_temporary = CString();
}

}  // namespace zentrel::detail
