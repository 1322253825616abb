#include "text/BlockMemory.h"
#include "text/Text.h"
#include "text/TextPrinting.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

using Ostrel::BlockMemory;
using Ostrel::Text;

std::string Real(double value, int digits = 16) {
    Text text;
    text.SetReal(value, digits);
    return text.c_str();
}

std::string Integer(LONG value, int radix = 10) {
    Text text;
    text.SetInteger(value, radix);
    return text.c_str();
}

TEST(TextNumbers, RealsInTheGeneralFormat) {
    EXPECT_EQ(Real(1.0), "1.");
    EXPECT_EQ(Real(0.5), "0.5");
    EXPECT_EQ(Real(0.25), "0.25");
    EXPECT_EQ(Real(1.5e20), "1.5e+20");
    EXPECT_EQ(Real(0.05), "5.e-02");
    EXPECT_EQ(Real(123456789012345678.0), "1.234567890123457e+17");
    EXPECT_EQ(Real(1234567890123456.0), "1234567890123456.");
    EXPECT_EQ(Real(9999999999999999.0), "1.e+16") << "rounding moves the exponent";
    EXPECT_EQ(Real(2.5), "2.5");
    EXPECT_EQ(Real(3.0), "3.");
    EXPECT_EQ(Real(-2.75), "-2.75");
    EXPECT_EQ(Real(0.1), "0.1");
    EXPECT_EQ(Real(1.0 / 3.0), "0.3333333333333333");
    EXPECT_EQ(Real(2.0 / 3.0), "0.6666666666666666");
    EXPECT_EQ(Real(-0.001), "-1.e-03");
    EXPECT_EQ(Real(100.0), "100.");
    EXPECT_EQ(Real(1e300), "1.e+300");
    EXPECT_EQ(Real(-1.25e-300), "-1.25e-300");
    EXPECT_EQ(Real(5e-324), "4.940656458412465e-324");
    EXPECT_EQ(Real(std::numeric_limits<double>::max()), "1.797693134862316e+308");
    EXPECT_EQ(Real(123.456, 4), "123.5");
    EXPECT_EQ(Real(123456.0, 4), "1.235e+05");
    EXPECT_EQ(Real(0.5, 1), "0.5");
    EXPECT_EQ(Real(0.5, 0), "0.5") << "digits are clamped to at least one";
}

TEST(TextNumbers, SpecialReals) {
    EXPECT_EQ(Real(0.0), "0.");
    EXPECT_EQ(Real(-0.0), "-0.");
    EXPECT_EQ(Real(std::nan("")), "NaN");
    EXPECT_EQ(Real(std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(Real(-std::numeric_limits<double>::infinity()), "-INF");
}

TEST(TextNumbers, RealsRoundTripAtSeventeenDigits) {
    std::srand(7);
    for (int i = 0; i < 2000; ++i) {
        const double value =
            std::ldexp(std::rand() / static_cast<double>(RAND_MAX) - 0.5, std::rand() % 200 - 100);
        const std::string text = Real(value, 17);
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
    }
}

TEST(TextNumbers, IntegersInEveryRadix) {
    EXPECT_EQ(Integer(0), "0");
    EXPECT_EQ(Integer(-5), "-5");
    EXPECT_EQ(Integer(INT32_MAX), "2147483647");
    EXPECT_EQ(Integer(INT32_MIN), "-2147483648");
    EXPECT_EQ(Integer(5, 2), "101");
    EXPECT_EQ(Integer(-1, 2), std::string(32, '1')) << "the 32-bit pattern, unsigned";
    EXPECT_EQ(Integer(INT32_MIN, 2), "1" + std::string(31, '0'));
    EXPECT_EQ(Integer(255, 16), "ff");
    EXPECT_EQ(Integer(-1, 16), "ffffffff");
    EXPECT_EQ(Integer(-2, 16), "fffffffe");
    EXPECT_EQ(Integer(35, 36), "z");
    EXPECT_EQ(Integer(INT32_MAX, 36), "zik0zj");
    EXPECT_EQ(Integer(-1, 36), "1z141z3");
    EXPECT_EQ(Integer(-8, 8), "37777777770");
}

TEST(TextNumbers, NumbersReuseAnOwnBufferAndNeverWriteIntoASharedOne) {
    Text text;
    text.SetInteger(-123456789, 2);
    const char* at = text.c_str();
    const uint64_t before = BlockMemory::GetCounters().allocations;
    text.SetInteger(42, 16);
    text.SetInteger(7);
    EXPECT_EQ(BlockMemory::GetCounters().allocations, before) << "own, unshared, large enough";
    EXPECT_EQ(text.c_str(), at);

    Text copy = text;
    text.SetReal(0.125);
    EXPECT_EQ(copy, "7");
    EXPECT_EQ(text, "0.125");
    Text tail = Text("0123456789").Tail(4);
    tail.SetInteger(-1, 2);
    EXPECT_EQ(std::string(tail.c_str()), std::string(32, '1'));
}

} // namespace
