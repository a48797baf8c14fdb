// resultgen: writes result files of the groundwater flow solver for demos, tests
// and benchmarks.
//
//   resultgen sample [--nx N] [--ny N] [--steps S] [--seed K] [--split-every K]
//                    [--out NAME] [--worklst] [--allow-over-capacity]
//       a realistic run: a rectangular mesh of counter-clockwise quadrilaterals,
//       every K-th cell split into two triangles, several property numbers with
//       some inactive elements, a transient head field and non-zero D. A mesh
//       of more nodes or elements than the programs hold is refused unless
//       --allow-over-capacity is given.
//   resultgen text DESCRIPTION OUT
//       a file spelled out line by line (see below), for exact test cases.
//
// Description lines ('#' starts a comment):
//   title TEXT               the 80-character title (cut or blank-padded)
//   node X Y AUX BL NCODE    one node, numbered in order
//   elem I J K L P ELV       one element, numbered in order
//   numnp N / numel N        the count written in the count record, when it
//                            must differ from the number of node/elem lines
//   step LA TIME             starts a step block
//   n ISTAT H Q              node results of the current step, in node order
//   e DVX DVY D              element results of the current step
//                            (results not given are zero)
//   cut BYTES                cut the finished file to this many bytes
//   drop BYTES               cut this many bytes off the end of the finished file
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "arguments.hpp"

namespace {

// sin and cos from + - * / alone, so that a sample is the same bytes on every
// system (the C libraries' sin and cos differ in the last bit here and there).
double portableSin(double x) {
  constexpr double kTwoPi = 6.283185307179586;
  x -= kTwoPi * std::round(x / kTwoPi);  // into [-pi, pi]
  const double x2 = x * x;
  double term = x;
  double sum = x;
  for (int n = 3; n <= 31; n += 2) {
    term *= -x2 / ((n - 1) * n);
    sum += term;
  }
  return sum;
}
double portableCos(double x) { return portableSin(x + 1.5707963267948966); }

struct Node {
  double x, y, aux, bl;
  std::int32_t ncode;
};
struct Element {
  std::int32_t ie[5];
  double elv;
};
struct NodeResult {
  std::int32_t istat = 0;
  double h = 0, q = 0;
};
struct ElementResult {
  double dvx = 0, dvy = 0, d = 0;
};
struct StepBlock {
  std::int32_t la = 0;
  double time = 0;
  std::vector<NodeResult> nodes;
  std::vector<ElementResult> elements;
};
struct Run {
  std::string title;
  std::vector<Node> nodes;
  std::vector<Element> elements;
  // The counts written when given (negative ones too); otherwise the number of
  // node and element lines.
  std::optional<long long> numnp, numel;
  std::vector<StepBlock> steps;
  long long cut = -1, drop = 0;
};

class RecordWriter {
 public:
  void i32(std::int32_t v) {
    for (int k = 0; k < 4; ++k) buf_.push_back(static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * k)) & 0xFF));
  }
  void f64(double v) {
    std::uint64_t u;
    std::memcpy(&u, &v, 8);
    for (int k = 0; k < 8; ++k) buf_.push_back(static_cast<char>((u >> (8 * k)) & 0xFF));
  }
  void text(const std::string& s, std::size_t width) {
    std::string t = s.substr(0, width);
    t.resize(width, ' ');
    buf_ += t;
  }
  // Frames the collected payload as one record of the output.
  void endRecord(std::string& out) {
    std::string payload;
    payload.swap(buf_);
    i32(static_cast<std::int32_t>(payload.size()));
    out += buf_;
    out += payload;
    out += buf_;
    buf_.clear();
  }

 private:
  std::string buf_;
};

