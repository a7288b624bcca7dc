// Shared pieces of the vectorisation tests: a derived record that opens the
// protected tracing methods, as a host does, and point-list helpers.
#ifndef ZENTREL_TESTS_VECTOR_SUPPORT_H
#define ZENTREL_TESTS_VECTOR_SUPPORT_H

#include <utility>
#include <vector>

#include "ImageDataModel.h"

namespace vt {

class Tracer : public CImageDataModel {
 public:
  using CImageDataModel::ThinEdge;
  using CImageDataModel::VecCompress;
  using CImageDataModel::VecConnect;
  using CImageDataModel::VecTrace;
};

using Pt = std::pair<int, int>;

inline std::vector<Pt> ToPairs(const POINT* points, int count) {
  std::vector<Pt> out;
  for (int i = 0; i < count; ++i) out.emplace_back(points[i].x, points[i].y);
  return out;
}

inline std::vector<POINT> ToPoints(const std::vector<Pt>& pairs) {
  std::vector<POINT> out;
  for (const Pt& p : pairs) out.push_back(POINT{p.first, p.second});
  return out;
}

/// Neighbour order of the tracers, written out independently of the library.
constexpr int kOrderDx[8] = {0, -1, 0, 1, 1, 1, -1, -1};
constexpr int kOrderDy[8] = {1, 1, -1, -1, 0, 1, 0, -1};

/// A small deterministic generator (the same sequence on every platform).
class Lcg {
 public:
  explicit Lcg(unsigned seed) : m_state(seed) {}
  unsigned Next(unsigned bound) {
    m_state = m_state * 1103515245u + 12345u;
    return (m_state >> 8) % bound;
  }

 private:
  unsigned m_state;
};

}  // namespace vt

#endif  // ZENTREL_TESTS_VECTOR_SUPPORT_H
