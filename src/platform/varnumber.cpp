#include "platform/varnumber.h"

#include "platform/interfaces.h"

#include <charconv>
#include <cmath>

// The C library's number reading and writing follows the process locale and accepts "inf",
// "nan" and hexadecimal floating point; none of that belongs here. Text is read by hand, and
// doubles go through std::from_chars and std::to_chars, which never look at the locale.
namespace Ostrel::Platform {

namespace {

constexpr int64_t largestWrittenExponent = 1000000;
constexpr int64_t overflowingMagnitude = 310;
constexpr int64_t vanishingMagnitude = -330;
constexpr int largestIntegerDigits = 20;

bool IsWhite(OLECHAR c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r') || c == 0xA0;
}

bool IsDigit(OLECHAR c) {
    return c >= u'0' && c <= u'9';
}

bool IsSign(OLECHAR c) {
    return c == u'+' || c == u'-';
}

int RadixDigit(OLECHAR c, unsigned shift) {
    if (c >= u'0' && c <= u'7') {
        return c - u'0';
    }
    if (shift == 4 && (c == u'8' || c == u'9')) {
        return c - u'0';
    }
    if (shift == 4 && c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (shift == 4 && c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

class Reader {
public:
    Reader(const OLECHAR* text, size_t length) : next(text), end(text + length) {}

    OLECHAR Peek(size_t ahead = 0) const {
        return static_cast<size_t>(end - next) > ahead ? next[ahead] : 0;
    }
    void Skip(size_t count = 1) { next += count; }
    bool AtEnd() const { return next == end; }

private:
    const OLECHAR* next;
    const OLECHAR* end;
};

// What surrounds the digits: at most one sign, a currency sign before them, and parentheses,
// which make the number negative.
struct Decorations {
    bool sign = false;
    bool currency = false;
    bool open = false;
    bool closed = false;
};

void ReadLeading(Reader& reader, TextNumber& number, Decorations& decorations) {
    for (;;) {
        OLECHAR c = reader.Peek();
        if (IsSign(c) && !decorations.sign) {
            decorations.sign = true;
            number.negative = c == u'-';
        } else if (c == u'$' && !decorations.currency) {
            decorations.currency = true;
        } else if (c == u'(' && !decorations.open) {
            decorations.open = true;
        } else if (!IsWhite(c)) {
            return;
        }
        reader.Skip();
    }
}

void ReadTrailing(Reader& reader, TextNumber& number, Decorations& decorations) {
    for (;;) {
        OLECHAR c = reader.Peek();
        if (IsSign(c) && !decorations.sign) {
            decorations.sign = true;
            number.negative = c == u'-';
        } else if (c == u')' && decorations.open && !decorations.closed) {
            decorations.closed = true;
        } else if (!IsWhite(c) && c != u'$') {
            return;
        }
        reader.Skip();
    }
}

bool ReadRadix(Reader& reader, TextNumber& number) {
    OLECHAR marker = reader.Peek(1);
    unsigned shift = (marker == u'h' || marker == u'H')   ? 4
                     : (marker == u'o' || marker == u'O') ? 3
                                                          : 0;
    if (shift == 0) {
        return false;
    }
    reader.Skip(2);
    number.radixWritten = true;
    int count = 0;
    for (int digit = 0; (digit = RadixDigit(reader.Peek(), shift)) >= 0; reader.Skip(), ++count) {
        if (number.radixValue >> (64 - shift) != 0) {
            number.radixOverflow = true;
        }
        number.radixValue = (number.radixValue << shift) | static_cast<uint64_t>(digit);
    }
    return count > 0;
}

// Keeps the significant digits; scale counts the powers of ten that the kept digits lack.
void KeepDigit(TextNumber& number, int digit, bool fraction, int64_t& scale) {
    if (number.digitCount == 0 && digit == 0) {
        scale -= fraction ? 1 : 0;
    } else if (number.digitCount < TextNumber::keptDigits) {
        number.digits[number.digitCount++] = static_cast<unsigned char>(digit);
        scale -= fraction ? 1 : 0;
    } else {
        number.droppedNonZero = number.droppedNonZero || digit != 0;
        scale += fraction ? 0 : 1;
    }
}

int64_t ReadExponent(Reader& reader) {
    OLECHAR marker = reader.Peek();
    bool signedExponent = IsSign(reader.Peek(1));
    if ((marker != u'e' && marker != u'E') || !IsDigit(reader.Peek(signedExponent ? 2 : 1))) {
        return 0;
    }
    bool negative = reader.Peek(1) == u'-';
    reader.Skip(signedExponent ? 2 : 1);
    int64_t exponent = 0;
    for (; IsDigit(reader.Peek()); reader.Skip()) {
        if (exponent < largestWrittenExponent) {
            exponent = exponent * 10 + (reader.Peek() - u'0');
        }
    }
    return negative ? -exponent : exponent;
}

// Digits, with thousands separators anywhere after the first digit, then an optional decimal
// point with more digits, separators still allowed among them, then an optional exponent.
bool ReadDecimal(Reader& reader, TextNumber& number) {
    bool sawDigit = false;
    int64_t scale = 0;
    auto readDigits = [&](bool fraction) {
        for (;; reader.Skip()) {
            OLECHAR c = reader.Peek();
            if (IsDigit(c)) {
                KeepDigit(number, c - u'0', fraction, scale);
                sawDigit = true;
            } else if (c != u',' || !sawDigit) {
                break;
            }
        }
    };
    readDigits(false);
    if (reader.Peek() == u'.') {
        reader.Skip();
        readDigits(true);
    }
    if (!sawDigit) {
        return false;
    }
    number.exponent = scale + ReadExponent(reader);
    return true;
}

uint64_t LargestMagnitude(IntegerShape shape) {
    unsigned valueBits = shape.isSigned ? shape.bits - 1 : shape.bits;
    return valueBits == 64 ? ~uint64_t{0} : (uint64_t{1} << valueBits) - 1;
}

HRESULT SignedToBits(bool negative, uint64_t magnitude, IntegerShape shape, uint64_t& bits) {
    if (negative && magnitude != 0) {
        if (!shape.isSigned || magnitude - 1 > LargestMagnitude(shape)) {
            return DISP_E_OVERFLOW;
        }
        bits = 0 - magnitude;
        return S_OK;
    }
    if (magnitude > LargestMagnitude(shape)) {
        return DISP_E_OVERFLOW;
    }
    bits = magnitude;
    return S_OK;
}

bool DigitsAfterAreNonZero(const TextNumber& number, int64_t first) {
    for (int64_t i = first < 0 ? 0 : first; i < number.digitCount; ++i) {
        if (number.digits[i] != 0) {
            return true;
        }
    }
    return number.droppedNonZero;
}

// The integer nearest to the decimal number's magnitude, ties to even, computed from the digits
// themselves so that no binary rounding creeps in.
bool RoundMagnitude(const TextNumber& number, uint64_t& magnitude) {
    magnitude = 0;
    if (number.digitCount == 0) {
        return true;
    }
    int64_t integerDigits = number.digitCount + number.exponent;
    if (integerDigits > largestIntegerDigits) {
        return false;
    }
    for (int64_t i = 0; i < integerDigits; ++i) {
        unsigned digit = i < number.digitCount ? number.digits[i] : 0;
        if (__builtin_mul_overflow(magnitude, 10u, &magnitude) ||
            __builtin_add_overflow(magnitude, digit, &magnitude)) {
            return false;
        }
    }
    bool roundDigitKept = integerDigits >= 0 && integerDigits < number.digitCount;
    unsigned roundDigit = roundDigitKept ? number.digits[integerDigits] : 0;
    bool beyondHalf = DigitsAfterAreNonZero(number, integerDigits + 1);
    bool up = roundDigit > 5 || (roundDigit == 5 && (beyondHalf || (magnitude & 1) != 0));
    return !up || !__builtin_add_overflow(magnitude, 1u, &magnitude);
}

double RoundHalfToEven(double value) {
    double floor = std::floor(value);
    double fraction = value - floor;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0)) {
        floor += 1;
    }
    return floor;
}

} // namespace

bool ParseNumber(const OLECHAR* text, size_t length, TextNumber& number) {
    number = TextNumber();
    if (text == nullptr) {
        return false;
    }
    size_t end = 0;
    while (end < length && text[end] != 0) {
        ++end;
    }
    Reader reader(text, end);
    Decorations decorations;
    ReadLeading(reader, number, decorations);
    bool read = reader.Peek() == u'&' ? ReadRadix(reader, number) : ReadDecimal(reader, number);
    if (!read) {
        return false;
    }
    ReadTrailing(reader, number, decorations);
    if (!reader.AtEnd() || decorations.open != decorations.closed ||
        (decorations.open && decorations.sign)) {
        return false;
    }
    number.negative = number.negative || decorations.open;
    return true;
}

HRESULT TextToInteger(const TextNumber& number, IntegerShape shape, uint64_t& bits) {
    if (number.radixWritten) {
        if (number.radixOverflow) {
            return DISP_E_OVERFLOW;
        }
        if (number.negative) {
            return SignedToBits(true, number.radixValue, shape, bits);
        }
        if (shape.bits < 64 && number.radixValue >> shape.bits != 0) {
            return DISP_E_OVERFLOW;
        }
        bits = number.radixValue;
        return S_OK;
    }
    uint64_t magnitude = 0;
    if (!RoundMagnitude(number, magnitude)) {
        return DISP_E_OVERFLOW;
    }
    return SignedToBits(number.negative, magnitude, shape, bits);
}

HRESULT TextToDouble(const TextNumber& number, double& value) {
    if (number.radixWritten) {
        if (number.radixOverflow) {
            return DISP_E_OVERFLOW;
        }
        value = static_cast<double>(number.radixValue);
    } else {
        int64_t magnitude = number.digitCount + number.exponent;
        if (number.digitCount == 0 || magnitude < vanishingMagnitude) {
            value = 0;
        } else if (magnitude > overflowingMagnitude) {
            return DISP_E_OVERFLOW;
        } else {
            // The kept digits, then one more non-zero digit standing for any dropped ones, so
            // that halfway cases still round the right way.
            char text[TextNumber::keptDigits + 32];
            char* end = text;
            for (int i = 0; i < number.digitCount; ++i) {
                *end++ = static_cast<char>('0' + number.digits[i]);
            }
            int64_t exponent = number.exponent;
            if (number.droppedNonZero) {
                *end++ = '1';
                --exponent;
            }
            *end++ = 'e';
            end = std::to_chars(end, text + sizeof text, exponent).ptr;
            if (std::from_chars(text, end, value).ec == std::errc::result_out_of_range) {
                value = magnitude > 0 ? HUGE_VAL : 0.0;
            }
            if (std::isinf(value)) {
                return DISP_E_OVERFLOW;
            }
        }
    }
    value = number.negative ? -value : value;
    return S_OK;
}

HRESULT DoubleToInteger(double value, IntegerShape shape, uint64_t& bits) {
    if (std::isnan(value)) {
        return DISP_E_OVERFLOW;
    }
    double rounded = RoundHalfToEven(value);
    double limit = std::ldexp(1.0, static_cast<int>(shape.isSigned ? shape.bits - 1 : shape.bits));
    double lowest = shape.isSigned ? -limit : 0.0;
    if (!(rounded >= lowest && rounded < limit)) {
        return DISP_E_OVERFLOW;
    }
    bits = shape.isSigned ? static_cast<uint64_t>(static_cast<int64_t>(rounded))
                          : static_cast<uint64_t>(rounded);
    return S_OK;
}

bool SignedFits(int64_t value, IntegerShape shape) {
    if (value < 0) {
        return shape.isSigned &&
               uint64_t{0} - static_cast<uint64_t>(value) - 1 <= LargestMagnitude(shape);
    }
    return static_cast<uint64_t>(value) <= LargestMagnitude(shape);
}

bool UnsignedFits(uint64_t value, IntegerShape shape) {
    return value <= LargestMagnitude(shape);
}

size_t FormatReal(double value, int significantDigits, char* buffer) {
    if (value == 0) {
        buffer[0] = '0';
        return 1;
    }
    auto written = std::to_chars(buffer, buffer + formattedRealSize, value,
                                 std::chars_format::general, significantDigits);
    for (char* c = buffer; c != written.ptr; ++c) {
        if (*c == 'e') {
            *c = 'E';
        }
    }
    return static_cast<size_t>(written.ptr - buffer);
}

} // namespace Ostrel::Platform