std::string encode(const Run& run) {
  std::string out;
  RecordWriter w;
  w.text(run.title, 80);
  w.endRecord(out);
  w.i32(static_cast<std::int32_t>(run.numnp.value_or(static_cast<long long>(run.nodes.size()))));
  w.endRecord(out);
  for (const Node& n : run.nodes) {
    w.f64(n.x);
    w.f64(n.y);
    w.f64(n.aux);
    w.f64(n.bl);
    w.i32(n.ncode);
  }
  w.endRecord(out);
  w.i32(static_cast<std::int32_t>(run.numel.value_or(static_cast<long long>(run.elements.size()))));
  w.endRecord(out);
  for (const Element& e : run.elements) {
    for (std::int32_t c : e.ie) w.i32(c);
    w.f64(e.elv);
  }
  w.endRecord(out);
  for (const StepBlock& s : run.steps) {
    w.i32(s.la);
    w.f64(s.time);
    w.endRecord(out);
    for (std::size_t n = 0; n < run.nodes.size(); ++n) {
      NodeResult r = n < s.nodes.size() ? s.nodes[n] : NodeResult{};
      w.i32(r.istat);
      w.f64(r.h);
      w.f64(r.q);
    }
    w.endRecord(out);
    for (std::size_t e = 0; e < run.elements.size(); ++e) {
      ElementResult r = e < s.elements.size() ? s.elements[e] : ElementResult{};
      w.f64(r.dvx);
      w.f64(r.dvy);
      w.f64(r.d);
    }
    w.endRecord(out);
  }
  if (run.cut >= 0 && static_cast<std::size_t>(run.cut) < out.size()) out.resize(static_cast<std::size_t>(run.cut));
  if (run.drop > 0) out.resize(out.size() > static_cast<std::size_t>(run.drop) ? out.size() - static_cast<std::size_t>(run.drop) : 0);
  return out;
}

// The most nodes and the most elements the converter and the exporter hold.
constexpr long long kCapacity = 44444;

constexpr const char* kUsage =
    "usage: resultgen sample [--nx N] [--ny N] [--steps S] [--seed K] [--split-every K] "
    "[--out NAME] [--worklst] [--allow-over-capacity]\n"
    "       resultgen text DESCRIPTION OUT\n";

constexpr const char* kHelp =
    "\n"
    "Writes result files of the groundwater flow solver, for demos, tests and\n"
    "benchmarks.\n"
    "\n"
    "sample: a rectangular mesh of counter-clockwise quadrilaterals (every K-th\n"
    "cell split into two triangles), three soil layers with a few inactive\n"
    "elements, and a transient head field.\n"
    "  --nx N, --ny N     nodes across and up (default 30 x 20)\n"
    "  --steps S          time steps, numbered 1..S, a day apart (default 5)\n"
    "  --seed K           seed of the node jitter (default 1)\n"
    "  --split-every K    split every K-th cell into two triangles (default 5; 0 none)\n"
    "  --out NAME         the result file (default SAMPLE.RES)\n"
    "  --worklst          also write WORK.LST, whose fourth line names the result file\n"
    "  --allow-over-capacity  write a mesh larger than the programs hold (to test\n"
    "                     their refusal)\n"
    "\n"
    "Capacity: postconv and postvtk hold at most 44444 nodes and 44444 elements,\n"
    "timehist 5000 of each. NX x NY nodes make (NX-1)(NY-1) cells, and every K-th\n"
    "cell split adds one element. With the default split, up to 193 x 193 (37249\n"
    "nodes, 44236 elements) fits postconv and 65 x 65 (4225 nodes, 4915 elements)\n"
    "timehist; with --split-every 0, 210 x 210 and 70 x 70. A larger mesh is\n"
    "refused unless --allow-over-capacity is given.\n"
    "\n"
    "text: the file spelled out line by line in DESCRIPTION (title, node, elem,\n"
    "numnp, numel, step, n, e, cut, drop lines; see the head of tools/resultgen.cpp).\n"
    "\n"
    "  -h, --help         this text\n"
    "  --version          the program's release\n"
    "See README.md for more.\n";

[[noreturn]] void usage(const std::string& why) {
  std::cerr << "resultgen: " << why << "\n" << kUsage;
  std::exit(2);
}

