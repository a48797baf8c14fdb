#include "point_locator.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>

#include "vector_intrinsics.hpp"
#include "wide_fields.hpp"

namespace gw::postconv {

namespace {

// Relative bound on the rounding of one signed area (three roundings of
// products and differences make about 3.3e-16; three times that for safety).
constexpr double kAreaRounding = 1e-15;
// Room for products that fall below the smallest normal number.
constexpr double kUnderflowSlack = 1e-300;
// An element whose widened box covers more bins than this is tested against
// every point instead of the points of all those bins.
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
PointLocator::PointLocator(const Mesh& mesh, std::span<const double> xp, std::span<const double> yp, Sweep sweep)
    : mesh_(mesh), where_(xp.size()) {
  if (mesh_.elements() == 0) return;  // no element holds a point
  if (!setGrid()) {
    for (std::size_t i = 0; i < xp.size(); ++i) where_[i] = locateByScan(mesh_, xp[i], yp[i]);
    return;
  }
  binPoints(xp, yp);
  sweepElements(sweep);
  for (std::size_t i : far_) locateFarPoint(i, xp[i], yp[i]);
}

bool PointLocator::setGrid() {
  double x0 = kInf, y0 = kInf, x1 = -kInf, y1 = -kInf;
  for (std::size_t n = 0; n < mesh_.x.size() && n < static_cast<std::size_t>(mesh_.nodes()); ++n) {
    if (!std::isfinite(mesh_.x[n]) || !std::isfinite(mesh_.y[n])) continue;
    x0 = std::min(x0, mesh_.x[n]);
    x1 = std::max(x1, mesh_.x[n]);
    y0 = std::min(y0, mesh_.y[n]);
    y1 = std::max(y1, mesh_.y[n]);
  }
  // The grid covers the nodes' box; the zone it serves reaches one mesh
  // extent further on every side (such points fall into the outer bins).
  const double width = x1 - x0, height = y1 - y0;
  extent_ = std::max(width, height);
  const double zone = 3 * extent_;  // no zone point is further from a corner
  if (!(std::isfinite(extent_) && std::isfinite(zone * zone) && std::isfinite(x0 - extent_) &&
        std::isfinite(x1 + extent_) && std::isfinite(y0 - extent_) && std::isfinite(y1 + extent_))) {
    return false;
  }
  boxX0_ = x0, boxX1_ = x1, boxY0_ = y0, boxY1_ = y1;
  eta_ = kAreaRounding * zone * zone + kUnderflowSlack;
  pad_ = std::ldexp(extent_, -20);
  padSpread_ = pad_ / eta_;

  // About one bin per element, shaped like the mesh: an element's box then
  // covers few bins, and most of them hold no point.
  const double n = static_cast<double>(mesh_.elements());
  double bx = 1, by = 1;
  if (width > 0 && height > 0) {
    bx = std::clamp(std::round(std::sqrt(n * width / height)), 1.0, n);
    by = std::clamp(std::ceil(n / bx), 1.0, n);
  } else if (width > 0) {
    bx = n;
  } else if (height > 0) {
    by = n;
  }
  nx_ = static_cast<std::int32_t>(bx);
  ny_ = static_cast<std::int32_t>(by);
  scaleX_ = width > 0 ? nx_ / width : 0;
  scaleY_ = height > 0 ? ny_ / height : 0;
  return true;
}

void PointLocator::binPoints(std::span<const double> xp, std::span<const double> yp) {
  // Bin b's count goes to start_[b + 1]; the sums of the counts make the starts.
  start_.assign(static_cast<std::size_t>(nx_) * static_cast<std::size_t>(ny_) + 1, 0);
  std::vector<std::uint32_t> bins(xp.size());
  std::vector<bool> near(xp.size());
  for (std::size_t i = 0; i < xp.size(); ++i) {
    near[i] = distanceOutside(xp[i], yp[i]) <= extent_;
    if (!near[i]) {
      far_.push_back(i);
      continue;
    }
    bins[i] = static_cast<std::uint32_t>(binY(yp[i]) * nx_ + binX(xp[i]));
    ++start_[bins[i] + 1];
  }
  for (std::size_t b = 1; b < start_.size(); ++b) start_[b] += start_[b - 1];
  unlocated_ = start_.back();
  // Filled in point order with start_[b] as bin b's cursor, which ends at the
  // bin's end, the start of bin b + 1: the starts move up one place after.
  points_.resize(unlocated_);
  for (std::size_t i = 0; i < xp.size(); ++i) {
    if (near[i]) points_[start_[bins[i]]++] = GridPoint{xp[i], yp[i], static_cast<std::uint32_t>(i), false};
  }
  std::copy_backward(start_.begin(), start_.end() - 1, start_.end());
  start_[0] = 0;
}

// How far an element can take points: the box of its usable sub-triangles
// and, for each, its extent w and a lower bound `low` of its exact area; its
// box is widened by 2.02 w / low times the largest rounding of an area (1%
// above 2 w / A, for the rounding of that quotient and of the tests below).
struct PointLocator::Reach {
  bool holds = false;     // false: the element never holds a point
  bool bounded = true;    // false: no useful bound (non-finite corners, a nearly flat sub-triangle)
  bool withinPad = true;  // whether every widening is at most pad_
  double x0 = kInf, y0 = kInf, x1 = -kInf, y1 = -kInf;
  double w[2] = {0, 0}, low[2] = {1, 1};  // 0 and 1 for a sub-triangle that is not usable

