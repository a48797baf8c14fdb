#include "point_locator.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>

namespace gw::postconv {

namespace {

// Relative bound on the rounding of one signed area (three roundings of
// products and differences make about 3.3e-16; three times that for safety).
constexpr double kAreaRounding = 1e-15;
// Room for products that fall below the smallest normal number.
constexpr double kUnderflowSlack = 1e-300;
// An element whose widened box covers more bins than this is tested for every
// point instead of being listed in all of them.
constexpr std::int64_t kMaxBinsPerElement = 64;
constexpr double kInf = std::numeric_limits<double>::infinity();

// The corners of element e when every one of them names a node; false for an
// element that can never hold a point. A triangle (K3 = K4 or K4 = 0) has
// `quad` false.
bool elementCorners(const Mesh& mesh, std::int32_t e, std::int32_t k[4], bool& quad) {
  for (int c = 0; c < 4; ++c) k[c] = mesh.corner(e, c + 1);
  quad = !(k[2] == k[3] || k[3] == 0);
  if (!mesh.isNode(k[0]) || !mesh.isNode(k[1]) || !mesh.isNode(k[2])) return false;
  return !quad || mesh.isNode(k[3]);
}

double xOf(const Mesh& mesh, std::int32_t n) { return mesh.x[static_cast<std::size_t>(n - 1)]; }
double yOf(const Mesh& mesh, std::int32_t n) { return mesh.y[static_cast<std::size_t>(n - 1)]; }

// A sub-triangle's own area, computed exactly as the location test does.
double subTriangleArea(const Mesh& mesh, std::int32_t c1, std::int32_t c2, std::int32_t c3) {
  return signedArea(xOf(mesh, c1), yOf(mesh, c1), xOf(mesh, c2), yOf(mesh, c2), xOf(mesh, c3),
                    yOf(mesh, c3));
}

// Whether a sub-triangle of this area can hold a point at all: a flat or
// clockwise one (A <= 0) never does, nor one whose area is not a number or
// infinite (its weights would be meaningless).
bool usableArea(double a) { return a > 0 && a < kInf; }

// std::nextafter(x, +infinity), inline: the index of a large mesh takes four per element.
double nextUp(double x) {
  if (!(x < kInf)) return x;  // +infinity, not a number
  if (x == 0) return std::numeric_limits<double>::denorm_min();
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  bits += x > 0 ? 1 : -1;
  std::memcpy(&x, &bits, sizeof bits);
  return x;
}
// std::nextafter(x, -infinity).
double nextDown(double x) { return -nextUp(-x); }

// The sub-triangles of element e that can hold a point, in search order,
// into `tri`, and their areas; returns how many (0 for an element that never
// holds a point).
int usableSubTriangles(const Mesh& mesh, std::int32_t e, std::int32_t tri[2][3], double areas[2]) {
  std::int32_t k[4];
  bool quad;
  if (!elementCorners(mesh, e, k, quad)) return 0;
  const std::int32_t subs[2][3] = {{k[0], k[1], k[2]}, {k[0], k[2], k[3]}};
  int count = 0;
  for (int s = 0; s < (quad ? 2 : 1); ++s) {
    const double area = subTriangleArea(mesh, subs[s][0], subs[s][1], subs[s][2]);
    if (!usableArea(area)) continue;
    areas[count] = area;
    std::copy(subs[s], subs[s] + 3, tri[count++]);
  }
  return count;
}

bool locateInTriangle(const Mesh& mesh, std::int32_t e, int sub, std::int32_t c1, std::int32_t c2,
                      std::int32_t c3, double xp, double yp, PointLocation& where) {
  const double x1 = xOf(mesh, c1), y1 = yOf(mesh, c1);
  const double x2 = xOf(mesh, c2), y2 = yOf(mesh, c2);
  const double x3 = xOf(mesh, c3), y3 = yOf(mesh, c3);
  const double a = signedArea(x1, y1, x2, y2, x3, y3);
  const double a1 = signedArea(xp, yp, x1, y1, x2, y2);
  const double a2 = signedArea(xp, yp, x2, y2, x3, y3);
  const double a3 = signedArea(xp, yp, x3, y3, x1, y1);
  if (!(a1 >= 0 && a2 >= 0 && a3 >= 0)) return false;
  if (!usableArea(a)) return false;  // the search goes on with the next sub-triangle
  where.element = e;
  where.subTriangle = sub;
  where.n1 = c1;
  where.n2 = c2;
  where.n3 = c3;
  where.w1 = a2 / a;
  where.w2 = a3 / a;
  where.w3 = a1 / a;
  return true;
}


}  // namespace

bool locateInElement(const Mesh& mesh, std::int32_t e, double xp, double yp, PointLocation& where) {
  std::int32_t k[4];
  bool quad;
  if (!elementCorners(mesh, e, k, quad)) return false;
  if (locateInTriangle(mesh, e, 1, k[0], k[1], k[2], xp, yp, where)) return true;
  return quad && locateInTriangle(mesh, e, 2, k[0], k[2], k[3], xp, yp, where);
}

PointLocation locateByScan(const Mesh& mesh, double xp, double yp) {
  PointLocation where;
  const std::int32_t numel = mesh.elements();
  for (std::int32_t e = 1; e <= numel; ++e) {
    if (locateInElement(mesh, e, xp, yp, where)) return where;
  }
  return PointLocation{};
}

// Why the widened boxes are enough. For a point P and a sub-triangle with
// corners V1, V2, V3 and exact area A > 0, the exact areas a1, a2, a3 sum to A
// and P = (a2 V1 + a3 V2 + a1 V3) / A. A computed area can be >= 0 only when
// the exact one is >= -eta, eta = kAreaRounding * R^2 (+ underflow slack),
// where R is the largest coordinate difference between P and a corner. So each
// weight of a passing point is >= -m, m = eta / A, and along each axis P lies
// within 2 m times the sub-triangle's extent of its bounding box: within
// spread * eta, spread = 2 * extent / A. For points in the zone around the
// mesh, R is at most the zone's size, which fixes the widening of every box.
// Beyond the zone, R grows with the point's distance D from the mesh, but a
// point with D > spread * eta cannot pass; such far points need only the
// every-point list, and the rare others are scanned.
PointLocator::PointLocator(const Mesh& mesh) : mesh_(mesh) {
  // Usually every element can hold a point and every node is a corner of one:
  // then the grid, which follows from the corners' box and the number of such
  // elements, is known before the elements are read, and one pass over them
  // builds the index. Otherwise the elements are surveyed first.
  if (!indexInOnePass()) indexAfterSurvey();
}

namespace {

// A box grown point by point.
struct Box {
  double x0 = kInf, y0 = kInf, x1 = -kInf, y1 = -kInf;
  void add(double x, double y) {
    x0 = std::min(x0, x);
    x1 = std::max(x1, x);
    y0 = std::min(y0, y);
    y1 = std::max(y1, y);
  }
  bool operator==(const Box&) const = default;
};

// Whether every corner of the sub-triangles is finite.
bool finiteCorners(const Mesh& mesh, const std::int32_t tri[2][3], int count) {
  bool finite = true;
  for (int s = 0; s < count; ++s) {
    for (std::int32_t n : tri[s]) finite = finite && std::isfinite(xOf(mesh, n)) && std::isfinite(yOf(mesh, n));
  }
  return finite;
}

void addCorners(const Mesh& mesh, const std::int32_t tri[2][3], int count, Box& box) {
  for (int s = 0; s < count; ++s) {
    for (std::int32_t n : tri[s]) box.add(xOf(mesh, n), yOf(mesh, n));
  }
}

}  // namespace

bool PointLocator::setGrid(double x0, double y0, double x1, double y1, std::size_t elements) {
  nx_ = ny_ = 0;
  farSpread_ = 0;
  start_.assign(1, 0);
  // The grid covers the corners' box; the zone it serves reaches one mesh
  // extent further on every side (such points fall into the outer bins).
  const double width = x1 - x0, height = y1 - y0;
  extent_ = std::max(width, height);
  const double zone = 3 * extent_;  // no zone point is further from a corner
  hasGrid_ = std::isfinite(extent_) && std::isfinite(zone * zone) && std::isfinite(x0 - extent_) &&
             std::isfinite(x1 + extent_) && std::isfinite(y0 - extent_) && std::isfinite(y1 + extent_);
  if (!hasGrid_) return false;
  boxX0_ = x0, boxX1_ = x1, boxY0_ = y0, boxY1_ = y1;
  eta_ = kAreaRounding * zone * zone + kUnderflowSlack;

  // About one bin per element, shaped like the mesh.
  const double n = static_cast<double>(elements);
  double bx = 1, by = 1;
  if (width > 0 && height > 0) {
    bx = std::clamp(std::round(std::sqrt(n * width / height)), 1.0, n);
    by = std::clamp(std::ceil(n / bx), 1.0, n);
  } else if (width > 0) {
    bx = std::max(n, 1.0);
  } else if (height > 0) {
    by = std::max(n, 1.0);
  }
  nx_ = static_cast<std::int32_t>(bx);
  ny_ = static_cast<std::int32_t>(by);
  scaleX_ = width > 0 ? nx_ / width : 0;
  scaleY_ = height > 0 ? ny_ / height : 0;
  // Bin b's count goes to start_[b + 1]; the sums of the counts make the starts.
  start_.assign(static_cast<std::size_t>(nx_) * static_cast<std::size_t>(ny_) + 1, 0);
  return true;
}

PointLocator::Range PointLocator::binRange(const std::int32_t tri[2][3], const double areas[2], int count) {
  double lox = kInf, hix = -kInf, loy = kInf, hiy = -kInf, spread = 0;
  bool bounded = true;
  for (int s = 0; s < count && bounded; ++s) {
    Box t;
    for (std::int32_t node : tri[s]) t.add(xOf(mesh_, node), yOf(mesh_, node));
    const double w = std::max(t.x1 - t.x0, t.y1 - t.y0);
    // A lower bound of the exact area (the computed one is off by rounding).
    const double low = areas[s] * (1 - kAreaRounding) - kAreaRounding * w * w - kUnderflowSlack;
    bounded = low > 0;
    const double sub = 2.02 * w / low;  // 1% above 2 w / A for the rounding here
    const double margin = sub * eta_;
    spread = std::max(spread, sub);
    lox = std::min(lox, t.x0 - margin);
    hix = std::max(hix, t.x1 + margin);
    loy = std::min(loy, t.y0 - margin);
    hiy = std::max(hiy, t.y1 + margin);
  }
  if (!bounded || count == 0) return {};
  // One step further out, against the rounding of the sums above (after the
  // extremes: the next number is the same for the extreme of the sums as the
  // extreme of their next numbers).
  lox = nextDown(lox);
  hix = nextUp(hix);
  loy = nextDown(loy);
  hiy = nextUp(hiy);
  if (!std::isfinite(spread) || !std::isfinite(lox) || !std::isfinite(hix) || !std::isfinite(loy) ||
      !std::isfinite(hiy)) {
    return {};
  }
  const Range r{binX(lox), binX(hix), binY(loy), binY(hiy)};
  if (static_cast<std::int64_t>(r.ix1 - r.ix0 + 1) * (r.iy1 - r.iy0 + 1) > kMaxBinsPerElement) return {};
  farSpread_ = std::max(farSpread_, spread);
  for (std::int32_t iy = r.iy0; iy <= r.iy1; ++iy) {
    for (std::int32_t ix = r.ix0; ix <= r.ix1; ++ix) ++start_[static_cast<std::size_t>(iy) * nx_ + ix + 1];
  }
  return r;
}

void PointLocator::fillBins(std::span<const std::int32_t> elements, std::span<const Range> ranges) {
  const std::size_t bins = start_.size() - 1;
  for (std::size_t b = 1; b <= bins; ++b) start_[b] += start_[b - 1];
  // Filled in element order with start_[b] as bin b's cursor, which ends at
  // the bin's end, the start of bin b + 1: the starts move up one place after.
  elements_.assign(start_[bins], 0);
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    const Range& r = ranges[i];
    const std::int32_t e = elements.empty() ? static_cast<std::int32_t>(i + 1) : elements[i];
    if (r.ix1 < r.ix0) everywhere_.push_back(e);
    for (std::int32_t iy = r.iy0; iy <= r.iy1; ++iy) {
      for (std::int32_t ix = r.ix0; ix <= r.ix1; ++ix) elements_[start_[static_cast<std::size_t>(iy) * nx_ + ix]++] = e;
    }
  }
  std::copy_backward(start_.begin(), start_.end() - 1, start_.end());
  start_[0] = 0;
}

