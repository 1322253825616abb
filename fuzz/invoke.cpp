// Late-bound calls into the model, node, parser and attributes objects as a host makes them:
// IDispatch::Invoke with any member (mostly those the type libraries describe), flags and count
// of arguments, and arguments of any type that hold valid values (real strings, arrays and
// objects, references to real storage). Every call must answer and return every reference: after
// each input, once the host released all it holds, no object of the system is alive and every
// host object has its own reference back.
//
// File names reach only a scratch folder: the process works in it, every string a file member
// receives is one of a few plain names, and the folder is emptied before each input so that one
// input never reads what another wrote.
#include "FuzzSupport.h"
#include "dispatch/CountedObject.h"
#include "host/AutomationText.h"
#include "model/HExternalXMLModel.h"
#include "pravell_idl.h"
#include "streaming/HDispatchTaggedAttributes.h"
#include "streaming/HExternalXMLParser.h"
#include "support/HostStreams.h"
#include "support/ParserClients.h"
#include "support/PrivateRegistry.h"
#include "utils_idl.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <set>
#include <vector>

using namespace Ostrel;
using namespace Ostrel::Fuzzing;
using namespace Ostrel::Testing;

namespace {

struct Member {
    DISPID id;
    WORD flags;
    UINT arguments;
    // Takes a file name.
    bool file;
};

// The members of each interface, as its type information describes them.
struct Interface {
    const IID* iid;
    std::vector<Member> members;
};

const std::set<std::string> kFileMembers = {"Load", "Save", "LoadCompressed", "SaveCompressed",
                                            "ParseFile"};
// The names a file member gets: one of them twice, so that loads often find what saves wrote.
const char* const kFileNames[] = {"a.xml", "b.pxc", "a.xml", "missing/c.xml", "", "."};

bool Register(const std::string& name) {
    const std::string path = std::string(PRAVELL_BIN_DIR) + "/" + name + ".tlb";
    const Bstr wide(path);
    ITypeLib* library = nullptr;
    if (LoadTypeLib(wide, &library) != S_OK ||
        RegisterTypeLib(library, const_cast<OLECHAR*>(static_cast<const OLECHAR*>(wide)),
                        nullptr) != S_OK) {
        Finding("the type library " + path + " does not register");
    }
    library->Release();
    return true;
}

std::vector<Member> MembersOf(const IID& iid, const GUID& libraryId) {
    ITypeLib* library = nullptr;
    ITypeInfo* info = nullptr;
    TYPEATTR* attributes = nullptr;
    if (LoadRegTypeLib(libraryId, 1, 0, 0, &library) != S_OK ||
        library->GetTypeInfoOfGuid(iid, &info) != S_OK || info->GetTypeAttr(&attributes) != S_OK) {
        Finding("an interface without type information");
    }
    std::vector<Member> members;
    for (UINT f = 0; f < attributes->cFuncs; ++f) {
        FUNCDESC* function = nullptr;
        if (info->GetFuncDesc(f, &function) != S_OK) {
            continue;
        }
        // What IUnknown and IDispatch declare is not for late binding.
        if ((function->wFuncFlags & FUNCFLAG_FRESTRICTED) != 0) {
            info->ReleaseFuncDesc(function);
            continue;
        }
        UINT arguments = 0;
        for (SHORT p = 0; p < function->cParams; ++p) {
            const USHORT flags = function->lprgelemdescParam[p].paramdesc.wParamFlags;
            arguments += (flags & PARAMFLAG_FRETVAL) != 0 ? 0 : 1;
        }
        BSTR name = nullptr;
        info->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr);
        members.push_back({function->memid, static_cast<WORD>(function->invkind), arguments,
                           kFileMembers.count(ToUtf8(name)) > 0});
        SysFreeString(name);
        info->ReleaseFuncDesc(function);
    }
    info->ReleaseTypeAttr(attributes);
    info->Release();
    library->Release();
    return members;
}

