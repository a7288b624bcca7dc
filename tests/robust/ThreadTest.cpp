// Independence of records: many records used at once on several threads
// give exactly the results they give one after another. Run under
// ThreadSanitizer by scripts/test-thread.sh.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "RobustSupport.h"
#include "support/TestSupport.h"

namespace {

/// FNV-1a over everything a workout produces.
class Digest {
 public:
  void Add(std::uint64_t value) {
    for (int i = 0; i < 8; ++i) {
      m_hash ^= (value >> (8 * i)) & 0xFF;
      m_hash *= 0x100000001B3ull;
    }
  }
  void Add(const CImageDataModel& image) {
    Add(image.GetWidth());
    Add(image.GetHeight());
    if (image.IsEmpty()) return;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(image.GetBmh());
    const std::size_t size = 40 + 4 * std::size_t(image.GetImageColors()) +
                             std::size_t{image.GetLineBytes()} * image.GetHeight();
    for (std::size_t i = 0; i < size; ++i) Add(bytes[i]);
  }
  std::uint64_t Value() const { return m_hash; }

 private:
  std::uint64_t m_hash = 0xCBF29CE484222325ull;
};

std::atomic<int> g_messages{0};
void CountMessage(const char*, UINT) { g_messages.fetch_add(1); }

/// One worker's use of its own records: every kind of operation, in a
/// sequence that depends on seed. Files go to folder, which no other
/// worker uses.
std::uint64_t Workout(int seed, const std::string& folder) {
  Digest digest;
  robust::Record images[3];
  for (int round = 0; round < 3; ++round) {
    for (int k = 0; k < 3; ++k) {
      robust::Record& image = images[k];
      const int bits = (seed + k + round) % 2 ? 24 : 8;
      robust::MakePatterned(image, 24 + seed + k, 17 + round, bits);
      image.SetBKColor(static_cast<BYTE>(seed * 20), 235, 235);
      image.SetPrecision(15 + seed + round);
      image.DDALine(CPoint(0, seed), CPoint(23, 16), RGB(255, seed, 0));
      image.SetPixel(3, 4, RGB(seed, k, round));
      digest.Add(image.GetPixel(5, 5, 2, 2));
      digest.Add(static_cast<std::uint64_t>(image.ColorDistance(1, 1, RGB(9, 9, 9))));
      CRect region;
      digest.Add(image.GetMinRegion(POINT{10, 8}, region));
      digest.Add(static_cast<std::uint64_t>(region.left + 1000 * region.bottom));
      digest.Add(static_cast<std::uint64_t>(image.InitDIBData()));
      CDC device(40, 30);
      CRect target(0, 0, 40, 30);
      digest.Add(static_cast<std::uint64_t>(image.PaintImageToDevice(&device, &target)));
      for (int y = 0; y < device.GetHeight(); y += 3) digest.Add(device.GetPixel(y, y / 2));

      const std::string path = folder + "/image" + std::to_string(k) + ".bmp";
      digest.Add(static_cast<std::uint64_t>(image.SaveBMPImage(path.c_str())));
      robust::Record copy;
      digest.Add(static_cast<std::uint64_t>(copy.TestImageFormat(path.c_str())));
      digest.Add(static_cast<std::uint64_t>(copy.ReadBMPImage(path.c_str())));
      digest.Add(copy);
      digest.Add(static_cast<std::uint64_t>(image.IsEdge(4, 4)));
      digest.Add(static_cast<std::uint64_t>(image.IsEdge(6, 2, RGB(40, 200, 9))));
      digest.Add(static_cast<std::uint64_t>(image.Edge()));
      digest.Add(static_cast<std::uint64_t>(image.Shrink()));
      digest.Add(static_cast<std::uint64_t>(image.RemoveNoise(3, 1 + k, 2, (seed + k) % 5)));
      digest.Add(image);
      // Turns, rotation and tracing.
      digest.Add(static_cast<std::uint64_t>(image.Left90() + image.Mirror() + image.Flip()));
      digest.Add(static_cast<std::uint64_t>(image.Rotate(seed * 17 - 40)));
      digest.Add(static_cast<std::uint64_t>(image.Right90()));
      digest.Add(image);
      std::vector<POINT> points(16000 + 2);
      const short traced = image.VecTrace(5, 5, image.GetPixel(5, 5), points.data());
      digest.Add(static_cast<std::uint64_t>(traced));
      std::vector<POINT> kept(traced > 0 ? traced : 1);
      digest.Add(static_cast<std::uint64_t>(image.VecCompress(points.data(), traced, kept.data())));
      std::vector<BYTE> mask(20 * 12);
      for (std::size_t m = 0; m < mask.size(); ++m) mask[m] = (m * (seed + 5)) % 3 == 0;
      image.ThinEdge(20, 12, mask.data());
      digest.Add(
          static_cast<std::uint64_t>(image.VecTrace(3, 3, 20, 12, points.data(), mask.data(), 1)));
      for (short p = 0; p < traced; p += 7)
        digest.Add(static_cast<std::uint64_t>(points[p].x * 1000 + points[p].y));
    }
    // A GIF file of its own, read back.
    robust::Bytes indices;
    for (int i = 0; i < 30 * (10 + seed); ++i)
      indices.push_back(static_cast<std::uint8_t>(i * (seed + 3) + round));
    const std::string gif = folder + "/image.gif";
    zt::WriteFileBytes(gif, robust::PlainGif(30, 10 + seed, indices));
    robust::Record read;
    digest.Add(static_cast<std::uint64_t>(read.ReadGIFImage(gif.c_str())));
    digest.Add(read);
    POINT square[5] = {{0, 0}, {10 + seed, 0}, {10 + seed, 10}, {0, 10}, {0, 0}};
    int size = 0;
    POINT centre{};
    digest.Add(static_cast<std::uint64_t>(images[0].CircleOrRectangle(5, square, size, centre)));
    digest.Add(static_cast<std::uint64_t>(size + 100 * centre.x));
  }
  // An image too large to show: released with a message, which goes to the
  // one handler of the process.
  robust::Record wide;
  zt::MakeImage(wide, 10001, 1, 8);
  digest.Add(static_cast<std::uint64_t>(wide.InitDIBData()));
  return digest.Value();
}

TEST(Threads, RecordsOnSeveralThreadsGiveTheResultsTheyGiveOneAfterAnother) {
  constexpr int kWorkers = 6;
  zt::TempDir dir;
  // The workouts' GIF files are read as written (else they would test
  // nothing but refusals).
  {
    robust::Bytes indices;
    for (int i = 0; i < 30 * 20; ++i) indices.push_back(static_cast<std::uint8_t>(i * 7));
    ASSERT_TRUE(zt::WriteFileBytes(dir.File("check.gif"), robust::PlainGif(30, 20, indices)));
    CImageDataModel image;
    ASSERT_EQ(image.ReadGIFImage(dir.File("check.gif").c_str()), 1);
    for (UINT i = 0; i < 600; ++i) ASSERT_EQ(zt::IndexAt(image, i % 30, i / 30), indices[i]) << i;
  }
  std::vector<std::string> folders;
  for (int i = 0; i < kWorkers; ++i) {
    folders.push_back(dir.File("worker" + std::to_string(i)));
    std::filesystem::create_directory(folders.back());
  }
  const MessageBoxHandler previous = SetMessageBoxHandler(&CountMessage);
  std::vector<std::uint64_t> alone;
  for (int i = 0; i < kWorkers; ++i) alone.push_back(Workout(i, folders[i]));
  EXPECT_EQ(g_messages.load(), kWorkers);

  std::vector<std::uint64_t> together(kWorkers);
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<std::thread> workers;
    for (int i = 0; i < kWorkers; ++i)
      workers.emplace_back([&, i] { together[i] = Workout(i, folders[i]); });
    for (std::thread& worker : workers) worker.join();
    EXPECT_EQ(together, alone) << "pass " << pass;
  }
  EXPECT_EQ(g_messages.load(), 3 * kWorkers);
  SetMessageBoxHandler(previous);
  // Different seeds do different work: the comparison means something.
  EXPECT_NE(alone[0], alone[1]);
}

}  // namespace
