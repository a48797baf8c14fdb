// A writer of netCDF classic files with 64-bit offsets (the frozen, published
// "CDF-2" form that every netCDF reader opens): the header of dimensions,
// attributes and variables, the fixed-size variables in header order, then one
// record after another, each holding a slab of every record variable. Values are
// big-endian, as the format demands. The record count in the header is kept
// equal to the records written, so a file closed after a fault lists exactly
// the records it holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "output_file.hpp"

namespace gw::postvtk::netcdf {

// External types of the classic format.
enum class Type : std::int32_t { Char = 2, Int = 4, Float = 5, Double = 6 };

// Bytes of one value of the type.
std::size_t sizeOf(Type type);

// A dimension; the record dimension has length 0 (there is at most one).
struct Dimension {
  std::string name;
  std::uint64_t length = 0;
};

// An attribute: `count` values of `type`, held as their big-endian bytes.
struct Attribute {
  std::string name;
  Type type = Type::Char;
  std::size_t count = 0;
  std::string bytes;
};

Attribute text(std::string name, std::string_view value);
Attribute ints(std::string name, std::initializer_list<std::int32_t> values);
Attribute doubles(std::string name, std::initializer_list<double> values);
Attribute floats(std::string name, std::initializer_list<float> values);

struct Variable {
  std::string name;
  Type type = Type::Double;
  std::vector<std::size_t> dimensions;  // indices into the dimension list, slowest first
  std::vector<Attribute> attributes;
};

struct Schema {
  std::vector<Dimension> dimensions;
  std::vector<Attribute> attributes;  // global attributes
  std::vector<Variable> variables;
};

// Whether a name is one the classic format takes: a letter or underscore, then
// letters, digits, underscores, '.', '+', '-' or '@'.
bool validName(std::string_view name);

// Writes one file. The fixed-size variables are written first, each whole and
// in the order of the schema; then each record: every record variable's slab,
// in the order of the schema, then `endRecord`.
class ClassicFile {
 public:
  // Lays the file out and writes its header into PATH.part; `unit` is the unit
  // shown in a fault. A schema the format cannot hold is a std::logic_error.
  ClassicFile(const std::string& path, int unit, Schema schema);

  const Schema& schema() const { return schema_; }
  std::size_t variableNamed(std::string_view name) const;
  // Bytes of the header, and of each record.
  std::uint64_t headerBytes() const { return headerBytes_; }
  std::uint64_t recordBytes() const { return recordBytes_; }
  std::uint32_t records() const { return records_; }

  // The values of the next variable in file order; they must be of the
  // variable's type and fill it (a fixed variable whole, a record variable's
  // slab of one record). Doubles written to a Float variable are rounded to it.
  void write(std::size_t variable, const double* values, std::size_t count);
  void write(std::size_t variable, const float* values, std::size_t count);
  void write(std::size_t variable, const std::int32_t* values, std::size_t count);

  // Ends a record: every record variable has its slab.
  void endRecord();

  // Writes the record count into the header, closes the file and moves it into
  // place under PATH.
  void commit();

 private:
  struct Layout {
    std::uint64_t begin = 0;  // offset of the values (of the first record's slab)
    std::uint64_t bytes = 0;  // bytes of the values (of one slab), padding included
    std::uint64_t values = 0; // values (of one slab)
    bool record = false;
  };

  std::string header() const;
  // Checks that `variable` is the next one to be written with `count` values of `type`.
  void expect(std::size_t variable, Type type, std::size_t count);
  void pad(std::size_t variable);

  Schema schema_;
  std::vector<Layout> layout_;
  OutputFile out_;
  std::uint64_t headerBytes_ = 0;
  std::uint64_t recordBytes_ = 0;
  std::uint32_t records_ = 0;
  std::size_t next_ = 0;  // the variable to be written next
  std::size_t firstRecordVariable_ = 0;
  std::vector<char> scratch_;  // values turned big-endian on their way out
};

}  // namespace gw::postvtk::netcdf
