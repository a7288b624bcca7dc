// Running the job on many sheets at once: the inputs, the workers, the
// progress line and the closing summary.
#include "Batch.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "Cli.h"
#include "GdalModule.h"

namespace cli {
namespace {

const char* const kFormats[] = {"geojson", "dxf", "svg", "json", "gpkg", "shp"};

bool IsVectorFormat(const std::string& format) {
  return format == "geojson" || format == "dxf" || format == "gpkg" || format == "shp";
}

// The formats the tool reads; a folder contributes only such files.
bool IsReadableImage(const std::string& path) {
  const std::string format = ContentFormatName(path);
  if (format == "BMP" || format == "GIF") return true;
  return format != "unknown" && HaveImageIo();
}

std::string BaseName(const std::string& path) {
  std::string name = path;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  const std::size_t slash = name.find_last_of('/');
  if (slash != std::string::npos) name = name.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string Duration(double seconds) {
  const long total = static_cast<long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
  return text;
}

struct Outcome {
  bool done = false;
  std::string failure;
  int rectangles = 0, circles = 0, others = 0;
};

// The outputs of one sheet in the batch's folder.
SheetOutputs OutputsFor(const std::string& sheet, const BatchSettings& settings) {
  const std::string stem = settings.outDir + "/" + BaseName(sheet);
  SheetOutputs outputs;
  for (const std::string& format : settings.formats) {
    const std::string path = stem + "." + format;
    if (format == "svg")
      outputs.svg = path;
    else if (format == "json")
      outputs.json = path;
    else if (format == "dxf")
      outputs.vectors.emplace_back(path, VectorFormat::Dxf);
    else if (format == "gpkg")
      outputs.vectors.emplace_back(path, VectorFormat::GeoPackage);
    else if (format == "shp")
      outputs.vectors.emplace_back(path, VectorFormat::Shapefile);
    else
      outputs.vectors.emplace_back(path, VectorFormat::GeoJson);
  }
  return outputs;
}

class Progress {
 public:
  Progress(std::size_t total, bool show)
      : m_total(total),
        m_shown(show && ::isatty(STDERR_FILENO) == 1),
        m_start(std::chrono::steady_clock::now()) {
    Show();
  }
  void OneDone() {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_done;
    Show();
  }
  void Finish() {
    if (m_shown) std::fputs("\n", stderr);
  }
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
  }

 private:
  void Show() {
    if (!m_shown) return;
    const double seconds = Seconds();
    const double rate = seconds > 0 ? static_cast<double>(m_done) / seconds : 0;
    std::string left = "--:--";
    if (rate > 0) left = Duration(static_cast<double>(m_total - m_done) / rate);
    std::fprintf(stderr, "\r%zu/%zu sheets, %.2f sheets/s, %s left   ", m_done, m_total, rate,
                 left.c_str());
    std::fflush(stderr);
  }

  std::mutex m_mutex;
  std::size_t m_total, m_done = 0;
  bool m_shown;
  std::chrono::steady_clock::time_point m_start;
};

}  // namespace

std::vector<std::string> ParseFormats(const std::string& text) {
  std::vector<std::string> formats;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string format = text.substr(start, comma - start);
    if (std::find(std::begin(kFormats), std::end(kFormats), format) == std::end(kFormats))
      throw UsageError("--formats: unknown format '" + format +
                       "' (geojson, dxf, svg, json, gpkg, shp)");
    if (IsVectorFormat(format) && !HaveGdal())
      throw UsageError("--formats: " + format + " is unavailable: " + GdalModuleProblem());
    if (std::find(formats.begin(), formats.end(), format) == formats.end())
      formats.push_back(format);
    start = comma + 1;
  }
  return formats;
}

