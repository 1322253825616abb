// Numbers in text and between widths, the way OLE Automation reads and writes them in the
// US-English locale, whatever the process locale is. Internal to the platform layer.
#pragma once

#include "platform/types.h"

namespace Ostrel::Platform {

// The width and signedness of an integer type.
struct IntegerShape {
    unsigned bits;
    bool isSigned;
};

// A number read from text: decimal digits scaled by a power of ten, or a value written in
// hexadecimal (&H) or octal (&O).
struct TextNumber {
    static constexpr int keptDigits = 48;

    bool negative = false;
    bool radixWritten = false;
    bool radixOverflow = false;
    uint64_t radixValue = 0;
    int digitCount = 0;
    bool droppedNonZero = false;
    int64_t exponent = 0;
    unsigned char digits[keptDigits] = {};
};

// Reads the text up to its end or its first NUL as one number, with the surrounding white space,
// signs, currency sign, parentheses and thousands separators that OLE Automation accepts.
bool ParseNumber(const OLECHAR* text, size_t length, TextNumber& number);

// The nearest integer of the shape (ties to even), as a bit pattern; DISP_E_OVERFLOW when it
// does not fit. Hexadecimal and octal text keeps its bit pattern in a signed type of its width.
HRESULT TextToInteger(const TextNumber& number, IntegerShape shape, uint64_t& bits);
HRESULT TextToDouble(const TextNumber& number, double& value);

// The nearest integer of the shape (ties to even), as a bit pattern; DISP_E_OVERFLOW when it
// does not fit, and for NaN.
HRESULT DoubleToInteger(double value, IntegerShape shape, uint64_t& bits);

// Whether an integer fits the shape.
bool SignedFits(int64_t value, IntegerShape shape);
bool UnsignedFits(uint64_t value, IntegerShape shape);

// Writes the number with at most the given significant digits and returns the length: plain
// notation for decimal exponents from -4 to one below the digit count, otherwise "1.5E-07"; zero
// of either sign is "0". The buffer holds at least formattedRealSize characters.
constexpr size_t formattedRealSize = 32;
size_t FormatReal(double value, int significantDigits, char* buffer);

} // namespace Ostrel::Platform
