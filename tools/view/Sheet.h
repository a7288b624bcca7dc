// The sheet the viewer shows: the loaded record, its quarter turns, and the
// traced outlines and shapes, found once on a copy in a background thread.
#ifndef ZENTREL_TOOLS_VIEW_SHEET_H
#define ZENTREL_TOOLS_VIEW_SHEET_H

#include <future>
#include <memory>
#include <string>

#include "ImageDataModel.h"
#include "Vectorizer.h"

namespace view {

/// What the pipeline found on the sheet as loaded (before any turn): the
/// contours and the 24-bit copy with the outlines marked by Edge.
struct Findings {
  cli::VectorizeResult result;
  CImageDataModel outlines;
  int outlinesTurns = 0;  // quarter turns clockwise already applied to outlines
  std::string error;      // why the pipeline failed; empty when it ran
};

class Sheet {
 public:
  /// Loads a BMP or GIF file and prepares it for painting (InitDIBData);
  /// throws cli::Failure saying why when it cannot.
  explicit Sheet(const std::string& path);
  ~Sheet();
  Sheet(const Sheet&) = delete;
  Sheet& operator=(const Sheet&) = delete;

  const std::string& Path() const { return m_path; }
  /// The record shown: the sheet, or its marked outlines when asked for and
  /// found.
  CImageDataModel& Shown();
  int Width() const { return static_cast<int>(m_image.GetWidth()); }
  int Height() const { return static_cast<int>(m_image.GetHeight()); }
  /// Quarter turns clockwise since loading, 0 to 3.
  int Turns() const { return m_turns; }

  /// Turns the sheet a quarter clockwise or counter-clockwise. Returns false
  /// (and changes nothing) when the library refuses.
  bool Turn(bool clockwise);

  /// Starts the pipeline on a copy of the file unless it ran or runs.
  void StartFinding();
  /// True once the pipeline has finished (it may have failed: see Found()).
  bool FindingDone();
  bool FindingStarted() const { return m_started; }
  /// Waits for the pipeline; its findings, or null before StartFinding.
  const Findings* WaitForFindings();
  /// The findings once done, else null.
  const Findings* Found();

  /// Shows the marked outlines instead of the sheet (once found).
  void ShowOutlines(bool on) { m_showOutlines = on; }
  bool ShowingOutlines() const { return m_showOutlines; }

 private:
  void Collect();

  std::string m_path;
  CImageDataModel m_image;
  int m_turns = 0;
  bool m_started = false;
  bool m_showOutlines = false;
  std::future<std::unique_ptr<Findings>> m_job;
  std::unique_ptr<Findings> m_findings;
};

}  // namespace view

#endif  // ZENTREL_TOOLS_VIEW_SHEET_H