std::vector<std::string> ExpandInputs(const std::vector<std::string>& inputs) {
  std::vector<std::string> sheets;
  for (const std::string& input : inputs) {
    struct stat info;
    if (::stat(input.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
      sheets.push_back(input);  // a file, or a failure reported with the sheet
      continue;
    }
    DIR* folder = ::opendir(input.c_str());
    if (!folder) throw Failure(input + ": cannot list the folder (" + std::strerror(errno) + ")");
    std::vector<std::string> found;
    while (const dirent* entry = ::readdir(folder)) {
      const std::string path = input + "/" + entry->d_name;
      if (entry->d_name[0] == '.') continue;
      if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && IsReadableImage(path))
        found.push_back(path);
    }
    ::closedir(folder);
    std::sort(found.begin(), found.end());
    sheets.insert(sheets.end(), found.begin(), found.end());
  }
  // A sheet named twice is done once.
  std::vector<std::string> unique;
  for (const std::string& sheet : sheets)
    if (std::find(unique.begin(), unique.end(), sheet) == unique.end()) unique.push_back(sheet);
  return unique;
}

BatchOutcome ProcessBatch(const std::vector<std::string>& sheets, const BatchSettings& settings,
                          bool showProgress) {
  if (::mkdir(settings.outDir.c_str(), 0777) != 0 && errno != EEXIST)
    throw Failure(settings.outDir + ": cannot create the folder (" + std::strerror(errno) + ")");
  struct stat info;
  if (::stat(settings.outDir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    throw Failure(settings.outDir + ": is not a folder");

  std::vector<Outcome> outcomes(sheets.size());
  // Two sheets of the same name would overwrite each other's outputs.
  std::map<std::string, std::size_t> names;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    auto [it, fresh] = names.emplace(BaseName(sheets[i]), i);
    if (!fresh) outcomes[i].failure = sheets[i] + ": same output name as " + sheets[it->second];
  }

  // GDAL's drivers are registered before the workers start when the outputs
  // need them; a sheet that needs the module otherwise loads it on its own.
  if (std::any_of(settings.formats.begin(), settings.formats.end(), IsVectorFormat)) InitGdal();
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const unsigned jobs = static_cast<unsigned>(std::min<std::size_t>(
      settings.jobs ? settings.jobs : cores, std::max<std::size_t>(1, sheets.size())));
  Progress progress(sheets.size(), showProgress);
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i = next++; i < sheets.size(); i = next++) {
      Outcome& outcome = outcomes[i];
      if (outcome.failure.empty()) {
        try {
          const SheetReport report =
              VectorizeSheet(sheets[i], settings.sheet, OutputsFor(sheets[i], settings));
          outcome.rectangles = report.rectangles;
          outcome.circles = report.circles;
          outcome.others = report.others;
          outcome.done = true;
        } catch (const std::exception& e) {
          outcome.failure = e.what();
        }
      }
      progress.OneDone();
    }
  };
  std::vector<std::thread> workers;
  for (unsigned j = 1; j < jobs; ++j) workers.emplace_back(work);
  work();
  for (std::thread& worker : workers) worker.join();
  progress.Finish();

  BatchOutcome summary;
  summary.sheets = sheets.size();
  summary.jobs = jobs;
  summary.seconds = progress.Seconds();
  for (const Outcome& o : outcomes) {
    if (!o.done) {
      summary.failures.push_back(o.failure);
      continue;
    }
    ++summary.done;
    summary.rectangles += o.rectangles;
    summary.circles += o.circles;
    summary.others += o.others;
  }
  return summary;
}

int RunBatch(const std::vector<std::string>& sheets, const BatchSettings& settings) {
  const BatchOutcome s = ProcessBatch(sheets, settings, true);
  std::printf(
      "%zu sheets: %zu done, %zu failed; %ld rectangles, %ld circles, %ld other outlines; "
      "%.2f s with %u workers (%.2f sheets/s)\n",
      s.sheets, s.done, s.sheets - s.done, s.rectangles, s.circles, s.others, s.seconds, s.jobs,
      s.seconds > 0 ? static_cast<double>(s.done) / s.seconds : 0.0);
  for (const std::string& failure : s.failures) std::printf("failed: %s\n", failure.c_str());
  return s.failures.empty() ? 0 : 1;
}

}  // namespace cli
