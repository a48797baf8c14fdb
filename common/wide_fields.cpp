// The eight-lane exponent renderer. Its functions are compiled for the 512-bit
// instruction set on their own (the rest of the program is not) and are called
// only after the processor has been asked whether it has it.
#include "wide_fields.hpp"

#include <cstdint>
#include <type_traits>

#include "decimal_digits.hpp"
#include "platform.hpp"
#include "vector_intrinsics.hpp"

namespace gw::fields::wide {

namespace {

using straight::ExponentLayout;
using straight::Kernel;

#define GW_WIDE __attribute__((target("avx512f,avx512dq,avx512vl,avx512bw,avx512cd")))
#define GW_RUNS __attribute__((target("avx512f,avx512dq,avx512vl,avx512bw,avx512cd,avx512vbmi,bmi2")))
#define GW_WIDE_INLINE __attribute__((target("avx512f,avx512dq,avx512vl,avx512bw,avx512cd"), always_inline)) inline

// A lane the straight path declines: the exact renderers decide, as they do
// for the straight renderer.
template <class L>
[[gnu::noinline, gnu::cold]] void declined(char* out, double value) {
  straight::exponent<L>(out, value);
}

// The quotient and remainder of n by 10^4 (n below 10^5) and by 10^5 (n below
// 10^6) with 32-bit products: (n / 2^k) x m / 2^s, checked for every n by the tests.
GW_WIDE_INLINE __m256i divide10000(__m256i n) {
  return _mm256_srli_epi32(_mm256_mullo_epi32(_mm256_srli_epi32(n, 4), _mm256_set1_epi32(6711)), 22);
}
GW_WIDE_INLINE __m256i divide100000(__m256i n) {
  return _mm256_srli_epi32(_mm256_mullo_epi32(_mm256_srli_epi32(n, 5), _mm256_set1_epi32(85900)), 28);
}

// A table of doubles looked up lane by lane from registers, sixteen entries to
// a permutation of two, rather than gathered from memory; entries past the
// source's end are 1.
template <std::size_t N>
struct LaneTable {
  static_assert(N % 8 == 0);
  double at[N];
  constexpr LaneTable(const double* source, std::size_t count) : at() {
    for (std::size_t i = 0; i < N; ++i) at[i] = i < count ? source[i] : 1.0;
  }
};
alignas(64) constexpr LaneTable<48> kScaleTable(digits_detail::kScale, 45);  // 10^(i - 22)
alignas(64) constexpr LaneTable<24> kPowerTable(digits_detail::kPow10, 23);  // 10^i, exact

template <std::size_t N>
GW_WIDE_INLINE __m512d lookUp(const LaneTable<N>& table, __m512i i) {
  const double* t = table.at;
  __m512d r = _mm512_permutex2var_pd(_mm512_load_pd(t), i, _mm512_load_pd(t + 8));
  for (std::size_t from = 16; from < N; from += 16) {
    const double* next = t + (from + 8 < N ? from + 8 : from);
    r = _mm512_mask_mov_pd(r, _mm512_cmpge_epu64_mask(i, _mm512_set1_epi64(static_cast<long long>(from))),
                           _mm512_permutex2var_pd(_mm512_load_pd(t + from), i, _mm512_load_pd(next)));
  }
  return r;
}

// The four digits of r < 10^4 in each lane, as characters, first digit lowest
// (fourDigits of field_kernels.hpp, lane by lane).
GW_WIDE_INLINE __m256i fourDigits(__m256i r) {
  __m256i x = _mm256_srli_epi32(_mm256_mullo_epi32(r, _mm256_set1_epi32(5243)), 19);  // r / 100
  x = _mm256_or_si256(x, _mm256_slli_epi32(_mm256_sub_epi32(r, _mm256_mullo_epi32(x, _mm256_set1_epi32(100))), 16));
  const __m256i y = _mm256_and_si256(_mm256_srli_epi32(_mm256_mullo_epi32(x, _mm256_set1_epi32(103)), 10),
                                     _mm256_set1_epi32(0x000F000F));  // lane / 10
  return _mm256_or_si256(_mm256_or_si256(y, _mm256_slli_epi32(_mm256_sub_epi32(x, _mm256_mullo_epi32(y, _mm256_set1_epi32(10))), 8)),
                         _mm256_set1_epi32(0x30303030));
}

// The eight digits of x < 10^8 in each 64-bit lane, first digit lowest.
GW_WIDE_INLINE __m512i eightDigits(__m512i x) {
  const __m512i upper = _mm512_srli_epi64(_mm512_mul_epu32(x, _mm512_set1_epi64(3518437209)), 45);  // x / 10^4
  const __m256i upper32 = _mm512_cvtepi64_epi32(upper);
  const __m256i lower32 = _mm256_sub_epi32(_mm512_cvtepi64_epi32(x), _mm256_mullo_epi32(upper32, _mm256_set1_epi32(10000)));
  return _mm512_or_si512(_mm512_cvtepu32_epi64(fourDigits(upper32)),
                         _mm512_slli_epi64(_mm512_cvtepu32_epi64(fourDigits(lower32)), 32));
}

// withPoint of field_kernels.hpp with a count `before` (0 to 7) per lane: the
// first `before` digits after the leading byte move down over it, and the
// point follows them.
GW_WIDE_INLINE __m512i withPoint(__m512i digits, __m512i before) {
  const __m512i shift = _mm512_slli_epi64(before, 3);
  const __m512i below = _mm512_sub_epi64(_mm512_sllv_epi64(_mm512_set1_epi64(1), shift), _mm512_set1_epi64(1));
  return _mm512_or_si512(_mm512_or_si512(_mm512_and_si512(_mm512_srli_epi64(digits, 8), below),
                                         _mm512_sllv_epi64(_mm512_set1_epi64('.'), shift)),
                         _mm512_andnot_si512(_mm512_or_si512(below, _mm512_sllv_epi64(_mm512_set1_epi64(0xFF), shift)), digits));
}

// E, the exponent's sign and its two digits, a word per lane (the straight
// paths decline exponents of three digits).
GW_WIDE_INLINE __m256i exponentWords(__m256i exp10) {
  const __m256i magnitude = _mm256_abs_epi32(exp10);
  const __m256i tens = _mm256_srli_epi32(_mm256_mullo_epi32(magnitude, _mm256_set1_epi32(103)), 10);
  const __m256i ones = _mm256_sub_epi32(magnitude, _mm256_mullo_epi32(tens, _mm256_set1_epi32(10)));
  const __m256i words = _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(tens, 16), _mm256_slli_epi32(ones, 24)),
                                        _mm256_set1_epi32('E' | '+' << 8 | '0' << 16 | '0' << 24));
  return _mm256_mask_add_epi32(words, _mm256_cmplt_epi32_mask(exp10, _mm256_setzero_si256()), words,
                               _mm256_set1_epi32(('-' - '+') << 8));
}