bool PointLocator::indexInOnePass() {
  const std::int32_t numel = mesh_.elements();
  Box nodes;
  for (std::size_t n = 0; n < mesh_.x.size() && n < static_cast<std::size_t>(mesh_.numnp); ++n) {
    if (std::isfinite(mesh_.x[n]) && std::isfinite(mesh_.y[n])) nodes.add(mesh_.x[n], mesh_.y[n]);
  }
  if (numel <= 0 || !setGrid(nodes.x0, nodes.y0, nodes.x1, nodes.y1, static_cast<std::size_t>(numel))) return false;
  RunArray<Range> ranges(static_cast<std::size_t>(numel));
  Box corners;
  for (std::int32_t e = 1; e <= numel; ++e) {
    std::int32_t tri[2][3];
    double areas[2];
    const int count = usableSubTriangles(mesh_, e, tri, areas);
    if (count == 0) return false;  // an element that never holds a point
    if (!finiteCorners(mesh_, tri, count)) continue;  // tested for every point
    addCorners(mesh_, tri, count, corners);
    ranges[static_cast<std::size_t>(e - 1)] = binRange(tri, areas, count);
  }
  if (!(corners == nodes)) return false;  // a node that is no usable corner
  fillBins({}, ranges);
  return true;
}

void PointLocator::indexAfterSurvey() {
  const std::int32_t numel = mesh_.elements();
  // Elements that can hold a point at all, with their usable sub-triangles
  // (kept small: a large mesh has tens of thousands).
  struct Candidate {
    std::int32_t e;
    std::uint8_t count;
    bool finite;
  };
  RunArray<Candidate> candidates;
  candidates.reserve(static_cast<std::size_t>(std::max(numel, 0)));
  Box corners;
  for (std::int32_t e = 1; e <= numel; ++e) {
    std::int32_t tri[2][3];
    double areas[2];
    const int count = usableSubTriangles(mesh_, e, tri, areas);
    if (count == 0) continue;
    const Candidate c{e, static_cast<std::uint8_t>(count), finiteCorners(mesh_, tri, count)};
    if (c.finite) addCorners(mesh_, tri, count, corners);
    candidates.push_back(c);
  }
  if (!setGrid(corners.x0, corners.y0, corners.x1, corners.y1, candidates.size())) {
    // Nothing to bin: every element that can hold a point is tested for every point.
    for (const Candidate& c : candidates) everywhere_.push_back(c.e);
    return;
  }
  RunArray<Range> ranges(candidates.size());
  RunArray<std::int32_t> elements(candidates.size());
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    const Candidate& c = candidates[i];
    elements[i] = c.e;
    if (!c.finite) continue;
    std::int32_t tri[2][3];
    double areas[2];
    usableSubTriangles(mesh_, c.e, tri, areas);
    ranges[i] = binRange(tri, areas, c.count);
  }
  fillBins(elements, ranges);
}

