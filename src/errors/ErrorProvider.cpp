#include "errors/ErrorProvider.h"

#include <utility>

namespace Ostrel {

void ErrorProvider::ClearError() {
    errorFlag = 0;
    code = 0;
    message = Text();
}

bool ErrorProvider::HasError() const {
    return errorFlag != 0;
}

void ErrorProvider::SetError(const IText& text) {
    // Taken before clearing: the argument may be a text that shares this message.
    Text taken(&text);
    ClearError();
    message = std::move(taken);
    errorFlag = 1;
}

void ErrorProvider::GetError(IText& text) const {
    text.Assign(message);
}

void ErrorProvider::SetErrorCode(LONG value) {
    ClearError();
    code = value;
    errorFlag = 1;
}

LONG ErrorProvider::GetErrorCode(LONG* value) const {
    if (value != nullptr) {
        *value = code;
    }
    return code;
}

void ErrorProvider::SetErrorText(const char* text) {
    Text taken(text);
    ClearError();
    message = std::move(taken);
    errorFlag = 1;
}

void ErrorProvider::AppendError(const IText& text) {
    // A share, not a copy: appending never needs the characters to be moved first.
    const Text appended(&text);
    AppendError(appended.c_str());
}

void ErrorProvider::AppendError(const char* text) {
    message.Append(text);
    errorFlag = 1;
}

} // namespace Ostrel
