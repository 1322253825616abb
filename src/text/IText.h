// The narrow text interface that collections and error providers take their arguments through.
#pragma once

#include "platform/com.h"

namespace Ostrel {

class IText {
public:
    // The form code GetText understands: "hand me the Text object itself".
    static constexpr LONG kTextForm = 1;

    // Takes the value of `source`; answers this object.
    virtual IText& Assign(const IText& source) = 0;
    // With *form == kTextForm, answers the object as a `const Text*` and leaves the code alone.
    // A caller that finds any other code on return reads the answer as a NUL-terminated narrow
    // character pointer.
    virtual const void* GetText(LONG* form) const = 0;
    virtual LONG GetSize() const = 0;
};

} // namespace Ostrel
