// A minimal host of the Pravell objects: creates "Corvantis.XMLModel" by its programmatic
// identifier and calls it only by name (IDispatch::GetIDsOfNames and Invoke), the way a script
// host does. It loads the XML text given as its argument, prints the text of the document
// element's first child, and on a failure prints the description the object raised.
//
//   host '<note><to>Tove</to></note>'    prints  to: Tove
//   host '<note><to>Tove</note>'         prints  error: XML Parse failed: mismatched tag ...
#include "platform/com.h"

#include <cstdio>
#include <string>

namespace {

// Automation strings are UTF-16; the command line is UTF-8.
BSTR ToBstr(const std::string& text) {
    const int length = static_cast<int>(text.size());
    const int wide = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(wide));
    MultiByteToWideChar(CP_UTF8, 0, text.data(), length, result, wide);
    return result;
}

std::string FromBstr(BSTR text) {
    const int length = static_cast<int>(SysStringLen(text));
    const int narrow = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(narrow), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, &result[0], narrow, nullptr, nullptr);
    return result;
}

// Calls `object.member(argument)`; the member's value goes to *result. A failure prints the
// object's error description and answers false.
bool Call(IDispatch* object, const std::string& member, VARIANT* argument, VARIANT* result) {
    std::u16string name(member.begin(), member.end());
    LPOLESTR names[] = {&name[0]};
    DISPID id = DISPID_UNKNOWN;
    HRESULT status = object->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    if (FAILED(status)) {
        std::printf("error: the object has no member %s\n", member.c_str());
    } else {
        DISPPARAMS parameters = {argument, nullptr, argument != nullptr ? 1u : 0u, 0};
        EXCEPINFO exception = {};
        VariantInit(result);
        status = object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &parameters, result, &exception,
                                nullptr);
        if (status == DISP_E_EXCEPTION) {
            status = exception.scode;
        }
        if (FAILED(status) && SysStringLen(exception.bstrDescription) > 0) {
            std::printf("error: %s\n", FromBstr(exception.bstrDescription).c_str());
        } else if (FAILED(status)) {
            std::printf("error: %s failed with 0x%08X\n", member.c_str(),
                        static_cast<unsigned>(status));
        }
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
    return SUCCEEDED(status);
}

// Walks root -> document element -> its first child, and prints that child's name and text.
bool PrintFirstChild(IDispatch* model) {
    VARIANT root;
    VARIANT element;
    VARIANT child;
    VARIANT text;
    VARIANT name;
    VARIANT first;
    VariantInit(&first);
    first.vt = VT_I4;
    first.lVal = 0;
    bool done = false;
    if (Call(model, "GetRoot", nullptr, &root)) {
        if (Call(root.pdispVal, "GetChild", &first, &element)) {
            if (Call(element.pdispVal, "GetChild", &first, &child)) {
                if (Call(child.pdispVal, "GetName", nullptr, &name)) {
                    if (Call(child.pdispVal, "GetText", nullptr, &text)) {
                        std::printf("%s: %s\n", FromBstr(name.bstrVal).c_str(),
                                    FromBstr(text.bstrVal).c_str());
                        done = true;
                        VariantClear(&text);
                    }
                    VariantClear(&name);
                }
                VariantClear(&child);
            }
            VariantClear(&element);
        }
        VariantClear(&root);
    }
    return done;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: host XML\n");
        return 2;
    }
    CLSID clsid;
    IDispatch* model = nullptr;
    HRESULT status = CLSIDFromProgID(u"Corvantis.XMLModel", &clsid);
    if (SUCCEEDED(status)) {
        status = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(&model));
    }
    if (FAILED(status)) {
        std::printf("error: Corvantis.XMLModel cannot be created (0x%08X): is it registered?\n",
                    static_cast<unsigned>(status));
        return 1;
    }
    VARIANT xml;
    VARIANT nothing;
    VariantInit(&xml);
    xml.vt = VT_BSTR;
    xml.bstrVal = ToBstr(argv[1]);
    const bool done = Call(model, "LoadFromString", &xml, &nothing) && PrintFirstChild(model);
    VariantClear(&xml);
    model->Release();
    return done ? 0 : 1;
}
