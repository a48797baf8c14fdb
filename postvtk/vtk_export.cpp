#include "vtk_export.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>
#include <type_traits>

#include "output_file.hpp"
#include "platform.hpp"
#include "node_averages.hpp"

namespace gw::postvtk {

namespace {

// Stores `count` values at `dst` as little-endian bytes.
template <typename T>
void storeLittleEndian(char* dst, const T* values, std::size_t count) {
  if constexpr (std::endian::native == std::endian::little || sizeof(T) == 1) {
    if (count > 0) std::memcpy(dst, values, count * sizeof(T));
  } else {
    for (std::size_t i = 0; i < count; ++i) {
      unsigned char bytes[sizeof(T)];
      std::memcpy(bytes, &values[i], sizeof(T));
      for (std::size_t b = 0; b < sizeof(T); ++b) dst[i * sizeof(T) + b] = static_cast<char>(bytes[sizeof(T) - 1 - b]);
    }
  }
}

// Appends `count` values to `out` as little-endian bytes.
template <typename T>
void appendLittleEndian(std::string& out, const T* values, std::size_t count) {
  const std::size_t at = out.size();
  out.resize(at + count * sizeof(T));
  storeLittleEndian(out.data() + at, values, count);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool allFinite(const double* values, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (!std::isfinite(values[i])) return false;
  }
  return true;
}

// Appends doubles as little-endian bytes, NaN in place of every value that is
// not a finite number.
void appendFloat64(std::string& out, const double* values, std::size_t count) {
  const std::size_t at = out.size();
  appendLittleEndian(out, values, count);
  for (std::size_t i = 0; i < count; ++i) {
    if (!std::isfinite(values[i])) storeLittleEndian(out.data() + at + i * sizeof(double), &kNaN, 1);
  }
}

template <typename T>
void appendNumber(std::string& out, T value) {
  char text[32];
  auto result = std::to_chars(text, text + sizeof text, value);
  out.append(text, result.ptr);
}

// Values in text, `perLine` to a line; "nan" for a value that is not a finite number.
template <typename T>
std::string asText(const T* values, std::size_t count, std::size_t perLine) {
  std::string out;
  out.reserve(count * 20);
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) out += i % perLine == 0 ? '\n' : ' ';
    if constexpr (std::is_floating_point_v<T>) {
      if (!std::isfinite(values[i])) {
        out += "nan";
        continue;
      }
    }
    appendNumber(out, +values[i]);
  }
  return out;
}

constexpr std::size_t kScalarsPerLine = 6;

// Values to a line in text: one tuple of a vector, six scalars.
std::size_t perLine(int components) { return components > 1 ? static_cast<std::size_t>(components) : kScalarsPerLine; }

void appendUInt64(std::string& out, std::uint64_t value) { appendLittleEndian(out, &value, 1); }

struct ArraySection {
  const char* tag;             // PointData, CellData, ...
  const char* attributes;      // extra attributes of the section element
  std::vector<const DataArray*> arrays;
};

// The .vtu text of one piece: the sections in order; in Binary the values of every
// array follow in the appended data section, in the order of the arrays.
void writeUnstructuredGrid(OutputFile& out, Encoding encoding, std::int32_t points, std::int32_t cells,
                           const ArraySection& field, const std::vector<ArraySection>& sections) {
  const bool binary = encoding == Encoding::Binary;
  std::uint64_t offset = 0;
  std::vector<const DataArray*> appended;
  auto element = [&](std::string& xml, const DataArray& array, const char* indent, bool oneTuple) {
    xml += indent;
    xml += '<';
    xml += array.tag();
    xml += " type=\"";
    xml += array.type;
    xml += '"';
    if (!array.name.empty()) {
      xml += " Name=\"";
      xml += array.name;
      xml += '"';
    }
    if (array.components != 1) {
      xml += " NumberOfComponents=\"";
      appendNumber(xml, array.components);
      xml += '"';
    }
    if (oneTuple) xml += " NumberOfTuples=\"1\"";
    if (binary) {
      xml += " format=\"appended\" offset=\"";
      appendNumber(xml, offset);
      xml += "\"/>\n";
      offset += 8 + array.content().size();
      appended.push_back(&array);
      return false;
    }
    xml += " format=\"ascii\">\n";
    return true;
  };

  std::string xml;
  xml += "<?xml version=\"1.0\"?>\n";
  xml += "<VTKFile type=\"UnstructuredGrid\" version=\"1.0\" byte_order=\"LittleEndian\" header_type=\"UInt64\">\n";
  xml += "  <UnstructuredGrid>\n";
  // Inline arrays are written as they come: the text so far, the values, the close tag.
  auto section = [&](const ArraySection& s, const char* indent, const char* arrayIndent, bool oneTuple) {
    xml += indent;
    xml += '<';
    xml += s.tag;
    xml += s.attributes;
    xml += ">\n";
    for (const DataArray* array : s.arrays) {
      if (element(xml, *array, arrayIndent, oneTuple)) {
        out.write(xml);
        xml.clear();
        out.write(array->content());
        xml += '\n';
        xml += arrayIndent;
        xml += "</";
        xml += array->tag();
        xml += ">\n";
      }
    }
    xml += indent;
    xml += "</";
    xml += s.tag;
    xml += ">\n";
  };
  section(field, "    ", "      ", true);
  xml += "    <Piece NumberOfPoints=\"";
  appendNumber(xml, points);
  xml += "\" NumberOfCells=\"";
  appendNumber(xml, cells);
  xml += "\">\n";
  for (const ArraySection& s : sections) section(s, "      ", "        ", false);
  xml += "    </Piece>\n";
  xml += "  </UnstructuredGrid>\n";
  if (binary) {
    xml += "  <AppendedData encoding=\"raw\">\n   _";
    out.write(xml);
    for (const DataArray* array : appended) {
      std::string header;
      appendUInt64(header, array->content().size());
      out.write(header);
      out.write(array->content());
    }
    xml.assign("\n  </AppendedData>\n");
  }
  xml += "</VTKFile>\n";
  out.write(xml);
}

}  // namespace

