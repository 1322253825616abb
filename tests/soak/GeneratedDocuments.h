// Documents of varied shape made from a seed, so that a soak round can be run again alone: the
// same seed gives the same bytes on every run and every system (the generator is our own, not
// the standard library's distributions, whose results differ between implementations).
#pragma once

#include <cstdint>
#include <string>

namespace Ostrel::Soak {

enum class Shape {
    Deep,       // one chain of nested elements, up to two hundred levels
    Wide,       // one element with thousands of children
    Attributes, // elements with dozens of attributes, past the point where they are sorted
    LongText,   // texts of tens of kilobytes, across the tokenizer's pieces
    Comments,   // comments before, between and inside elements
    Mixed,      // text and elements interleaved in one element
    Small,      // a few elements, with or without a declaration and a document type
    Medium,     // a random tree of every kind of part, up to about sixty kilobytes
};

constexpr int kShapes = 8;

const char* ShapeName(Shape shape);

// A well-formed UTF-8 document of that shape.
std::string GeneratedDocument(Shape shape, uint64_t seed);

} // namespace Ostrel::Soak