// The first three columns of a free-form field: in exponent form a blank, the
// sign and the first digit of `digits`; in fixed form a blank and the sign
// before the digits, or the sign and a zero before a point that comes first.
GW_WIDE_INLINE __m512i freeHead(__m512d value, __m512i digits, __mmask8 fixed, __mmask8 pointFirst) {
  const __m512i sign = _mm512_mask_blend_epi64(_mm512_movepi64_mask(_mm512_castpd_si512(value)),
                                               _mm512_set1_epi64(' '), _mm512_set1_epi64('-'));
  const __m512i exponentHead =
      _mm512_or_si512(_mm512_or_si512(_mm512_set1_epi64(' '), _mm512_slli_epi64(sign, 8)),
                      _mm512_slli_epi64(_mm512_and_si512(digits, _mm512_set1_epi64(0xFF)), 16));
  const __m512i fixedHead = _mm512_mask_blend_epi64(
      pointFirst, _mm512_or_si512(_mm512_set1_epi64(' ' | ' ' << 8), _mm512_slli_epi64(sign, 16)),
      _mm512_or_si512(_mm512_set1_epi64(' ' | '0' << 16), _mm512_slli_epi64(sign, 8)));
  return _mm512_mask_blend_epi64(fixed, exponentHead, fixedHead);
}

// The digits of the exponent form after the first: the point over the first.
GW_WIDE_INLINE __m512i pointOverFirst(__m512i digits) {
  return _mm512_or_si512(_mm512_andnot_si512(_mm512_set1_epi64(0xFF), digits), _mm512_set1_epi64('.'));
}

// Where the fields go: listed one by one, or evenly spaced.
struct Listed {
  char* const* targets;
  char* operator[](std::size_t k) const { return targets[k]; }
  Listed operator+(std::size_t k) const { return {targets + k}; }
};
struct Spaced {
  char* first;
  std::size_t stride;
  char* operator[](std::size_t k) const { return first + k * stride; }
  Spaced operator+(std::size_t k) const { return {first + k * stride, stride}; }
};

// Eight values in layout L, in registers: the word of each field's last twelve
// columns but the exponent, the exponent's word, and the lanes declined (whose
// words are to be rendered over).
struct Lanes {
  __m512i words;
  __m256i exponentWords;
  __mmask8 declined;
};

