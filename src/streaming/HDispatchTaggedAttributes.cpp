#include "streaming/HDispatchTaggedAttributes.h"

#include "dispatch/GuardCall.h"
#include "text/GrowableArray.h"
#include "text/TextList.h"

namespace Ostrel {

namespace {

constexpr int16_t kGrowStep = 3;

HRESULT SucceededOrFail(bool done) {
    return done ? S_OK : E_FAIL;
}

// A variant that is not a one-dimensional string array counts as an empty list; only running
// out of memory is a failure.
bool ListFromVariant(const VARIANT& variant, GrowableArray<Text>& list) {
    return TextArrayFromVariant(variant, list) != E_OUTOFMEMORY;
}

} // namespace

HDispatchTaggedAttributes::HDispatchTaggedAttributes() : attributes(kGrowStep, kGrowStep, 0) {}

HRESULT HDispatchTaggedAttributes::AddAttribute(BSTR name, BSTR value) {
    return GuardCall([&] { return SucceededOrFail(attributes.Add(Text(name), Text(value))); });
}

HRESULT HDispatchTaggedAttributes::AddAttributes(VARIANT names, VARIANT values) {
    HRESULT result = GuardCall([&] {
        GrowableArray<Text> nameList;
        GrowableArray<Text> valueList;
        if (!ListFromVariant(names, nameList) || !ListFromVariant(values, valueList) ||
            nameList.Count() != valueList.Count()) {
            return E_FAIL;
        }
        for (LONG i = 0; i < nameList.Count(); ++i) {
            if (!attributes.Add(nameList[i], valueList[i])) {
                return E_FAIL;
            }
        }
        return S_OK;
    });
    return SUCCEEDED(result) ? result : E_FAIL;
}

HRESULT HDispatchTaggedAttributes::GetValue(BSTR name, BSTR* value) {
    HRESULT result = GuardCall([&] {
        Text found;
        if (!attributes.Find(Text(name), found)) {
            return E_FAIL;
        }
        if (value != nullptr) {
            *value = found.ToBSTR();
        }
        return S_OK;
    });
    return SUCCEEDED(result) ? result : E_FAIL;
}

// Both strings are made before either is stored, so a failure stores nothing.
HRESULT HDispatchTaggedAttributes::GetAttribute(LONG index, BSTR* name, BSTR* value) {
    HRESULT result = GuardCall([&] {
        if (index < 0 || index >= attributes.Count()) {
            return E_FAIL;
        }
        BSTR nameString = name != nullptr ? attributes.NameAt(index).ToBSTR() : nullptr;
        BSTR valueString = nullptr;
        try {
            valueString = value != nullptr ? attributes.ValueAt(index).ToBSTR() : nullptr;
        } catch (...) {
            SysFreeString(nameString);
            throw;
        }
        if (name != nullptr) {
            *name = nameString;
        }
        if (value != nullptr) {
            *value = valueString;
        }
        return S_OK;
    });
    return SUCCEEDED(result) ? result : E_FAIL;
}

HRESULT HDispatchTaggedAttributes::GetAttributes(VARIANT* names, VARIANT* values) {
    const InsideDoor inside;
    if (names == nullptr || values == nullptr) {
        return E_FAIL;
    }
    if (FAILED(StoreColumn(true, names))) {
        return E_FAIL;
    }
    if (FAILED(StoreColumn(false, values))) {
        VariantClear(names);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT HDispatchTaggedAttributes::GetCount(LONG* count) {
    const InsideDoor inside;
    if (count == nullptr) {
        return E_FAIL;
    }
    *count = attributes.Count();
    return S_OK;
}

HRESULT HDispatchTaggedAttributes::StoreColumn(bool names, VARIANT* result) const {
    return GuardCall([&] {
        const LONG count = attributes.Count();
        GrowableArray<Text> column(kGrowStep);
        column.Resize(count);
        for (LONG i = 0; i < count; ++i) {
            column[i] = names ? attributes.NameAt(i) : attributes.ValueAt(i);
        }
        return VariantFromTextArray(column.begin(), count, result);
    });
}

} // namespace Ostrel
