// An object's pending failure: one message, an error flag and a code, held until the owner hands
// them to its caller.
#pragma once

#include "platform/com.h"
#include "text/IText.h"

namespace Ostrel {

class IErrorProvider {
public:
    // Flag off, code 0, message empty.
    virtual void ClearError() = 0;
    virtual bool HasError() const = 0;
    // Clears, then takes the message; flag on.
    virtual void SetError(const IText& message) = 0;
    // Assigns the message (empty when there is none) to `message`.
    virtual void GetError(IText& message) const = 0;
    // Clears, then stores the code; flag on, message empty.
    virtual void SetErrorCode(LONG code) = 0;
    // Stores the code through `code` when it is not null, and answers it.
    virtual LONG GetErrorCode(LONG* code) const = 0;
    // Clears, then takes a copy of the NUL-terminated string (null counts as ""); flag on.
    virtual void SetErrorText(const char* message) = 0;

protected:
    // Providers are owned through their own class, never deleted through the interface.
    ~IErrorProvider() = default;
};

} // namespace Ostrel
