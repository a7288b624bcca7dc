// The viewer's window, its event loop, and how a frame reaches the screen.
#include "ViewerWindow.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "Cli.h"
#include "FrameFile.h"
#include "Overlay.h"

namespace view {
namespace {

/// Around the sheet when it is smaller than the window.
constexpr COLORREF kBackdrop = RGB(64, 64, 64);
/// What the arrow keys move, as a share of the window.
constexpr int kArrowShare = 8;

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// The window's first size: the zoomed sheet, within the screen's usable part.
void FirstWindowSize(const ViewOptions& o, int sheetWidth, int sheetHeight, int& width,
                     int& height) {
  if (o.windowWidth > 0) {
    width = o.windowWidth;
    height = o.windowHeight;
    return;
  }
  SDL_Rect usable{0, 0, 1024, 768};
  SDL_GetDisplayUsableBounds(0, &usable);
  const double zoom = o.zoom > 0 ? o.zoom : 1.0;
  width = static_cast<int>(std::clamp<double>(sheetWidth * zoom, 64, std::max(64, usable.w)));
  height = static_cast<int>(std::clamp<double>(sheetHeight * zoom, 64, std::max(64, usable.h)));
}

}  // namespace

ViewerWindow::ViewerWindow(Sheet& sheet, const ViewOptions& options)
    : m_sheet(sheet),
      m_options(options),
      m_overlay(options.overlay),
      m_wantOutlines(options.outlines) {
  int width = 0, height = 0;
  FirstWindowSize(options, sheet.Width(), sheet.Height(), width, height);
  m_window = SDL_CreateWindow("zentrel-view", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                              height, SDL_WINDOW_RESIZABLE);
  if (!m_window) throw cli::Failure(std::string("cannot open a window: ") + SDL_GetError());
  m_renderer = SDL_CreateRenderer(m_window, -1, 0);
  if (!m_renderer) throw cli::Failure(std::string("cannot draw in the window: ") + SDL_GetError());
  // The texture has the window's size, so it is copied one to one.
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  m_viewport.SetImageSize(sheet.Width(), sheet.Height());
  Resize();
  // Without a zoom asked for: one to one when the sheet fits, else fit.
  const bool fits =
      sheet.Width() <= m_viewport.WindowWidth() && sheet.Height() <= m_viewport.WindowHeight();
  const double zoom = options.fit || (options.zoom == 0 && !fits) ? m_viewport.FitZoom()
                      : options.zoom > 0                          ? options.zoom
                                                                  : 1.0;
  m_viewport.SetZoom(zoom, 0, 0);
  if (m_overlay || m_wantOutlines) m_sheet.StartFinding();
}

ViewerWindow::~ViewerWindow() {
  if (m_texture) SDL_DestroyTexture(m_texture);
  if (m_renderer) SDL_DestroyRenderer(m_renderer);
  if (m_window) SDL_DestroyWindow(m_window);
}

void ViewerWindow::Resize() {
  int width = 0, height = 0;
  if (SDL_GetRendererOutputSize(m_renderer, &width, &height) != 0 || width < 1 || height < 1)
    SDL_GetWindowSize(m_window, &width, &height);
  width = std::max(1, width);
  height = std::max(1, height);
  if (m_device && m_device->GetWidth() == width && m_device->GetHeight() == height) return;
  m_device = std::make_unique<CDC>(width, height);
  if (m_device->GetWidth() != width) throw cli::Failure("no memory for a window of that size");
  if (m_texture) SDL_DestroyTexture(m_texture);
  // The device's 0xFFRRGGBB values are what SDL calls ARGB8888.
  m_texture = SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                width, height);
  if (!m_texture) throw cli::Failure(std::string("cannot make a texture: ") + SDL_GetError());
  m_viewport.SetWindowSize(width, height);
  m_dirty = true;
}

void ViewerWindow::Draw(const std::string& savePath) {
  CImageDataModel& shown = m_sheet.Shown();
  m_device->FillSolid(kBackdrop);
  CRect rect = m_viewport.PaintRect();
  shown.PaintImageToDevice(m_device.get(), &rect);
  SDL_UpdateTexture(m_texture, nullptr, m_device->GetBits(), m_device->GetWidth() * 4);
  SDL_RenderClear(m_renderer);
  SDL_RenderCopy(m_renderer, m_texture, nullptr, nullptr);
  if (m_overlay) DrawOverlay();
  if (!savePath.empty()) {
    const int width = m_device->GetWidth(), height = m_device->GetHeight();
    std::vector<std::uint32_t> frame(static_cast<std::size_t>(width) * height);
    if (SDL_RenderReadPixels(m_renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, frame.data(),
                             width * 4) != 0)
      throw cli::Failure(std::string("cannot read the window back: ") + SDL_GetError());
    SaveFrame(savePath, frame.data(), width, height, width * 4);
  }
  SDL_RenderPresent(m_renderer);
  m_dirty = false;
}

