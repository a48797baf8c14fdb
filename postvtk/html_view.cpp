#include "html_view.hpp"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <algorithm>
#include <string_view>

#include "float32.hpp"
#include "output_file.hpp"
#include "node_averages.hpp"
#include "view_assets.hpp"
#include "vtk_export.hpp"

namespace gw::postvtk {

namespace {

// Raw little-endian bytes of `values`, in base64.
template <typename T>
std::string base64Values(const std::vector<T>& values) {
  std::string bytes(values.size() * sizeof(T), '\0');
  if constexpr (std::endian::native == std::endian::little) {
    if (!values.empty()) std::memcpy(bytes.data(), values.data(), bytes.size());
  } else {
    for (std::size_t i = 0; i < values.size(); ++i) {
      unsigned char raw[sizeof(T)];
      std::memcpy(raw, &values[i], sizeof(T));
      for (std::size_t b = 0; b < sizeof(T); ++b) bytes[i * sizeof(T) + b] = static_cast<char>(raw[sizeof(T) - 1 - b]);
    }
  }
  std::string out;
  appendBase64(out, bytes);
  return out;
}

// A number in JSON: the shortest text that reads back the same; null for a value
// that is not finite, which JSON cannot carry.
std::string jsonNumber(double value) { return std::isfinite(value) ? formatDouble(value) : "null"; }

template <typename T>
std::string jsonList(const std::vector<T>& values) {
  std::string out = "[";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out += ',';
    if constexpr (std::is_floating_point_v<T>) {
      out += jsonNumber(values[i]);
    } else {
      out += std::to_string(values[i]);
    }
  }
  return out + "]";
}

using Range = std::optional<std::pair<float, float>>;

// The smallest and largest finite value among those marked in `used`.
Range finiteRange(const std::vector<float>& values, const std::vector<std::uint8_t>& used) {
  float lo = std::numeric_limits<float>::infinity(), hi = -lo;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!used[i] || !std::isfinite(values[i])) continue;
    lo = std::min(lo, values[i]);
    hi = std::max(hi, values[i]);
  }
  return lo <= hi ? Range(std::pair{lo, hi}) : std::nullopt;
}

// [lo,hi], or null for no range.
std::string jsonRange(const Range& range) {
  if (!range) return "null";
  std::string out = "[";
  out += jsonNumber(range->first);
  out += ',';
  out += jsonNumber(range->second);
  out += ']';
  return out;
}

// The page skeleton around its three parts, which are marked in it.
struct PagePieces {
  std::string_view head, betweenStyleAndData, betweenDataAndScript, tail;
};

PagePieces splitPage() {
  const std::string_view page = view::kPage;
  const std::size_t style = page.find("@@STYLE@@");
  const std::size_t data = page.find("@@DATA@@");
  const std::size_t script = page.find("@@SCRIPT@@");
  return {page.substr(0, style), page.substr(style + 9, data - style - 9), page.substr(data + 8, script - data - 8),
          page.substr(script + 10)};
}

}  // namespace

const std::vector<ViewField>& viewFields() {
  static const std::vector<ViewField> fields = {
      {"H", "H, total head", "L", true},
      {"Q", "Q", "model units", true},
      {"velocity", "velocity magnitude, |(DVX, DVY)| / D", "L/T", false},
      {"D", "D", "L", false},
  };
  return fields;
}

ViewCells buildViewCells(const Mesh& mesh) {
  ViewCells cells;
  for (std::int32_t e = 1; e <= mesh.elements(); ++e) {
    if (!drawable(mesh, e)) {
      if (cells.leftOut++ == 0) cells.firstLeftOut = e;
      continue;
    }
    const int k = drawnCorners(mesh, e);
    for (int c = 1; c <= 4; ++c) cells.corners.push_back(c <= k ? mesh.corner(e, c) - 1 : -1);
    cells.element.push_back(e);
    cells.property.push_back(mesh.property(e));
  }
  return cells;
}

HtmlView::HtmlView(const Mesh& mesh)
    : mesh_(mesh),
      cells_(buildViewCells(mesh)),
      nodeActive_(static_cast<std::size_t>(mesh.nodes()), 0),
      cellActive_(cells_.element.size(), 0),
      ranges_(viewFields().size()) {
  for (std::size_t c = 0; c < cellActive_.size(); ++c) {
    if (cells_.property[c] <= 0) continue;
    cellActive_[c] = 1;
    for (std::size_t k = 0; k < 4; ++k) {
      const std::int32_t n = cells_.corners[4 * c + k];
      if (n >= 0) nodeActive_[static_cast<std::size_t>(n)] = 1;
    }
  }
  for (const ViewField& field : viewFields()) {
    series_.emplace_back(static_cast<std::size_t>(field.perNode ? mesh.nodes() : cells_.element.size()));
  }
}

