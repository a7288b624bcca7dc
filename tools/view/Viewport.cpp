// The viewer's zoom and pan, and the window-to-image mapping of the stretch.
#include "Viewport.h"

#include <algorithm>
#include <cmath>

namespace view {
namespace {

std::int64_t Scaled(int side, double zoom) {
  return std::max<std::int64_t>(1, std::llround(side * zoom));
}

/// Places one axis: centred when the sheet is shorter than the window,
/// otherwise kept so that it covers the window.
std::int64_t Place(std::int64_t position, std::int64_t length, int window) {
  if (length <= window) return (window - length) / 2;
  return std::clamp<std::int64_t>(position, window - length, 0);
}

}  // namespace

void Viewport::SetImageSize(int width, int height) {
  m_imageWidth = std::max(1, width);
  m_imageHeight = std::max(1, height);
  Clamp();
}

void Viewport::SetWindowSize(int width, int height) {
  m_windowWidth = std::max(1, width);
  m_windowHeight = std::max(1, height);
  Clamp();
}

std::int64_t Viewport::ZoomedWidth() const { return Scaled(m_imageWidth, m_zoom); }
std::int64_t Viewport::ZoomedHeight() const { return Scaled(m_imageHeight, m_zoom); }

void Viewport::SetZoom(double zoom, int anchorX, int anchorY) {
  if (!(zoom > 0)) return;  // also refuses NaN
  // The image position under the anchor, as a fraction of the sheet.
  const double u = static_cast<double>(anchorX - m_left) / static_cast<double>(ZoomedWidth());
  const double v = static_cast<double>(anchorY - m_top) / static_cast<double>(ZoomedHeight());
  m_zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
  m_left = anchorX - std::llround(u * static_cast<double>(ZoomedWidth()));
  m_top = anchorY - std::llround(v * static_cast<double>(ZoomedHeight()));
  Clamp();
}

void Viewport::ZoomBy(int steps, int anchorX, int anchorY) {
  SetZoom(m_zoom * std::pow(kZoomStep, steps), anchorX, anchorY);
}

double Viewport::FitZoom() const {
  const double across = static_cast<double>(m_windowWidth) / m_imageWidth;
  const double down = static_cast<double>(m_windowHeight) / m_imageHeight;
  double zoom = std::clamp(std::min(across, down), kMinZoom, kMaxZoom);
  // Rounding the zoomed size may overshoot by one pixel: step back until it fits.
  while (zoom > kMinZoom && (Scaled(m_imageWidth, zoom) > m_windowWidth ||
                             Scaled(m_imageHeight, zoom) > m_windowHeight))
    zoom = std::nextafter(zoom, 0.0);
  return zoom;
}

void Viewport::PanBy(int dx, int dy) {
  m_left += dx;
  m_top += dy;
  Clamp();
}

void Viewport::Clamp() {
  m_left = Place(m_left, ZoomedWidth(), m_windowWidth);
  m_top = Place(m_top, ZoomedHeight(), m_windowHeight);
}

CRect Viewport::PaintRect() const {
  // Zoomed sides are at most 10000 × kMaxZoom and the corner stays within
  // one sheet of the window, so every value fits a LONG.
  return CRect(static_cast<LONG>(m_left), static_cast<LONG>(m_top),
               static_cast<LONG>(m_left + ZoomedWidth()),
               static_cast<LONG>(m_top + ZoomedHeight()));
}

bool Viewport::ImagePixelAt(int x, int y, int& imageX, int& imageY) const {
  const std::int64_t k = x - m_left, j = y - m_top;
  const std::int64_t width = ZoomedWidth(), height = ZoomedHeight();
  if (x < 0 || y < 0 || x >= m_windowWidth || y >= m_windowHeight) return false;
  if (k < 0 || j < 0 || k >= width || j >= height) return false;
  // Destination step k takes source pixel k × source length / destination
  // length, truncated: the device's nearest sampling.
  imageX = static_cast<int>(k * m_imageWidth / width);
  imageY = static_cast<int>(j * m_imageHeight / height);
  return true;
}

void Viewport::WindowPosition(double imageX, double imageY, float& x, float& y) const {
  const double sx = static_cast<double>(ZoomedWidth()) / m_imageWidth;
  const double sy = static_cast<double>(ZoomedHeight()) / m_imageHeight;
  x = static_cast<float>(static_cast<double>(m_left) + imageX * sx);
  y = static_cast<float>(static_cast<double>(m_top) + imageY * sy);
}

void Viewport::ImagePosition(double x, double y, double& imageX, double& imageY) const {
  imageX = (x - static_cast<double>(m_left)) * m_imageWidth / static_cast<double>(ZoomedWidth());
  imageY = (y - static_cast<double>(m_top)) * m_imageHeight / static_cast<double>(ZoomedHeight());
}

}  // namespace view
