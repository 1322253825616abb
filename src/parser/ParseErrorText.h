// The text reported for a tokenizer error code, shared by document loading and the streaming
// parser.
#pragma once

namespace Ostrel {

// The fixed text of the code's row in the system's error table; a code without a row reports the
// tokenizer's own text for it (empty when it has none).
const char* ParseErrorText(int code);

} // namespace Ostrel
