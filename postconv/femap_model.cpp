// FEMAP neutral file, the part written once before the steps: the header, one
// material, the properties, the nodes and the elements (model writer), then the
// element group of the active elements (group writer).
#include <string>

#include "fault.hpp"
#include "femap_blocks.hpp"
#include "line_blocks.hpp"
#include "writers.hpp"

namespace gw::postconv {

namespace {

using femap::TextRun;

// The property record shows the property number in five columns.
constexpr std::int32_t kLargestProperty = 99999;

// Block 100, header: the (blank) title and the format version.
constexpr TextRun kHeader[] = {
    {1, " "},
    {1, "4.5,"},
};

// Block 401: material 1, all of its values zero.
constexpr TextRun kMaterial[] = {
    {1, "1,55,0,1,0,"},
    {1, " "},
    {3, "0.,0.,0.,"},
    {4, "0.,0.,0.,0.,0.,"},
    {1, "0.,"},
    {1, "0.,0.,0.,0.,0.,"},
    {1, "0.,"},
    {1, "0.,0.,0.,0.,0.,"},
    {1, "0.,"},
    {1, "0.,0.,0.,0.,0.,"},
    {1, "0.,"},
    {1, "0.,0.,0.,0.,"},
    {5, "0.,0.,0.,0.,0.,"},
    {1, "0.,"},
    {1, "0.,0.,0.,0.,0.,"},
    {1, "0.,0.,0.,"},
    {1, "0.,0.,0.,0,0,"},
    {1, "0,0,0,0,0,"},
    {1, "0,0,0,0,0,0,"},
    {1, "0.,0.,0.,"},
    {1, "0.,0.,0.,0.,0.,"},
    {1, "0.,0.,"},
    {2, "0,0,0,0,"},
};

// Block 402: the first record of property p (material 1), then its constant records.
const Format kPropertyHead("(I5,A14)");
constexpr std::string_view kPropertyHeadText = ",110,1,19,1,0,";
constexpr TextRun kPropertyBody[] = {
    {1, " "},
    {1, "0,0,0,0,"},
    {1, "45,"},
    {5, "0,0,0,0,0,0,0,0,"},
    {1, "0,0,0,0,0,"},
    {1, "93,"},
    {18, "0.,0.,0.,0.,0.,"},
    {1, "0.,0.,0.,"},
};

// Block 403: one node, its coordinates as 32-bit reals, the third one zero.
const Format kNode("(I7,A22,1P,E13.6,A1,1P,E13.6,A1,1P,E13.6)");
constexpr std::string_view kNodeText = ",0,0,1,46,0,0,0,0,0,0,";

// Block 404: the records of one element after its first (free-form) record.
const Format kElementCorners("(10(I7,','))");
constexpr TextRun kElementTail[] = {
    {1, "0,0,0,0,0,0,0,0,0,0,"},
    {3, "0.,0.,0.,"},
    {1, "0,0,0,0,0,0,0,0,0,0,0,0,"},
};

// Block 408: the element group.
const Format kGroupTitle("('ELEM-GROUP 0 ')");
constexpr TextRun kGroupHead[] = {
    {1, "0,0,0"},
    {1, "0,0,0,0,0.,0."},
    {1, "0,0"},
};
constexpr TextRun kGroupRule[] = {
    {1, "0,0"},
    {2, "0.,0.,0."},
};
constexpr TextRun kGroupListHead[] = {
    {1, "38"},
    {1, "21"},
};
constexpr TextRun kGroupTail[] = {
    {1, "-1,-1,-1,-1,"},
    {1, "-1"},
    {1, "15"},
    {1, "-1"},
};

// Three-corner element: the fourth corner repeats the third or is 0.
bool hasThreeCorners(const Mesh& mesh, std::int32_t e) {
  const std::int32_t l = mesh.corner(e, 4);
  return l == mesh.corner(e, 3) || l == 0;
}

// The largest property number, at least 1. A number the property record cannot
// show would also ask for that many property records: the conversion is refused
// before anything reaches the output file.
std::int32_t propertyCount(TextOut& out, const Mesh& mesh) {
  std::int32_t count = 1;
  for (std::int32_t e = 1; e <= mesh.elements(); ++e) {
    const std::int32_t p = mesh.property(e);
    if (p > kLargestProperty) {
      throw Fault(FaultKind::Refused, out.unit(), out.name(),
                  "element " + std::to_string(e) + " has property number " + std::to_string(p) +
                      ", above " + std::to_string(kLargestProperty) +
                      ", the largest a FEMAP property record holds");
    }
    if (p > count) count = p;
  }
  return count;
}

}  // namespace

void writeFemapModel(TextOut& out, const Mesh& mesh) {
  const std::int32_t properties = propertyCount(out, mesh);

  femap::beginBlock(out, 100);
  femap::writeTextRuns(out, kHeader);
  femap::endBlock(out);

  femap::beginBlock(out, 401);
  femap::writeTextRuns(out, kMaterial);
  femap::endBlock(out);

  femap::beginBlock(out, 402);
  for (std::int32_t p = 1; p <= properties; ++p) {
    kPropertyHead(out, p, kPropertyHeadText);
    femap::writeTextRuns(out, kPropertyBody);
  }
  femap::endBlock(out);

  femap::beginBlock(out, 403);
  writeLines(out, static_cast<std::size_t>(mesh.nodes()), 70, [&](TextOut& o, std::size_t i) {
    kNode(o, static_cast<std::int32_t>(i + 1), kNodeText, single(mesh.x[i]), ",", single(mesh.y[i]), ",", 0.0f);
  });
  femap::endBlock(out);

  femap::beginBlock(out, 404);
  writeLines(out, static_cast<std::size_t>(mesh.elements()), 300, [&](TextOut& o, std::size_t k) {
    const auto e = static_cast<std::int32_t>(k + 1);
    const bool three = hasThreeCorners(mesh, e);
    writeFree(o, e, ",124,", mesh.property(e), ",19,", three ? 2 : 4, ",1,0,0,");
    kElementCorners(o, mesh.corner(e, 1), mesh.corner(e, 2), mesh.corner(e, 3), three ? 0 : mesh.corner(e, 4), 0,
                    0, 0, 0, 0, 0);
    femap::writeTextRuns(o, kElementTail);
  });
  femap::endBlock(out);
}

void writeFemapGroup(TextOut& out, const Mesh& mesh, Counters& counters) {
  counters.femapNextId += 1;

  femap::beginBlock(out, 408);
  writeFree(out, counters.femapNextId, ",1");
  kGroupTitle(out);
  femap::writeTextRuns(out, kGroupHead);
  for (int rule = 0; rule < 6; ++rule) femap::writeTextRuns(out, kGroupRule);
  femap::writeTextRuns(out, kGroupListHead);
  for (std::int32_t e = 1; e <= mesh.elements(); ++e) {
    if (mesh.property(e) > 0) writeFree(out, e, ",", "0,1,1,");
  }
  femap::writeTextRuns(out, kGroupTail);
  femap::endBlock(out);
}

}  // namespace gw::postconv
