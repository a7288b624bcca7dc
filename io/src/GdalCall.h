// A scope for one call into GDAL: the drivers registered once, GDAL's
// messages collected for this thread only, and the thread-local options
// the library needs set for the call and restored after it.
#ifndef ZENTREL_IO_GDALCALL_H
#define ZENTREL_IO_GDALCALL_H

#include <gdal.h>

#include <memory>
#include <string>

namespace zentrel {
namespace io {

class GdalCall {
 public:
  GdalCall();
  ~GdalCall();
  GdalCall(const GdalCall&) = delete;
  GdalCall& operator=(const GdalCall&) = delete;

  /// The first error GDAL reported during this call, empty when none.
  const std::string& FirstError() const { return m_error; }
  /// Forgets the errors reported so far (those GDAL recovered from).
  void ClearError() { m_error.clear(); }
  /// prefix + the first error, or prefix + fallback when GDAL said nothing.
  std::string Reason(const std::string& prefix, const std::string& fallback) const;

 private:
  static void Handler(int errorClass, int number, const char* message);

  std::string m_error;
  std::string m_oldPam;
  bool m_hadPam = false;
};

/// An open GDAL dataset, closed when the handle goes.
struct DatasetCloser {
  void operator()(void* ds) const { GDALClose(static_cast<GDALDatasetH>(ds)); }
};
using Dataset = std::unique_ptr<void, DatasetCloser>;

/// A name under GDAL's in-memory file system, unique in the process.
std::string UniqueMemoryPath(const char* extension);

}  // namespace io
}  // namespace zentrel

#endif  // ZENTREL_IO_GDALCALL_H
