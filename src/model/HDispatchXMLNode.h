// The automation face of one element of a document tree. Hosts get node objects from the model
// object's GetRoot and from other node objects; XMLNode::GetWrapper makes them, so an element
// has at most one at a time and the same element always comes back as the same object.
//
// The object holds no reference on its model or its parent's object. When its node is
// destroyed (a reload, Clear, the model's end) the node writes null into `node` and every
// operation answers E_FAIL, its out-parameters untouched. When the object goes first, it
// unlinks itself from its node, and the next request for the element makes a new object.
//
// While a load or save of the node's model calls host code (TreeInTransfer), the operations that
// change the element (AddChild, SetName, SetText, AddAttribute, AddAttributeText, SetAttribute)
// answer E_FAIL and do nothing.
//
// Operations record no error text: the status code is the only report.
//
// SetText and AddAttribute's value store a string (a VT_BSTR, a reference to one, or either
// behind a by-reference variant) as its text, unchanged; any other value in its double form
// where it has one (42 gives "42."), else as an integer, else as its string form.
#pragma once

#include "dispatch/CountedObject.h"
#include "dispatch/DispatchClassInfo.h"
#include "dispatch/DispatchObject.h"
#include "errors/HDispatchSupportErrorInfo.h"
#include "platform/com.h"
#include "pravell_idl.h"

namespace Ostrel {

class XMLNode;

class HDispatchXMLNode final : public DispatchObject<HDispatchXMLNode, IDispatchXMLModelNode>,
                               private CountedObject {
public:
    static DispatchClassInfo& ClassInfo() { return DispatchClassInfo::XMLModelNode(); }

    // Links itself to `node` both ways, with no reference yet (XMLNode::GetWrapper adds it).
    explicit HDispatchXMLNode(XMLNode* node);

    IUnknown* ExtraInterface(REFIID riid);
    bool IsAttached() const { return node != nullptr; }

    HRESULT STDMETHODCALLTYPE AddAttribute(VARIANT* name, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE GetAttribute(VARIANT* key, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE AddAttributeText(BSTR name, BSTR value) override;
    HRESULT STDMETHODCALLTYPE AddChild(BSTR name, IDispatchXMLModelNode** child) override;
    HRESULT STDMETHODCALLTYPE SetName(BSTR name) override;
    HRESULT STDMETHODCALLTYPE GetName(BSTR* name) override;
    HRESULT STDMETHODCALLTYPE SetText(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE GetText(BSTR* text) override;
    HRESULT STDMETHODCALLTYPE GetChildCount(LONG* count) override;
    HRESULT STDMETHODCALLTYPE GetChild(VARIANT* key, IDispatchXMLModelNode** child) override;
    HRESULT STDMETHODCALLTYPE GetAttributeValue(LONG index, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE GetAttributeName(LONG index, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE GetAttributeByName(BSTR name, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE GetAttributeCount(LONG* count) override;
    // Writes the element and its descendants to a host data sink as a document of their own:
    // the declaration first, the element at column 0, no document type declaration.
    HRESULT STDMETHODCALLTYPE WriteTo(IDispatch* target) override;
    HRESULT STDMETHODCALLTYPE GetParent(IDispatchXMLModelNode** parent) override;
    HRESULT STDMETHODCALLTYPE HasAttribute(BSTR name, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE SetAttribute(BSTR name, BSTR value) override;

    // Unlinks from the node when still attached.
    ~HDispatchXMLNode();

private:
    // Attached, and not in a tree that a load or save is building or walking.
    bool Editable() const;

    XMLNode* node;
    HDispatchSupportErrorInfo supportErrorInfo{this, &IID_IDispatchXMLModelNode};
};

} // namespace Ostrel
