// The pending failure of a document model. Loading and saving append their messages without a
// separator, so that several failures before the next hand-over read as one message.
#pragma once

#include "errors/IErrorProvider.h"
#include "platform/com.h"
#include "text/Text.h"

#include <cstdint>

namespace Ostrel {

class ErrorProvider : public IErrorProvider {
public:
    ErrorProvider() = default;

    void ClearError() override;
    bool HasError() const override;
    void SetError(const IText& message) override;
    void GetError(IText& message) const override;
    void SetErrorCode(LONG code) override;
    LONG GetErrorCode(LONG* code) const override;
    void SetErrorText(const char* message) override;
    virtual ~ErrorProvider() = default;

    // Adds the text at the end of the message and sets the flag; the code stays.
    void AppendError(const IText& text);
    // As above; null adds nothing but still sets the flag.
    void AppendError(const char* text);

private:
    Text message;
    uint8_t errorFlag = 0;
    LONG code = 0;
};

} // namespace Ostrel
