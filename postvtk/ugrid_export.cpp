#include "ugrid_export.hpp"

#include <cmath>
#include <limits>

#include "platform.hpp"

namespace gw::postvtk {

namespace {

using netcdf::Attribute;
using netcdf::Type;

// Dimensions, in the order of the schema.
enum Dim : std::size_t { kNode, kFace, kMaxFaceNodes, kElement, kTime };

// The value of a face corner that a triangle does not have.
constexpr std::int32_t kNoCorner = -1;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A value derived by division, NaN where it is not a finite number (D = 0), so
// that viewers leave it out of their colour ranges.
double finiteOrNaN(double value) { return std::isfinite(value) ? value : kNaN; }

// The title without its blank padding, as UTF-8 text (netCDF text is UTF-8);
// a NUL byte shows as a blank.
std::string titleText(const std::string& title) {
  std::string text = title.substr(0, title.find_last_not_of(' ') + 1);
  for (char& c : text) {
    if (c == '\0') c = ' ';
  }
  return platform::cp932ToUtf8(text);
}

std::string plural(const std::string& timeUnit) { return timeUnit + "s"; }

// Unit symbols of time as units of measure take them.
std::string timeSymbol(const std::string& timeUnit) {
  if (timeUnit == "minute") return "min";
  if (timeUnit == "hour") return "h";
  if (timeUnit == "day") return "d";
  return "s";
}

class SchemaBuilder {
 public:
  SchemaBuilder(const Mesh& mesh, const NetcdfSettings& settings, std::size_t faces, const std::string& source)
      : settings_(settings) {
    const std::string& length = settings.lengthUnit;
    const std::string velocity = length + "/" + timeSymbol(settings.timeUnit);
    const std::string dVelocity = length + "2/" + timeSymbol(settings.timeUnit);
    const Type real = settings.single ? Type::Float : Type::Double;

    schema_.dimensions = {{"node", static_cast<std::uint64_t>(mesh.nodes())},
                          {"face", faces},
                          {"max_face_nodes", 4},
                          {"element", static_cast<std::uint64_t>(mesh.elements())},
                          {"time", 0}};
    schema_.attributes = {
        netcdf::text("Conventions", "CF-1.8 UGRID-1.0"),
        netcdf::text("title", titleText(mesh.title)),
        netcdf::text("source", source),
        netcdf::text("comment",
                     "The faces of the mesh are the active elements (property number above 0); every element, "
                     "inactive ones too, keeps its values by its number on the element dimension (element_*)."),
    };

    // The mesh: its topology, coordinate system, nodes and faces.
    add("mesh", Type::Int, {},
        {netcdf::text("cf_role", "mesh_topology"), netcdf::text("long_name", "Mesh of the active elements"),
         netcdf::ints("topology_dimension", {2}), netcdf::text("node_coordinates", "node_x node_y"),
         netcdf::text("face_node_connectivity", "face_nodes"), netcdf::text("face_dimension", "face")});
    if (settings.epsg > 0) {
      const std::string code = "EPSG:" + std::to_string(settings.epsg);
      add("projected_coordinate_system", Type::Int, {},
          {netcdf::text("long_name", "Coordinate system of the mesh"), netcdf::ints("epsg", {settings.epsg}),
           netcdf::text("EPSG_code", code), netcdf::text("epsg_code", code)});
    }
    add("node_x", Type::Double, {kNode}, coordinate("projection_x_coordinate", "X"));
    add("node_y", Type::Double, {kNode}, coordinate("projection_y_coordinate", "Y"));
    add("face_nodes", Type::Int, {kFace, kMaxFaceNodes},
        {netcdf::text("cf_role", "face_node_connectivity"),
         netcdf::text("long_name", "Corner nodes of each face, counter-clockwise, by node number"),
         netcdf::ints("start_index", {1}), netcdf::ints("_FillValue", {kNoCorner})});
    add("face_element", Type::Int, {kFace}, located("face", "Element number"));
    add("face_property", Type::Int, {kFace}, located("face", "Property number"));
    add("face_ELV", real, {kFace}, located("face", "ELV"));
    add("AUX", real, {kNode}, located("node", "AUX"));
    add("BL", real, {kNode}, located("node", "BL"));
    add("NCODE", Type::Int, {kNode}, located("node", "NCODE, node code"));
    add("element_nodes", Type::Int, {kElement, kMaxFaceNodes},
        {netcdf::text("long_name", "Corner nodes IE(e,1..4) of every element as stored")});
    add("element_property", Type::Int, {kElement},
        {netcdf::text("long_name", "Property number of every element (active above 0)")});
    add("element_ELV", real, {kElement}, {netcdf::text("long_name", "ELV of every element")});

    // Each step: its time, then node, face and element values.
    const std::string since = plural(settings.timeUnit) + " since " + settings.start;
    add("time", Type::Double, {kTime},
        {netcdf::text("standard_name", "time"), netcdf::text("long_name", "Time"), netcdf::text("units", since),
         netcdf::text("calendar", "standard"), netcdf::text("axis", "T")});
    add("TIME", Type::Double, {kTime},
        {netcdf::text("long_name", "TIME of the step in the result file, in " + plural(settings.timeUnit))});
    add("step", Type::Int, {kTime}, {netcdf::text("long_name", "Step number LA")});
    add("H", real, {kTime, kNode}, located("node", "H, total head [" + length + "]", length));
    add("Q", real, {kTime, kNode}, located("node", "Q"));
    add("ISTAT", Type::Double, {kTime, kNode}, located("node", "ISTAT, node status"));
    addVector("velocity", real, kNode, "Velocity, node mean", velocity);
    addVector("D_velocity", real, kNode, "D*velocity, node mean", dVelocity);
    addVector("face_velocity", real, kFace, "Velocity", velocity);
    add("face_D", real, {kTime, kFace}, located("face", "D [" + length + "]", length));
    add("element_DVX", real, {kTime, kElement},
        {netcdf::text("long_name", "DVX, velocity x D, of every element"), netcdf::text("units", dVelocity)});
    add("element_DVY", real, {kTime, kElement},
        {netcdf::text("long_name", "DVY, velocity y D, of every element"), netcdf::text("units", dVelocity)});
    add("element_D", real, {kTime, kElement},
        {netcdf::text("long_name", "D of every element"), netcdf::text("units", length)});
  }