void ViewerWindow::DrawOverlay() {
  const Findings* found = m_sheet.Found();
  if (!found || !found->error.empty()) return;
  if (!m_overlayIndex) m_overlayIndex = std::make_unique<Overlay>(found->result);
  for (const Stroke& s : m_overlayIndex->Strokes(m_sheet.Turns(), m_viewport)) {
    SDL_SetRenderDrawColor(m_renderer, s.red, s.green, s.blue, 255);
    if (s.marks) {
      std::vector<SDL_FRect> marks;
      for (const WindowPoint& p : s.points) marks.push_back(SDL_FRect{p.x - 1, p.y - 1, 3, 3});
      SDL_RenderFillRectsF(m_renderer, marks.data(), static_cast<int>(marks.size()));
    } else {
      static_assert(sizeof(WindowPoint) == sizeof(SDL_FPoint), "same layout");
      SDL_RenderDrawLinesF(m_renderer, reinterpret_cast<const SDL_FPoint*>(s.points.data()),
                           static_cast<int>(s.points.size()));
    }
  }
}

void ViewerWindow::UpdateTitle() {
  char text[512];
  std::string status;
  int x = 0, y = 0;
  if (m_viewport.ImagePixelAt(m_mouseX, m_mouseY, x, y)) {
    const COLORREF c = m_sheet.Shown().GetPixel(static_cast<UINT>(x), static_cast<UINT>(y));
    std::snprintf(text, sizeof text, " - (%d, %d) #%02X%02X%02X", x, y, GetRValue(c), GetGValue(c),
                  GetBValue(c));
    status = text;
  }
  std::string state;
  if (m_sheet.FindingStarted() && !m_sheet.FindingDone()) state = " - tracing...";
  if (const Findings* f = m_sheet.Found(); f && !f->error.empty()) state = " - " + f->error;
  if (m_sheet.ShowingOutlines()) state += " - outlines";
  if (m_overlay) state += " - overlay";
  std::snprintf(text, sizeof text, "%s - %d x %d - %.1f%%", BaseName(m_sheet.Path()).c_str(),
                m_sheet.Width(), m_sheet.Height(), m_viewport.Zoom() * 100);
  std::string title = text + status + state;
  if (!m_message.empty()) title += " - " + m_message;
  if (title != m_title) {
    m_title = title;
    SDL_SetWindowTitle(m_window, m_title.c_str());
  }
}

void ViewerWindow::ToggleOverlay() {
  m_overlay = !m_overlay;
  m_sheet.StartFinding();
}

void ViewerWindow::ToggleOutlines() {
  m_wantOutlines = !m_wantOutlines;
  m_sheet.StartFinding();
}

void ViewerWindow::Turn(bool clockwise) {
  if (!m_sheet.Turn(clockwise)) {
    m_message = "cannot turn the sheet";
    return;
  }
  const int cx = m_viewport.WindowWidth() / 2, cy = m_viewport.WindowHeight() / 2;
  m_viewport.SetImageSize(m_sheet.Width(), m_sheet.Height());
  m_viewport.SetZoom(m_viewport.Zoom(), cx, cy);
}

std::string ViewerWindow::NextSaveName() const {
  std::string stem = BaseName(m_sheet.Path());
  const std::size_t dot = stem.find_last_of('.');
  if (dot != std::string::npos && dot > 0) stem.resize(dot);
  struct stat info;
  for (int n = 1;; ++n) {
    const std::string name = stem + "-view" + (n > 1 ? "-" + std::to_string(n) : "") + ".png";
    if (::stat(name.c_str(), &info) != 0) return name;
  }
}

