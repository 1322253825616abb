// Numbers as text. SetReal takes its correctly rounded digits and decimal exponent from the C
// library's %e conversion and lays them out itself, so the result is the same on every platform
// and in every locale.
#include "text/ProgrammingError.h"
#include "text/Text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Ostrel {

namespace {

constexpr LONG kDecimalRoom = 17;
constexpr LONG kPatternRoom = 33;
constexpr int kMostDigits = 17;
constexpr LONG kRealOverhead = 10;

// The significant digits and decimal exponent of a finite value.
struct Decimal {
    bool negative;
    char digits[kMostDigits + 1];
    int count;
    int exponent;
};

Decimal Decompose(double value, int digits) {
    char scientific[64];
    std::snprintf(scientific, sizeof(scientific), "%.*e", digits - 1, value);
    Decimal decimal = {scientific[0] == '-', {}, 0, 0};
    const char* at = scientific;
    for (; *at != 'e' && *at != 0; ++at) {
        if (*at >= '0' && *at <= '9') {
            decimal.digits[decimal.count++] = *at;
        }
    }
    decimal.exponent = *at == 'e' ? static_cast<int>(std::strtol(at + 1, nullptr, 10)) : 0;
    return decimal;
}

// Drops the fraction's trailing zeros back to the point; answers the new end.
char* TrimFraction(char* point, char* end) {
    while (end > point + 1 && end[-1] == '0') {
        --end;
    }
    return end;
}

char* WriteFixed(const Decimal& decimal, char* out) {
    int next = 0;
    if (decimal.exponent < 0) {
        *out++ = '0';
    }
    for (; next <= decimal.exponent; ++next) {
        *out++ = decimal.digits[next];
    }
    char* point = out;
    *out++ = '.';
    for (; next < decimal.count; ++next) {
        *out++ = decimal.digits[next];
    }
    return TrimFraction(point, out);
}

char* WriteExponential(const Decimal& decimal, char* out) {
    *out++ = decimal.digits[0];
    char* point = out;
    *out++ = '.';
    for (int next = 1; next < decimal.count; ++next) {
        *out++ = decimal.digits[next];
    }
    out = TrimFraction(point, out);
    *out++ = 'e';
    *out++ = decimal.exponent < 0 ? '-' : '+';
    return out + std::sprintf(out, "%02d", std::abs(decimal.exponent));
}

} // namespace

void Text::SetInteger(LONG value, int radix) {
    if (radix < 2 || radix > 36) {
        ProgrammingError("Text::SetInteger radix outside 2..36");
    }
    char* out = PrepareOverwrite(radix == 10 ? kDecimalRoom : kPatternRoom);
    const bool negative = radix == 10 && value < 0;
    uint32_t rest = static_cast<uint32_t>(value);
    if (negative) {
        rest = 0u - rest;
        *out++ = '-';
    }
    char reversed[kPatternRoom];
    int count = 0;
    do {
        reversed[count++] = "0123456789abcdefghijklmnopqrstuvwxyz"[rest % radix];
        rest /= radix;
    } while (rest != 0);
    while (count > 0) {
        *out++ = reversed[--count];
    }
    *out = 0;
}

void Text::SetReal(double value, int digits) {
    digits = std::clamp(digits, 1, kMostDigits);
    char* out = PrepareOverwrite(digits + kRealOverhead);
    if (std::isnan(value)) {
        std::strcpy(out, "NaN");
        return;
    }
    if (std::isinf(value)) {
        std::strcpy(out, value < 0 ? "-INF" : "INF");
        return;
    }
    const Decimal decimal = Decompose(value, digits);
    if (decimal.negative) {
        *out++ = '-';
    }
    const bool fixed = decimal.exponent >= -1 && decimal.exponent <= digits - 1;
    out = fixed ? WriteFixed(decimal, out) : WriteExponential(decimal, out);
    *out = 0;
}

} // namespace Ostrel