// Pure register arithmetic, so that the compiler can interleave two batches.
template <class L>
GW_WIDE_INLINE Lanes renderLanes(__m512d value) {
  using namespace digits_detail;
  constexpr int count = L::count, D = L::d;
  // 1P with four or five digits after the point, or five digits after "0."
  static_assert(((L::scale == 1 && D >= 4 && D <= 5) || (L::scale == 0 && D == 5)) && L::e == 0);
  const __m512d magnitude = _mm512_abs_pd(value);
  // The decade product (decadeProduct of decimal_digits.hpp): the guess from
  // the binary exponent, both candidate products, the one below 10^count.
  const __m256i binary = _mm512_cvtepi64_epi32(_mm512_srli_epi64(_mm512_castpd_si512(magnitude), 52));
  const __m256i lead = _mm256_sub_epi32(binary, _mm256_set1_epi32(1023));
  const __m256i guess = _mm256_srai_epi32(_mm256_mullo_epi32(lead, _mm256_set1_epi32(78913)), 18);
  const __m256i index = _mm256_sub_epi32(_mm256_set1_epi32(count - 1 + 21), guess);  // pLow + 21
  __mmask8 declined = _mm256_cmpgt_epu32_mask(index, _mm256_set1_epi32(43));  // pLow outside -21 .. 22
  const __m256i within = _mm256_min_epu32(index, _mm256_set1_epi32(43));
  const __m512i scaleIndex = _mm512_cvtepu32_epi64(within);
  const __m512d tLow = _mm512_mul_pd(magnitude, lookUp(kScaleTable, _mm512_add_epi64(scaleIndex, _mm512_set1_epi64(1))));
  const __m512d tHigh = _mm512_mul_pd(magnitude, lookUp(kScaleTable, scaleIndex));
  const __mmask8 nextDecade = _mm512_cmp_pd_mask(tLow, _mm512_set1_pd(kPow10[count]), _CMP_GE_OQ);
  const __m512d t = _mm512_mask_blend_pd(nextDecade, tLow, tHigh);
  __m256i exp10 = _mm256_mask_add_epi32(guess, nextDecade, guess, _mm256_set1_epi32(1));
  // Rounded to an integer (shortDigits): declined across a power of ten or
  // within the tie margin.
  const __m256i whole = _mm512_cvttpd_epi32(t);
  const __m512d fromHalf = _mm512_sub_pd(_mm512_sub_pd(t, _mm512_cvtepi32_pd(whole)), _mm512_set1_pd(0.5));
  constexpr int low = static_cast<int>(kPow10Integer[count - 1]), high = static_cast<int>(kPow10Integer[count]);
  declined |= _mm256_cmpge_epu32_mask(_mm256_sub_epi32(whole, _mm256_set1_epi32(low)), _mm256_set1_epi32(high - low));
  declined |= _mm512_cmp_pd_mask(_mm512_abs_pd(fromHalf), _mm512_set1_pd(kTieMargin[count]), _CMP_LE_OQ);
  const __mmask8 up = _mm512_cmp_pd_mask(fromHalf, _mm512_setzero_pd(), _CMP_GT_OQ);
  __m256i n = _mm256_mask_add_epi32(whole, up, whole, _mm256_set1_epi32(1));
  const __mmask8 carry = _mm256_cmpeq_epi32_mask(n, _mm256_set1_epi32(high));
  n = _mm256_mask_mov_epi32(n, carry, _mm256_set1_epi32(low));
  exp10 = _mm256_mask_add_epi32(exp10, carry, exp10, _mm256_set1_epi32(1));
  // The digit before the point, the D after it, and the word of the field's
  // last twelve columns but the exponent: for D 4 a blank, the sign, the
  // digit, the point and four digits; for D 5 the sign, the digit, the point
  // and five digits.
  __m256i before, fraction;
  if constexpr (D == 4) {
    before = divide10000(n);
    fraction = _mm256_sub_epi32(n, _mm256_mullo_epi32(before, _mm256_set1_epi32(10000)));
  } else if constexpr (L::scale == 0) {
    before = _mm256_setzero_si256();  // "0." and the five digits
    fraction = n;
  } else {
    before = divide100000(n);
    fraction = _mm256_sub_epi32(n, _mm256_mullo_epi32(before, _mm256_set1_epi32(100000)));
  }
  const __mmask8 negative = _mm512_movepi64_mask(_mm512_castpd_si512(value));
  __m256i head;
  if constexpr (D == 4) {
    head = _mm256_or_si256(_mm256_set1_epi32(' ' | '0' << 16 | '.' << 24), _mm256_slli_epi32(before, 16));
    head = _mm256_mask_or_epi32(_mm256_or_si256(head, _mm256_set1_epi32(' ' << 8)), negative, head,
                                _mm256_set1_epi32('-' << 8));
  } else {
    const __m256i fifth = divide10000(fraction);  // the first digit after the point
    fraction = _mm256_sub_epi32(fraction, _mm256_mullo_epi32(fifth, _mm256_set1_epi32(10000)));
    head = _mm256_or_si256(_mm256_set1_epi32('0' << 8 | '.' << 16 | '0' << 24),
                           _mm256_or_si256(_mm256_slli_epi32(before, 8), _mm256_slli_epi32(fifth, 24)));
    head = _mm256_mask_or_epi32(_mm256_or_si256(head, _mm256_set1_epi32(' ')), negative, head, _mm256_set1_epi32('-'));
  }
  const __m512i words = _mm512_or_si512(_mm512_cvtepu32_epi64(head),
                                        _mm512_slli_epi64(_mm512_cvtepu32_epi64(fourDigits(fraction)), 32));
  // Without 1P the digits stand after "0.": the exponent is one more.
  if constexpr (L::scale == 0) exp10 = _mm256_add_epi32(exp10, _mm256_set1_epi32(1));
  return Lanes{words, exponentWords(exp10), declined};
}

// Stores the first `lanes` fields of a batch at their places.
template <class L, class Places>
GW_WIDE_INLINE void place(const Lanes& lanes, Places targets, int count) {
  alignas(64) std::uint64_t word[8];
  alignas(32) std::uint32_t exponentWord[8];
  _mm512_store_si512(word, lanes.words);
  _mm256_store_si256(reinterpret_cast<__m256i*>(exponentWord), lanes.exponentWords);
  for (int k = 0; k < count; ++k) {
    char* out = targets[k];
    if constexpr (L::w > 12) straight::store8(out, straight::kBlanks);
    straight::store8(out + L::w - 12, word[k]);
    straight::store4(out + L::w - 4, exponentWord[k]);
  }
}

