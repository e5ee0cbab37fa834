#include "fields.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace ordplan {

static_assert(std::numeric_limits<long double>::digits == 64,
              "the fixed-point steps need long double with a 64-bit significand");

namespace {

using UInt128 = unsigned __int128;

int ClampWidth(int width) { return std::clamp(width, 0, MaxFieldWidth); }

constexpr char DigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The same pairs with a leading zero written as a space, and "00" as two spaces.
constexpr auto SpacedPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[static_cast<std::size_t>(2 * i)] = i >= 10 ? static_cast<char>('0' + i / 10) : ' ';
    pairs[static_cast<std::size_t>(2 * i + 1)] = i >= 1 ? static_cast<char>('0' + i % 10) : ' ';
  }
  return pairs;
}();

// The pairs for the last two digits of a number below 100: a space for the leading zero, and
// "00" as " 0".
constexpr auto UnitPairs = [] {
  std::array<char, 200> pairs = SpacedPairs;
  pairs[1] = '0';
  return pairs;
}();

// The two characters of pair `index` of `pairs` as a 16-bit value, the first in the low byte.
std::uint64_t Pair(const char* pairs, unsigned index) {
  static_assert(std::endian::native == std::endian::little);
  std::uint16_t pair;
  std::memcpy(&pair, pairs + 2 * index, 2);
  return pair;
}

// Writes the decimal digits of `magnitude` so that they end just before `end`; returns the
// first digit's position.
char* WriteDigitsBackwards(std::uint64_t magnitude, char* end) {
  while (magnitude >= 100) {
    const unsigned pair = static_cast<unsigned>(magnitude % 100) * 2;
    magnitude /= 100;
    end -= 2;
    std::memcpy(end, DigitPairs + pair, 2);
  }
  if (magnitude >= 10) {
    end -= 2;
    std::memcpy(end, DigitPairs + magnitude * 2, 2);
  } else {
    *--end = static_cast<char>('0' + magnitude);
  }
  return end;
}

char* WriteDigitsBackwards(UInt128 magnitude, char* end) {
  constexpr std::uint64_t Chunk = 10'000'000'000'000'000'000u;  // 10^19
  while (magnitude > std::numeric_limits<std::uint64_t>::max()) {
    std::uint64_t low = static_cast<std::uint64_t>(magnitude % Chunk);
    magnitude /= Chunk;
    for (int i = 0; i < 19; ++i) {
      *--end = static_cast<char>('0' + low % 10);
      low /= 10;
    }
  }
  return WriteDigitsBackwards(static_cast<std::uint64_t>(magnitude), end);
}

// Right-aligns the `length` characters at `text` in a field of `width` written to `out`.
std::size_t Align(const char* text, std::size_t length, int width, char* out) {
  const std::size_t field =
      std::max<std::size_t>(length, static_cast<std::size_t>(ClampWidth(width)));
  const std::size_t padding = field - length;
  std::memset(out, ' ', padding);
  std::memmove(out + padding, text, length);
  return field;
}

// Room before the end of a field built backwards in a scratch buffer: fields up to this
// length are copied out with one fixed-size copy.
constexpr std::size_t ShortField = 32;

// A scratch buffer in which a field is written backwards from End, with spaces before it.
struct FieldScratch {
  char Text[112];
  char* const End = Text + 48;
  // Spaces before End for the padding of short fields, and after it for the fixed-size copy.
  FieldScratch() { std::memset(End - ShortField, ' ', 2 * ShortField); }

  // Copies the field that ends at End, of `length` characters right-aligned in `width`. A
  // short field is copied with ShortField bytes at once; the bytes after it are scratch.
  std::size_t CopyOut(const char* begin, int width, char* out) const {
    const std::size_t length = static_cast<std::size_t>(End - begin);
    const std::size_t field =
        std::max<std::size_t>(length, static_cast<std::size_t>(ClampWidth(width)));
    if (field <= ShortField) {
      std::memcpy(out, End - field, ShortField);
      return field;
    }
    return Align(begin, length, width, out);
  }
};

template <typename Magnitude>
std::size_t FormatSigned(bool negative, Magnitude magnitude, int width, char* out) {
  FieldScratch scratch;
  char* begin = WriteDigitsBackwards(magnitude, scratch.End);
  if (negative) *--begin = '-';
  return scratch.CopyOut(begin, width, out);
}

