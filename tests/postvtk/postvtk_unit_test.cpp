// postvtk's command line, the mesh part of its files, the text encoding and the
// way it puts files in place.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "fault.hpp"
#include "options.hpp"
#include "output_file.hpp"
#include "scratch_files.hpp"
#include "vtk_export.hpp"

namespace gw::postvtk {
namespace {

Options parse(std::vector<std::string> args) { return parseOptions(args); }

TEST(PostvtkOptionsTest, DefaultsAndEveryOption) {
  Options plain = parse({"run.RES"});
  EXPECT_EQ(plain.resultFile, "run.RES");
  EXPECT_EQ(plain.outDir, ".");
  EXPECT_EQ(plain.base, "");
  EXPECT_EQ(plain.steps, StepChoice::All);
  EXPECT_FALSE(plain.ascii);
  EXPECT_TRUE(plain.vtk);
  EXPECT_FALSE(plain.html);
  EXPECT_EQ(plain.time, TimeChoice::Value);

  Options full = parse({"-o", "out/dir", "--steps", "3,-1,7", "--name", "case", "--ascii", "--time", "index", "run.RES"});
  EXPECT_EQ(full.outDir, "out/dir");
  EXPECT_EQ(full.steps, StepChoice::Numbered);
  EXPECT_EQ(full.numbers, (std::vector<std::int32_t>{3, -1, 7}));
  EXPECT_EQ(full.base, "case");
  EXPECT_TRUE(full.ascii);
  EXPECT_EQ(full.time, TimeChoice::Index);

  EXPECT_EQ(parse({"--steps=last", "r"}).steps, StepChoice::Last);
  // The page beside the VTK files, or instead of them.
  Options beside = parse({"r", "--html"});
  EXPECT_TRUE(beside.html && beside.vtk);
  Options instead = parse({"r", "--html-only"});
  EXPECT_TRUE(instead.html && !instead.vtk);
  // The last --steps counts, and a choice of all drops earlier numbers.
  Options again = parse({"--steps", "4", "--steps", "all", "r"});
  EXPECT_EQ(again.steps, StepChoice::All);
  EXPECT_TRUE(again.numbers.empty());
  // After "--" a name that starts with '-' is the result file.
  EXPECT_EQ(parse({"--", "-odd.RES"}).resultFile, "-odd.RES");
  EXPECT_TRUE(parse({"--help"}).help);
}

TEST(PostvtkOptionsTest, BadCommandLinesAreRefused) {
  const std::vector<std::vector<std::string>> bad = {
      {},                               // no result file
      {"a.RES", "b.RES"},               // two
      {"--frobnicate", "a.RES"},        // unknown option
      {"a.RES", "-o"},                  // value missing
      {"a.RES", "-o", ""},              // empty directory
      {"a.RES", "--steps", "first"},    // not a choice
      {"a.RES", "--steps", "1,,2"},     // empty item
      {"a.RES", "--steps", "1,"},       // trailing comma
      {"a.RES", "--steps", "2x"},       // not a whole number
      {"a.RES", "--steps", "3000000000"},  // beyond a step number
      {"a.RES", "--steps="},            // empty
      {"a.RES", "--name", "sub/base"},  // directory part in the name
      {"a.RES", "--name", ".."},
      {"a.RES", "--name", ""},
      {"a.RES", "--ascii=yes"},         // flag with a value
      {"a.RES", "--html=1"},
      {"a.RES", "--html-only", "--ascii"},  // text VTK files, but none written
      {"a.RES", "--time", "TIME"},      // not a choice
      {"a.RES", "--netcdf-only", "--ascii"},
      {"a.RES", "--crs", "EPSG:6677"},  // a netCDF option without the netCDF file
      {"a.RES", "--single"},
      {"a.RES", "--netcdf", "--crs", "6677"},        // no EPSG:
      {"a.RES", "--netcdf", "--crs", "EPSG:"},
      {"a.RES", "--netcdf", "--crs", "EPSG:66a7"},
      {"a.RES", "--netcdf", "--crs", "EPSG:0"},
      {"a.RES", "--netcdf", "--shift", "10"},        // one number
      {"a.RES", "--netcdf", "--shift", "10,x"},
      {"a.RES", "--netcdf", "--shift", "10,inf"},
      {"a.RES", "--netcdf", "--shift", "1,2,3"},
      {"a.RES", "--netcdf", "--time-unit", "week"},
      {"a.RES", "--netcdf", "--time-unit", "s"},
      {"a.RES", "--netcdf", "--start", "2001-02-29"},  // no such day
      {"a.RES", "--netcdf", "--start", "2000-13-01"},
      {"a.RES", "--netcdf", "--start", "2000-1-01"},
      {"a.RES", "--netcdf", "--start", "2000-01-01T24:00"},
      {"a.RES", "--netcdf", "--start", "2000-01-01T10"},
      {"a.RES", "--netcdf", "--start", "2000-01-01 10:00:60"},
      {"a.RES", "--netcdf", "--start", "2000-01-01x10:00"},
      {"a.RES", "--netcdf", "--length-unit", "m2"},
  };
  for (const auto& args : bad) {
    std::string line;
    for (const auto& a : args) line += "'" + a + "' ";
    EXPECT_THROW(parseOptions(args), UsageError) << line;
  }
}

TEST(PostvtkOptionsTest, NetcdfOptions) {
  Options beside = parse({"r", "--netcdf"});
  EXPECT_TRUE(beside.netcdf && beside.vtk);
  EXPECT_EQ(beside.netcdfSettings.start, "2000-01-01 00:00:00");
  EXPECT_EQ(beside.netcdfSettings.timeUnit, "second");
  Options only = parse({"r", "--netcdf-only", "--html", "--crs", "epsg:6669", "--shift=-1.5,2e3", "--time-unit",
                        "day", "--start", "2024-02-29T06:30", "--single", "--length-unit", "ft"});
  EXPECT_TRUE(only.netcdf && only.html && !only.vtk);
  const NetcdfSettings& s = only.netcdfSettings;
  EXPECT_EQ(s.epsg, 6669);
  EXPECT_EQ(s.shiftX, -1.5);
  EXPECT_EQ(s.shiftY, 2000.0);
  EXPECT_EQ(s.timeUnit, "day");
  EXPECT_EQ(s.start, "2024-02-29 06:30:00");
  EXPECT_TRUE(s.single);
  EXPECT_EQ(s.lengthUnit, "ft");
  EXPECT_EQ(parseTimeUnit("Days"), "day");
  EXPECT_EQ(parseTimeUnit("HOURS"), "hour");
  EXPECT_EQ(parseStart("1999-12-31 23:59:59"), "1999-12-31 23:59:59");
  EXPECT_EQ(parseStart("2000-02-29"), "2000-02-29 00:00:00");
}

TEST(PostvtkOptionsTest, DefaultBaseIsTheFileNameWithoutExtension) {
  EXPECT_EQ(defaultBase("runs/sample.RES"), "sample");
  EXPECT_EQ(defaultBase("RESULT"), "RESULT");
  EXPECT_EQ(defaultBase("a.b.c"), "a.b");
  EXPECT_EQ(defaultBase("dir/"), "result");
}

template <typename T>
std::vector<T> decode(const DataArray& array) {
  std::string_view bytes = array.content();
  std::vector<T> values(bytes.size() / sizeof(T));
  std::memcpy(values.data(), bytes.data(), values.size() * sizeof(T));
  return values;
}

// Nodes 1..5; a quad, a triangle, an inactive triangle, an element with a corner
// beyond NUMNP, one with a third corner 0 (no triangle) and a triangle stored
// with a fourth corner 0.
Mesh mixedMesh() {
  Mesh m;
  m.title = "MIXED" + std::string(75, ' ');
  m.numnp = 5;
  m.x = {0, 1, 1, 0, 2};
  m.y = {0, 0, 1, 1, 0};
  m.aux = {0.5, 0.25, 0, 0, 1e-3};
  m.bl = {-1, -2, -3, -4, -5};
  m.ncode = {1, 0, 2, 0, -7};
  m.numel = 6;
  m.ie = {1, 2, 3, 4, 1,   //
          2, 5, 3, 3, 2,   //
          1, 3, 4, 4, 0,   //
          1, 2, 6, 4, 1,   //
          2, 5, 0, 3, -3,  //
          5, 3, 2, 0, -1};
  m.elv = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6};
  return m;
}

TEST(PostvtkMeshTest, EveryDrawableElementBecomesACellAndTheRestAreCounted) {
  const Mesh m = mixedMesh();
  Encoder encoder(Encoding::Binary);
  MeshArrays a = buildMeshArrays(m, encoder);
  EXPECT_EQ(a.points, 5);
  EXPECT_EQ(a.cells, 4);
  EXPECT_EQ(a.leftOut, 2);
  EXPECT_EQ(a.firstLeftOut, 4);
  EXPECT_EQ(a.cellElements, (std::vector<std::int32_t>{1, 2, 3, 6}));
  EXPECT_EQ(decode<std::int32_t>(a.connectivity), (std::vector<std::int32_t>{0, 1, 2, 3, 1, 4, 2, 0, 2, 3, 4, 2, 1}));
  EXPECT_EQ(decode<std::int32_t>(a.offsets), (std::vector<std::int32_t>{4, 7, 10, 13}));
  EXPECT_EQ(decode<std::uint8_t>(a.types),
            (std::vector<std::uint8_t>{kVtkQuad, kVtkTriangle, kVtkTriangle, kVtkTriangle}));
  EXPECT_EQ(decode<std::int32_t>(a.property), (std::vector<std::int32_t>{1, 2, 0, -1}));
  EXPECT_EQ(decode<std::int32_t>(a.element), (std::vector<std::int32_t>{1, 2, 3, 6}));
  EXPECT_EQ(decode<double>(a.elv), (std::vector<double>{0.1, 0.2, 0.3, 0.6}));
  EXPECT_EQ(decode<std::uint8_t>(a.active), (std::vector<std::uint8_t>{1, 1, 0, 0}));
  EXPECT_EQ(decode<double>(a.coordinates), (std::vector<double>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 0, 0}));
  EXPECT_EQ(decode<double>(a.bl), std::vector<double>(m.bl.begin(), m.bl.end()));
  EXPECT_EQ(decode<double>(a.aux), std::vector<double>(m.aux.begin(), m.aux.end()));
  EXPECT_EQ(decode<std::int32_t>(a.ncode), std::vector<std::int32_t>(m.ncode.begin(), m.ncode.end()));
  EXPECT_EQ(a.title.content(), std::string("MIXED\0", 6));  // padding trimmed, closed by 0
  EXPECT_STREQ(a.title.tag(), "Array");
}

