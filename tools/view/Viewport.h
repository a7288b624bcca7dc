// Where the sheet lies in the window: the zoom, the pan, and the mapping
// between window pixels and image pixels that painting the sheet with
// PaintImageToDevice into a window-sized device produces.
#ifndef ZENTREL_TOOLS_VIEW_VIEWPORT_H
#define ZENTREL_TOOLS_VIEW_VIEWPORT_H

#include <cstdint>

#include "ImageDataModel.h"

namespace view {

/// The zoomed sheet is the destination rectangle of a stretch: its corner
/// (left, top) in window pixels and its size, the image size times the zoom
/// rounded (at least 1). Everything outside the window is clipped by the
/// device, so painting costs the window's size, not the sheet's.
class Viewport {
 public:
  static constexpr double kMaxZoom = 32.0;
  static constexpr double kMinZoom = 1.0 / 64.0;
  /// One step of the wheel or of + and -.
  static constexpr double kZoomStep = 1.25;

  /// Sets the image size (sides at least 1) and keeps the zoom; the view is
  /// placed again as Clamp does.
  void SetImageSize(int width, int height);
  /// Sets the window size (sides at least 1); the view is placed again.
  void SetWindowSize(int width, int height);

  int ImageWidth() const { return m_imageWidth; }
  int ImageHeight() const { return m_imageHeight; }
  int WindowWidth() const { return m_windowWidth; }
  int WindowHeight() const { return m_windowHeight; }
  double Zoom() const { return m_zoom; }

  /// Sets the zoom (limited to kMinZoom..kMaxZoom) so that the image point
  /// under window pixel (anchorX, anchorY) stays there as far as the
  /// placement rules allow.
  void SetZoom(double zoom, int anchorX, int anchorY);
  /// Zooms in (steps > 0) or out by kZoomStep per step about the anchor.
  void ZoomBy(int steps, int anchorX, int anchorY);
  /// The largest zoom at which the whole image fits the window.
  double FitZoom() const;
  /// Moves the sheet by (dx, dy) window pixels, within the placement rules.
  void PanBy(int dx, int dy);

  /// The rectangle to hand PaintImageToDevice: always a stretch (at zoom 1
  /// one to one), never the one-pixel-smaller size of the unscaled copy.
  CRect PaintRect() const;
  /// The image pixel that the device shows at window pixel (x, y), by the
  /// device's own nearest sampling; false where the sheet is not shown.
  bool ImagePixelAt(int x, int y, int& imageX, int& imageY) const;
  /// Window position of an image position (pixel centres are at .5).
  void WindowPosition(double imageX, double imageY, float& x, float& y) const;
  /// Image position of a window position: the inverse of WindowPosition.
  void ImagePosition(double x, double y, double& imageX, double& imageY) const;

 private:
  std::int64_t ZoomedWidth() const;
  std::int64_t ZoomedHeight() const;
  /// A sheet smaller than the window is centred; a larger one always covers
  /// the window.
  void Clamp();

  int m_imageWidth = 1, m_imageHeight = 1;
  int m_windowWidth = 1, m_windowHeight = 1;
  double m_zoom = 1.0;
  std::int64_t m_left = 0, m_top = 0;
};

}  // namespace view

#endif  // ZENTREL_TOOLS_VIEW_VIEWPORT_H