  // The largest widening per unit of area rounding.
  double spread() const { return std::max(2.02 * w[0] / low[0], 2.02 * w[1] / low[1]); }
};

// Inlined into the sweep, as binRange is: a call per element costs a tenth of
// the sweep.
[[gnu::always_inline]] inline PointLocator::Reach PointLocator::elementReach(std::int32_t e) const {
  // Worked out for both sub-triangles at once, with few branches: this runs
  // for every element of the mesh.
  Reach reach;
  std::int32_t k[4];
  bool quad;
  if (!elementCorners(mesh_, e, k, quad)) return reach;
  // Slots of the corners (node n in slot n - 1). A triangle's second
  // sub-triangle is taken as (K1, K3, K3), whose area is 0.
  const auto c0 = static_cast<std::size_t>(k[0] - 1), c1 = static_cast<std::size_t>(k[1] - 1);
  const auto c2 = static_cast<std::size_t>(k[2] - 1), c3 = quad ? static_cast<std::size_t>(k[3] - 1) : c2;
  const double* x = mesh_.x.data();
  const double* y = mesh_.y.data();
  const double xa = x[c0], ya = y[c0], xb = x[c1], yb = y[c1];
  const double xc = x[c2], yc = y[c2], xd = x[c3], yd = y[c3];
  // The sub-triangles' own areas, computed exactly as the location test does.
  const double area[2] = {signedArea(xa, ya, xb, yb, xc, yc), signedArea(xa, ya, xc, yc, xd, yd)};
  const bool usable[2] = {usableArea(area[0]), usableArea(area[1])};
  reach.holds = usable[0] || usable[1];
  // Corner A and C belong to both sub-triangles, B to the first, D to the second.
  const double bx[2][2] = {{std::min({xa, xb, xc}), std::max({xa, xb, xc})}, {std::min({xa, xc, xd}), std::max({xa, xc, xd})}};
  const double by[2][2] = {{std::min({ya, yb, yc}), std::max({ya, yb, yc})}, {std::min({ya, yc, yd}), std::max({ya, yc, yd})}};
  for (int s = 0; s < 2; ++s) {
    if (!usable[s]) continue;
    const double w = std::max(bx[s][1] - bx[s][0], by[s][1] - by[s][0]);
    const double low = area[s] * (1 - kAreaRounding) - kAreaRounding * w * w - kUnderflowSlack;
    const bool finite = std::isfinite(bx[s][0]) && std::isfinite(bx[s][1]) && std::isfinite(by[s][0]) &&
                        std::isfinite(by[s][1]);
    reach.bounded = reach.bounded && finite && low > 0;
    // 2.02 w eta / low <= pad_, without the division.
    const double widening = 2.02 * w * eta_;
    reach.withinPad = reach.withinPad && widening < kInf && widening <= pad_ * low;
    reach.w[s] = w, reach.low[s] = low;
    reach.x0 = std::min(reach.x0, bx[s][0]), reach.x1 = std::max(reach.x1, bx[s][1]);
    reach.y0 = std::min(reach.y0, by[s][0]), reach.y1 = std::max(reach.y1, by[s][1]);
  }
  return reach;
}

[[gnu::always_inline]] inline PointLocator::Range PointLocator::binRange(const Reach& reach) {
  if (!reach.bounded) return {};
  // Most elements are widened by pad_, more than they need, without working
  // out their own margin; their spread is then at most pad_ / eta_.
  double margin = pad_, spread = padSpread_;
  if (!reach.withinPad) {
    spread = reach.spread();
    if (!std::isfinite(spread)) return {};
    margin = spread * eta_;
  }
  // One step further out, against the rounding of the differences.
  const double lox = nextDown(reach.x0 - margin), hix = nextUp(reach.x1 + margin);
  const double loy = nextDown(reach.y0 - margin), hiy = nextUp(reach.y1 + margin);
  if (!std::isfinite(lox) || !std::isfinite(hix) || !std::isfinite(loy) || !std::isfinite(hiy)) return {};
  const Range r{binX(lox), binX(hix), binY(loy), binY(hiy)};
  if (static_cast<std::int64_t>(r.ix1 - r.ix0 + 1) * (r.iy1 - r.iy0 + 1) > kMaxBinsPerElement) return {};
  farSpread_ = std::max(farSpread_, spread);
  return r;
}

void PointLocator::testPoints(std::int32_t e, GridPoint* first, GridPoint* last) {
  for (GridPoint* p = first; p != last; ++p) {
    if (p->located) continue;
    ++tests_;
    if (!locateInElement(mesh_, e, p->x, p->y, where_[p->index])) continue;
    p->located = true;
    --unlocated_;
  }
}

void PointLocator::testBins(std::int32_t e, const Range& r) {
  for (std::int32_t iy = r.iy0; iy <= r.iy1; ++iy) {
    const std::uint32_t* row = start_.data() + static_cast<std::size_t>(iy) * nx_;
    testPoints(e, points_.data() + row[r.ix0], points_.data() + row[r.ix1 + 1]);
  }
}

void PointLocator::sweepElement(std::int32_t e) {
  const Reach reach = elementReach(e);
  if (!reach.holds) return;
  const Range r = binRange(reach);
  if (r.ix1 < r.ix0) {
    everywhere_.push_back(e);
    testPoints(e, points_.data(), points_.data() + points_.size());
    return;
  }
  if (unlocated_ > 0) testBins(e, r);
}

void PointLocator::sweepElements(Sweep sweep) {
  const std::int32_t numel = mesh_.elements();
  const bool eightAtATime = sweep == Sweep::EightAtATime && fields::wide::available();
  // Once every grid point is located only the far points' bound is still
  // wanted, from the rest of the elements; with no far point the sweep ends.
  auto wanted = [this] { return unlocated_ > 0 || !far_.empty(); };
  std::int32_t e = 1;
  while (e <= numel && wanted()) {
    if (!eightAtATime || numel - e < 7) {
      sweepElement(e++);
      continue;
    }
    Range ranges[8];
    const unsigned common = commonRanges(e, ranges);
    for (int lane = 0; lane < 8 && wanted(); ++lane, ++e) {
      if (!(common >> lane & 1)) {
        sweepElement(e);
        continue;
      }
      // As binRange leaves it for an element widened by pad_.
      farSpread_ = std::max(farSpread_, padSpread_);
      if (unlocated_ > 0) testBins(e, ranges[lane]);
    }
  }
}

// The eight-lane form of elementReach and binRange for the common elements:
// the same operations in the same order on each lane, so the same bins. Where
// the scalar code uses std::min(a, b), that is (b < a ? b : a), here min(b, a);
// likewise max.
#define GW_EIGHT_LANES __attribute__((target("avx512f,avx512dq,avx512vl")))
#define GW_EIGHT_LANES_INLINE __attribute__((target("avx512f,avx512dq,avx512vl"), always_inline)) inline

namespace {

using Lanes = __m512d;
using Mask = __mmask8;

GW_EIGHT_LANES_INLINE Lanes signedAreas(Lanes xa, Lanes ya, Lanes xb, Lanes yb, Lanes xc, Lanes yc) {
  const Lanes cross = _mm512_sub_pd(_mm512_mul_pd(_mm512_sub_pd(xb, xa), _mm512_sub_pd(yc, ya)),
                                    _mm512_mul_pd(_mm512_sub_pd(xa, xc), _mm512_sub_pd(ya, yb)));
  return _mm512_mul_pd(_mm512_set1_pd(0.5), cross);
}
// std::min({a, b, c}): the first of the smallest.
GW_EIGHT_LANES_INLINE Lanes min3(Lanes a, Lanes b, Lanes c) { return _mm512_min_pd(c, _mm512_min_pd(b, a)); }
GW_EIGHT_LANES_INLINE Lanes max3(Lanes a, Lanes b, Lanes c) { return _mm512_max_pd(c, _mm512_max_pd(b, a)); }
GW_EIGHT_LANES_INLINE Mask finite(Lanes v) { return static_cast<Mask>(~_mm512_fpclass_pd_mask(v, 0x99)); }
GW_EIGHT_LANES_INLINE Mask less(Lanes a, Lanes b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
// nextUp of finite lanes; other lanes come out not finite, as nextUp leaves them, or as
// the same finite value (from -infinity).
GW_EIGHT_LANES_INLINE Lanes nextUpLanes(Lanes v) {
  const Lanes zero = _mm512_setzero_pd();
  const __m512i bits = _mm512_castpd_si512(v);
  const Mask positive = _mm512_cmp_pd_mask(zero, v, _CMP_LT_OQ);
  const __m512i moved = _mm512_mask_add_epi64(_mm512_sub_epi64(bits, _mm512_set1_epi64(1)), positive, bits,
                                              _mm512_set1_epi64(1));
  const Mask atZero = _mm512_cmp_pd_mask(v, zero, _CMP_EQ_OQ);
  return _mm512_mask_blend_pd(atZero, _mm512_castsi512_pd(moved),
                              _mm512_set1_pd(std::numeric_limits<double>::denorm_min()));
}
GW_EIGHT_LANES_INLINE Lanes negate(Lanes v) { return _mm512_xor_pd(v, _mm512_set1_pd(-0.0)); }
GW_EIGHT_LANES_INLINE Lanes nextDownLanes(Lanes v) { return negate(nextUpLanes(negate(v))); }
// binX / binY: 0 below the grid and for not a number, the last bin at and beyond its end.
GW_EIGHT_LANES_INLINE __m256i binLanes(Lanes v, double origin, double scale, std::int32_t bins) {
  const Lanes t = _mm512_mul_pd(_mm512_sub_pd(v, _mm512_set1_pd(origin)), _mm512_set1_pd(scale));
  const Mask inside = _mm512_cmp_pd_mask(t, _mm512_setzero_pd(), _CMP_GE_OQ);
  const Mask beyond = _mm512_cmp_pd_mask(t, _mm512_set1_pd(bins), _CMP_GE_OQ);
  const __m256i bin = _mm256_mask_blend_epi32(beyond, _mm512_cvttpd_epi32(t), _mm256_set1_epi32(bins - 1));
  return _mm256_maskz_mov_epi32(inside, bin);
}

}  // namespace

GW_EIGHT_LANES unsigned PointLocator::commonRanges(std::int32_t first, Range ranges[8]) const {
  // Corners 1..4 of the eight elements, five items apart in IE.
  const std::int32_t* ie = mesh_.ie.data() + static_cast<std::size_t>(first - 1) * 5;
  const __m256i apart = _mm256_setr_epi32(0, 5, 10, 15, 20, 25, 30, 35);
  __m256i k[4];
  for (int c = 0; c < 4; ++c) k[c] = _mm256_i32gather_epi32(ie + c, apart, 4);
  // elementCorners: a triangle's second sub-triangle is (K1, K3, K3).
  const __m256i one = _mm256_set1_epi32(1), last = _mm256_set1_epi32(mesh_.numnp);
  auto isNode = [&](__m256i n) GW_EIGHT_LANES { return Mask(_mm256_cmpge_epi32_mask(n, one) & _mm256_cmple_epi32_mask(n, last)); };
  const Mask quad = static_cast<Mask>(~(_mm256_cmpeq_epi32_mask(k[2], k[3]) | _mm256_cmpeq_epi32_mask(k[3], _mm256_setzero_si256())));
  const Mask corners = isNode(k[0]) & isNode(k[1]) & isNode(k[2]) & static_cast<Mask>(~quad | isNode(k[3]));
  k[3] = _mm256_mask_blend_epi32(quad, k[2], k[3]);
  Lanes x[4], y[4];
  for (int c = 0; c < 4; ++c) {
    const __m256i slot = _mm256_maskz_sub_epi32(corners, k[c], one);
    x[c] = _mm512_mask_i32gather_pd(_mm512_setzero_pd(), corners, slot, mesh_.x.data(), 8);
    y[c] = _mm512_mask_i32gather_pd(_mm512_setzero_pd(), corners, slot, mesh_.y.data(), 8);
  }
  // elementReach, for sub-triangles (A, B, C) and (A, C, D).
  const int of[2][3] = {{0, 1, 2}, {0, 2, 3}};
  const Lanes inf = _mm512_set1_pd(kInf);
  Lanes x0 = inf, y0 = inf, x1 = negate(inf), y1 = negate(inf);
  Mask common = corners, holds = 0;
  for (int s = 0; s < 2; ++s) {
    const int a = of[s][0], b = of[s][1], c = of[s][2];
    const Lanes area = signedAreas(x[a], y[a], x[b], y[b], x[c], y[c]);
    const Mask usable = less(_mm512_setzero_pd(), area) & less(area, inf);
    holds |= usable;
    const Lanes bx0 = min3(x[a], x[b], x[c]), bx1 = max3(x[a], x[b], x[c]);
    const Lanes by0 = min3(y[a], y[b], y[c]), by1 = max3(y[a], y[b], y[c]);
    const Lanes w = _mm512_max_pd(_mm512_sub_pd(by1, by0), _mm512_sub_pd(bx1, bx0));
    const Lanes ww = _mm512_mul_pd(_mm512_mul_pd(_mm512_set1_pd(kAreaRounding), w), w);
    const Lanes low = _mm512_sub_pd(_mm512_sub_pd(_mm512_mul_pd(area, _mm512_set1_pd(1 - kAreaRounding)), ww),
                                    _mm512_set1_pd(kUnderflowSlack));
    const Mask bounded = finite(bx0) & finite(bx1) & finite(by0) & finite(by1) & less(_mm512_setzero_pd(), low);
    const Lanes widening = _mm512_mul_pd(_mm512_mul_pd(_mm512_set1_pd(2.02), w), _mm512_set1_pd(eta_));
    const Mask withinPad =
        less(widening, inf) & _mm512_cmp_pd_mask(widening, _mm512_mul_pd(_mm512_set1_pd(pad_), low), _CMP_LE_OQ);
    common &= static_cast<Mask>(~usable | (bounded & withinPad));
    x0 = _mm512_mask_min_pd(x0, usable, bx0, x0), x1 = _mm512_mask_max_pd(x1, usable, bx1, x1);
    y0 = _mm512_mask_min_pd(y0, usable, by0, y0), y1 = _mm512_mask_max_pd(y1, usable, by1, y1);
  }
  common &= holds;
  // binRange with the margin pad_.
  const Lanes pad = _mm512_set1_pd(pad_);
  const Lanes lox = nextDownLanes(_mm512_sub_pd(x0, pad)), hix = nextUpLanes(_mm512_add_pd(x1, pad));
  const Lanes loy = nextDownLanes(_mm512_sub_pd(y0, pad)), hiy = nextUpLanes(_mm512_add_pd(y1, pad));
  common &= finite(lox) & finite(hix) & finite(loy) & finite(hiy);
  const __m256i ix0 = binLanes(lox, boxX0_, scaleX_, nx_), ix1 = binLanes(hix, boxX0_, scaleX_, nx_);
  const __m256i iy0 = binLanes(loy, boxY0_, scaleY_, ny_), iy1 = binLanes(hiy, boxY0_, scaleY_, ny_);
  const __m256i count = _mm256_mullo_epi32(_mm256_add_epi32(_mm256_sub_epi32(ix1, ix0), one),
                                           _mm256_add_epi32(_mm256_sub_epi32(iy1, iy0), one));
  common &= _mm256_cmple_epi32_mask(count, _mm256_set1_epi32(kMaxBinsPerElement));
  alignas(32) std::int32_t bins[4][8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(bins[0]), ix0);
  _mm256_store_si256(reinterpret_cast<__m256i*>(bins[1]), ix1);
  _mm256_store_si256(reinterpret_cast<__m256i*>(bins[2]), iy0);
  _mm256_store_si256(reinterpret_cast<__m256i*>(bins[3]), iy1);
  for (int lane = 0; lane < 8; ++lane) ranges[lane] = {bins[0][lane], bins[1][lane], bins[2][lane], bins[3][lane]};
  return common;
}

PointLocator::LaneCheck PointLocator::checkLanes(std::int32_t first) {
  LaneCheck check;
  if (!fields::wide::available() || first < 1 || mesh_.elements() - first < 7) return check;
  Range ranges[8];
  const unsigned common = commonRanges(first, ranges);
  for (int lane = 0; lane < 8; ++lane) {
    if (!(common >> lane & 1)) continue;
    ++check.common;
    const Reach reach = elementReach(first + lane);
    const Range r = reach.holds && reach.bounded && reach.withinPad ? binRange(reach) : Range{};
    const Range& l = ranges[lane];
    check.differ += r.ix1 < r.ix0 || r.ix0 != l.ix0 || r.ix1 != l.ix1 || r.iy0 != l.iy0 || r.iy1 != l.iy1;
  }
  return check;
}

void PointLocator::locateFarPoint(std::size_t i, double xp, double yp) {
  const double d = distanceOutside(xp, yp);
  const double r = d + extent_;
  // Only a far point too close for the bound (or not a number) is scanned.
  if (!(d > 2 * farSpread_ * (kAreaRounding * r * r + kUnderflowSlack))) {
    where_[i] = locateByScan(mesh_, xp, yp);
    return;
  }
  for (std::int32_t e : everywhere_) {
    if (locateInElement(mesh_, e, xp, yp, where_[i])) return;
  }
}

double PointLocator::distanceOutside(double x, double y) const {
  return std::max({boxX0_ - x, x - boxX1_, boxY0_ - y, y - boxY1_, 0.0});
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

}  // namespace gw::postconv
