// A loaded tree as one line of JSON, for the independent reader of the saved documents to hold
// against what it reads: each element as {"name", "attributes" (pairs in the model's order),
// "text", "comments", "children"}.
#pragma once

#include "model/XMLModel.h"

#include <string>

namespace Ostrel {

// The string as a JSON string literal; the bytes are UTF-8, only quotes, backslashes and control
// characters are escaped.
std::string JsonString(const char* text);

// The top elements of the document as a JSON array.
std::string TreeJson(const XMLModel& model);

} // namespace Ostrel