Run parseDescription(std::istream& in, const std::string& name) {
  Run run;
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::string key;
    if (!(words >> key) || key[0] == '#') continue;
    auto bad = [&] { usage(name + ":" + std::to_string(lineNo) + ": cannot read '" + line + "'"); };
    if (key == "title") {
      std::size_t at = line.find("title") + 5;
      if (at < line.size() && line[at] == ' ') ++at;
      run.title = line.substr(at);
    } else if (key == "node") {
      Node n{};
      if (!(words >> n.x >> n.y >> n.aux >> n.bl >> n.ncode)) bad();
      run.nodes.push_back(n);
    } else if (key == "elem") {
      Element e{};
      if (!(words >> e.ie[0] >> e.ie[1] >> e.ie[2] >> e.ie[3] >> e.ie[4] >> e.elv)) bad();
      run.elements.push_back(e);
    } else if (key == "numnp") {
      long long v;
      if (!(words >> v)) bad();
      run.numnp = v;
    } else if (key == "numel") {
      long long v;
      if (!(words >> v)) bad();
      run.numel = v;
    } else if (key == "step") {
      StepBlock s;
      if (!(words >> s.la >> s.time)) bad();
      run.steps.push_back(s);
    } else if (key == "n") {
      NodeResult r;
      if (run.steps.empty() || !(words >> r.istat >> r.h >> r.q)) bad();
      run.steps.back().nodes.push_back(r);
    } else if (key == "e") {
      ElementResult r;
      if (run.steps.empty() || !(words >> r.dvx >> r.dvy >> r.d)) bad();
      run.steps.back().elements.push_back(r);
    } else if (key == "cut") {
      if (!(words >> run.cut)) bad();
    } else if (key == "drop") {
      if (!(words >> run.drop)) bad();
    } else {
      bad();
    }
  }
  return run;
}

Run sampleRun(int nx, int ny, int steps, unsigned seed, int splitEvery) {
  Run run;
  run.title = "SAMPLE AQUIFER  " + std::to_string(nx) + " x " + std::to_string(ny) + " NODES, " +
              std::to_string(steps) + " STEPS";
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> jitter(-0.2, 0.2);
  const double dx = 10.0, dy = 8.0;
  const double length = dx * (nx - 1);
  for (int j = 0; j < ny; ++j) {
    for (int i = 0; i < nx; ++i) {
      bool edge = i == 0 || j == 0 || i == nx - 1 || j == ny - 1;
      double x = i * dx + (edge ? 0.0 : jitter(rng));
      double y = j * dy + (edge ? 0.0 : jitter(rng));
      double bottom = -20.0 - 0.01 * x + 0.5 * portableSin(y / 37.0);
      run.nodes.push_back(Node{x, y, 0.001 * (1 + (i + j) % 7), bottom, i == 0 ? 1 : 0});
    }
  }
  auto id = [nx](int i, int j) { return static_cast<std::int32_t>(j * nx + i + 1); };
  int cell = 0;
  for (int j = 0; j + 1 < ny; ++j) {
    for (int i = 0; i + 1 < nx; ++i, ++cell) {
      std::int32_t a = id(i, j), b = id(i + 1, j), c = id(i + 1, j + 1), d = id(i, j + 1);
      // Property by zone: three soil layers; a few cells inactive.
      std::int32_t p = 1 + (3 * j) / (ny > 1 ? ny - 1 : 1);
      if (p > 3) p = 3;
      if ((i * 7 + j * 13) % 29 == 0) p = 0;
      double elv = 0.1 * p;
      if (splitEvery > 0 && cell % splitEvery == splitEvery - 1) {
        run.elements.push_back(Element{{a, b, c, c, p}, elv});
        run.elements.push_back(Element{{a, c, d, d, p}, elv});
      } else {
        run.elements.push_back(Element{{a, b, c, d, p}, elv});
      }
    }
  }
  for (int s = 1; s <= steps; ++s) {
    StepBlock block;
    block.la = s;
    block.time = 86400.0 * s;
    double t = static_cast<double>(s) / (steps > 0 ? steps : 1);
    for (const Node& n : run.nodes) {
      double h = 50.0 - 10.0 * n.x / (length > 0 ? length : 1) + 2.0 * t * portableSin(n.y / 50.0 + t);
      block.nodes.push_back(NodeResult{h > n.bl ? 1 : 0, h, 1.0e-4 * portableCos(n.x / 80.0) * t});
    }
    for (const Element& e : run.elements) {
      const Node& a = run.nodes[static_cast<std::size_t>(e.ie[0] - 1)];
      double d = 5.0 + 0.01 * a.y + 0.1 * (e.ie[4] + 1);
      double vx = 1.0e-3 * (1.0 + 0.2 * portableSin(a.y / 30.0 + t));
      double vy = 2.0e-4 * portableCos(a.x / 45.0 - t);
      block.elements.push_back(ElementResult{vx * d, vy * d, d});
    }
    run.steps.push_back(block);
  }
  return run;
}

