#include "value_packing.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <queue>

namespace gw::postvtk {

namespace {

constexpr int kLiteralCodes = 286;  // literals 0..255, end of block 256, lengths 257..285
constexpr int kEndOfBlock = 256;
constexpr int kMaxCodeBits = 15;
constexpr int kMaxCodeLengthBits = 7;
constexpr int kMinRun = 3;
constexpr int kMaxRun = 258;

constexpr std::array<int, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// The order in which the code lengths of the code-length alphabet are stored.
constexpr std::array<int, 19> kCodeLengthOrder = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// A literal, or a run of the previous byte of `length` bytes.
struct Token {
  std::uint16_t symbol;  // literal/length symbol
  std::uint16_t extra;   // the extra bits of a length
};

std::vector<Token> tokenize(const std::uint8_t* data, std::size_t size) {
  std::vector<Token> tokens;
  tokens.reserve(size / 2 + 1);
  std::size_t i = 0;
  while (i < size) {
    std::size_t run = 0;
    if (i > 0) {
      const std::uint8_t previous = data[i - 1];
      while (run < kMaxRun && i + run < size && data[i + run] == previous) ++run;
    }
    if (run < kMinRun) {
      tokens.push_back({data[i], 0});
      ++i;
      continue;
    }
    int code = 0;
    while (code + 1 < static_cast<int>(kLengthBase.size()) && kLengthBase[code + 1] <= static_cast<int>(run)) ++code;
    tokens.push_back({static_cast<std::uint16_t>(257 + code), static_cast<std::uint16_t>(run - kLengthBase[code])});
    i += run;
  }
  tokens.push_back({kEndOfBlock, 0});
  return tokens;
}

// Huffman code lengths for `freq`, none longer than `limit`. At least two symbols
// get a code, so that every code set written is complete.
std::vector<int> codeLengths(std::vector<std::uint32_t> freq, int limit) {
  int used = static_cast<int>(std::count_if(freq.begin(), freq.end(), [](std::uint32_t f) { return f > 0; }));
  for (std::size_t s = 0; used < 2 && s < freq.size(); ++s) {
    if (freq[s] == 0) {
      freq[s] = 1;
      ++used;
    }
  }
  const std::size_t symbols = freq.size();
  std::vector<int> lengths(symbols, 0);
  while (true) {
    // Tree nodes: leaves first, then the joined nodes; parent links give depths.
    std::vector<std::uint64_t> weight;
    std::vector<int> parent;
    std::vector<int> leafOf;  // symbol of each leaf node
    using Entry = std::pair<std::uint64_t, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;
    for (std::size_t s = 0; s < symbols; ++s) {
      if (freq[s] == 0) continue;
      queue.emplace(freq[s], static_cast<int>(weight.size()));
      weight.push_back(freq[s]);
      parent.push_back(-1);
      leafOf.push_back(static_cast<int>(s));
    }
    const std::size_t leaves = weight.size();
    while (queue.size() > 1) {
      auto [wa, a] = queue.top();
      queue.pop();
      auto [wb, b] = queue.top();
      queue.pop();
      const int joined = static_cast<int>(weight.size());
      weight.push_back(wa + wb);
      parent.push_back(-1);
      parent[static_cast<std::size_t>(a)] = joined;
      parent[static_cast<std::size_t>(b)] = joined;
      queue.emplace(wa + wb, joined);
    }
    // Depth of a node: one more than its parent's; parents come after children.
    std::vector<int> depth(weight.size(), 0);
    for (std::size_t n = weight.size() - 1; n-- > 0;) depth[n] = depth[static_cast<std::size_t>(parent[n])] + 1;
    int longest = 0;
    for (std::size_t n = 0; n < leaves; ++n) {
      lengths[static_cast<std::size_t>(leafOf[n])] = depth[n];
      longest = std::max(longest, depth[n]);
    }
    if (longest <= limit) return lengths;
    // Too deep: flatten the frequencies and build again.
    for (std::uint32_t& f : freq) {
      if (f > 0) f = (f >> 1) | 1;
    }
  }
}

// Canonical codes for the lengths, bit-reversed for a stream written from its
// least significant bit.
std::vector<std::uint16_t> canonicalCodes(const std::vector<int>& lengths) {
  std::array<int, kMaxCodeBits + 2> count{};
  for (int l : lengths) ++count[static_cast<std::size_t>(l)];
  count[0] = 0;
  std::array<int, kMaxCodeBits + 2> next{};
  int code = 0;
  for (int bits = 1; bits <= kMaxCodeBits; ++bits) {
    code = (code + count[static_cast<std::size_t>(bits - 1)]) << 1;
    next[static_cast<std::size_t>(bits)] = code;
  }
  std::vector<std::uint16_t> codes(lengths.size(), 0);
  for (std::size_t s = 0; s < lengths.size(); ++s) {
    const int l = lengths[s];
    if (l == 0) continue;
    const int c = next[static_cast<std::size_t>(l)]++;
    int reversed = 0;
    for (int b = 0; b < l; ++b) reversed |= ((c >> b) & 1) << (l - 1 - b);
    codes[s] = static_cast<std::uint16_t>(reversed);
  }
  return codes;
}

// The code lengths of both alphabets as code-length symbols: 0..15 a length,
// 16 repeat the previous 3..6 times, 17 and 18 runs of 3..10 and 11..138 zeros.
struct LengthSymbol {
  int symbol;
  int extra;
};

std::vector<LengthSymbol> runLengthCode(const std::vector<int>& lengths) {
  std::vector<LengthSymbol> out;
  std::size_t i = 0;
  while (i < lengths.size()) {
    const int l = lengths[i];
    std::size_t run = 1;
    while (i + run < lengths.size() && lengths[i + run] == l) ++run;
    i += run;
    if (l == 0) {
      while (run >= 11) {
        const std::size_t n = std::min<std::size_t>(run, 138);
        out.push_back({18, static_cast<int>(n - 11)});
        run -= n;
      }
      if (run >= 3) {
        out.push_back({17, static_cast<int>(run - 3)});
        run = 0;
      }
    } else {
      out.push_back({l, 0});
      --run;
      while (run >= 3) {
        const std::size_t n = std::min<std::size_t>(run, 6);
        out.push_back({16, static_cast<int>(n - 3)});
        run -= n;
      }
    }
    for (; run > 0; --run) out.push_back({l, 0});
  }
  return out;
}

std::uint32_t zigzag(std::uint32_t residual) {
  return (residual << 1) ^ static_cast<std::uint32_t>(static_cast<std::int32_t>(residual) >> 31);
}

}  // namespace

void DeflateWriter::putBits(std::uint32_t value, int count) {
  bitBuffer_ |= static_cast<std::uint64_t>(value) << bitCount_;
  bitCount_ += count;
  while (bitCount_ >= 8) {
    out_.push_back(static_cast<char>(bitBuffer_ & 0xFF));
    bitBuffer_ >>= 8;
    bitCount_ -= 8;
  }
}

void DeflateWriter::addBlock(const std::uint8_t* data, std::size_t size) {
  const std::vector<Token> tokens = tokenize(data, size);
  std::vector<std::uint32_t> literalFreq(kLiteralCodes, 0);
  for (const Token& t : tokens) ++literalFreq[t.symbol];
  // Runs always refer one byte back: distance code 0. Code 1 is given a length
  // too, so that the distance codes form a complete set.
  const std::vector<int> literalLengths = codeLengths(literalFreq, kMaxCodeBits);
  const std::vector<int> distanceLengths = {1, 1};
  const std::vector<std::uint16_t> literalCodes = canonicalCodes(literalLengths);

  int hlit = kLiteralCodes;
  while (hlit > 257 && literalLengths[static_cast<std::size_t>(hlit - 1)] == 0) --hlit;
  std::vector<int> allLengths(literalLengths.begin(), literalLengths.begin() + hlit);
  allLengths.insert(allLengths.end(), distanceLengths.begin(), distanceLengths.end());
  const std::vector<LengthSymbol> lengthSymbols = runLengthCode(allLengths);
  std::vector<std::uint32_t> lengthFreq(19, 0);
  for (const LengthSymbol& s : lengthSymbols) ++lengthFreq[static_cast<std::size_t>(s.symbol)];
  const std::vector<int> lengthLengths = codeLengths(lengthFreq, kMaxCodeLengthBits);
  const std::vector<std::uint16_t> lengthCodes = canonicalCodes(lengthLengths);
  int hclen = 19;
  while (hclen > 4 && lengthLengths[static_cast<std::size_t>(kCodeLengthOrder[static_cast<std::size_t>(hclen - 1)])] == 0) {
    --hclen;
  }

  putBits(0, 1);  // not the final block
  putBits(2, 2);  // dynamic Huffman codes
  putBits(static_cast<std::uint32_t>(hlit - 257), 5);
  putBits(static_cast<std::uint32_t>(distanceLengths.size() - 1), 5);
  putBits(static_cast<std::uint32_t>(hclen - 4), 4);
  for (int k = 0; k < hclen; ++k) {
    putBits(static_cast<std::uint32_t>(lengthLengths[static_cast<std::size_t>(kCodeLengthOrder[static_cast<std::size_t>(k)])]), 3);
  }
  static constexpr std::array<int, 19> kLengthExtraBits = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                           0, 0, 0, 0, 0, 0, 2, 3, 7};
  for (const LengthSymbol& s : lengthSymbols) {
    const auto symbol = static_cast<std::size_t>(s.symbol);
    putBits(lengthCodes[symbol], lengthLengths[symbol]);
    if (kLengthExtraBits[symbol] > 0) putBits(static_cast<std::uint32_t>(s.extra), kLengthExtraBits[symbol]);
  }
  for (const Token& t : tokens) {
    putBits(literalCodes[t.symbol], literalLengths[t.symbol]);
    if (t.symbol > kEndOfBlock) {
      const int extraBits = kLengthExtra[static_cast<std::size_t>(t.symbol - 257)];
      if (extraBits > 0) putBits(t.extra, extraBits);
      putBits(0, 1);  // distance code 0: one byte back
    }
  }
}

