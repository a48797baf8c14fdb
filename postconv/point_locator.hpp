// Locating INTERP points in the mesh: which element and sub-triangle holds a
// point, and the point's three nodes and linear interpolation weights.
//
// A point lies in a sub-triangle (C1, C2, C3) when the signed areas
// a1 = area(Pt, C1, C2), a2 = area(Pt, C2, C3), a3 = area(Pt, C3, C1) are all
// >= 0 (no tolerance: edges and corners count as inside). The elements are
// searched in ascending order, a quadrilateral's (K1, K2, K3) before its
// (K1, K3, K4), and the first sub-triangle that holds the point wins. A
// sub-triangle whose own area A is not positive never holds a point (its
// weights would be 0/0 or meaningless), and an element with a corner number
// outside 1..NUMNP never holds a point either.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "result_file.hpp"
#include "run_array.hpp"

namespace gw::postconv {

// Where a point was found; all zero for a point outside the mesh.
struct PointLocation {
  std::int32_t element = 0;  // element number, 0 when not located
  int subTriangle = 0;       // 1: (K1, K2, K3), 2: (K1, K3, K4)
  std::int32_t n1 = 0, n2 = 0, n3 = 0;
  double w1 = 0, w2 = 0, w3 = 0;

  bool found() const { return element != 0; }
  friend bool operator==(const PointLocation&, const PointLocation&) = default;
};

// Signed area of the triangle A, B, C: positive when A, B, C run
// counter-clockwise, zero when they are collinear.
inline double signedArea(double xa, double ya, double xb, double yb, double xc, double yc) {
  return 0.5 * ((xb - xa) * (yc - ya) - (xa - xc) * (ya - yb));
}

// Tests element e (1-based) alone; true and `where` filled when it holds the
// point. The one place where the location arithmetic is done, so the scan and
// the index agree bit for bit.
bool locateInElement(const Mesh& mesh, std::int32_t e, double xp, double yp, PointLocation& where);

// The plain scan of all elements in ascending order (the reference).
PointLocation locateByScan(const Mesh& mesh, double xp, double yp);

// Locates a set of points at once. The points go into a uniform grid of bins
// over the mesh's nodes; then the elements are taken in ascending order, and
// each is tested against the points not yet located in the bins its box
// covers. A point therefore meets the elements in the order of the plain scan
// and stops at the same first one: the answers are the scan's, bit for bit.
//
// Rounding lets a point a little outside a sub-triangle still pass the area
// test, so every element's bounding box is widened by a bound on that effect
// before its bins are taken. Elements for which no useful bound exists
// (non-finite coordinates, nearly flat sub-triangles whose box would cover too
// many bins) are tested against every point. Points far outside the mesh need
// only those elements, as long as rounding cannot reach them from the others;
// the plain scan locates the rare far points it can reach.
class PointLocator {
 public:
  // How the sweep works out the elements' bins: eight elements at a time in
  // the 512-bit vector registers where the machine has them (the same
  // arithmetic, one element per lane), or one by one.
  enum class Sweep { EightAtATime, OneByOne };
  PointLocator(const Mesh& mesh, std::span<const double> xp, std::span<const double> yp,
               Sweep sweep = Sweep::EightAtATime);

  // Where point i (from 0) lies.
  const PointLocation& at(std::size_t i) const { return where_[i]; }

  // For tests and benchmarks: grid size, how many elements were tested against
  // every point, and how many element tests were made.
  std::int32_t binsX() const { return nx_; }
  std::int32_t binsY() const { return ny_; }
  std::size_t everywhereCount() const { return everywhere_.size(); }
  std::size_t tests() const { return tests_; }
  // For tests: of the eight elements from `first`, how many the eight-lane
  // sweep works out here, and how many of those it gives other bins than the
  // one-by-one sweep does, or takes although they need more than the common
  // widening.
  struct LaneCheck {
    int common = 0, differ = 0;
  };
  LaneCheck checkLanes(std::int32_t first);

 private:
  // An element's widened box in bins; empty: the element is tested against every point.
  struct Range {
    std::int32_t ix0 = 0, ix1 = -1, iy0 = 0, iy1 = -1;
  };
  // A point of the grid, kept beside its coordinates so that a bin's points
  // are tested from one run of memory.
  struct GridPoint {
    double x, y;
    std::uint32_t index;  // into the caller's points
    bool located;
  };

  // How far a point lies outside the nodes' box along either axis (0 inside it).
  double distanceOutside(double x, double y) const;
  std::int32_t binX(double x) const;
  std::int32_t binY(double y) const;
  // The grid over the finite nodes' box; false when that box gives none.
  bool setGrid();
  // The points near enough to the mesh for the grid, in their bins; the
  // others are noted as far.
  void binPoints(std::span<const double> xp, std::span<const double> yp);
  // How far element e can take points; see the source.
  struct Reach;
  Reach elementReach(std::int32_t e) const;
  // The bins that an element can reach; empty when no useful bound exists.
  Range binRange(const Reach& reach);
  // Element e against the grid points from `first` to `last` not yet located.
  void testPoints(std::int32_t e, GridPoint* first, GridPoint* last);
  // Element e against the unlocated points of the bins of r.
  void testBins(std::int32_t e, const Range& r);
  // Element e's turn in the sweep, its bins worked out on their own.
  void sweepElement(std::int32_t e);
  // The bins of the eight elements from `first`, worked out side by side, for
  // the elements that hold a point, have a useful bound and need no more than
  // the common widening pad_ (nearly all): a bit per such element, its bins
  // in `ranges`. The others take their turn one by one.
  unsigned commonRanges(std::int32_t first, Range ranges[8]) const;
  void sweepElements(Sweep sweep);
  void locateFarPoint(std::size_t i, double xp, double yp);

  const Mesh& mesh_;
  RunArray<PointLocation> where_;
  std::size_t unlocated_ = 0;  // grid points not yet located
  std::size_t tests_ = 0;
  // The box of the finite nodes and its larger side; points up to one such
  // side beyond the box are located through the grid.
  double boxX0_ = 0, boxY0_ = 0, boxX1_ = 0, boxY1_ = 0, extent_ = 0;
  double scaleX_ = 0, scaleY_ = 0;  // bins per unit length
  double eta_ = 0;                  // the largest rounding of an area in the zone
  double pad_ = 0;                  // the widening of elements that need no more
  double padSpread_ = 0;            // pad_ per unit of area rounding
  std::int32_t nx_ = 0, ny_ = 0;
  // The largest widening of a binned element per unit of area rounding: how
  // far outside the box a point can still pass one of them.
  double farSpread_ = 0;
  // Bin b's points are points_[start_[b] .. start_[b + 1]).
  RunArray<std::uint32_t> start_;
  RunArray<GridPoint> points_;
  std::vector<std::size_t> far_;          // points beyond the grid's zone
  std::vector<std::int32_t> everywhere_;  // ascending
};

}  // namespace gw::postconv
