#include "fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

namespace ordplan {
namespace {

std::string Fixed(double value, int width, int decimals) {
  char out[MaxFieldText];
  return std::string(out, FormatFixed(value, width, decimals, out));
}

std::string FixedStepByStep(double value, int width, int decimals) {
  char out[MaxFieldText];
  return std::string(out, FormatFixedStepByStep(value, width, decimals, out));
}

template <typename Integer>
std::string IntegerField(Integer value, int width) {
  char out[MaxFieldText];
  return std::string(out, FormatInteger(value, width, out));
}

struct FixedCase {
  double value;
  int width;
  int decimals;
  const char* field;
};

// The worked examples of the fixed-point field, and values next to rounding ties.
const FixedCase FixedCases[] = {
    {2.5, 8, 3, "   2.500"},
    {12, 8, 3, "  12.000"},
    {1.0 / 3, 10, 3, "     0.333"},
    {2.0 / 3, 10, 3, "     0.667"},
    {4.0 / 3, 10, 3, "     1.333"},
    {0.0625, 10, 3, "     0.063"},  // an exact tie rounds up
    {0.3125, 10, 3, "     0.313"},
    {3.0 / 80, 10, 3, "     0.038"},  // just below a tie, within the 17th decimal
    {1.0005, 10, 3, "     1.000"},    // 1.07e-17 below the tie: S ends ...499999
    {9.9996, 8, 3, "  10.000"},
    {0.9996, 8, 3, "   1.000"},
    {30000, 8, 3, "30000.000"},
    {12000.0625, 10, 3, " 12000.063"},
    {-0.0, 8, 3, "  -0.000"},
    {-0.0001, 8, 3, "  -0.000"},
    {0.0, 8, 3, "   0.000"},
    {-2.5, 10, 3, "    -2.500"},
    {2.0 / 3, 8, 3, "   0.667"},
    {std::sqrt(4.0 / 3), 8, 3, "   1.155"},
    {1e-300, 8, 3, "   0.000"},
    {0.0004999999999999999, 8, 3, "   0.001"},  // 9.75e-20 below the tie: S is 0.0005
    {0.00049999999999999, 8, 3, "   0.000"},    // 1e-17 below: S ends ...49999999999999
    {0.0005, 8, 3, "   0.001"},                 // stored above 0.0005
    {0.0, 8, 3, "   0.000"},
    {7.25, 8, 3, "   7.250"},
    {10.0, 8, 3, "  10.000"},
    {99.9995, 8, 3, "  99.999"},  // stored below the tie
    {99.9996, 8, 3, " 100.000"},
    {205.5, 8, 3, " 205.500"},
    {1000.0, 8, 3, "1000.000"},
    {9999.9994, 8, 3, "9999.999"},
    {9999.9996, 8, 3, "10000.000"},
    {1.0 / 16, 0, 3, "0.063"},
    {123.456, 3, 0, "123"},
    {123.5, 0, 0, "124"},
    {2.25, 6, 1, "   2.3"},  // an exact tie at one decimal rounds up
    {-2.25, 6, 1, "  -2.3"},
    {1.5, 0, 5, "1.50000"},
    {2147483647.0, 10, 3, "2147483647.000"},
    {-2147483648.0, 10, 3, "-2147483648.000"},
    {34359738368.0, 8, 3, "34359738368.000"},    // 2^35
    {0.1, 25, 20, "   0.10000000000000001000"},  // 17 decimals of S, then zeros
    {std::numeric_limits<double>::quiet_NaN(), 8, 3, "     Nan"},
    {std::numeric_limits<double>::infinity(), 8, 3, "    +Inf"},
    {-std::numeric_limits<double>::infinity(), 2, 3, "-Inf"},
    {1e40, 10, 3, " 1.0E+0040"},  // exponent form from k > 35
};

TEST(FixedField, WorkedExamplesAndTies) {
  for (const FixedCase& c : FixedCases) {
    SCOPED_TRACE(testing::Message()
                 << c.value << " width " << c.width << " decimals " << c.decimals);
    EXPECT_EQ(Fixed(c.value, c.width, c.decimals), c.field);
    EXPECT_EQ(FixedStepByStep(c.value, c.width, c.decimals), c.field);
  }
}

// The fast path must agree with the step-by-step digits everywhere, in particular on and next
// to every tie x.xxx5 where the two roundings decide.
TEST(FixedField, FastPathAgreesWithStepByStep) {
  std::mt19937_64 random(12345);
  auto check = [](double value) {
    for (int width : {7, 8, 9, 10}) {
      ASSERT_EQ(Fixed(value, width, 3), FixedStepByStep(value, width, 3)) << value;
      ASSERT_EQ(Fixed(-value, width, 3), FixedStepByStep(-value, width, 3)) << value;
    }
  };
  for (int i = 0; i < 200000; ++i) {
    // ties and their neighbours at every magnitude the report holds
    const std::int64_t thousandths = static_cast<std::int64_t>(random() % 40'000'000'000'000ull);
    const double tie = (static_cast<double>(thousandths) + 0.5) / 1000;
    check(tie);
    check(std::nextafter(tie, 0.0));
    check(std::nextafter(tie, 1e300));
    // and at the magnitudes of most means and root-mean-squares, below 10000
    const double small = (static_cast<double>(thousandths % 10'000'000) + 0.5) / 1000;
    check(small);
    check(std::nextafter(small, 0.0));
    check(std::nextafter(small, 1e300));
    // quotients as the mean and the critical ratio form them
    const double numerator = static_cast<double>(static_cast<std::int32_t>(random()));
    const double denominator = static_cast<double>(static_cast<std::int32_t>(random() % 2000) + 1);
    check(static_cast<double>(static_cast<long double>(numerator) / denominator));
    check(std::sqrt(std::fabs(numerator) / denominator));
    // arbitrary bit patterns below 2^41
    const double any =
        std::ldexp(static_cast<double>(random() >> 11), -static_cast<int>(random() % 100) - 12);
    check(any);
  }
  for (int n = 1; n <= 10; ++n) {
    for (int sum = 0; sum < 20000; ++sum)
      check(static_cast<double>(static_cast<long double>(sum) / n));
  }
}

struct IntegerCase {
  long long value;
  int width;
  const char* field;
};

const IntegerCase IntegerCases[] = {
    {0, 10, "         0"},
    {-2147483648LL, 10, "-2147483648"},
    {2147483647, 10, "2147483647"},
    {0, 0, "0"},
    {-7, 0, "-7"},
    {46341, 10, "     46341"},
    {2147488281LL, 10, "2147488281"},
    {-9223372036854775807LL - 1, 0, "-9223372036854775808"},
    {12, 3, " 12"},
    {123456, 3, "123456"},
    {5, -4, "5"},
};

TEST(IntegerField, PadsAndNeverCuts) {
  for (const IntegerCase& c : IntegerCases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(IntegerField(static_cast<std::int64_t>(c.value), c.width), c.field);
    EXPECT_EQ(IntegerField(static_cast<Int128>(c.value), c.width), c.field);
  }
}

TEST(IntegerField, WideValues) {
  const Int128 square = Int128{4294967296LL * 10} * (4294967296LL * 10);  // (10 * 2^32)^2
  EXPECT_EQ(IntegerField(square, 10), "1844674407370955161600");
  const Int128 minimum = -(static_cast<Int128>(1) << 126) * 2;  // -2^127
  EXPECT_EQ(IntegerField(minimum, 0), "-170141183460469231731687303715884105728");
}

}  // namespace
}  // namespace ordplan