void writeFile(const std::string& name, const std::string& bytes) {
  std::ofstream f(name, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f) usage("cannot write " + name);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) usage("no mode given");
  if (args[0] == "-h" || args[0] == "--help") {
    std::cout << kUsage << kHelp;
    return 0;
  }
  if (args[0] == "--version") {
    std::cout << "resultgen " << gw::kVersion << "\n";
    return 0;
  }
  if (args[0] == "text") {
    if (args.size() != 3) usage("text takes DESCRIPTION OUT");
    std::ifstream in(args[1]);
    if (!in) usage("cannot read " + args[1]);
    writeFile(args[2], encode(parseDescription(in, args[1])));
    return 0;
  }
  if (args[0] != "sample") usage("unknown mode " + args[0]);
  int nx = 30, ny = 20, steps = 5, splitEvery = 5;
  unsigned seed = 1;
  std::string out = "SAMPLE.RES";
  bool worklist = false;
  bool overCapacity = false;
  for (std::size_t k = 1; k < args.size(); ++k) {
    auto value = [&]() -> std::string {
      if (k + 1 >= args.size()) usage(args[k] + " needs a value");
      return args[++k];
    };
    try {
      if (args[k] == "--nx") nx = std::stoi(value());
      else if (args[k] == "--ny") ny = std::stoi(value());
      else if (args[k] == "--steps") steps = std::stoi(value());
      else if (args[k] == "--seed") seed = static_cast<unsigned>(std::stoul(value()));
      else if (args[k] == "--split-every") splitEvery = std::stoi(value());
      else if (args[k] == "--out") out = value();
      else if (args[k] == "--worklst") worklist = true;
      else if (args[k] == "--allow-over-capacity") overCapacity = true;
      else usage("unknown option " + args[k]);
    } catch (const std::logic_error&) {
      usage("not a number after " + args[k - 1]);
    }
  }
  if (nx < 2 || ny < 2 || steps < 0) usage("the mesh needs at least 2 x 2 nodes and steps >= 0");
  const long long nodes = static_cast<long long>(nx) * ny;
  const long long cells = static_cast<long long>(nx - 1) * (ny - 1);
  const long long elements = cells + (splitEvery > 0 ? cells / splitEvery : 0);
  if ((nodes > kCapacity || elements > kCapacity) && !overCapacity) {
    std::cerr << "resultgen: --nx " << nx << " --ny " << ny << " makes " << nodes << " nodes and " << elements
              << " elements, more than the " << kCapacity
              << " the programs hold; nothing written (--allow-over-capacity writes it)\n";
    return 2;
  }
  Run run = sampleRun(nx, ny, steps, seed, splitEvery);
  writeFile(out, encode(run));
  if (worklist) writeFile("WORK.LST", "MESH.DAT\r\nBOUNDARY.DAT\r\nCOND.DAT\r\n" + out + "\r\n");
  std::cerr << "resultgen: wrote " << out << ": " << run.nodes.size() << " nodes, " << run.elements.size()
            << " elements, " << steps << " steps\n";
  return 0;
}
