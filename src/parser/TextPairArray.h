// Storage of a tag's attributes: pairs of texts in one growable array, so that pairs are
// relocated by their move operations and a borrowed text header's sharer list stays right.
#pragma once

#include "text/GrowableArray.h"
#include "text/Text.h"

namespace Ostrel {

struct TextPair {
    Text name;
    Text value;
};

using TextPairArray = GrowableArray<TextPair>;

} // namespace Ostrel