// The lanes are rendered batch after batch with no call in between, so that the
// loop keeps its constants in registers; the declined fields of a chunk are
// rendered over afterwards.
template <class L, class Places>
GW_WIDE void render(Places targets, const double* values, std::size_t n) {
  constexpr std::size_t kBatches = 32;
  while (n > 0) {
    const std::size_t chunk = n < 8 * kBatches ? n : 8 * kBatches;
    __mmask8 declined[kBatches];
    __mmask8 any = 0;
    std::size_t batches = 0, i = 0;
    // Two batches at a time: their arithmetic overlaps.
    for (; i + 16 <= chunk; i += 16) {
      const Lanes a = renderLanes<L>(_mm512_loadu_pd(values + i));
      const Lanes b = renderLanes<L>(_mm512_loadu_pd(values + i + 8));
      place<L>(a, targets + i, 8);
      place<L>(b, targets + i + 8, 8);
      any |= declined[batches++] = a.declined;
      any |= declined[batches++] = b.declined;
    }
    for (; i < chunk; i += 8) {
      const int count = chunk - i < 8 ? static_cast<int>(chunk - i) : 8;
      const auto present = static_cast<__mmask8>((1u << count) - 1);
      const Lanes a = renderLanes<L>(_mm512_maskz_loadu_pd(present, values + i));
      place<L>(a, targets + i, count);
      any |= declined[batches++] = a.declined & present;
    }
    if (any != 0) [[unlikely]] {
      for (std::size_t b = 0; b < batches; ++b) {
        for (unsigned lanes = declined[b]; lanes != 0; lanes &= lanes - 1) {
          const std::size_t k = 8 * b + static_cast<std::size_t>(__builtin_ctz(lanes));
          wide::declined<L>(targets[k], values[k]);
        }
      }
    }
    targets = targets + chunk;
    values += chunk;
    n -= chunk;
  }
}

// A free-form field of eight values in registers: N words of its columns per
// lane (where each goes in the field: kSingleColumns, kDoubleColumns), and the
// lanes declined.
template <std::size_t N>
struct FreeLanes {
  __m512i words[N];
  __mmask8 declined;
};

// The free-form 32-bit real, 1P G15.7E2: columns 1 to 8 and 8 to 15 (they share
// column 8). Per lane, as the straight renderer: seven digits in fixed form
// from `smallestFixed` up to 9999999.5, else eight in exponent form.
GW_WIDE_INLINE FreeLanes<2> freeSingleLanes(__m512d value, __m512d smallestFixed) {
  using namespace digits_detail;
  const __m512d magnitude = _mm512_abs_pd(value);
  const __mmask8 fixed = _mm512_cmp_pd_mask(magnitude, smallestFixed, _CMP_GE_OQ) &
                         _mm512_cmp_pd_mask(magnitude, _mm512_set1_pd(9999999.5), _CMP_LT_OQ);
  // The decade product of 7 or 8 digits (decadeProduct of decimal_digits.hpp).
  const __m256i count = _mm256_mask_blend_epi32(fixed, _mm256_set1_epi32(8), _mm256_set1_epi32(7));
  const __m256i binary = _mm512_cvtepi64_epi32(_mm512_srli_epi64(_mm512_castpd_si512(magnitude), 52));
  const __m256i lead = _mm256_sub_epi32(binary, _mm256_set1_epi32(1023));
  const __m256i guess = _mm256_srai_epi32(_mm256_mullo_epi32(lead, _mm256_set1_epi32(78913)), 18);
  const __m256i index = _mm256_sub_epi32(_mm256_add_epi32(count, _mm256_set1_epi32(20)), guess);  // pLow + 21
  __mmask8 declined = _mm256_cmpgt_epu32_mask(index, _mm256_set1_epi32(43));
  const __m512i scaleIndex = _mm512_cvtepu32_epi64(_mm256_min_epu32(index, _mm256_set1_epi32(43)));
  const __m512d tLow = _mm512_mul_pd(magnitude, lookUp(kScaleTable, _mm512_add_epi64(scaleIndex, _mm512_set1_epi64(1))));
  const __m512d tHigh = _mm512_mul_pd(magnitude, lookUp(kScaleTable, scaleIndex));
  const __mmask8 nextDecade = _mm512_cmp_pd_mask(
      tLow, _mm512_mask_blend_pd(fixed, _mm512_set1_pd(kPow10[8]), _mm512_set1_pd(kPow10[7])), _CMP_GE_OQ);
  const __m512d t = _mm512_mask_blend_pd(nextDecade, tLow, tHigh);
  __m256i exp10 = _mm256_mask_add_epi32(guess, nextDecade, guess, _mm256_set1_epi32(1));
  // Rounded to an integer (shortDigits): declined across a power of ten or
  // within the tie margin.
  const __m256i whole = _mm512_cvttpd_epi32(t);
  const __m512d fromHalf = _mm512_sub_pd(_mm512_sub_pd(t, _mm512_cvtepi32_pd(whole)), _mm512_set1_pd(0.5));
  const __m256i low = _mm256_mask_blend_epi32(fixed, _mm256_set1_epi32(10000000), _mm256_set1_epi32(1000000));
  const __m256i high = _mm256_mask_blend_epi32(fixed, _mm256_set1_epi32(100000000), _mm256_set1_epi32(10000000));
  declined |= _mm256_cmpge_epu32_mask(_mm256_sub_epi32(whole, low), _mm256_sub_epi32(high, low));
  const __m512d margin = _mm512_mask_blend_pd(fixed, _mm512_set1_pd(kTieMargin[8]), _mm512_set1_pd(kTieMargin[7]));
  declined |= _mm512_cmp_pd_mask(_mm512_abs_pd(fromHalf), margin, _CMP_LE_OQ);
  const __mmask8 up = _mm512_cmp_pd_mask(fromHalf, _mm512_setzero_pd(), _CMP_GT_OQ);
  __m256i n = _mm256_mask_add_epi32(whole, up, whole, _mm256_set1_epi32(1));
  const __mmask8 carry = _mm256_cmpeq_epi32_mask(n, high);
  n = _mm256_mask_mov_epi32(n, carry, low);
  exp10 = _mm256_mask_add_epi32(exp10, carry, exp10, _mm256_set1_epi32(1));
  // The eight digits of n (a leading zero for seven), first digit lowest.
  const __m512i digits = eightDigits(_mm512_cvtepu32_epi64(n));
  // Exponent form: a blank, the sign, the first digit, the point and seven
  // more digits, E, the exponent's sign and two digits. Fixed form: the seven
  // digits with the point after the first `before` of them, four blanks
  // after them.
  const __m256i before = _mm256_min_epu32(_mm256_add_epi32(exp10, _mm256_set1_epi32(1)), _mm256_set1_epi32(7));
  const __m512i head =
      freeHead(value, digits, fixed, _mm256_cmpeq_epi32_mask(before, _mm256_setzero_si256()));
  const __m512i middle =
      _mm512_mask_blend_epi64(fixed, pointOverFirst(digits), withPoint(digits, _mm512_cvtepu32_epi64(before)));
  const __m512i tail = _mm512_mask_blend_epi64(fixed, _mm512_cvtepu32_epi64(exponentWords(exp10)),
                                               _mm512_set1_epi64(0x20202020));
  return FreeLanes<2>{{_mm512_or_si512(head, _mm512_slli_epi64(middle, 24)),
                       _mm512_or_si512(_mm512_srli_epi64(middle, 32), _mm512_slli_epi64(tail, 32))},
                      declined};
}