  netcdf::Schema take() { return std::move(schema_); }

 private:
  void add(std::string name, Type type, std::vector<std::size_t> dims, std::vector<Attribute> attributes) {
    schema_.variables.push_back({std::move(name), type, std::move(dims), std::move(attributes)});
  }

  // The two components NAME_x and NAME_y of a vector of each step, labelled so
  // that mesh layers pair them as one vector: "LABEL [UNIT], x-component".
  void addVector(const std::string& name, Type type, Dim place, const std::string& label, const std::string& unit) {
    const char* location = place == kNode ? "node" : "face";
    for (const char* axis : {"x", "y"}) {
      add(name + "_" + axis, type, {kTime, place},
          located(location, label + " [" + unit + "], " + axis + "-component", unit));
    }
  }

  std::vector<Attribute> coordinate(const char* standardName, const char* label) const {
    std::vector<Attribute> attributes{netcdf::text("standard_name", standardName),
                                      netcdf::text("long_name", label), netcdf::text("units", settings_.lengthUnit)};
    if (settings_.epsg > 0) attributes.push_back(netcdf::text("grid_mapping", "projected_coordinate_system"));
    return attributes;
  }

  // A variable on the mesh: its place, its label and its unit (when known).
  std::vector<Attribute> located(const char* location, const std::string& label, const std::string& unit = {}) const {
    std::vector<Attribute> attributes{netcdf::text("mesh", "mesh"), netcdf::text("location", location),
                                      netcdf::text("long_name", label)};
    if (!unit.empty()) attributes.push_back(netcdf::text("units", unit));
    if (settings_.epsg > 0) attributes.push_back(netcdf::text("grid_mapping", "projected_coordinate_system"));
    return attributes;
  }

