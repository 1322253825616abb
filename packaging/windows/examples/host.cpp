// A complete early-bound host of the component on Windows: it creates the document model by its
// class, loads a document (the file named on the command line, else a small sample), prints the
// tree, and reads the error description of a load that fails.
//
// Build from the folder that holds include\ (mingw-w64, or any compiler with the system headers):
//   x86_64-w64-mingw32-g++ -std=c++17 -Iinclude examples\host.cpp include\pravell_idl_i.c
//       -o host.exe -static -lole32 -loleaut32 -luuid
//   cl /EHsc /Iinclude examples\host.cpp include\pravell_idl_i.c ole32.lib oleaut32.lib
//
// Run without arguments, once pravell.dll is registered, it prints:
//   catalog
//      book id="b1"
//         title: Dune
//   Load("missing.xml") failed: Failed to open file: missing.xml
#include "pravell_idl.h"

#include <ole2.h>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// A string from the component, in the console's characters.
std::string Narrow(BSTR text) {
    const int length = static_cast<int>(SysStringLen(text));
    const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, &narrow[0], size, nullptr, nullptr);
    return narrow;
}

// Takes a string the component handed out, and frees it.
std::string Take(BSTR text) {
    std::string narrow = Narrow(text);
    SysFreeString(text);
    return narrow;
}

// The description of the error the last failed call raised.
std::string LastErrorDescription() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || info == nullptr) {
        return "(no description)";
    }
    BSTR description = nullptr;
    info->GetDescription(&description);
    info->Release();
    return Take(description);
}

void PrintChildren(IDispatchXMLModelNode* node, int depth);

// Prints a node's name, attributes and text, then its children one level deeper.
void Print(IDispatchXMLModelNode* node, int depth) {
    BSTR name = nullptr;
    node->GetName(&name);
    std::string line = std::string(3 * depth, ' ') + Take(name);
    LONG attributes = 0;
    node->GetAttributeCount(&attributes);
    for (LONG i = 0; i < attributes; ++i) {
        BSTR attributeName = nullptr;
        BSTR value = nullptr;
        node->GetAttributeName(i, &attributeName);
        node->GetAttributeValue(i, &value);
        line += " " + Take(attributeName) + "=\"" + Take(value) + "\"";
    }
    BSTR text = nullptr;
    node->GetText(&text);
    const std::string content = Take(text);
    std::printf("%s%s%s\n", line.c_str(), content.empty() ? "" : ": ", content.c_str());
    PrintChildren(node, depth + 1);
}

void PrintChildren(IDispatchXMLModelNode* node, int depth) {
    LONG children = 0;
    node->GetChildCount(&children);
    for (LONG i = 0; i < children; ++i) {
        VARIANT index;
        VariantInit(&index);
        index.vt = VT_I4;
        index.lVal = i;
        IDispatchXMLModelNode* child = nullptr;
        if (node->GetChild(&index, &child) == S_OK) {
            Print(child, depth);
            child->Release();
        }
    }
}

// Loads the file, or the sample when there is none; false with the description on failure.
bool LoadDocument(IDispatchXMLModel* model, const char* file) {
    BSTR argument = SysAllocString(L"<catalog><book id='b1'><title>Dune</title></book></catalog>");
    if (file != nullptr) {
        const int size = MultiByteToWideChar(CP_ACP, 0, file, -1, nullptr, 0);
        SysReAllocStringLen(&argument, nullptr, static_cast<UINT>(size - 1));
        MultiByteToWideChar(CP_ACP, 0, file, -1, argument, size);
    }
    const HRESULT result =
        file != nullptr ? model->Load(argument) : model->LoadFromString(argument);
    SysFreeString(argument);
    if (FAILED(result)) {
        std::printf("Load failed: %s\n", LastErrorDescription().c_str());
        return false;
    }
    return true;
}

int Run(IDispatchXMLModel* model, const char* file) {
    if (!LoadDocument(model, file)) {
        return 1;
    }
    IDispatchXMLModelNode* root = nullptr;
    if (model->GetRoot(&root) != S_OK) {
        return 1;
    }
    PrintChildren(root, 0);
    root->Release();

    BSTR missing = SysAllocString(L"missing.xml");
    if (model->Load(missing) == E_FAIL) {
        std::printf("Load(\"missing.xml\") failed: %s\n", LastErrorDescription().c_str());
    }
    SysFreeString(missing);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (FAILED(CoInitialize(nullptr))) {
        return 1;
    }
    IDispatchXMLModel* model = nullptr;
    HRESULT created = CoCreateInstance(CLSID_XMLModel, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IDispatchXMLModel, reinterpret_cast<void**>(&model));
    int status = 1;
    if (SUCCEEDED(created)) {
        status = Run(model, argc > 1 ? argv[1] : nullptr);
        model->Release();
    } else {
        std::printf("Corvantis.XMLModel is not registered: run regsvr32 pravell.dll\n");
    }
    CoUninitialize();
    return status;
}