// 10^j as a long double; exact for j up to 27.
long double PowerOfTen(int j) {
  static const auto table = [] {
    std::array<long double, 28> powers{};
    long double power = 1;
    for (long double& entry : powers) {
      entry = power;
      power *= 10;
    }
    return powers;
  }();
  long double power = 1;
  while (j > 27) {
    power *= table[27];
    j -= 27;
  }
  return power * table[j];
}

// The 19 digits of D for the magnitude `a` (steps of the scaling and the first rounding) and
// the scale k: D is `a` to a multiple of 10^(k-17).
void SeventeenDecimals(long double a, char digits[19], int& k) {
  long double v = a;
  k = 0;
  if (a >= 10) {
    for (;;) {
      const int e = std::ilogb(v);
      const int j = static_cast<int>((static_cast<long long>(e) * 19728) >> 16);
      if (j == 0) break;
      v = v / PowerOfTen(j);
      k += j;
    }
  }
  const long double scaled = v * 1e17L;  // rounded to a 64-bit significand
  std::uint64_t d = static_cast<std::uint64_t>(std::rintl(scaled));  // ties to even
  for (int i = 18; i >= 0; --i) {
    digits[i] = static_cast<char>('0' + d % 10);
    d /= 10;
  }
}

// The first `p` digits of S, rounded at digit p + 1 (half up), into `out`; for p >= 19 all of
// S followed by zeros.
void RoundDigits(const char s[19], int p, char* out) {
  if (p >= 19) {
    std::memcpy(out, s, 19);
    std::memset(out + 19, '0', static_cast<std::size_t>(p - 19));
    return;
  }
  std::memcpy(out, s, static_cast<std::size_t>(p));
  if (s[p] >= '5') {
    for (int i = p - 1; i >= 0; --i) {
      if (out[i] != '9') {
        ++out[i];
        break;
      }
      out[i] = '0';
    }
  }
}

std::size_t ExponentForm(bool negative, const char s[19], int k, int width, char* out) {
  const int n = std::clamp(ClampWidth(width) - 8, 2, 18);
  char digits[20];
  RoundDigits(s, n + 1, digits);
  const char* significant = digits;
  int exponent = k + 1;
  if (digits[0] == '0') {
    significant = digits + 1;
    exponent = k;
  }
  char text[40];
  std::size_t length = 0;
  text[length++] = negative ? '-' : ' ';
  text[length++] = significant[0];
  text[length++] = '.';
  std::memcpy(text + length, significant + 1, static_cast<std::size_t>(n - 1));
  length += static_cast<std::size_t>(n - 1);
  text[length++] = 'E';
  text[length++] = exponent < 0 ? '-' : '+';
  const int magnitude = exponent < 0 ? -exponent : exponent;
  for (int divisor = 1000; divisor > 0; divisor /= 10) {
    text[length++] = static_cast<char>('0' + magnitude / divisor % 10);
  }
  return Align(text, length, width, out);
}

// |x| * 1000 rounded to an integer, as the fixed-point steps round it for three decimals,
// when that can be decided without the steps. The steps' digits differ from |x| * 1000 rounded
// to the nearest integer only within (q + 1) * 2^-55 + 2^-45 of a tie (q the integer part of
// |x| * 1000): the scaling and the first rounding move the value by at most |x| * 2^-63 +
// 10^(k-17) / 2. The double y = |x| * 1000 is within y * 2^-52 of the exact product, so where y
// lies farther than both from a tie, the digits are y rounded. Returns false when it cannot
// decide.
bool ThousandthsFast(double x, std::uint64_t& thousandths) {
  const double a = std::fabs(x);
  if (!(a < 0x1p40)) return false;  // not a number, infinite, or too large to decide here
  const double y = a * 1000;
  const std::uint64_t whole = static_cast<std::uint64_t>(y);  // y < 2^50: exact
  const double part = y - static_cast<double>(whole);         // exact
  if (!(std::fabs(part - 0.5) > y * 0x1p-51 + 0x1p-44)) return false;
  thousandths = whole + (part > 0.5 ? 1 : 0);
  return true;
}