std::string formatDouble(double value) {
  std::string text;
  appendNumber(text, value);
  return text;
}

std::string xmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

DataArray Encoder::float64(std::string name, int components, const double* values, std::size_t tuples) {
  DataArray array{"Float64", std::move(name), components, {}, {}};
  refill(array, values, tuples);
  if (array.external.data() != nullptr) {  // a copy: the values need not outlive the call
    array.payload.assign(array.external);
    array.external = {};
  }
  return array;
}

void Encoder::refill(DataArray& array, const double* values, std::size_t tuples) {
  const std::size_t count = tuples * static_cast<std::size_t>(array.components);
  array.external = {};
  array.payload.clear();
  if (encoding_ == Encoding::Ascii) {
    array.payload = asText(values, count, perLine(array.components));
  } else if (std::endian::native == std::endian::little && count > 0 && allFinite(values, count)) {
    array.external = std::string_view(reinterpret_cast<const char*>(values), count * sizeof(double));
  } else {
    appendFloat64(array.payload, values, count);
  }
}

void Encoder::refill(DataArray& array, const std::int32_t* values, std::size_t count) {
  array.external = {};
  array.payload.clear();
  if (encoding_ == Encoding::Ascii) {
    array.payload = asText(values, count, kScalarsPerLine);
  } else if (std::endian::native == std::endian::little && count > 0) {
    array.external = std::string_view(reinterpret_cast<const char*>(values), count * sizeof(std::int32_t));
  } else {
    appendLittleEndian(array.payload, values, count);
  }
}

DataArray Encoder::int32(std::string name, const std::int32_t* values, std::size_t count) {
  DataArray array{"Int32", std::move(name), 1, {}, {}};
  if (encoding_ == Encoding::Binary) {
    appendLittleEndian(array.payload, values, count);
  } else {
    array.payload = asText(values, count, kScalarsPerLine);
  }
  return array;
}

DataArray Encoder::uint8(std::string name, const std::uint8_t* values, std::size_t count) {
  DataArray array{"UInt8", std::move(name), 1, {}, {}};
  if (encoding_ == Encoding::Binary) {
    appendLittleEndian(array.payload, values, count);
  } else {
    array.payload = asText(values, count, kScalarsPerLine);
  }
  return array;
}

// A string is its bytes and a closing 0; text gives each byte as a number.
DataArray Encoder::string(std::string name, std::string_view text) {
  DataArray array{"String", std::move(name), 1, {}, {}};
  std::string bytes(text);
  bytes += '\0';
  if (encoding_ == Encoding::Binary) {
    array.payload = std::move(bytes);
  } else {
    std::vector<std::uint8_t> codes(bytes.begin(), bytes.end());
    array.payload = asText(codes.data(), codes.size(), codes.size());
  }
  return array;
}

DataArray Encoder::int32Rows(std::string name, const std::vector<std::int32_t>& values,
                             const std::vector<std::int32_t>& rowEnds) {
  if (encoding_ == Encoding::Binary) return int32(std::move(name), values.data(), values.size());
  DataArray array{"Int32", std::move(name), 1, {}, {}};
  std::string& out = array.payload;
  std::size_t row = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) {
      bool rowStarts = row < rowEnds.size() && i == static_cast<std::size_t>(rowEnds[row]);
      if (rowStarts) ++row;
      out += rowStarts ? '\n' : ' ';
    }
    appendNumber(out, values[i]);
  }
  return array;
}