void HtmlView::addStep(const Step& step) {
  la_.push_back(step.la);
  time_.push_back(step.time);
  const std::size_t nodes = static_cast<std::size_t>(mesh_.nodes());
  const std::size_t cells = cells_.element.size();
  auto add = [&](std::size_t field, std::size_t count, auto valueAt) {
    values_.resize(count);
    for (std::size_t i = 0; i < count; ++i) values_[i] = toFloat32(valueAt(i));
    series_[field].addStep(values_.data());
    ranges_[field].push_back(finiteRange(values_, viewFields()[field].perNode ? nodeActive_ : cellActive_));
  };
  auto slot = [&](std::size_t c) { return static_cast<std::size_t>(cells_.element[c] - 1); };
  add(0, nodes, [&](std::size_t i) { return step.h[i]; });
  add(1, nodes, [&](std::size_t i) { return step.q[i]; });
  add(2, cells, [&](std::size_t c) {
    const std::size_t e = slot(c);
    return magnitude(step.dvx[e] / step.d[e], step.dvy[e] / step.d[e]);
  });
  add(3, cells, [&](std::size_t c) { return step.d[slot(c)]; });
}

std::string HtmlView::dataJson() {
  std::vector<double> xy(2 * static_cast<std::size_t>(mesh_.nodes()));
  for (std::size_t n = 0; n < xy.size() / 2; ++n) {
    xy[2 * n] = mesh_.x[n];
    xy[2 * n + 1] = mesh_.y[n];
  }
  std::string title;
  appendBase64(title, mesh_.title);

  std::string json = "{\"title\":\"" + title + "\"";
  json += ",\"nodes\":" + std::to_string(mesh_.nodes());
  json += ",\"cells\":" + std::to_string(cells_.element.size());
  json += ",\"leftOut\":" + std::to_string(cells_.leftOut);
  json += ",\"xy\":\"" + base64Values(xy) + "\"";
  json += ",\"corners\":\"" + base64Values(cells_.corners) + "\"";
  json += ",\"element\":\"" + base64Values(cells_.element) + "\"";
  json += ",\"property\":\"" + base64Values(cells_.property) + "\"";
  json += ",\"la\":" + jsonList(la_);
  json += ",\"time\":" + jsonList(time_);
  json += ",\"fields\":[";
  for (std::size_t f = 0; f < series_.size(); ++f) {
    const ViewField& field = viewFields()[f];
    std::vector<int> predictions;
    for (Prediction p : series_[f].predictions()) predictions.push_back(static_cast<int>(p));
    json += f > 0 ? ",{" : "{";
    json += std::string("\"key\":\"") + field.key + "\",\"label\":\"" + field.label + "\",\"unit\":\"" + field.unit +
            "\",\"perNode\":" + (field.perNode ? "true" : "false");
    json += ",\"predictions\":" + jsonList(predictions);
    Range overall;
    json += ",\"ranges\":[";
    for (std::size_t s = 0; s < ranges_[f].size(); ++s) {
      const Range& range = ranges_[f][s];
      if (s > 0) json += ',';
      json += jsonRange(range);
      if (!range) continue;
      overall = overall ? std::pair{std::min(overall->first, range->first), std::max(overall->second, range->second)}
                        : *range;
    }
    json += "],\"overall\":" + jsonRange(overall);
    json += ",\"packed\":[";
    for (std::size_t s = 0; s < series_[f].packedSteps().size(); ++s) {
      json += s > 0 ? ",\"" : "\"";
      appendBase64(json, series_[f].packedSteps()[s]);
      json += '"';
    }
    json += "]}";
  }
  json += "]}";
  return json;
}

void HtmlView::write(const std::string& path, int unit) {
  const PagePieces page = splitPage();
  OutputFile out(path, unit);
  out.write(page.head);
  out.write(view::kStyle);
  out.write(page.betweenStyleAndData);
  out.write(dataJson());
  out.write(page.betweenDataAndScript);
  out.write(view::kScript);
  out.write(page.tail);
  out.commit();
}

}  // namespace gw::postvtk