std::string DeflateWriter::finish() {
  putBits(1, 1);  // the final block
  putBits(1, 2);  // fixed Huffman codes
  putBits(0, 7);  // end of block
  if (bitCount_ > 0) putBits(0, 8 - bitCount_);
  return std::move(out_);
}

FieldSeries::FieldSeries(std::size_t count)
    : count_(count),
      previous_(count, 0),
      beforePrevious_(count, 0),
      residual_(count),
      linearResidual_(count),
      planes_(4 * count) {}

void FieldSeries::addStep(const float* values) {
  std::uint64_t previousWidth = 0, linearWidth = 0;
  for (std::size_t i = 0; i < count_; ++i) {
    std::uint32_t bits;
    std::memcpy(&bits, &values[i], sizeof bits);
    residual_[i] = zigzag(bits - previous_[i]);
    linearResidual_[i] = zigzag(bits - (2 * previous_[i] - beforePrevious_[i]));
    previousWidth += static_cast<std::uint64_t>(std::bit_width(residual_[i]));
    linearWidth += static_cast<std::uint64_t>(std::bit_width(linearResidual_[i]));
    beforePrevious_[i] = previous_[i];
    previous_[i] = bits;
  }
  const bool linear = linearWidth < previousWidth;
  predictions_.push_back(linear ? Prediction::Linear : Prediction::Previous);
  const std::vector<std::uint32_t>& chosen = linear ? linearResidual_ : residual_;
  for (std::size_t i = 0; i < count_; ++i) {
    const std::uint32_t z = chosen[i];
    planes_[i] = static_cast<std::uint8_t>(z);
    planes_[count_ + i] = static_cast<std::uint8_t>(z >> 8);
    planes_[2 * count_ + i] = static_cast<std::uint8_t>(z >> 16);
    planes_[3 * count_ + i] = static_cast<std::uint8_t>(z >> 24);
  }
  DeflateWriter deflate;
  for (std::size_t plane = 0; plane < 4; ++plane) deflate.addBlock(planes_.data() + plane * count_, count_);
  packed_.push_back(deflate.finish());
}

void appendBase64(std::string& out, std::string_view bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  out.reserve(out.size() + (bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  auto byte = [&](std::size_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[k])); };
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    const std::uint32_t v = byte(i) << 16 | (rest > 1 ? byte(i + 1) << 8 : 0);
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += rest > 1 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
}

}  // namespace gw::postvtk
