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

// A uniform grid of bins over the mesh. Each bin lists, in ascending order, the
// elements that could hold a point falling in that bin, so testing a bin's
// elements in order finds the same first element as the plain scan.
//
// Rounding lets a point a little outside a sub-triangle still pass the area
// test, so every element's bounding box is widened by a bound on that effect
// before it is binned. Elements for which no useful bound exists (non-finite
// coordinates, nearly flat sub-triangles whose box would cover too many bins)
// are tested for every point, merged into the bin's list in element order.
// Points far outside the mesh need only the every-point elements, as long as
// rounding cannot reach them; the plain scan locates the rare others.
class PointLocator {
 public:
  explicit PointLocator(const Mesh& mesh);

  PointLocation locate(double xp, double yp) const;

  // For tests and benchmarks: grid size and how many elements went to the
  // every-point list.
  std::int32_t binsX() const { return nx_; }
  std::int32_t binsY() const { return ny_; }
  std::size_t everywhereCount() const { return everywhere_.size(); }

 private:
  // An element's widened box in bins; empty: the element is tested for every point.
  struct Range {
    std::int32_t ix0 = 0, ix1 = -1, iy0 = 0, iy1 = -1;
  };

  std::int32_t binX(double x) const;
  std::int32_t binY(double y) const;
  // The index built in one pass over the elements; false (and nothing kept)
  // when the grid it assumed proves not to be the mesh's.
  bool indexInOnePass();
  // The index built after a pass that finds the elements that can hold a point.
  void indexAfterSurvey();
  // Sets the grid over a box of corners for `elements` binned elements; false
  // when the box gives no grid.
  bool setGrid(double x0, double y0, double x1, double y1, std::size_t elements);
  // The bins of the usable sub-triangles of an element, counted in start_.
  Range binRange(const std::int32_t tri[2][3], const double areas[2], int count);
  // The starts from the counts, and the bins' elements (element i + 1 for
  // range i when `elements` is empty) in ascending order.
  void fillBins(std::span<const std::int32_t> elements, std::span<const Range> ranges);

  const Mesh& mesh_;
  bool hasGrid_ = false;
  // The box of the binned corners and its larger side; points up to one such
  // side beyond the box are located through the grid.
  double boxX0_ = 0, boxY0_ = 0, boxX1_ = 0, boxY1_ = 0, extent_ = 0;
  double scaleX_ = 0, scaleY_ = 0;  // bins per unit length
  double eta_ = 0;                  // the largest rounding of an area in the zone
  std::int32_t nx_ = 0, ny_ = 0;
  // The largest widening of a binned element per unit of area rounding: how
  // far outside the box a point can still pass one of them.
  double farSpread_ = 0;
  // Bin b's elements are elements_[start_[b] .. start_[b + 1]).
  RunArray<std::uint32_t> start_;
  RunArray<std::int32_t> elements_;
  std::vector<std::int32_t> everywhere_;  // ascending
};

}  // namespace gw::postconv
