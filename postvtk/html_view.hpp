// The browser view: one self-contained HTML file that draws the mesh coloured by a
// field of the chosen step, with the page's script, style and every step's values
// inside it, so that it opens by double-click with no network.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "result_file.hpp"
#include "value_packing.hpp"

namespace gw::postvtk {

// A field the view can colour the mesh by.
struct ViewField {
  const char* key;    // short name in the field menu
  const char* label;  // what it is, shown over the colour bar
  const char* unit;   // in the model's length (L) and time (T) units
  bool perNode;       // a value per node (drawn interpolated) or per cell (drawn flat)
};

// H, Q, the velocity magnitude and D, in this order.
const std::vector<ViewField>& viewFields();

// The cells of the view: every element whose corners all name nodes; a triangle
// when its third and fourth corners are the same node or its fourth is 0.
struct ViewCells {
  std::vector<std::int32_t> corners;  // four node indices (from 0) per cell; -1 as the fourth of a triangle
  std::vector<std::int32_t> element;  // element number (from 1)
  std::vector<std::int32_t> property; // IE(e,5); 0 or below: inactive, drawn grey
  std::int32_t leftOut = 0;           // elements with a corner outside 1..NUMNP
  std::int32_t firstLeftOut = 0;      // the first of them, 0 when none
};

ViewCells buildViewCells(const Mesh& mesh);

// Collects the selected steps, then writes the page.
class HtmlView {
 public:
  explicit HtmlView(const Mesh& mesh);

  void addStep(const Step& step);
  std::size_t steps() const { return la_.size(); }
  const ViewCells& cells() const { return cells_; }
  // Writes the page to `path`, replacing a file of that name only when complete;
  // `unit` is the unit shown in a fault.
  void write(const std::string& path, int unit);

 private:
  std::string dataJson();

  const Mesh& mesh_;
  ViewCells cells_;
  std::vector<std::int32_t> la_;
  std::vector<double> time_;
  std::vector<FieldSeries> series_;  // one per view field
  std::vector<float> values_;        // one step of one field, reused
  // What the colour range covers: the nodes of active cells, the active cells.
  std::vector<std::uint8_t> nodeActive_, cellActive_;
  // Per field, the smallest and largest finite value of each step over what the
  // colour range covers; none when the step has no finite value there.
  std::vector<std::vector<std::optional<std::pair<float, float>>>> ranges_;
};

}  // namespace gw::postvtk
