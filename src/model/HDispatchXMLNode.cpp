#include "model/HDispatchXMLNode.h"

#include "dispatch/GuardCall.h"
#include "model/TreeInTransfer.h"
#include "model/XMLModel.h"
#include "model/XMLNode.h"
#include "output/XMLWriter.h"
#include "text/FollowReferences.h"
#include "text/GrowableArray.h"
#include "text/Text.h"
#include "text/TextBuffer.h"
#include "transfer/BaseDataTransfer.h"
#include "transfer/ProxyDataTransfer.h"

namespace Ostrel {

namespace {

// A subtree's lines, kept write by write, so that the walk over the tree has ended before any of
// the host's code runs: the host's Write may release or clear the model, freeing the elements.
class RecordedWrites : public BaseDataTransfer {
public:
    bool Write(const void* data, LONG length) override {
        if (length < 0) {
            return false;
        }
        bytes.Append(static_cast<const char*>(data), length);
        ends.Append(bytes.Length());
        return true;
    }
    bool Read(void*, LONG, uint32_t*) override { return false; }
    bool Unread(LONG) override { return false; }

    // Hands the writes on as they came; false at the first one the target refuses.
    bool ReplayInto(IDataTransfer& target) const {
        LONG start = 0;
        for (LONG i = 0; i < ends.Count(); ++i) {
            if (!target.Write(bytes.c_str() + start, ends[i] - start)) {
                return false;
            }
            start = ends[i];
        }
        return true;
    }

private:
    TextBuffer bytes;
    GrowableArray<LONG> ends;
};

// A variant that is cleared however the scope is left.
struct ScopedVariant {
    ScopedVariant() = default;
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
    ~ScopedVariant() { VariantClear(&value); }
    VARIANT value{};
};

// An integer key: VT_UI1 (zero-extended), VT_I2 (sign-extended), VT_I4, or a reference to one.
// Keys are what the arguments stand for (FollowReferences); a null key is neither kind.
bool IntegerKey(const VARIANT* key, LONG& index) {
    if (key == nullptr) {
        return false;
    }
    const bool byReference = (key->vt & VT_BYREF) != 0;
    if (byReference && key->byref == nullptr) {
        return false;
    }
    switch (key->vt & ~VT_BYREF) {
    case VT_UI1:
        index = byReference ? *key->pbVal : key->bVal;
        return true;
    case VT_I2:
        index = byReference ? *key->piVal : key->iVal;
        return true;
    case VT_I4:
        index = byReference ? *key->plVal : key->lVal;
        return true;
    default:
        return false;
    }
}

bool NameKey(const VARIANT* key) {
    return key != nullptr && key->vt == VT_BSTR;
}

// The string a value holds: VT_BSTR or a reference to one; null for any other value.
const BSTR* StringIn(const VARIANT& value) {
    if (value.vt == VT_BSTR) {
        return &value.bstrVal;
    }
    if (value.vt == (VT_BYREF | VT_BSTR) && value.pbstrVal != nullptr) {
        return value.pbstrVal;
    }
    return nullptr;
}

// A string is stored as its text: one that reads as a number ("00123", "1e3") is still text,
// and its reading would depend on the locale. Any other value is tried as a double, then an
// integer, then a string, and the first that converts is stored; E_INVALIDARG when none does.
template <typename Real, typename Integer, typename String>
HRESULT StoreValue(VARIANT* argument, Real storeReal, Integer storeInteger, String storeText) {
    VARIANT* value = FollowReferences(argument);
    if (value == nullptr) {
        return E_INVALIDARG;
    }
    if (const BSTR* string = StringIn(*value)) {
        return storeText(Text(*string, false));
    }
    ScopedVariant converted;
    if (VariantChangeType(&converted.value, value, 0, VT_R8) >= 0) {
        return storeReal(converted.value.dblVal);
    }
    if (VariantChangeType(&converted.value, value, 0, VT_I4) >= 0) {
        return storeInteger(converted.value.lVal);
    }
    if (VariantChangeType(&converted.value, value, 0, VT_BSTR) >= 0) {
        return storeText(Text(converted.value.bstrVal, false));
    }
    return E_INVALIDARG;
}

HRESULT HandOut(const Text& text, BSTR* out) {
    *out = text.ToBSTR();
    return S_OK;
}

// The name or the value of the attribute at `index`; an index outside the collection is the
// caller's mistake, not a programming error.
HRESULT HandOutAttributePart(const XMLNode* node, LONG index,
                             const Text& (TaggedAttributes::*part)(LONG) const, BSTR* out) {
    if (node == nullptr || out == nullptr) {
        return E_FAIL;
    }
    const TaggedAttributes& attributes = node->Attributes();
    if (index < 0 || index >= attributes.Count()) {
        return E_INVALIDARG;
    }
    return HandOut((attributes.*part)(index), out);
}

HRESULT HandOut(XMLNode* target, IDispatchXMLModelNode** out) {
    *out = target == nullptr ? nullptr : target->GetWrapper();
    return S_OK;
}

HRESULT AddedOrRefused(bool added) {
    return added ? S_OK : S_FALSE;
}

} // namespace

HDispatchXMLNode::HDispatchXMLNode(XMLNode* node) : node(node) {
    node->LinkWrapper(this, &this->node);
}

HDispatchXMLNode::~HDispatchXMLNode() {
    if (node != nullptr) {
        node->UnlinkWrapper();
    }
}

bool HDispatchXMLNode::Editable() const {
    return node != nullptr && !TreeInTransfer::Contains(*node);
}

IUnknown* HDispatchXMLNode::ExtraInterface(REFIID riid) {
    return riid == IID_ISupportErrorInfo ? &supportErrorInfo : nullptr;
}

HRESULT HDispatchXMLNode::AddAttribute(VARIANT* name, VARIANT* value) {
    return GuardCall([&] {
        if (!Editable() || name == nullptr) {
            return E_FAIL;
        }
        VARIANT* nameValue = FollowReferences(name);
        ScopedVariant nameText;
        if (nameValue == nullptr || VariantChangeType(&nameText.value, nameValue, 0, VT_BSTR) < 0) {
            return E_INVALIDARG;
        }
        const Text attributeName(nameText.value.bstrVal, false);
        return StoreValue(
            value,
            [&](double real) {
                return AddedOrRefused(node->AddAttributeReal(attributeName, real));
            },
            [&](LONG integer) {
                return AddedOrRefused(node->AddAttributeInteger(attributeName, integer));
            },
            [&](const Text& text) {
                return AddedOrRefused(node->AddAttribute(attributeName, text));
            });
    });
}

HRESULT HDispatchXMLNode::GetAttribute(VARIANT* key, BSTR* value) {
    return GuardCall([&] {
        if (node == nullptr || key == nullptr || value == nullptr) {
            return E_FAIL;
        }
        const VARIANT* keyValue = FollowReferences(key);
        const TaggedAttributes& attributes = node->Attributes();
        LONG index = 0;
        if (IntegerKey(keyValue, index)) {
            if (index < 0 || index >= attributes.Count()) {
                *value = nullptr;
                return E_INVALIDARG;
            }
            return HandOut(attributes.ValueAt(index), value);
        }
        if (!NameKey(keyValue)) {
            return E_INVALIDARG;
        }
        if (!node->FindAttribute(Text(keyValue->bstrVal), &index)) {
            *value = nullptr;
            return S_FALSE;
        }
        return HandOut(attributes.ValueAt(index), value);
    });
}

HRESULT HDispatchXMLNode::AddAttributeText(BSTR name, BSTR value) {
    return GuardCall([&] {
        if (!Editable()) {
            return E_FAIL;
        }
        return node->AddAttribute(Text(name, false), Text(value, false)) ? S_OK : E_FAIL;
    });
}

HRESULT HDispatchXMLNode::AddChild(BSTR name, IDispatchXMLModelNode** child) {
    return GuardCall([&] {
        if (!Editable() || child == nullptr) {
            return E_FAIL;
        }
        return HandOut(node->CreateChild(Text(name, false)), child);
    });
}

HRESULT HDispatchXMLNode::SetName(BSTR name) {
    return GuardCall([&] {
        if (!Editable()) {
            return E_FAIL;
        }
        node->SetName(Text(name, false));
        return S_OK;
    });
}

HRESULT HDispatchXMLNode::GetName(BSTR* name) {
    return GuardCall([&] {
        if (node == nullptr || name == nullptr) {
            return E_FAIL;
        }
        return HandOut(node->Name(), name);
    });
}

HRESULT HDispatchXMLNode::SetText(VARIANT* value) {
    return GuardCall([&] {
        if (!Editable()) {
            return E_FAIL;
        }
        return StoreValue(
            value,
            [&](double real) {
                node->SetTextReal(real);
                return S_OK;
            },
            [&](LONG integer) {
                node->SetTextInteger(integer);
                return S_OK;
            },
            [&](const Text& text) {
                node->SetText(text);
                return S_OK;
            });
    });
}

HRESULT HDispatchXMLNode::GetText(BSTR* text) {
    return GuardCall([&] {
        if (node == nullptr || text == nullptr) {
            return E_FAIL;
        }
        return HandOut(node->GetText(), text);
    });
}

HRESULT HDispatchXMLNode::GetChildCount(LONG* count) {
    const InsideDoor inside;
    if (node == nullptr || count == nullptr) {
        return E_FAIL;
    }
    *count = node->ChildCount();
    return S_OK;
}

HRESULT HDispatchXMLNode::GetChild(VARIANT* key, IDispatchXMLModelNode** child) {
    return GuardCall([&] {
        if (node == nullptr || key == nullptr || child == nullptr) {
            return E_FAIL;
        }
        const VARIANT* keyValue = FollowReferences(key);
        XMLNode* found = nullptr;
        LONG index = 0;
        if (IntegerKey(keyValue, index)) {
            found = node->ChildAt(index);
        } else if (NameKey(keyValue)) {
            found = node->FindChild(Text(keyValue->bstrVal));
        }
        HandOut(found, child);
        return found != nullptr ? S_OK : E_FAIL;
    });
}

HRESULT HDispatchXMLNode::GetAttributeValue(LONG index, BSTR* value) {
    return GuardCall(
        [&] { return HandOutAttributePart(node, index, &TaggedAttributes::ValueAt, value); });
}

HRESULT HDispatchXMLNode::GetAttributeName(LONG index, BSTR* name) {
    return GuardCall(
        [&] { return HandOutAttributePart(node, index, &TaggedAttributes::NameAt, name); });
}

HRESULT HDispatchXMLNode::GetAttributeByName(BSTR name, BSTR* value) {
    return GuardCall([&] {
        if (node == nullptr || value == nullptr) {
            return E_FAIL;
        }
        LONG index = 0;
        if (!node->FindAttribute(Text(name), &index)) {
            return E_INVALIDARG;
        }
        return HandOut(node->Attributes().ValueAt(index), value);
    });
}

HRESULT HDispatchXMLNode::GetAttributeCount(LONG* count) {
    const InsideDoor inside;
    if (node == nullptr || count == nullptr) {
        return E_FAIL;
    }
    *count = node->Attributes().Count();
    return S_OK;
}

HRESULT HDispatchXMLNode::WriteTo(IDispatch* target) {
    return GuardCall([&] {
        // The root after a load has no name; writing it would produce "</>".
        if (node == nullptr || target == nullptr || node->Name().IsEmpty()) {
            return E_FAIL;
        }
        RecordedWrites lines;
        XMLWriter writer(&lines, XMLWriter::Encoding::Utf8);
        if (!XMLModel::WriteSubtree(*node, writer)) {
            return E_FAIL;
        }
        ProxyDataTransfer proxy(target);
        return lines.ReplayInto(proxy) ? S_OK : E_FAIL;
    });
}

HRESULT HDispatchXMLNode::GetParent(IDispatchXMLModelNode** parent) {
    return GuardCall([&] {
        if (node == nullptr || parent == nullptr) {
            return E_FAIL;
        }
        return HandOut(node->Parent(), parent);
    });
}

HRESULT HDispatchXMLNode::HasAttribute(BSTR name, VARIANT_BOOL* result) {
    return GuardCall([&] {
        if (node == nullptr || result == nullptr) {
            return E_FAIL;
        }
        LONG index = 0;
        *result = node->FindAttribute(Text(name), &index) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT HDispatchXMLNode::SetAttribute(BSTR name, BSTR value) {
    return GuardCall([&] {
        if (!Editable()) {
            return E_FAIL;
        }
        return node->SetAttribute(Text(name, false), Text(value, false)) ? S_OK : E_FAIL;
    });
}

} // namespace Ostrel
