// Helpers shared by the test programs.
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace zt {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zentrel-test-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
  m_path = buffer.data();
}

TempDir::~TempDir() {
  std::error_code ignored;
  // A test may have made the folder read-only; make it writable to clean up.
  std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(m_path, ignored);
}

namespace {

std::vector<std::string>& CapturedTexts() {
  static std::vector<std::string> texts;
  return texts;
}
std::vector<UINT>& CapturedStyles() {
  static std::vector<UINT> styles;
  return styles;
}
void Capture(const char* text, UINT style) {
  CapturedTexts().push_back(text);
  CapturedStyles().push_back(style);
}

}  // namespace

MessageCapture::MessageCapture() {
  CapturedTexts().clear();
  CapturedStyles().clear();
  m_previous = SetMessageBoxHandler(&Capture);
}

MessageCapture::~MessageCapture() { SetMessageBoxHandler(m_previous); }
const std::vector<std::string>& MessageCapture::texts() const { return CapturedTexts(); }
const std::vector<UINT>& MessageCapture::styles() const { return CapturedStyles(); }

std::string TestDataPath(const std::string& relative) {
  return std::string(ZENTREL_TESTDATA_DIR) + "/" + relative;
}

bool HaveTestData() { return std::filesystem::is_directory(ZENTREL_TESTDATA_DIR); }

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

void MakeImage(CImageDataModel& image, int width, int height, int bits) {
  ASSERT_EQ(image.InitImage(width, height, bits), 1) << width << "x" << height << "x" << bits;
}

std::uint8_t IndexAt(const CImageDataModel& image, UINT x, UINT y) {
  return image
      .GetBuffer()[static_cast<std::size_t>(image.GetHeight() - 1 - y) * image.GetLineBytes() + x];
}

void SetIndexAt(CImageDataModel& image, UINT x, UINT y, std::uint8_t index) {
  image
      .GetBuffer()[static_cast<std::size_t>(image.GetHeight() - 1 - y) * image.GetLineBytes() + x] =
      index;
}

void SetGreyTable(CImageDataModel& image) {
  RGBQUAD* table = image.GetPalette();
  for (int i = 0; i < 256; ++i) {
    BYTE level = static_cast<BYTE>(i);
    table[i] = RGBQUAD{level, level, level, 0};
  }
}

}  // namespace zt
