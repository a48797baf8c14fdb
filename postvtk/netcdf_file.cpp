#include "netcdf_file.hpp"

#include <bit>
#include <cstring>
#include <stdexcept>
#include <type_traits>

#include "float32.hpp"

namespace gw::postvtk::netcdf {

namespace {

// Tags of the header's lists.
constexpr std::uint32_t kDimensionTag = 0x0A;
constexpr std::uint32_t kVariableTag = 0x0B;
constexpr std::uint32_t kAttributeTag = 0x0C;
// The largest size a variable may declare in a file with 64-bit offsets.
constexpr std::uint64_t kLargestVariable = 0xFFFFFFFFull - 3;
// Values turned big-endian at a time.
constexpr std::size_t kScratchBytes = 256 * 1024;

std::uint64_t roundUp4(std::uint64_t n) { return (n + 3) & ~std::uint64_t{3}; }

template <typename T>
T bigEndian(T value) {
  if constexpr (std::endian::native == std::endian::big || sizeof(T) == 1) {
    return value;
  } else if constexpr (sizeof(T) == 4) {
    return std::bit_cast<T>(__builtin_bswap32(std::bit_cast<std::uint32_t>(value)));
  } else {
    return std::bit_cast<T>(__builtin_bswap64(std::bit_cast<std::uint64_t>(value)));
  }
}

template <typename T>
void appendBigEndian(std::string& out, T value) {
  const T swapped = bigEndian(value);
  out.append(reinterpret_cast<const char*>(&swapped), sizeof swapped);
}

void appendCount(std::string& out, std::uint64_t n) { appendBigEndian(out, static_cast<std::uint32_t>(n)); }

void appendPadding(std::string& out) { out.append(roundUp4(out.size()) - out.size(), '\0'); }

void appendName(std::string& out, const std::string& name) {
  appendCount(out, name.size());
  out += name;
  appendPadding(out);
}

void appendAttributes(std::string& out, const std::vector<Attribute>& attributes) {
  if (attributes.empty()) {
    out.append(8, '\0');  // absent: two zero words
    return;
  }
  appendCount(out, kAttributeTag);
  appendCount(out, attributes.size());
  for (const Attribute& a : attributes) {
    appendName(out, a.name);
    appendCount(out, static_cast<std::uint32_t>(a.type));
    appendCount(out, a.count);
    out += a.bytes;
    appendPadding(out);
  }
}

template <typename T>
Attribute numbers(std::string name, Type type, std::initializer_list<T> values) {
  Attribute a{std::move(name), type, values.size(), {}};
  for (T v : values) appendBigEndian(a.bytes, v);
  return a;
}

}  // namespace

std::size_t sizeOf(Type type) {
  switch (type) {
    case Type::Char: return 1;
    case Type::Int:
    case Type::Float: return 4;
    case Type::Double: return 8;
  }
  return 0;
}

Attribute text(std::string name, std::string_view value) {
  return Attribute{std::move(name), Type::Char, value.size(), std::string(value)};
}
Attribute ints(std::string name, std::initializer_list<std::int32_t> values) {
  return numbers(std::move(name), Type::Int, values);
}
Attribute doubles(std::string name, std::initializer_list<double> values) {
  return numbers(std::move(name), Type::Double, values);
}
Attribute floats(std::string name, std::initializer_list<float> values) {
  return numbers(std::move(name), Type::Float, values);
}

bool validName(std::string_view name) {
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (name.empty() || !letter(name[0])) return false;
  for (char c : name) {
    if (!letter(c) && !(c >= '0' && c <= '9') && c != '.' && c != '+' && c != '-' && c != '@') return false;
  }
  return true;
}

ClassicFile::ClassicFile(const std::string& path, int unit, Schema schema)
    : schema_(std::move(schema)), layout_(schema_.variables.size()), out_(path, unit) {
  auto refuse = [](const std::string& what) { throw std::logic_error("netCDF schema: " + what); };
  std::size_t recordDimensions = 0;
  for (const Dimension& d : schema_.dimensions) {
    if (!validName(d.name)) refuse("dimension name '" + d.name + "'");
    if (d.length == 0) ++recordDimensions;
    if (d.length > 0x7FFFFFFF) refuse("dimension " + d.name + " longer than the format holds");
  }
  if (recordDimensions > 1) refuse("more than one record dimension");

  // Sizes first; the offsets follow once the header's length is known.
  std::uint64_t fixedBytes = 0;
  firstRecordVariable_ = schema_.variables.size();
  for (std::size_t v = 0; v < schema_.variables.size(); ++v) {
    const Variable& var = schema_.variables[v];
    if (!validName(var.name)) refuse("variable name '" + var.name + "'");
    Layout& at = layout_[v];
    at.values = 1;
    for (std::size_t k = 0; k < var.dimensions.size(); ++k) {
      const std::size_t d = var.dimensions[k];
      if (d >= schema_.dimensions.size()) refuse("variable " + var.name + " names no dimension");
      if (schema_.dimensions[d].length == 0) {
        if (k != 0) refuse("variable " + var.name + " has the record dimension after the first");
        at.record = true;
      } else {
        at.values *= schema_.dimensions[d].length;
      }
    }
    // A record of one variable of 1-byte values would be unpadded: not used here.
    if (at.record && var.type == Type::Char) refuse("character record variable " + var.name);
    at.bytes = roundUp4(at.values * sizeOf(var.type));
    if (at.bytes > kLargestVariable) refuse("variable " + var.name + " larger than the format holds");
    if (at.record) {
      recordBytes_ += at.bytes;
      if (firstRecordVariable_ == schema_.variables.size()) firstRecordVariable_ = v;
    } else {
      fixedBytes += at.bytes;
    }
  }
  headerBytes_ = header().size();
  std::uint64_t fixedAt = headerBytes_;
  std::uint64_t recordAt = headerBytes_ + fixedBytes;
  for (Layout& at : layout_) {
    std::uint64_t& next = at.record ? recordAt : fixedAt;
    at.begin = next;
    next += at.bytes;
  }
  out_.write(header());
  scratch_.resize(kScratchBytes);
  next_ = 0;
  while (next_ < layout_.size() && layout_[next_].record) ++next_;
}

std::string ClassicFile::header() const {
  std::string out = "CDF";
  out += '\x02';
  appendCount(out, records_);
  if (schema_.dimensions.empty()) {
    out.append(8, '\0');
  } else {
    appendCount(out, kDimensionTag);
    appendCount(out, schema_.dimensions.size());
    for (const Dimension& d : schema_.dimensions) {
      appendName(out, d.name);
      appendCount(out, d.length);
    }
  }
  appendAttributes(out, schema_.attributes);
  if (schema_.variables.empty()) {
    out.append(8, '\0');
    return out;
  }
  appendCount(out, kVariableTag);
  appendCount(out, schema_.variables.size());
  for (std::size_t v = 0; v < schema_.variables.size(); ++v) {
    const Variable& var = schema_.variables[v];
    appendName(out, var.name);
    appendCount(out, var.dimensions.size());
    for (std::size_t d : var.dimensions) appendCount(out, d);
    appendAttributes(out, var.attributes);
    appendCount(out, static_cast<std::uint32_t>(var.type));
    appendCount(out, layout_[v].bytes);
    appendBigEndian(out, layout_[v].begin);
  }
  return out;
}

std::size_t ClassicFile::variableNamed(std::string_view name) const {
  for (std::size_t v = 0; v < schema_.variables.size(); ++v) {
    if (schema_.variables[v].name == name) return v;
  }
  throw std::logic_error("netCDF schema: no variable " + std::string(name));
}

void ClassicFile::expect(std::size_t variable, Type type, std::size_t count) {
  if (variable != next_ || variable >= layout_.size()) {
    throw std::logic_error("netCDF variable written out of order: " +
                           (variable < layout_.size() ? schema_.variables[variable].name : std::string("?")));
  }
  if (schema_.variables[variable].type != type || count != layout_[variable].values) {
    throw std::logic_error("netCDF variable " + schema_.variables[variable].name + " written with other values");
  }
}

// Pads the values of `variable` to their declared size and moves on to the next
// variable of the same kind (fixed or record).
void ClassicFile::pad(std::size_t variable) {
  const Layout& at = layout_[variable];
  const std::uint64_t written = at.values * sizeOf(schema_.variables[variable].type);
  static constexpr char kZeros[4] = {};
  out_.write(kZeros, static_cast<std::size_t>(at.bytes - written));
  const bool record = at.record;
  do {
    ++next_;
  } while (next_ < layout_.size() && layout_[next_].record != record);
  // After the last fixed variable the records begin.
  if (!record && next_ == layout_.size()) next_ = firstRecordVariable_;
}

namespace {

// Writes `count` values as `Out` big-endian, through `scratch`.
template <typename Out, typename In>
void writeBigEndian(OutputFile& out, std::vector<char>& scratch, const In* values, std::size_t count) {
  const std::size_t perChunk = scratch.size() / sizeof(Out);
  while (count > 0) {
    const std::size_t n = count < perChunk ? count : perChunk;
    char* p = scratch.data();
    for (std::size_t i = 0; i < n; ++i, p += sizeof(Out)) {
      Out v;
      if constexpr (std::is_same_v<Out, float> && std::is_same_v<In, double>) {
        v = bigEndian(toFloat32(values[i]));
      } else {
        v = bigEndian(static_cast<Out>(values[i]));
      }
      std::memcpy(p, &v, sizeof v);
    }
    out.write(scratch.data(), n * sizeof(Out));
    values += n;
    count -= n;
  }
}

}  // namespace

void ClassicFile::write(std::size_t variable, const double* values, std::size_t count) {
  if (variable < layout_.size() && schema_.variables[variable].type == Type::Float) {
    expect(variable, Type::Float, count);
    writeBigEndian<float>(out_, scratch_, values, count);
  } else {
    expect(variable, Type::Double, count);
    writeBigEndian<double>(out_, scratch_, values, count);
  }
  pad(variable);
}

void ClassicFile::write(std::size_t variable, const float* values, std::size_t count) {
  expect(variable, Type::Float, count);
  writeBigEndian<float>(out_, scratch_, values, count);
  pad(variable);
}

void ClassicFile::write(std::size_t variable, const std::int32_t* values, std::size_t count) {
  expect(variable, Type::Int, count);
  writeBigEndian<std::int32_t>(out_, scratch_, values, count);
  pad(variable);
}

void ClassicFile::endRecord() {
  if (next_ != layout_.size()) {
    throw std::logic_error("netCDF record ended before its variable " +
                           (next_ < layout_.size() ? schema_.variables[next_].name : std::string("?")));
  }
  ++records_;
  next_ = firstRecordVariable_;
}

void ClassicFile::commit() {
  std::string count;
  appendCount(count, records_);
  out_.overwrite(4, count);
  out_.commit();
}

}  // namespace gw::postvtk::netcdf
