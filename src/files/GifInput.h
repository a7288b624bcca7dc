// A read-ahead buffer over the GIF file for the LZW data: the decoder reads
// a sub-block at a time, a byte or two ahead, and seeks back, and this keeps
// those small requests from each becoming a system call. Every Read returns
// the same bytes as the file's own Read would, fewer only at its end.
#ifndef ZENTREL_FILES_GIFINPUT_H
#define ZENTREL_FILES_GIFINPUT_H

#include <cstring>

#include "platform/File.h"

namespace zentrel::detail {

class GifInput {
 public:
  explicit GifInput(CFile& file) : m_file(file) {}
  GifInput(const GifInput&) = delete;
  GifInput& operator=(const GifInput&) = delete;

  /// Reads ahead into buffer (capacity bytes, owned by the caller) from
  /// the file's current position on.
  void Attach(BYTE* buffer, UINT capacity) {
    m_buffer = buffer;
    m_capacity = capacity;
    m_pos = m_end = 0;
  }

  /// Reads up to count bytes; fewer only at the end of the file. A file
  /// error surfaces as the file's CFileException.
  UINT Read(BYTE* out, UINT count) {
    UINT done = 0;
    while (done < count) {
      if (m_pos == m_end && !Refill()) break;
      UINT take = m_end - m_pos;
      if (take > count - done) take = count - done;
      std::memcpy(out + done, m_buffer + m_pos, take);
      m_pos += take;
      done += take;
    }
    return done;
  }

  /// One byte into *out; false (and *out untouched) at the end of the file.
  bool ReadByte(BYTE* out) {
    if (m_pos == m_end && !Refill()) return false;
    *out = m_buffer[m_pos++];
    return true;
  }

  /// Moves back over count bytes just read.
  void SeekBack(UINT count) {
    if (count <= m_pos) {
      m_pos -= count;
      return;
    }
    // The bytes lie before the buffer: move the file itself.
    m_file.Seek(-static_cast<std::int64_t>(m_end - m_pos) - count, CFile::current);
    m_pos = m_end = 0;
  }

 private:
  bool Refill() {
    m_pos = 0;
    m_end = m_file.Read(m_buffer, m_capacity);
    return m_end > 0;
  }

  CFile& m_file;
  BYTE* m_buffer = nullptr;
  UINT m_capacity = 0;
  UINT m_pos = 0;
  UINT m_end = 0;
};

}  // namespace zentrel::detail

#endif  // ZENTREL_FILES_GIFINPUT_H
