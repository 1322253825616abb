// The automation object that hands a tag's attributes to hosts: the streaming parser passes one
// with every start tag and document type declaration, and hosts read it, or fill it, through
// IDispatchTaggedAttributes. Its collection is always sorted (threshold 0), so a name is held
// at most once, compared without regard to ASCII letter case.
//
// Every failure is E_FAIL and raises no error information. The object lives on the heap only:
// whoever creates it takes the first reference, and the last Release deletes it.
#pragma once

#include "dispatch/CountedObject.h"
#include "dispatch/DispatchObject.h"
#include "parser/TaggedAttributes.h"
#include "platform/com.h"
#include "utils_idl.h"

namespace Ostrel {

class HDispatchTaggedAttributes final
    : public DispatchObject<HDispatchTaggedAttributes, IDispatchTaggedAttributes>,
      private CountedObject {
public:
    HDispatchTaggedAttributes();

    static DispatchClassInfo& ClassInfo() { return DispatchClassInfo::TaggedAttributes(); }

    HRESULT STDMETHODCALLTYPE AddAttribute(BSTR name, BSTR value) override;
    HRESULT STDMETHODCALLTYPE AddAttributes(VARIANT names, VARIANT values) override;
    HRESULT STDMETHODCALLTYPE GetValue(BSTR name, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE GetAttribute(LONG index, BSTR* name, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE GetAttributes(VARIANT* names, VARIANT* values) override;
    HRESULT STDMETHODCALLTYPE GetCount(LONG* count) override;

    // The collection itself, for the parser to fill before handing the object out.
    TaggedAttributes& Attributes() { return attributes; }

private:
    friend class DispatchObject<HDispatchTaggedAttributes, IDispatchTaggedAttributes>;
    ~HDispatchTaggedAttributes() = default;

    // All names, or all values, in storage order as a string array in `result`.
    HRESULT StoreColumn(bool names, VARIANT* result) const;

    TaggedAttributes attributes;
};

} // namespace Ostrel