// The free-form double, 1P G24.15E3: three words of eight columns. Per lane,
// as the straight renderer: fifteen digits in fixed form from `smallestFixed` up to
// 999999999999999.5, else sixteen in exponent form. The digits come from the
// exact product of the value and a power of ten of 10^0 to 10^22 (a product
// and its error, by a fused multiply-add); values needing another scale, and
// products too near a rounding tie, are declined.
GW_WIDE_INLINE FreeLanes<3> freeDoubleLanes(__m512d value, __m512d smallestFixed) {
  using namespace digits_detail;
  const __m512d magnitude = _mm512_abs_pd(value);
  const __mmask8 fixed = _mm512_cmp_pd_mask(magnitude, smallestFixed, _CMP_GE_OQ) &
                         _mm512_cmp_pd_mask(magnitude, _mm512_set1_pd(999999999999999.5), _CMP_LT_OQ);
  const __m512i count = _mm512_mask_blend_epi64(fixed, _mm512_set1_epi64(16), _mm512_set1_epi64(15));
  const __m512i lead = _mm512_sub_epi64(_mm512_srli_epi64(_mm512_castpd_si512(magnitude), 52), _mm512_set1_epi64(1023));
  const __m512i guess = _mm512_srai_epi64(_mm512_mullo_epi64(lead, _mm512_set1_epi64(78913)), 18);
  // The scale for the lower decade, then for the one the value is in.
  const __m512i pLow = _mm512_sub_epi64(_mm512_sub_epi64(count, _mm512_set1_epi64(1)), guess);
  __mmask8 declined = _mm512_cmpgt_epu64_mask(pLow, _mm512_set1_epi64(23));  // pLow outside 0 .. 23
  const __m512d top = _mm512_mask_blend_pd(fixed, _mm512_set1_pd(kPow10[16]), _mm512_set1_pd(kPow10[15]));
  const __m512i within = _mm512_min_epu64(pLow, _mm512_set1_epi64(23));
  const __mmask8 nextDecade = _mm512_cmp_pd_mask(_mm512_mul_pd(magnitude, lookUp(kPowerTable, within)), top, _CMP_GE_OQ);
  const __m512i p = _mm512_mask_sub_epi64(within, nextDecade, within, _mm512_set1_epi64(1));
  declined |= _mm512_cmpgt_epu64_mask(p, _mm512_set1_epi64(22));
  __m512i exp10 = _mm512_mask_add_epi64(guess, nextDecade, guess, _mm512_set1_epi64(1));
  const __m512d power = lookUp(kPowerTable, _mm512_min_epu64(p, _mm512_set1_epi64(22)));
  const __m512d product = _mm512_mul_pd(magnitude, power);
  const __m512d error = _mm512_fmsub_pd(magnitude, power, product);  // exact: product + error = magnitude x 10^p
  // The integer part and what lies beyond it, rounded to the nearest; ties,
  // and what may be one after the roundings here, are declined.
  const __m512i whole = _mm512_cvttpd_epi64(product);
  const __m512d beyond = _mm512_add_pd(_mm512_sub_pd(product, _mm512_cvtepi64_pd(whole)), error);
  const __m512d shifted = _mm512_add_pd(beyond, _mm512_set1_pd(0.5));
  const __m512d step = _mm512_roundscale_pd(shifted, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
  const __m512d fromStep = _mm512_sub_pd(shifted, step);
  declined |= _mm512_cmp_pd_mask(fromStep, _mm512_set1_pd(0x1p-40), _CMP_LE_OQ) |
              _mm512_cmp_pd_mask(fromStep, _mm512_set1_pd(1 - 0x1p-40), _CMP_GE_OQ);
  __m512i n = _mm512_add_epi64(whole, _mm512_cvttpd_epi64(step));
  const __m512i low = _mm512_mask_blend_epi64(fixed, _mm512_set1_epi64(1000000000000000), _mm512_set1_epi64(100000000000000));
  const __m512i high = _mm512_mask_blend_epi64(fixed, _mm512_set1_epi64(10000000000000000), _mm512_set1_epi64(1000000000000000));
  // A product rounded across a power of ten (the scale chosen from it may be
  // one off) is declined.
  declined |= _mm512_cmplt_epi64_mask(whole, low) | _mm512_cmpge_epi64_mask(whole, high) |
              _mm512_cmplt_epi64_mask(n, low);
  const __mmask8 carry = _mm512_cmpeq_epi64_mask(n, high);
  n = _mm512_mask_mov_epi64(n, carry, low);
  exp10 = _mm512_mask_add_epi64(exp10, carry, exp10, _mm512_set1_epi64(1));
  // The sixteen digits (a leading zero for fifteen) in two words.
  n = _mm512_min_epi64(_mm512_max_epi64(n, _mm512_setzero_si512()), _mm512_set1_epi64(9999999999999999));
  __m512i upper = _mm512_cvttpd_epi64(_mm512_mul_pd(_mm512_cvtepi64_pd(n), _mm512_set1_pd(1e-8)));
  __m512i lower = _mm512_sub_epi64(n, _mm512_mullo_epi64(upper, _mm512_set1_epi64(100000000)));
  const __mmask8 under = _mm512_cmplt_epi64_mask(lower, _mm512_setzero_si512());
  upper = _mm512_mask_sub_epi64(upper, under, upper, _mm512_set1_epi64(1));
  lower = _mm512_mask_add_epi64(lower, under, lower, _mm512_set1_epi64(100000000));
  const __mmask8 over = _mm512_cmpge_epi64_mask(lower, _mm512_set1_epi64(100000000));
  upper = _mm512_mask_add_epi64(upper, over, upper, _mm512_set1_epi64(1));
  lower = _mm512_mask_sub_epi64(lower, over, lower, _mm512_set1_epi64(100000000));
  const __m512i first = eightDigits(upper), second = eightDigits(lower);
  // Exponent form: a blank, the sign, the first digit, the point, fifteen
  // more digits, E, the exponent's sign and three digits.
  // (E and the sign, then a zero before the two digits of the exponent: the
  // path declines exponents of three digits.)
  const __m512i twoDigits = _mm512_cvtepu32_epi64(
      exponentWords(_mm512_cvtepi64_epi32(_mm512_max_epi64(_mm512_min_epi64(exp10, _mm512_set1_epi64(99)),
                                                           _mm512_set1_epi64(-99)))));
  const __m512i exponentTail =
      _mm512_or_si512(_mm512_or_si512(_mm512_and_si512(twoDigits, _mm512_set1_epi64(0xFFFF)), _mm512_set1_epi64('0' << 16)),
                      _mm512_slli_epi64(_mm512_srli_epi64(twoDigits, 16), 24));
  // Fixed form: the fifteen digits with the point after the first `before`
  // of them, five blanks after them.
  const __m512i before = _mm512_min_epu64(_mm512_add_epi64(exp10, _mm512_set1_epi64(1)), _mm512_set1_epi64(15));
  const __mmask8 inFirst = _mm512_cmplt_epu64_mask(before, _mm512_set1_epi64(8));
  const __m512i fixedMiddle = _mm512_mask_blend_epi64(
      inFirst, _mm512_or_si512(_mm512_srli_epi64(first, 8), _mm512_slli_epi64(second, 56)), withPoint(first, before));
  const __m512i fixedLast = _mm512_mask_blend_epi64(
      inFirst, withPoint(second, _mm512_sub_epi64(before, _mm512_set1_epi64(8))), second);
  const __m512i head = freeHead(value, first, fixed, _mm512_cmpeq_epi64_mask(before, _mm512_setzero_si512()));
  const __m512i middle = _mm512_mask_blend_epi64(fixed, pointOverFirst(first), fixedMiddle);
  const __m512i last = _mm512_mask_blend_epi64(fixed, second, fixedLast);
  const __m512i tail = _mm512_mask_blend_epi64(fixed, exponentTail, _mm512_set1_epi64(0x2020202020));
  // Columns 1-3 the head, 4-11 the middle word, 12-19 the last, 20-24 the tail.
  return FreeLanes<3>{{_mm512_or_si512(head, _mm512_slli_epi64(middle, 24)),
                      _mm512_or_si512(_mm512_srli_epi64(middle, 40), _mm512_slli_epi64(last, 24)),
                      _mm512_or_si512(_mm512_srli_epi64(last, 40), _mm512_slli_epi64(tail, 24))},
                     declined};
}

// A free-form layout eight fields at a time: the lanes' words stored at their
// columns of each field, then the declined fields rendered over them one by
// one (the straight renderer, and the exact one where it declines too).
template <class Real, std::size_t N, FreeLanes<N> (*renderLanes)(__m512d, __m512d),
          void (*renderOne)(char*, Real)>
GW_WIDE_INLINE void renderFree(Spaced places, const Real* values, std::size_t n, double smallestFixed,
                               const std::size_t (&columns)[N]) {
  const __m512d smallest = _mm512_set1_pd(smallestFixed);
  for (std::size_t i = 0; i < n; i += 8) {
    const int count = n - i < 8 ? static_cast<int>(n - i) : 8;
    const auto present = static_cast<__mmask8>((1u << count) - 1);
    __m512d value;
    if constexpr (std::is_same_v<Real, float>) {
      value = _mm512_cvtps_pd(_mm256_maskz_loadu_ps(present, values + i));
    } else {
      value = _mm512_maskz_loadu_pd(present, values + i);
    }
    const FreeLanes<N> lanes = renderLanes(value, smallest);
    alignas(64) std::uint64_t words[N][8];
    for (std::size_t w = 0; w < N; ++w) _mm512_store_si512(words[w], lanes.words[w]);
    for (int k = 0; k < count; ++k) {
      char* out = places[i + static_cast<std::size_t>(k)];
      for (std::size_t w = 0; w < N; ++w) straight::store8(out + columns[w], words[w][k]);
    }
    for (unsigned declined = lanes.declined & present; declined != 0; declined &= declined - 1) {
      const std::size_t k = i + static_cast<std::size_t>(__builtin_ctz(declined));
      renderOne(places[k], values[k]);
    }
  }
}

constexpr std::size_t kSingleColumns[] = {0, 7};
constexpr std::size_t kDoubleColumns[] = {0, 8, 16};

GW_WIDE void renderFreeSingles(Spaced places, const float* values, std::size_t n) {
  renderFree<float, 2, freeSingleLanes, fields::freeSingle>(places, values, n, smallestFixedSingle(), kSingleColumns);
}

GW_WIDE void renderFreeDoubles(Spaced places, const double* values, std::size_t n) {
  renderFree<double, 3, freeDoubleLanes, fields::freeDouble>(places, values, n, smallestFixedDouble(), kDoubleColumns);
}

// Iw (w of 8 or more) of first, first + 1, ... (all below 10^8 and not
// negative), eight at a time: blanks, then the digits with their leading zeros
// blanked (the last digit stays).
GW_WIDE void renderCounting(Spaced places, int w, std::int64_t first, std::size_t n) {
  const __m512i lane = _mm512_set_epi64(7, 6, 5, 4, 3, 2, 1, 0);
  for (std::size_t i = 0; i < n; i += 8) {
    const __m512i value = _mm512_add_epi64(lane, _mm512_set1_epi64(first + static_cast<std::int64_t>(i)));
    __m512i digits = eightDigits(value);
    // The first digit that is not a leading zero (the last one at the latest).
    const __m512i significant = _mm512_or_si512(_mm512_and_si512(digits, _mm512_set1_epi64(0x0F0F0F0F0F0F0F0F)),
                                                _mm512_set1_epi64(std::int64_t{1} << 56));
    const __m512i lowest = _mm512_and_si512(significant, _mm512_sub_epi64(_mm512_setzero_si512(), significant));
    const __m512i zeroBits = _mm512_sub_epi64(_mm512_set1_epi64(63), _mm512_lzcnt_epi64(lowest));
    const __m512i zeroBytes = _mm512_and_si512(zeroBits, _mm512_set1_epi64(~std::int64_t{7}));  // 8 x leading zeros
    const __m512i blanked = _mm512_sub_epi64(_mm512_sllv_epi64(_mm512_set1_epi64(1), zeroBytes), _mm512_set1_epi64(1));
    digits = _mm512_sub_epi64(digits, _mm512_and_si512(blanked, _mm512_set1_epi64(0x1010101010101010)));
    alignas(64) std::uint64_t word[8];
    _mm512_store_si512(word, digits);
    const int count = n - i < 8 ? static_cast<int>(n - i) : 8;
    for (int k = 0; k < count; ++k) {
      char* out = places[i + static_cast<std::size_t>(k)];
      for (int at = 0; at + 8 < w; at += 8) straight::store8(out + at, straight::kBlanks);
      straight::store8(out + w - 8, word[k]);
    }
  }
}

// Where each byte of eight fields of layout L laid end to end, each followed by
// a separator, is taken from: below 64 a byte of the lanes' words, from 64 on
// one of the lanes' exponent words, then a blank (96) and the separator (97).
template <class L>
struct RunBytes {
  unsigned char from[128];
  constexpr RunBytes() : from() {
    constexpr int stride = L::w + 1;
    for (int b = 0; b < 128; ++b) {
      const int k = b / stride, column = b % stride;
      if (k >= 8 || column < L::w - 12) {
        from[b] = 96;
      } else if (column < L::w - 4) {
        from[b] = static_cast<unsigned char>(8 * k + column - (L::w - 12));
      } else if (column < L::w) {
        from[b] = static_cast<unsigned char>(64 + 4 * k + column - (L::w - 4));
      } else {
        from[b] = 97;
      }
    }
  }
};

#define GW_RUNS_INLINE \
  __attribute__((target("avx512f,avx512dq,avx512vl,avx512bw,avx512cd,avx512vbmi,bmi2"), always_inline)) inline

// Stores the first `count` fields of a batch, each with its separator, end to
// end at p; returns the lanes declined.
template <class L>
GW_RUNS_INLINE unsigned placeRun(const Lanes& lanes, char* p, int count, __m512i from0, __m512i from1,
                                 __m512i texts) {
  constexpr std::size_t stride = L::w + 1;
  const __m512i others = _mm512_inserti64x4(texts, lanes.exponentWords, 0);
  const std::size_t bytes = static_cast<std::size_t>(count) * stride;
  const __m512i low = _mm512_permutex2var_epi8(lanes.words, from0, others);
  if (bytes > 64) {
    _mm512_storeu_si512(p, low);
    const __m512i high = _mm512_permutex2var_epi8(lanes.words, from1, others);
    _mm512_mask_storeu_epi8(p + 64, _bzhi_u64(~std::uint64_t{0}, static_cast<unsigned>(bytes - 64)), high);
  } else {
    _mm512_mask_storeu_epi8(p, _bzhi_u64(~std::uint64_t{0}, static_cast<unsigned>(bytes)), low);
  }
  return lanes.declined & ((1u << count) - 1);
}

// Renders the declined fields of a batch (bit k: field k from p) over what
// the lanes left there.
template <class L>
[[gnu::noinline, gnu::cold]] void renderDeclined(unsigned declined, char* p, const double* values) {
  for (; declined != 0; declined &= declined - 1) {
    const auto k = static_cast<std::size_t>(__builtin_ctz(declined));
    wide::declined<L>(p + k * (L::w + 1), values[k]);
  }
}

// A run of fields in layout L, each followed by `separator`, end to end from
// `first`: eight fields and their separators are put together in two vector
// registers by byte permutation and stored at once.
template <class L>
GW_RUNS void renderRun(char* first, const double* values, std::size_t n, char separator) {
  static constexpr RunBytes<L> kBytes;
  constexpr std::size_t stride = L::w + 1;
  const __m512i from0 = _mm512_loadu_si512(kBytes.from), from1 = _mm512_loadu_si512(kBytes.from + 64);
  const __m512i texts = _mm512_mask_set1_epi8(_mm512_set1_epi8(' '), __mmask64{1} << 33, separator);
  std::size_t i = 0;
  // Two batches at a time: their arithmetic overlaps.
  for (; i + 16 <= n; i += 16) {
    const Lanes a = renderLanes<L>(_mm512_loadu_pd(values + i));
    const Lanes b = renderLanes<L>(_mm512_loadu_pd(values + i + 8));
    const unsigned declined = placeRun<L>(a, first + i * stride, 8, from0, from1, texts) |
                              placeRun<L>(b, first + (i + 8) * stride, 8, from0, from1, texts) << 8;
    if (declined != 0) [[unlikely]] renderDeclined<L>(declined, first + i * stride, values + i);
  }
  for (; i < n; i += 8) {
    const int count = n - i < 8 ? static_cast<int>(n - i) : 8;
    const auto present = static_cast<__mmask8>((1u << count) - 1);
    const Lanes a = renderLanes<L>(_mm512_maskz_loadu_pd(present, values + i));
    renderDeclined<L>(placeRun<L>(a, first + i * stride, count, from0, from1, texts), first + i * stride, values + i);
  }
}

template <class Places>
void renderIn(Kernel kernel, Places targets, const double* values, std::size_t n) {
  switch (kernel) {
    case Kernel::E12_4P: return render<ExponentLayout<12, 4, 1>>(targets, values, n);
    case Kernel::E12_5P: return render<ExponentLayout<12, 5, 1>>(targets, values, n);
    case Kernel::E14_5P: return render<ExponentLayout<14, 5, 1>>(targets, values, n);
    case Kernel::E14_5: return render<ExponentLayout<14, 5, 0>>(targets, values, n);
    default: break;
  }
  // Not reached when callers ask covers() first; the straight renderer otherwise.
  for (std::size_t i = 0; i < n; ++i) {
    straight::withLayout(kernel, [&](auto layout) { straight::exponent<decltype(layout)>(targets[i], values[i]); });
  }
}

bool machinePermutesBytes() {
  return __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("bmi2");
}

bool machineHasIt() {
  return platform::wideVectorRendering() && __builtin_cpu_supports("avx512f") &&
         __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
         __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512cd");
}

}  // namespace