std::int32_t PointLocator::binX(double x) const {
  const double t = (x - boxX0_) * scaleX_;
  if (!(t >= 0)) return 0;
  if (t >= nx_) return nx_ - 1;
  return static_cast<std::int32_t>(t);
}

std::int32_t PointLocator::binY(double y) const {
  const double t = (y - boxY0_) * scaleY_;
  if (!(t >= 0)) return 0;
  if (t >= ny_) return ny_ - 1;
  return static_cast<std::int32_t>(t);
}

PointLocation PointLocator::locate(double xp, double yp) const {
  const std::int32_t* bin = nullptr;
  const std::int32_t* binEnd = nullptr;
  if (hasGrid_) {
    // How far the point lies outside the corners' box (0 inside it).
    const double d = std::max({boxX0_ - xp, xp - boxX1_, boxY0_ - yp, yp - boxY1_, 0.0});
    if (d <= extent_) {
      const std::size_t b = static_cast<std::size_t>(binY(yp)) * nx_ + static_cast<std::size_t>(binX(xp));
      bin = elements_.data() + start_[b];
      binEnd = elements_.data() + start_[b + 1];
    } else {
      const double r = d + extent_;
      // Only a far point too close for the bound (or not a number) is scanned.
      if (!(d > 2 * farSpread_ * (kAreaRounding * r * r + kUnderflowSlack))) return locateByScan(mesh_, xp, yp);
    }
  }
  // The bin's elements and the every-point elements, merged in ascending order.
  PointLocation where;
  auto other = everywhere_.begin();
  while (bin != binEnd || other != everywhere_.end()) {
    std::int32_t e;
    if (other == everywhere_.end() || (bin != binEnd && *bin < *other)) {
      e = *bin++;
    } else {
      e = *other++;
    }
    if (locateInElement(mesh_, e, xp, yp, where)) return where;
  }
  return PointLocation{};
}

}  // namespace gw::postconv
