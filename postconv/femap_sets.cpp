// FEMAP neutral file, per selected step: the element values averaged onto the
// nodes, then one output set (block 450) and its fourteen output vectors
// (block 451).
#include <algorithm>
#include <cmath>
#include <span>
#include <type_traits>

#include "femap_blocks.hpp"
#include "line_blocks.hpp"
#include "node_averages.hpp"
#include "writers.hpp"

namespace gw::postconv {

namespace {

// What the vectors are computed from.
struct Sources {
  const Step& step;
  const NodeWork& work;
};

using ValueOf = double (*)(const Sources&, std::size_t);


enum class Entity : std::uint8_t { Node, Element };
enum class Kind : std::uint8_t { Single, Double };  // how entity values are written

struct OutputVector {
  std::string_view idText;      // ",<vector id>,1," after the set number
  std::string_view title;
  std::string_view components;  // the component line: its x and y vectors
  std::string_view kindText;    // ends the extremes' entity record
  Entity entity;
  Kind kind;
  ValueOf value;  // value of the entity at slot i (entity i + 1)
};

// The fourteen output vectors of a set, in the order they are written.
const OutputVector kVectors[] = {
    {",10,1,", "Total Head", "0,0,0,0,0,0,0,0,0,0,", ",6,7,", Entity::Node, Kind::Single,
     [](const Sources& s, std::size_t i) { return s.step.h[i]; }},
    {",12,1,", "Q", "0,0,0,0,0,0,0,0,0,0,", ",6,7,", Entity::Node, Kind::Single,
     [](const Sources& s, std::size_t i) { return s.step.q[i]; }},
    {",13,1,", "D*Velocity(Node)", "14,15,0,0,0,0,0,0,0,0,", ",1,7,", Entity::Node, Kind::Double,
     [](const Sources& s, std::size_t i) { return magnitude(s.work.wvx[i], s.work.wvy[i]); }},
    {",14,1,", "D*X Velocity(Node)", "14,0,0,0,0,0,0,0,0,0,", ",1,7,", Entity::Node, Kind::Double,
     [](const Sources& s, std::size_t i) { return s.work.wvx[i]; }},
    {",15,1,", "D*Y Velocity(Node)", "0,15,0,0,0,0,0,0,0,0,", ",1,7,", Entity::Node, Kind::Double,
     [](const Sources& s, std::size_t i) { return s.work.wvy[i]; }},
    {",16,1,", "Velocity(Node)", "17,18,0,0,0,0,0,0,0,0,", ",1,7,", Entity::Node, Kind::Double,
     [](const Sources& s, std::size_t i) { return magnitude(s.work.wvxd[i], s.work.wvyd[i]); }},
    {",17,1,", "X Velocity(Node)", "17,0,0,0,0,0,0,0,0,0,", ",1,7,", Entity::Node, Kind::Double,
     [](const Sources& s, std::size_t i) { return s.work.wvxd[i]; }},
    {",18,1,", "Y Velocity(Node)", "0,18,0,0,0,0,0,0,0,0,", ",1,7,", Entity::Node, Kind::Double,
     [](const Sources& s, std::size_t i) { return s.work.wvyd[i]; }},
    {",70010,1,", "D*Velocity", "70011,70012,0,0,0,0,0,0,0,0,", ",1,8,", Entity::Element, Kind::Single,
     [](const Sources& s, std::size_t i) { return magnitude(s.step.dvx[i], s.step.dvy[i]); }},
    {",70011,1,", "D*X Velocity", "70011,0,0,0,0,0,0,0,0,0,", ",1,8,", Entity::Element, Kind::Single,
     [](const Sources& s, std::size_t i) { return s.step.dvx[i]; }},
    {",70012,1,", "D*Y Velocity", "0,70012,0,0,0,0,0,0,0,0,", ",1,8,", Entity::Element, Kind::Single,
     [](const Sources& s, std::size_t i) { return s.step.dvy[i]; }},
    {",70013,1,", "Velocity", "70014,70015,0,0,0,0,0,0,0,0,", ",1,8,", Entity::Element, Kind::Single,
     [](const Sources& s, std::size_t i) {
       return magnitude(s.step.dvx[i] / s.step.d[i], s.step.dvy[i] / s.step.d[i]);
     }},
    {",70014,1,", "X Velocity", "70014,0,0,0,0,0,0,0,0,0,", ",1,8,", Entity::Element, Kind::Single,
     [](const Sources& s, std::size_t i) { return s.step.dvx[i] / s.step.d[i]; }},
    {",70015,1,", "Y Velocity", "0,70015,0,0,0,0,0,0,0,0,", ",1,8,", Entity::Element, Kind::Single,
     [](const Sources& s, std::size_t i) { return s.step.dvy[i] / s.step.d[i]; }},
};

// Block 450: the set title and the time record show TIME as a 32-bit real.
const Format kSetTitle("(' T=',1P,E12.4)");

struct Extremes {
  double min = 0.0, max = 0.0, largest = 0.0;
  std::int32_t minEntity = 1, maxEntity = 1;
};

// Minimum and maximum over the entities in number order: strict comparisons, so
// the lowest entity number wins among equal values; a value that is not a
// number never becomes an extreme (the search starts at the first one that is).
// Without entities, or when no value is a number, the extremes stay at entity 1
// with 0.0 or not-a-number respectively.
Extremes findExtremes(const OutputVector& vector, const Sources& sources, std::size_t count) {
  Extremes x;
  std::size_t i = 0;
  while (i < count && std::isnan(vector.value(sources, i))) ++i;
  if (i == count) {
    if (count > 0) x.min = x.max = x.largest = std::nan("");
    return x;
  }
  x.min = x.max = vector.value(sources, i);
  x.minEntity = x.maxEntity = static_cast<std::int32_t>(i + 1);
  for (++i; i < count; ++i) {
    const double v = vector.value(sources, i);
    if (v > x.max) {
      x.max = v;
      x.maxEntity = static_cast<std::int32_t>(i + 1);
    }
    if (v < x.min) {
      x.min = v;
      x.minEntity = static_cast<std::int32_t>(i + 1);
    }
  }
  x.largest = std::fabs(x.max);
  if (std::fabs(x.min) > x.largest) x.largest = std::fabs(x.min);
  return x;
}

// The entity records (entity, ",", value) of a vector, a batch of values at a
// time, then its closing record; Real is how the vector's values are written.
template <class Real>
void writeEntityValues(TextOut& out, const OutputVector& vector, const Sources& sources, std::size_t count) {
  constexpr std::size_t kRecordBytes = std::is_same_v<Real, float> ? 31 : 40;
  writeBlocks(out, count, kRecordBytes, [&](TextOut& o, std::size_t first, std::size_t last) {
    constexpr std::size_t kBatch = 256;
    Real values[kBatch];
    for (std::size_t at = first; at < last; at += kBatch) {
      const std::size_t n = std::min(kBatch, last - at);
      for (std::size_t k = 0; k < n; ++k) values[k] = static_cast<Real>(vector.value(sources, at + k));
      writeNumberedValues(o, static_cast<std::int32_t>(at + 1), std::span<const Real>(values, n));
    }
  });
  writeFree(out, -1, ",", Real(0));
}

void writeVector(TextOut& out, std::int32_t setNo, const OutputVector& vector, const Sources& sources,
                 std::size_t count) {
  const Extremes x = findExtremes(vector, sources, count);
  writeFree(out, setNo, vector.idText);
  writeFree(out, vector.title);
  writeFree(out, static_cast<float>(x.min), static_cast<float>(x.max), static_cast<float>(x.largest));
  writeFree(out, vector.components);
  writeFree(out, "0,0,0,0,0,0,0,0,0,0,");
  writeFree(out, x.minEntity, ",", x.maxEntity, vector.kindText);
  writeFree(out, "0,1,1,");
  if (vector.kind == Kind::Single) {
    writeEntityValues<float>(out, vector, sources, count);
  } else {
    writeEntityValues<double>(out, vector, sources, count);
  }
}

// The FEMAP averaging: every element, whatever its property number, adds its
// values to each corner entry that names a node, so a corner stored twice (a
// triangle whose fourth corner repeats the third) counts twice. Entries of 0,
// and entries outside 1..NUMNP, are skipped.
void averageOntoNodes(const Mesh& mesh, const Step& step, NodeWork& work) {
  work.resize(mesh.numnp);
  for (std::int32_t e = 1; e <= mesh.elements(); ++e) {
    const std::size_t k = static_cast<std::size_t>(e - 1);
    const double dvx = step.dvx[k];
    const double dvy = step.dvy[k];
    const Quotients v = quotients(dvx, dvy, step.d[k]);
    for (int c = 1; c <= 4; ++c) {
      const std::int32_t n = mesh.corner(e, c);
      if (mesh.isNode(n)) work.add(static_cast<std::size_t>(n - 1), dvx, dvy, v.a, v.b);
    }
  }
  work.divideByCounts();
}

}  // namespace

void writeFemapStep(TextOut& out, const Mesh& mesh, const Step& step, NodeWork& work, Counters& counters) {
  averageOntoNodes(mesh, step, work);
  counters.femapSetNo += 1;
  const std::int32_t setNo = counters.femapSetNo;
  const float time = static_cast<float>(step.time);

  femap::beginBlock(out, 450);
  writeFree(out, setNo);
  kSetTitle(out, time);
  writeFree(out, "0,0,");
  writeFree(out, time);
  writeFree(out, "1,");
  writeFree(out, "  ");
  femap::endBlock(out);

  const Sources sources{step, work};
  const std::size_t nodes = static_cast<std::size_t>(mesh.nodes());
  const std::size_t elements = static_cast<std::size_t>(mesh.elements());
  femap::beginBlock(out, 451);
  for (const OutputVector& vector : kVectors) {
    writeVector(out, setNo, vector, sources, vector.entity == Entity::Node ? nodes : elements);
  }
  femap::endBlock(out);
}

}  // namespace gw::postconv
