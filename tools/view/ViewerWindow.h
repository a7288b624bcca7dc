// The viewer's window: an SDL window whose picture is the off-screen device
// the sheet is painted into, uploaded as a texture, with the overlay drawn
// over it by the renderer.
#ifndef ZENTREL_TOOLS_VIEW_VIEWERWINDOW_H
#define ZENTREL_TOOLS_VIEW_VIEWERWINDOW_H

#include <SDL.h>

#include <memory>
#include <string>
#include <vector>

#include "ImageDataModel.h"
#include "Overlay.h"
#include "Sheet.h"
#include "ViewOptions.h"
#include "Viewport.h"

namespace view {

class ViewerWindow {
 public:
  /// Opens the window for the sheet (SDL's video must be initialised);
  /// throws cli::Failure when SDL cannot make it.
  ViewerWindow(Sheet& sheet, const ViewOptions& options);
  ~ViewerWindow();
  ViewerWindow(const ViewerWindow&) = delete;
  ViewerWindow& operator=(const ViewerWindow&) = delete;

  /// Runs the event loop until the window is closed; returns the exit status.
  int Run();
  /// Draws one frame and saves it; throws cli::Failure when it cannot.
  void Screenshot(const std::string& path);

 private:
  void Resize();
  /// Paints the sheet into the device, puts it on the texture and draws the
  /// texture and the overlay; saves the result first when savePath is set.
  void Draw(const std::string& savePath = std::string());
  void DrawOverlay();
  void UpdateTitle();
  void HandleKey(const SDL_Keysym& key);
  void ToggleOverlay();
  void ToggleOutlines();
  void Turn(bool clockwise);
  std::string NextSaveName() const;
  void ReportReady();

  Sheet& m_sheet;
  ViewOptions m_options;
  SDL_Window* m_window = nullptr;
  SDL_Renderer* m_renderer = nullptr;
  SDL_Texture* m_texture = nullptr;
  std::unique_ptr<CDC> m_device;
  Viewport m_viewport;
  std::unique_ptr<Overlay> m_overlayIndex;  // made once the pipeline has run
  bool m_overlay = false;
  bool m_wantOutlines = false;  // shown once the pipeline has found them
  bool m_dragging = false;
  bool m_dirty = true;
  bool m_findingsShown = false;  // a frame was drawn since the pipeline finished
  int m_mouseX = -1, m_mouseY = -1;
  std::string m_message;  // the last save or failure, shown in the title
  std::string m_title;
};

}  // namespace view

#endif  // ZENTREL_TOOLS_VIEW_VIEWERWINDOW_H
