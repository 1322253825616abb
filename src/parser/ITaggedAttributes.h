// The collection of a tag's name/value pairs as the rest of the system sees it. Names and values
// travel as IText, so a caller hands over any text without converting it first.
#pragma once

#include "platform/com.h"
#include "text/IText.h"

namespace Ostrel {

class ITaggedAttributes {
public:
    // Applies the collection's adding rule; false when the pair was rejected.
    virtual bool Add(const IText& name, const IText& value) = 0;
    // Assigns the stored value only when the name is found.
    virtual bool Find(const IText& name, IText& value) const = 0;
    // Assigns both only for 0 <= index < count; positions are in storage order.
    virtual bool GetAt(LONG index, IText& name, IText& value) const = 0;
    // Adds the source's pairs in its order; stops with false at the first rejected pair, keeping
    // those added before it.
    virtual bool AddAll(const ITaggedAttributes& source) = 0;
    // Adds this collection's pairs to the target in storage order; stops with false at the
    // first pair the target rejects.
    virtual bool CopyTo(ITaggedAttributes& target) const = 0;

protected:
    // Collections are owned through their own class, never deleted through the interface.
    ~ITaggedAttributes() = default;
};

} // namespace Ostrel