TEST(PostvtkMeshTest, NegativeCountsGiveAnEmptyGrid) {
  Mesh m;
  m.numnp = -4;
  m.numel = -1;
  Encoder encoder(Encoding::Ascii);
  MeshArrays a = buildMeshArrays(m, encoder);
  EXPECT_EQ(a.points, 0);
  EXPECT_EQ(a.cells, 0);
  EXPECT_EQ(a.coordinates.content(), "");
}

TEST(PostvtkEncodingTest, TextKeepsEveryDigitAndWritesNanForWhatIsNoNumber) {
  Encoder encoder(Encoding::Ascii);
  const double values[] = {0.1, -2.5e-300, 1.0 / 3.0, std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::quiet_NaN(), 7.0};
  DataArray scalars = encoder.float64("s", 1, values, 6);
  EXPECT_EQ(scalars.content(), "0.1 -2.5e-300 0.3333333333333333 nan nan 7");
  // One tuple of a vector to a line.
  DataArray vectors = encoder.float64("v", 3, values, 2);
  EXPECT_EQ(vectors.content(), "0.1 -2.5e-300 0.3333333333333333\nnan nan 7");
  // Connectivity one cell to a line.
  DataArray rows = encoder.int32Rows("c", {0, 1, 2, 3, 1, 4, 2}, {4, 7});
  EXPECT_EQ(rows.content(), "0 1 2 3\n1 4 2");
  // A string as its byte values, closed by 0.
  EXPECT_EQ(encoder.string("t", "A b").content(), "65 32 98 0");
}

