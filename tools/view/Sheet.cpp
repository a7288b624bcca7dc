// Loading, turning and tracing the viewer's sheet.
#include "Sheet.h"

#include <chrono>

#include "Cli.h"
#include "Paper.h"

namespace view {
namespace {

/// Runs the pipeline of `zentrel vectorize` on a fresh copy of the file, so
/// that the sheet on screen is neither filtered nor marked.
std::unique_ptr<Findings> Find(const std::string& path) {
  auto findings = std::make_unique<Findings>();
  try {
    cli::SheetVectorizer copy;
    cli::LoadImage(copy, path, false);
    cli::ApplyPaper(copy, cli::PaperChoice{});
    findings->result = copy.Run(cli::VectorizeOptions{}, findings->outlines);
    findings->outlines.InitDIBData();
  } catch (const std::exception& e) {
    findings->error = e.what();
  }
  return findings;
}

/// Turns a record a quarter; InitDIBData again so that an 8-bit sheet keeps
/// a palette matching what it now holds.
bool TurnRecord(CImageDataModel& image, bool clockwise) {
  if (!(clockwise ? image.Right90() : image.Left90())) return false;
  image.InitDIBData();
  return true;
}

}  // namespace

Sheet::Sheet(const std::string& path) : m_path(path) {
  cli::LoadImage(m_image, path);
  // The size check and palette must hold before painting, whether or not
  // loading made them.
  if (!m_image.InitDIBData()) throw cli::Failure(path + ": the image cannot be painted");
}

Sheet::~Sheet() {
  // The pipeline owns nothing of ours, but a future from std::async joins
  // here anyway; waiting is the only safe end.
  if (m_job.valid()) m_job.wait();
}

CImageDataModel& Sheet::Shown() {
  Collect();
  if (!m_showOutlines || !m_findings || !m_findings->error.empty()) return m_image;
  // Bring the outlines to the sheet's turn before showing them.
  Findings& f = *m_findings;
  while (f.outlinesTurns != m_turns) {
    if (!TurnRecord(f.outlines, true)) return m_image;
    f.outlinesTurns = (f.outlinesTurns + 1) % 4;
  }
  return f.outlines;
}

bool Sheet::Turn(bool clockwise) {
  if (!TurnRecord(m_image, clockwise)) return false;
  m_turns = (m_turns + (clockwise ? 1 : 3)) % 4;
  return true;
}

void Sheet::StartFinding() {
  if (m_started) return;
  m_started = true;
  m_job = std::async(std::launch::async, Find, m_path);
}

void Sheet::Collect() {
  if (m_job.valid() && m_job.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
    m_findings = m_job.get();
}

bool Sheet::FindingDone() {
  Collect();
  return m_findings != nullptr;
}

const Findings* Sheet::WaitForFindings() {
  if (m_job.valid()) m_findings = m_job.get();
  return m_findings.get();
}

const Findings* Sheet::Found() {
  Collect();
  return m_findings.get();
}

}  // namespace view