void ViewerWindow::HandleKey(const SDL_Keysym& key) {
  const int cx = m_viewport.WindowWidth() / 2, cy = m_viewport.WindowHeight() / 2;
  const int stepX = std::max(1, m_viewport.WindowWidth() / kArrowShare);
  const int stepY = std::max(1, m_viewport.WindowHeight() / kArrowShare);
  switch (key.sym) {
    case SDLK_PLUS:
    case SDLK_EQUALS:
    case SDLK_KP_PLUS:
      m_viewport.ZoomBy(1, cx, cy);
      break;
    case SDLK_MINUS:
    case SDLK_KP_MINUS:
      m_viewport.ZoomBy(-1, cx, cy);
      break;
    case SDLK_0:
    case SDLK_KP_0:
      m_viewport.SetZoom(m_viewport.FitZoom(), cx, cy);
      break;
    case SDLK_1:
    case SDLK_KP_1:
      m_viewport.SetZoom(1.0, cx, cy);
      break;
    case SDLK_LEFT:
      m_viewport.PanBy(stepX, 0);
      break;
    case SDLK_RIGHT:
      m_viewport.PanBy(-stepX, 0);
      break;
    case SDLK_UP:
      m_viewport.PanBy(0, stepY);
      break;
    case SDLK_DOWN:
      m_viewport.PanBy(0, -stepY);
      break;
    case SDLK_o:
      ToggleOverlay();
      break;
    case SDLK_b:
      ToggleOutlines();
      break;
    case SDLK_r:
      Turn(true);
      break;
    case SDLK_l:
      Turn(false);
      break;
    case SDLK_s: {
      const std::string name = NextSaveName();
      try {
        Draw(name);
        m_message = "saved " + name;
        std::printf("saved %s\n", name.c_str());
        std::fflush(stdout);
      } catch (const cli::Failure& e) {
        m_message = e.what();
      }
      break;
    }
    case SDLK_q:
    case SDLK_ESCAPE: {
      SDL_Event quit{};
      quit.type = SDL_QUIT;
      SDL_PushEvent(&quit);
      break;
    }
    default:
      return;
  }
  m_dirty = true;
}

void ViewerWindow::ReportReady() {
  int x = 0, y = 0;
  SDL_GetWindowPosition(m_window, &x, &y);
  std::printf("ready: window at %d,%d, %d x %d\n", x, y, m_viewport.WindowWidth(),
              m_viewport.WindowHeight());
  std::fflush(stdout);
}

void ViewerWindow::Screenshot(const std::string& path) {
  if (m_overlay || m_wantOutlines) m_sheet.WaitForFindings();
  m_sheet.ShowOutlines(m_wantOutlines);
  Draw(path);
}

int ViewerWindow::Run() {
  bool ready = false;
  while (true) {
    // While the pipeline runs, wake now and then to pick up its result.
    const bool waiting = m_sheet.FindingStarted() && !m_sheet.FindingDone();
    SDL_Event e;
    const bool got = m_dirty ? SDL_PollEvent(&e) : SDL_WaitEventTimeout(&e, waiting ? 100 : 1000);
    if (got) {
      switch (e.type) {
        case SDL_QUIT:
          return 0;
        case SDL_WINDOWEVENT:
          if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) Resize();
          if (e.window.event == SDL_WINDOWEVENT_EXPOSED) m_dirty = true;
          if (e.window.event == SDL_WINDOWEVENT_LEAVE) m_mouseX = m_mouseY = -1;
          break;
        case SDL_KEYDOWN:
          HandleKey(e.key.keysym);
          break;
        case SDL_MOUSEWHEEL: {
          int x = 0, y = 0;
          SDL_GetMouseState(&x, &y);
          m_viewport.ZoomBy(e.wheel.y > 0 ? 1 : e.wheel.y < 0 ? -1 : 0, x, y);
          m_dirty = true;
          break;
        }
        case SDL_MOUSEBUTTONDOWN:
          m_dragging = e.button.button == SDL_BUTTON_LEFT;
          break;
        case SDL_MOUSEBUTTONUP:
          m_dragging = false;
          break;
        case SDL_MOUSEMOTION:
          m_mouseX = e.motion.x;
          m_mouseY = e.motion.y;
          m_message.clear();
          if (m_dragging) {
            m_viewport.PanBy(e.motion.xrel, e.motion.yrel);
            m_dirty = true;
          }
          break;
        default:
          break;
      }
      if (m_dirty) continue;  // take every queued event before drawing
    }
    const bool found = m_sheet.FindingDone();
    if (m_wantOutlines != m_sheet.ShowingOutlines() && (found || !m_wantOutlines)) {
      m_sheet.ShowOutlines(m_wantOutlines);
      m_dirty = true;
    }
    if (found && !m_findingsShown) {
      m_findingsShown = true;  // draw once more, now with what was found
      m_dirty = true;
    }
    if (m_dirty) Draw();
    UpdateTitle();
    // Ready once the first frame shows all that was asked for.
    if (!ready && !m_dirty && (found || !(m_overlay || m_wantOutlines))) {
      ready = true;
      if (m_options.reportReady) ReportReady();
    }
  }
}

}  // namespace view