bool available() {
  static const bool has = machineHasIt();
  return has;
}

bool covers(Kernel kernel) {
  return available() && (kernel == Kernel::E12_4P || kernel == Kernel::E12_5P || kernel == Kernel::E14_5P ||
                          kernel == Kernel::E14_5);
}

void exponents(Kernel kernel, char* const* targets, const double* values, std::size_t n) {
  renderIn(kernel, Listed{targets}, values, n);
}

void exponents(Kernel kernel, char* first, std::size_t stride, const double* values, std::size_t n) {
  renderIn(kernel, Spaced{first, stride}, values, n);
}

void exponentRun(Kernel kernel, char* first, const double* values, std::size_t n, char separator) {
  static const bool permutes = available() && machinePermutesBytes();
  if (permutes) {
    switch (kernel) {
      case Kernel::E12_4P: return renderRun<ExponentLayout<12, 4, 1>>(first, values, n, separator);
      case Kernel::E12_5P: return renderRun<ExponentLayout<12, 5, 1>>(first, values, n, separator);
      case Kernel::E14_5P: return renderRun<ExponentLayout<14, 5, 1>>(first, values, n, separator);
      case Kernel::E14_5: return renderRun<ExponentLayout<14, 5, 0>>(first, values, n, separator);
      default: break;
    }
  }
  std::size_t stride = 0;
  straight::withLayout(kernel, [&](auto layout) { stride = decltype(layout)::w + 1; });
  for (std::size_t i = 0; i < n; ++i) first[i * stride + stride - 1] = separator;
  renderIn(kernel, Spaced{first, stride}, values, n);
}

void countingIntegers(char* at, std::size_t stride, int w, std::int64_t first, std::size_t n) {
  if (available() && w >= 8 && first >= 0 && first + static_cast<std::int64_t>(n) <= 100000000) {
    renderCounting(Spaced{at, stride}, w, first, n);
    return;
  }
  const straight::IntegerLayout layout(w);
  for (std::size_t i = 0; i < n; ++i) {
    straight::integer(at + i * stride, layout, static_cast<long long>(first) + static_cast<long long>(i));
  }
}

void freeDoubles(char* first, std::size_t stride, const double* values, std::size_t n) {
  if (available()) {
    renderFreeDoubles(Spaced{first, stride}, values, n);
    return;
  }
  for (std::size_t i = 0; i < n; ++i) fields::freeDouble(first + i * stride, values[i]);
}

void freeSingles(char* first, std::size_t stride, const float* values, std::size_t n) {
  if (available()) {
    renderFreeSingles(Spaced{first, stride}, values, n);
    return;
  }
  for (std::size_t i = 0; i < n; ++i) fields::freeSingle(first + i * stride, values[i]);
}

}  // namespace gw::fields::wide