TEST(PostvtkEncodingTest, BinaryWritesNanForWhatIsNoNumberAndRefillsInPlace) {
  Encoder encoder(Encoding::Binary);
  std::vector<double> values = {-std::numeric_limits<double>::infinity(), 2.0};
  DataArray array{"Float64", "x", 1, {}, {}};
  encoder.refill(array, values.data(), values.size());
  std::vector<double> back = decode<double>(array);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_TRUE(std::isnan(back[0]));
  EXPECT_EQ(back[1], 2.0);
  EXPECT_TRUE(std::isinf(values[0])) << "the values themselves are left alone";
  // Finite values are referred to where they lie, not copied.
  values[0] = 1.0;
  encoder.refill(array, values.data(), values.size());
  EXPECT_EQ(array.content().data(), reinterpret_cast<const char*>(values.data()));
  values[1] = 3.0;
  EXPECT_EQ(decode<double>(array), (std::vector<double>{1.0, 3.0}));
}

std::string readFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class PostvtkFilesTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return dir_.file(name); }
  gw::testing::ScratchDir dir_;
};

TEST_F(PostvtkFilesTest, AFileAppearsOnlyWhenComplete) {
  const std::string name = path("a.vtu");
  {
    std::ofstream old(name, std::ios::binary);
    old << "old";
  }
  {
    OutputFile out(name, 8);
    out.write(std::string(3 << 20, 'x'));  // more than the buffer holds
    EXPECT_EQ(readFile(name), "old");
    // Left without commit, as when a fault ends the run.
  }
  EXPECT_EQ(readFile(name), "old");
  EXPECT_FALSE(std::filesystem::exists(name + ".part"));

  {
    OutputFile out(name, 8);
    out.write("new ");
    out.write(std::string(3 << 20, 'y'));
    out.write(" end");
    out.commit();
  }
  std::string written = readFile(name);
  EXPECT_EQ(written.size(), 4u + (3u << 20) + 4u);
  EXPECT_EQ(written.substr(0, 5), "new y");
  EXPECT_EQ(written.substr(written.size() - 4), " end");
  EXPECT_FALSE(std::filesystem::exists(name + ".part"));
}