namespace {

// The title without its blank padding; a NUL byte would end the string early and
// shows as a blank.
std::string titleText(const std::string& title) {
  std::string text = title.substr(0, title.find_last_not_of(' ') + 1);
  for (char& c : text) {
    if (c == '\0') c = ' ';
  }
  return text;
}

}  // namespace

MeshArrays buildMeshArrays(const Mesh& mesh, Encoder& encoder) {
  MeshArrays arrays;
  const std::size_t nodes = static_cast<std::size_t>(mesh.nodes());
  arrays.points = mesh.nodes();

  std::vector<double> coordinates(3 * nodes);
  for (std::size_t n = 0; n < nodes; ++n) {
    coordinates[3 * n] = mesh.x[n];
    coordinates[3 * n + 1] = mesh.y[n];
    coordinates[3 * n + 2] = 0.0;
  }

  std::vector<std::int32_t> connectivity, offsets, property;
  std::vector<double> elv;
  std::vector<std::uint8_t> types, active;
  const std::size_t elements = static_cast<std::size_t>(mesh.elements());
  connectivity.reserve(4 * elements);
  offsets.reserve(elements);
  types.reserve(elements);
  property.reserve(elements);
  elv.reserve(elements);
  active.reserve(elements);
  arrays.cellElements.reserve(elements);
  for (std::int32_t e = 1; e <= mesh.elements(); ++e) {
    if (!drawable(mesh, e)) {
      if (arrays.leftOut++ == 0) arrays.firstLeftOut = e;
      continue;
    }
    const int k = drawnCorners(mesh, e);
    for (int c = 1; c <= k; ++c) connectivity.push_back(mesh.corner(e, c) - 1);
    offsets.push_back(static_cast<std::int32_t>(connectivity.size()));
    types.push_back(k == 3 ? kVtkTriangle : kVtkQuad);
    property.push_back(mesh.property(e));
    elv.push_back(mesh.elv[static_cast<std::size_t>(e - 1)]);
    active.push_back(isActive(mesh, e) ? 1 : 0);
    arrays.cellElements.push_back(e);
  }
  arrays.cells = static_cast<std::int32_t>(arrays.cellElements.size());

  arrays.coordinates = encoder.float64("Points", 3, coordinates.data(), nodes);
  arrays.connectivity = encoder.int32Rows("connectivity", connectivity, offsets);
  arrays.offsets = encoder.int32("offsets", offsets.data(), offsets.size());
  arrays.types = encoder.uint8("types", types.data(), types.size());
  arrays.aux = encoder.float64("AUX", 1, mesh.aux.data(), nodes);
  arrays.bl = encoder.float64("BL", 1, mesh.bl.data(), nodes);
  arrays.ncode = encoder.int32("NCODE", mesh.ncode.data(), nodes);
  arrays.property = encoder.int32("property", property.data(), property.size());
  arrays.element = encoder.int32("element", arrays.cellElements.data(), arrays.cellElements.size());
  arrays.elv = encoder.float64("ELV", 1, elv.data(), elv.size());
  arrays.active = encoder.uint8("active", active.data(), active.size());
  arrays.title = encoder.string("TITLE", titleText(mesh.title));
  return arrays;
}

StepWriter::StepWriter(const Mesh& mesh, Encoding encoding)
    : source_(mesh), encoder_(encoding), mesh_(buildMeshArrays(mesh, encoder_)) {
  const std::size_t nodes = static_cast<std::size_t>(mesh_.points);
  const std::size_t cells = static_cast<std::size_t>(mesh_.cells);
  velocity_.assign(3 * nodes, 0.0);
  speed_.assign(nodes, 0.0);
  dVelocity_.assign(3 * nodes, 0.0);
  dSpeed_.assign(nodes, 0.0);
  cellVelocity_.assign(3 * cells, 0.0);
  cellDVelocity_.assign(3 * cells, 0.0);
  d_.assign(cells, 0.0);
  auto named = [](std::string name, int components) { return DataArray{"Float64", std::move(name), components, {}, {}}; };
  istat_ = DataArray{"Int32", "ISTAT", 1, {}, {}};
  h_ = named("H", 1);
  q_ = named("Q", 1);
  velocityArray_ = named("velocity", 3);
  speedArray_ = named("velocity_magnitude", 1);
  dVelocityArray_ = named("D_velocity", 3);
  dSpeedArray_ = named("D_velocity_magnitude", 1);
  cellVelocityArray_ = named("velocity", 3);
  cellDVelocityArray_ = named("D_velocity", 3);
  dArray_ = named("D", 1);
}