// The report's common fixed-point field, width 8 with 3 decimals, of a value from 0 up to
// 10000: "dddd.ddd" with leading spaces. Its eight bytes are put together in a word and
// stored at once. Returns false when it cannot decide or the value needs more characters.
bool EightCharacterField(double x, char* out) {
  std::uint64_t thousandths;
  if (!(x >= 0 && x < 10000) || std::signbit(x) || !ThousandthsFast(x, thousandths) ||
      thousandths >= 10'000'000) {
    return false;
  }
  const unsigned units = static_cast<unsigned>(thousandths / 1000);
  const unsigned decimals = static_cast<unsigned>(thousandths % 1000);
  const std::uint64_t high = Pair(SpacedPairs.data(), units / 100);
  const std::uint64_t low = Pair(units >= 100 ? DigitPairs : UnitPairs.data(), units % 100);
  const std::uint64_t tenths = static_cast<std::uint64_t>('0' + decimals / 100);
  const std::uint64_t rest = Pair(DigitPairs, decimals % 100);
  const std::uint64_t word =
      high | low << 16 | std::uint64_t{'.'} << 32 | tenths << 40 | rest << 48;
  std::memcpy(out, &word, 8);
  return true;
}

// The fixed-point text of x to three decimals when ThousandthsFast decides it.
bool FixedThreeDecimalsFast(double x, int width, char* out, std::size_t& length) {
  std::uint64_t thousandths;
  if (!ThousandthsFast(x, thousandths)) return false;
  FieldScratch scratch;
  char* begin = scratch.End - 3;
  const unsigned decimals = static_cast<unsigned>(thousandths % 1000);
  begin[0] = static_cast<char>('0' + decimals / 100);
  std::memcpy(begin + 1, DigitPairs + decimals % 100 * 2, 2);
  *--begin = '.';
  begin = WriteDigitsBackwards(thousandths / 1000, begin);
  if (std::signbit(x)) *--begin = '-';
  length = scratch.CopyOut(begin, width, out);
  return true;
}

}  // namespace

std::size_t FormatInteger(std::int64_t value, int width, char* out) {
  const std::uint64_t magnitude =
      value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
  return FormatSigned(value < 0, magnitude, width, out);
}

std::size_t FormatInteger(Int128 value, int width, char* out) {
  if (value >= std::numeric_limits<std::int64_t>::min() &&
      value <= std::numeric_limits<std::int64_t>::max()) {
    return FormatInteger(static_cast<std::int64_t>(value), width, out);
  }
  const UInt128 magnitude =
      value < 0 ? ~static_cast<UInt128>(value) + 1 : static_cast<UInt128>(value);
  return FormatSigned(value < 0, magnitude, width, out);
}

std::size_t FormatFixedStepByStep(double value, int width, int decimals, char* out) {
  if (std::isnan(value)) return Align("Nan", 3, width, out);
  if (std::isinf(value)) return Align(value < 0 ? "-Inf" : "+Inf", 4, width, out);
  const int d = std::clamp(decimals, 0, MaxFixedDecimals);
  const bool negative = std::signbit(value);

  char s[19];
  int k;
  SeventeenDecimals(std::fabs(static_cast<long double>(value)), s, k);
  if (k > 35) return ExponentForm(negative, s, k, width, out);

  const int p = k + 2 + d;
  char digits[MaxFixedDecimals + 40];
  RoundDigits(s, p, digits);

  char text[MaxFixedDecimals + 48];
  std::size_t length = 0;
  if (negative) text[length++] = '-';
  int first = 0;
  while (first < k + 1 && digits[first] == '0') ++first;  // keep the units digit
  for (int i = first; i < k + 2; ++i) text[length++] = digits[i];
  if (d > 0) {
    text[length++] = '.';
    std::memcpy(text + length, digits + k + 2, static_cast<std::size_t>(d));
    length += static_cast<std::size_t>(d);
  }
  return Align(text, length, width, out);
}

namespace {

[[gnu::noinline]] std::size_t FormatFixedOtherwise(double value, int width, int decimals,
                                                   char* out) {
  std::size_t length;
  if (decimals == 3 && FixedThreeDecimalsFast(value, width, out, length)) return length;
  return FormatFixedStepByStep(value, width, decimals, out);
}

}  // namespace

std::size_t FormatFixed(double value, int width, int decimals, char* out) {
  if (width == 8 && decimals == 3 && EightCharacterField(value, out)) return 8;
  return FormatFixedOtherwise(value, width, decimals, out);
}

}  // namespace ordplan