TEST_F(PostvtkFilesTest, AFileThatCannotBeCreatedIsAFaultNamingIt) {
  const std::string name = path("missing/a.vtu");
  try {
    OutputFile out(name, 8);
    FAIL() << "opened";
  } catch (const Fault& fault) {
    EXPECT_EQ(fault.kind(), FaultKind::CannotOpen);
    EXPECT_EQ(fault.file(), name);
    EXPECT_EQ(fault.unit(), 8);
  }
}

TEST_F(PostvtkFilesTest, CollectionListsTimesAndEscapedNames) {
  const std::string name = path("c.pvd");
  writeCollection(name, 8, {{0.1, "a&b_0001.vtu"}, {1e300, "a&b_0002.vtu"}});
  const std::string text = readFile(name);
  EXPECT_NE(text.find("<DataSet timestep=\"0.1\" group=\"\" part=\"0\" file=\"a&amp;b_0001.vtu\"/>"), std::string::npos)
      << text;
  EXPECT_NE(text.find("timestep=\"1e+300\""), std::string::npos) << text;
  EXPECT_NE(text.find("<VTKFile type=\"Collection\""), std::string::npos);
}

TEST(PostvtkCollectionTest, TimesThatDoNotRiseAreNamedOnce) {
  EXPECT_EQ(timeOrderWarning({{1, "a_0001.vtu", 1}, {2, "a_0002.vtu", 2}}), "");
  EXPECT_EQ(timeOrderWarning({{1, "a_0001.vtu", 4}, {1, "a_0002.vtu", 5}, {0.5, "a_0003.vtu", 6}, {9, "a_0004.vtu", 7}}),
            "step 5 (a_0002.vtu) has time 1, not above the time 1 of step 4 (a_0001.vtu), and 1 more step(s) do not "
            "follow in time; a viewer draws such steps at one time: --time index gives each step its position as its "
            "time");
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_NE(timeOrderWarning({{1, "a", 1}, {nan, "b", 2}}), "");
}

TEST(PostvtkEncodingTest, XmlEscapeCoversEveryMarkupCharacter) {
  EXPECT_EQ(xmlEscape("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&apos;");
}

}  // namespace
}  // namespace gw::postvtk