void StepWriter::write(const Step& step, double timeValue, const std::string& path, int unit) {
  const std::size_t nodes = static_cast<std::size_t>(mesh_.points);
  const std::size_t cells = static_cast<std::size_t>(mesh_.cells);
  averageNodalVelocities(source_, step, work_);

  // Point values: node means of DVX/D, DVY/D (velocity) and of DVX, DVY (D_velocity).
  for (std::size_t i = 0; i < nodes; ++i) {
    velocity_[3 * i] = work_.wvxd[i];
    velocity_[3 * i + 1] = work_.wvyd[i];
    speed_[i] = magnitude(work_.wvxd[i], work_.wvyd[i]);
    dVelocity_[3 * i] = work_.wvx[i];
    dVelocity_[3 * i + 1] = work_.wvy[i];
    dSpeed_[i] = magnitude(work_.wvx[i], work_.wvy[i]);
  }
  // Cell values of the elements kept as cells.
  for (std::size_t c = 0; c < cells; ++c) {
    const std::size_t e = static_cast<std::size_t>(mesh_.cellElements[c] - 1);
    const double d = step.d[e];
    cellVelocity_[3 * c] = step.dvx[e] / d;
    cellVelocity_[3 * c + 1] = step.dvy[e] / d;
    cellDVelocity_[3 * c] = step.dvx[e];
    cellDVelocity_[3 * c + 1] = step.dvy[e];
    d_[c] = d;
  }

  timeValue_ = encoder_.float64("TimeValue", 1, &timeValue, 1);
  time_ = encoder_.float64("TIME", 1, &step.time, 1);
  number_ = encoder_.int32("step", &step.la, 1);
  encoder_.refill(istat_, step.istat.data(), nodes);
  encoder_.refill(h_, step.h.data(), nodes);
  encoder_.refill(q_, step.q.data(), nodes);
  encoder_.refill(velocityArray_, velocity_.data(), nodes);
  encoder_.refill(speedArray_, speed_.data(), nodes);
  encoder_.refill(dVelocityArray_, dVelocity_.data(), nodes);
  encoder_.refill(dSpeedArray_, dSpeed_.data(), nodes);
  encoder_.refill(cellVelocityArray_, cellVelocity_.data(), cells);
  encoder_.refill(cellDVelocityArray_, cellDVelocity_.data(), cells);
  encoder_.refill(dArray_, d_.data(), cells);

  ArraySection field{"FieldData", "", {&timeValue_, &time_, &number_, &mesh_.title}};
  std::vector<ArraySection> sections{
      {"PointData", " Scalars=\"H\" Vectors=\"velocity\"",
       {&h_, &q_, &mesh_.bl, &velocityArray_, &speedArray_, &dVelocityArray_, &dSpeedArray_, &istat_, &mesh_.aux,
        &mesh_.ncode}},
      {"CellData", " Scalars=\"property\" Vectors=\"velocity\"",
       {&cellVelocityArray_, &cellDVelocityArray_, &dArray_, &mesh_.property, &mesh_.element, &mesh_.elv,
        &mesh_.active}},
      {"Points", "", {&mesh_.coordinates}},
      {"Cells", "", {&mesh_.connectivity, &mesh_.offsets, &mesh_.types}},
  };
  OutputFile out(path, unit);
  writeUnstructuredGrid(out, encoder_.encoding(), mesh_.points, mesh_.cells, field, sections);
  out.commit();
}

void writeCollection(const std::string& path, int unit, const std::vector<CollectionEntry>& entries) {
  std::string xml;
  xml += "<?xml version=\"1.0\"?>\n";
  xml += "<VTKFile type=\"Collection\" version=\"1.0\" byte_order=\"LittleEndian\" header_type=\"UInt64\">\n";
  xml += "  <Collection>\n";
  for (const CollectionEntry& entry : entries) {
    xml += "    <DataSet timestep=\"";
    xml += formatDouble(entry.time);
    xml += "\" group=\"\" part=\"0\" file=\"";
    xml += xmlEscape(platform::nameInUtf8(entry.file));  // XML text is UTF-8
    xml += "\"/>\n";
  }
  xml += "  </Collection>\n";
  xml += "</VTKFile>\n";
  OutputFile out(path, unit);
  out.write(xml);
  out.commit();
}

std::string timeOrderWarning(const std::vector<CollectionEntry>& entries) {
  std::string first;
  std::size_t count = 0;
  for (std::size_t k = 1; k < entries.size(); ++k) {
    const CollectionEntry& before = entries[k - 1];
    const CollectionEntry& after = entries[k];
    if (after.time > before.time) continue;
    if (count++ == 0) {
      first = "step " + std::to_string(after.la) + " (" + after.file + ") has time " + formatDouble(after.time) +
              ", not above the time " + formatDouble(before.time) + " of step " + std::to_string(before.la) + " (" +
              before.file + ")";
    }
  }
  if (count == 0) return {};
  if (count > 1) first += ", and " + std::to_string(count - 1) + " more step(s) do not follow in time";
  return first + "; a viewer draws such steps at one time: --time index gives each step its position as its time";
}

}  // namespace gw::postvtk