  const NetcdfSettings& settings_;
  netcdf::Schema schema_;
};

}  // namespace

std::vector<std::int32_t> faceElements(const Mesh& mesh) {
  std::vector<std::int32_t> faces;
  for (std::int32_t e = 1; e <= mesh.elements(); ++e) {
    if (isActive(mesh, e) && drawable(mesh, e)) faces.push_back(e);
  }
  return faces;
}

std::string netcdfMeshRefusal(const Mesh& mesh) {
  if (mesh.nodes() == 0) return "the result file holds no node, and a netCDF mesh needs at least one";
  if (faceElements(mesh).empty()) {
    return "the result file holds no active element that can be drawn, and a netCDF mesh needs at least one";
  }
  return {};
}

UgridExport::UgridExport(const Mesh& mesh, const NetcdfSettings& settings, const std::string& path, int unit,
                         const std::string& source)
    : mesh_(mesh),
      faces_(faceElements(mesh)),
      file_(path, unit, SchemaBuilder(mesh, settings, faces_.size(), source).take()) {
  const std::size_t nodes = static_cast<std::size_t>(mesh.nodes());
  const std::size_t elements = static_cast<std::size_t>(mesh.elements());
  const std::size_t faces = faces_.size();
  std::size_t v = 0;  // the variables in the order of the schema
  auto next = [&] { return v++; };

  const std::int32_t zero = 0;
  file_.write(next(), &zero, 1);  // mesh
  if (settings.epsg > 0) file_.write(next(), &zero, 1);

  std::vector<double> shifted(nodes);
  for (std::size_t n = 0; n < nodes; ++n) shifted[n] = mesh.x[n] + settings.shiftX;
  file_.write(next(), shifted.data(), nodes);
  for (std::size_t n = 0; n < nodes; ++n) shifted[n] = mesh.y[n] + settings.shiftY;
  file_.write(next(), shifted.data(), nodes);

  std::vector<std::int32_t> ints(4 * faces);
  for (std::size_t f = 0; f < faces; ++f) {
    const std::int32_t e = faces_[f];
    const int k = drawnCorners(mesh, e);
    for (int c = 1; c <= 4; ++c) ints[4 * f + static_cast<std::size_t>(c - 1)] = c <= k ? mesh.corner(e, c) : kNoCorner;
  }
  file_.write(next(), ints.data(), ints.size());
  file_.write(next(), faces_.data(), faces);
  ints.resize(faces);
  for (std::size_t f = 0; f < faces; ++f) ints[f] = mesh.property(faces_[f]);
  file_.write(next(), ints.data(), faces);
  faceValues_.resize(faces);
  for (std::size_t f = 0; f < faces; ++f) faceValues_[f] = mesh.elv[static_cast<std::size_t>(faces_[f] - 1)];
  file_.write(next(), faceValues_.data(), faces);

  file_.write(next(), mesh.aux.data(), nodes);
  file_.write(next(), mesh.bl.data(), nodes);
  file_.write(next(), mesh.ncode.data(), nodes);

  ints.resize(4 * elements);
  for (std::size_t e = 0; e < elements; ++e) {
    for (std::size_t c = 0; c < 4; ++c) ints[4 * e + c] = mesh.ie[5 * e + c];
  }
  file_.write(next(), ints.data(), ints.size());
  ints.resize(elements);
  for (std::size_t e = 0; e < elements; ++e) ints[e] = mesh.ie[5 * e + 4];
  file_.write(next(), ints.data(), elements);
  file_.write(next(), mesh.elv.data(), elements);
}

void UgridExport::addStep(const Step& step, double timeValue) {
  const std::size_t nodes = static_cast<std::size_t>(mesh_.nodes());
  const std::size_t elements = static_cast<std::size_t>(mesh_.elements());
  const std::size_t faces = faces_.size();
  std::size_t v = file_.variableNamed("time");
  auto next = [&] { return v++; };

  file_.write(next(), &timeValue, 1);
  file_.write(next(), &step.time, 1);
  file_.write(next(), &step.la, 1);
  file_.write(next(), step.h.data(), nodes);
  file_.write(next(), step.q.data(), nodes);
  // ISTAT as doubles: a reader of mesh layers takes step values of reals only.
  statusValues_.assign(step.istat.begin(), step.istat.end());
  file_.write(next(), statusValues_.data(), nodes);

  averageNodalVelocities(mesh_, step, work_);
  auto finite = [](RunArray<double>& values) {
    for (double& value : values) value = finiteOrNaN(value);
    return values.data();
  };
  file_.write(next(), finite(work_.wvxd), nodes);
  file_.write(next(), finite(work_.wvyd), nodes);
  file_.write(next(), finite(work_.wvx), nodes);
  file_.write(next(), finite(work_.wvy), nodes);

  auto perFace = [&](auto valueOf) {
    for (std::size_t f = 0; f < faces; ++f) faceValues_[f] = valueOf(static_cast<std::size_t>(faces_[f] - 1));
    return faceValues_.data();
  };
  file_.write(next(), perFace([&](std::size_t e) { return finiteOrNaN(step.dvx[e] / step.d[e]); }), faces);
  file_.write(next(), perFace([&](std::size_t e) { return finiteOrNaN(step.dvy[e] / step.d[e]); }), faces);
  file_.write(next(), perFace([&](std::size_t e) { return step.d[e]; }), faces);

  file_.write(next(), step.dvx.data(), elements);
  file_.write(next(), step.dvy.data(), elements);
  file_.write(next(), step.d.data(), elements);
  file_.endRecord();
}

}  // namespace gw::postvtk