// The registry that holds the type libraries, and the folder the files go to.
struct Session {
    Session()
        : files(registry.Directory() + "/files"),
          interfaces{
              {&IID_IDispatchXMLModel, MembersOf(IID_IDispatchXMLModel, LIBID_Pravell)},
              {&IID_IDispatchXMLModelNode, MembersOf(IID_IDispatchXMLModelNode, LIBID_Pravell)},
              {&IID_IDispatchXMLParser, MembersOf(IID_IDispatchXMLParser, LIBID_Pravell)},
              {&IID_IDispatchTaggedAttributes,
               MembersOf(IID_IDispatchTaggedAttributes, LIBID_PravellUtils)}} {}

    PrivateRegistry registry;
    // Before the members are read: they come from the registered libraries.
    bool registered = Register("pravell") && Register("utils");
    std::string files;
    std::vector<Interface> interfaces;
};

// An object a host holds, with the interface it answers (null when none of the four).
struct Held {
    IDispatch* object;
    const Interface* face;
};

class Host {
public:
    Host(FuzzedDataProvider& input, Session& session)
        : input(input), session(session), stream(input.ConsumeRandomLengthString(512)) {}

    // Takes the reference.
    void Hold(IDispatch* object) {
        const Interface* face = nullptr;
        for (const Interface& candidate : session.interfaces) {
            void* found = nullptr;
            if (object->QueryInterface(*candidate.iid, &found) == S_OK) {
                static_cast<IUnknown*>(found)->Release();
                face = &candidate;
                break;
            }
        }
        held.push_back({object, face});
    }

    void Call() {
        const Held& target = held[input.ConsumeIntegralInRange<size_t>(0, held.size() - 1)];
        Member member{};
        if (target.face != nullptr && input.ConsumeProbability<float>() < 0.9f) {
            const std::vector<Member>& members = target.face->members;
            member = members[input.ConsumeIntegralInRange<size_t>(0, members.size() - 1)];
            if (input.ConsumeProbability<float>() > 0.9f) {
                member.flags = input.ConsumeIntegralInRange<WORD>(0, 15);
            }
            if (input.ConsumeProbability<float>() > 0.85f) {
                member.arguments = input.ConsumeIntegralInRange<UINT>(0, 4);
            }
        } else {
            member.id = input.ConsumeBool() ? input.ConsumeIntegralInRange<DISPID>(-5, 24)
                                            : input.ConsumeIntegral<DISPID>();
            member.flags = input.ConsumeIntegralInRange<WORD>(0, 15);
            member.arguments = input.ConsumeIntegralInRange<UINT>(0, 4);
        }
        fileMember = member.file;

        std::vector<VARIANT> arguments(member.arguments);
        for (VARIANT& argument : arguments) {
            MakeArgument(argument);
        }
        std::vector<DISPID> named;
        if (!arguments.empty() && input.ConsumeProbability<float>() > 0.85f) {
            named.push_back(input.ConsumeBool() ? DISPID_PROPERTYPUT
                                                : input.ConsumeIntegralInRange<DISPID>(-1, 4));
            if (arguments.size() > 1 && input.ConsumeBool()) {
                named.push_back(input.ConsumeIntegralInRange<DISPID>(0, 4));
            }
        }
        DISPPARAMS params{arguments.data(), named.data(), static_cast<UINT>(arguments.size()),
                          static_cast<UINT>(named.size())};
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception{};
        UINT argumentError = 0;
        const bool wantResult = input.ConsumeProbability<float>() < 0.8f;
        const bool wantException = input.ConsumeBool();
        const bool wantArgumentError = input.ConsumeBool();
        const IID& riid = input.ConsumeProbability<float>() > 0.97f ? IID_IDispatch : IID_NULL;
        target.object->Invoke(member.id, riid, 0, member.flags, &params,
                              wantResult ? &result : nullptr, wantException ? &exception : nullptr,
                              wantArgumentError ? &argumentError : nullptr);

        if ((result.vt == VT_DISPATCH || result.vt == VT_UNKNOWN) && result.pdispVal != nullptr &&
            held.size() < 12) {
            void* found = nullptr;
            if (result.punkVal->QueryInterface(IID_IDispatch, &found) == S_OK) {
                Hold(static_cast<IDispatch*>(found));
            }
        }
        VariantClear(&result);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        SetErrorInfo(0, nullptr);
        for (VARIANT& argument : arguments) {
            VariantClear(&argument);
        }
        for (VARIANT& value : storage) {
            VariantClear(&value);
        }
        storage.clear();
    }

