// Packing of the step values that the browser view carries: every field as 32-bit
// values, step after step, each step predicted from the steps before it, the
// residuals split into byte planes and compressed as a raw deflate stream that any
// current browser inflates natively; the bytes then travel in the page as base64.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace gw::postvtk {

// Writes a raw deflate stream (no zlib or gzip wrapper): one block with its own
// Huffman codes per call of addBlock, whose only back references are runs of the
// byte before (distance 1). That suits byte planes: long runs of zeros where the
// residuals are small, near-random bytes where they are not.
class DeflateWriter {
 public:
  void addBlock(const std::uint8_t* data, std::size_t size);
  // Ends the stream with a final empty block and returns its bytes.
  std::string finish();

 private:
  void putBits(std::uint32_t value, int count);

  std::string out_;
  std::uint64_t bitBuffer_ = 0;
  int bitCount_ = 0;
};

// How a step's values are predicted from the steps before it; the residual is the
// difference of the 32-bit patterns, which is small where the values change little.
enum class Prediction : std::uint8_t {
  Previous = 0,  // the previous step's value (0 for the first step)
  Linear = 1,    // carried on from the two previous steps: 2 * previous - the one before
};

// One field over the steps: `count` 32-bit floats per step. Each step is packed as
// a deflate stream of its own, of four blocks: the byte planes of the zigzagged
// residuals (the low bytes of every residual, then the second bytes, ...) of the
// prediction that gives the smaller residuals. A reader unpacks the steps in order.
class FieldSeries {
 public:
  explicit FieldSeries(std::size_t count);

  void addStep(const float* values);
  std::size_t steps() const { return predictions_.size(); }
  const std::vector<Prediction>& predictions() const { return predictions_; }
  const std::vector<std::string>& packedSteps() const { return packed_; }

 private:
  std::size_t count_;
  std::vector<std::uint32_t> previous_, beforePrevious_;
  std::vector<std::uint32_t> residual_, linearResidual_;
  std::vector<std::uint8_t> planes_;
  std::vector<Prediction> predictions_;
  std::vector<std::string> packed_;
};

// Appends `bytes` to `out` in base64 (standard alphabet, padded).
void appendBase64(std::string& out, std::string_view bytes);

}  // namespace gw::postvtk
