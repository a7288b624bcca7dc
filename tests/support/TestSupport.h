// Helpers shared by the test programs: temporary folders, captured message
// boxes, paths of the public test images, and small image builders.
#ifndef ZENTREL_TESTS_SUPPORT_H
#define ZENTREL_TESTS_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "ImageDataModel.h"

namespace zt {

/// A fresh folder under the system's temporary folder, removed with its
/// contents when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return m_path; }
  /// path()/name
  std::string File(const std::string& name) const { return m_path + "/" + name; }

 private:
  std::string m_path;
};

/// Captures every message box shown while it exists (one at a time).
class MessageCapture {
 public:
  MessageCapture();
  ~MessageCapture();
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;
  /// Texts of the messages shown so far, in order.
  const std::vector<std::string>& texts() const;
  /// Styles of the messages shown so far, in order.
  const std::vector<UINT>& styles() const;

 private:
  MessageBoxHandler m_previous;
};

/// Path of a file below the public test-image folder.
std::string TestDataPath(const std::string& relative);
/// True when the public test-image folder is present.
bool HaveTestData();

/// Reads a whole file; empty when it cannot be read.
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
/// Writes bytes to a file; false on failure.
bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

/// A record holding a blank image; fails the current test when it cannot be
/// made.
void MakeImage(CImageDataModel& image, int width, int height, int bits);

/// The 8-bit sample (colour-table index) at (x, y), y from the top.
std::uint8_t IndexAt(const CImageDataModel& image, UINT x, UINT y);
/// Sets the 8-bit sample (colour-table index) at (x, y), y from the top.
void SetIndexAt(CImageDataModel& image, UINT x, UINT y, std::uint8_t index);
/// Makes colour-table entry i of an 8-bit image a grey of level i, so that
/// an index is its own grey level.
void SetGreyTable(CImageDataModel& image);

}  // namespace zt

#endif  // ZENTREL_TESTS_SUPPORT_H