    ~Host() {
        for (const Held& object : held) {
            object.object->Release();
        }
        if (bystander.References() != 1 || stream.References() != 1 || client.References() != 1) {
            Finding("the system kept a reference to a host object");
        }
    }

private:
    // A host object that answers no member at all.
    class Bystander final : public HostObject<IDispatch> {};

    IDispatch* AnyObject() {
        switch (input.ConsumeIntegralInRange(0, 5)) {
        case 0:
            return nullptr;
        case 1:
            return &bystander;
        case 2:
            return &stream;
        case 3:
            return &client;
        default:
            return held[input.ConsumeIntegralInRange<size_t>(0, held.size() - 1)].object;
        }
    }

    BSTR AnyString() {
        if (fileMember) {
            return Bstr(kFileNames[input.ConsumeIntegralInRange<size_t>(0, 5)]).Detach();
        }
        switch (input.ConsumeIntegralInRange(0, 3)) {
        case 0:
            return nullptr;
        case 1: {
            // Any UTF-16 units, lone surrogates and NULs included.
            const std::string bytes = input.ConsumeRandomLengthString(64);
            return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(bytes.data()),
                                     static_cast<UINT>(bytes.size() / sizeof(OLECHAR)));
        }
        default:
            return Bstr(input.ConsumeRandomLengthString(256)).Detach();
        }
    }

    // A value of a scalar type `type` in `value` (whose tag the caller sets).
    void FillScalar(VARIANT& value, VARTYPE type) {
        switch (type) {
        case VT_I1:
        case VT_UI1:
            value.bVal = input.ConsumeIntegral<BYTE>();
            break;
        case VT_I2:
        case VT_UI2:
            value.uiVal = input.ConsumeIntegral<USHORT>();
            break;
        case VT_BOOL:
            value.boolVal = input.ConsumeBool() ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
            value.lVal = input.ConsumeBool() ? input.ConsumeIntegralInRange<LONG>(-3, 40)
                                             : input.ConsumeIntegral<LONG>();
            break;
        case VT_ERROR:
            value.scode =
                input.ConsumeBool() ? DISP_E_PARAMNOTFOUND : input.ConsumeIntegral<LONG>();
            break;
        case VT_R4:
            value.fltVal = input.ConsumeFloatingPoint<float>();
            break;
        case VT_R8:
            value.dblVal = input.ConsumeFloatingPoint<double>();
            break;
        case VT_DATE:
            // The range of dates the system can write: years 100 to 9999.
            value.date = input.ConsumeFloatingPointInRange<double>(-657434.0, 2958465.0);
            break;
        case VT_I8:
        case VT_UI8:
        case VT_CY:
            value.llVal = input.ConsumeIntegral<LONGLONG>();
            break;
        case VT_BSTR:
            value.bstrVal = AnyString();
            break;
        case VT_DISPATCH:
        case VT_UNKNOWN:
            value.pdispVal = AnyObject();
            if (value.pdispVal != nullptr) {
                value.pdispVal->AddRef();
            }
            break;
        default:
            break;
        }
    }

    VARTYPE AnyScalarType() {
        static const VARTYPE types[] = {VT_I4,    VT_BSTR,    VT_BSTR, VT_DISPATCH, VT_I2,
                                        VT_R8,    VT_BOOL,    VT_R4,   VT_CY,       VT_DATE,
                                        VT_ERROR, VT_UNKNOWN, VT_I1,   VT_UI1,      VT_UI2,
                                        VT_UI4,   VT_I8,      VT_UI8,  VT_INT,      VT_UINT};
        return types[input.ConsumeIntegralInRange<size_t>(0, sizeof types / sizeof *types - 1)];
    }

    SAFEARRAY* AnyArray(VARTYPE type) {
        const ULONG count = input.ConsumeIntegralInRange<ULONG>(0, 6);
        SAFEARRAY* array = nullptr;
        if (input.ConsumeProbability<float>() > 0.9f) {
            SAFEARRAYBOUND bounds[2] = {{count, 0}, {2, 1}};
            array = SafeArrayCreate(type, 2, bounds);
        } else {
            array = SafeArrayCreateVector(type, input.ConsumeIntegralInRange<LONG>(-1, 2), count);
        }
        if (array == nullptr) {
            return nullptr;
        }
        LONG lower = 0;
        SafeArrayGetLBound(array, 1, &lower);
        for (ULONG i = 0; i < count; ++i) {
            LONG index[2] = {lower + static_cast<LONG>(i), 1};
            VARIANT element;
            VariantInit(&element);
            if (type == VT_VARIANT) {
                MakeValue(element, false);
                SafeArrayPutElement(array, index, &element);
            } else {
                element.vt = type;
                FillScalar(element, type);
                SafeArrayPutElement(array, index,
                                    type == VT_BSTR       ? static_cast<void*>(element.bstrVal)
                                    : type == VT_DISPATCH ? static_cast<void*>(element.pdispVal)
                                                          : &element.llVal);
            }
            VariantClear(&element);
        }
        return array;
    }

    // A value that is not a reference.
    void MakeValue(VARIANT& value, bool arrays) {
        VariantInit(&value);
        const int shape = input.ConsumeIntegralInRange(0, 9);
        if (shape == 0) {
            value.vt = input.ConsumeBool() ? VT_EMPTY : VT_NULL;
        } else if (shape == 1 && arrays && !fileMember) {
            static const VARTYPE elements[] = {VT_UI1, VT_BSTR, VT_VARIANT, VT_I4,
                                               VT_I1,  VT_R8,   VT_DISPATCH};
            const VARTYPE type = elements[input.ConsumeIntegralInRange<size_t>(0, 6)];
            value.parray = AnyArray(type);
            value.vt = value.parray != nullptr ? static_cast<VARTYPE>(VT_ARRAY | type) : VT_EMPTY;
        } else {
            const VARTYPE type = AnyScalarType();
            value.vt = type;
            FillScalar(value, type);
        }
    }

    // An argument: a value, or a reference to storage that lives until the call's end.
    void MakeArgument(VARIANT& argument) {
        if (input.ConsumeProbability<float>() < 0.8f) {
            MakeValue(argument, true);
            return;
        }
        storage.emplace_back();
        VARIANT& held = storage.back();
        MakeValue(held, true);
        VariantInit(&argument);
        if (held.vt == VT_EMPTY || held.vt == VT_NULL || input.ConsumeBool()) {
            argument.vt = VT_BYREF | VT_VARIANT;
            argument.pvarVal = &held;
        } else {
            argument.vt = static_cast<VARTYPE>(VT_BYREF | held.vt);
            argument.byref = &held.llVal;
        }
    }

    FuzzedDataProvider& input;
    Session& session;
    std::vector<Held> held;
    // What references point at: cleared after each call, whatever the call left there.
    std::deque<VARIANT> storage;
    bool fileMember = false;
    Bystander bystander;
    ScriptStream stream;
    RecordingClient client;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Session session;
    std::filesystem::remove_all(session.files);
    std::filesystem::create_directory(session.files);
    if (chdir(session.files.c_str()) != 0) {
        Finding("the scratch folder cannot be entered");
    }
    const LONG liveAtStart = LiveObjectCount();
    FuzzedDataProvider input(data, size);
    {
        Host host(input, session);
        auto* model = new HExternalXMLModel();
        model->AddRef();
        IDispatchXMLModelNode* root = nullptr;
        model->GetRoot(&root);
        auto* parser = new HExternalXMLParser();
        parser->AddRef();
        auto* attributes = new HDispatchTaggedAttributes();
        attributes->AddRef();
        host.Hold(model);
        host.Hold(root);
        host.Hold(parser);
        host.Hold(attributes);
        for (int calls = input.ConsumeIntegralInRange(1, 12); calls > 0; --calls) {
            host.Call();
        }
    }
    if (LiveObjectCount() != liveAtStart) {
        Finding(std::to_string(LiveObjectCount() - liveAtStart) +
                " object(s) outlived every reference");
    }
    return 0;
}
