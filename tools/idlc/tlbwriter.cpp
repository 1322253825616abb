#include "idlc/tlbwriter.h"

#include "idlc/guidtext.h"

#include <sstream>

namespace Ostrel::Idlc {

namespace {

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (c == '\n') {
            quoted += "\\n";
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string VersionText(const Version& version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor);
}

std::string IdText(int32_t id) {
    if (id > -0x10000 && id < 0x10000) {
        return std::to_string(id);
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<uint32_t>(id));
    return text;
}

std::string BaseText(const Type& type, int& pointers);

// The reader's type notation: a base name, `@Name` for an interface of the library and
// `safearray(...)`, each star one VT_PTR. `IDispatch*` is VT_DISPATCH, without a pointer.
std::string TypeText(const Type& type) {
    int pointers = type.pointers;
    std::string text = BaseText(type, pointers);
    return text + std::string(static_cast<size_t>(pointers), '*');
}

std::string BaseText(const Type& type, int& pointers) {
    switch (type.base) {
    case BaseType::Void:
        return "void";
    case BaseType::HResult:
        return "hresult";
    case BaseType::Bstr:
        return "bstr";
    case BaseType::Long:
        return "i4";
    case BaseType::Short:
        return "i2";
    case BaseType::Int:
        return "int";
    case BaseType::UnsignedLong:
        return "ui4";
    case BaseType::UnsignedShort:
        return "ui2";
    case BaseType::UnsignedInt:
        return "uint";
    case BaseType::Byte:
        return "ui1";
    case BaseType::Double:
        return "r8";
    case BaseType::Float:
        return "r4";
    case BaseType::VariantBool:
        return "bool";
    case BaseType::Variant:
        return "variant";
    case BaseType::Dispatch:
        --pointers;
        return "dispatch";
    case BaseType::Unknown:
        --pointers;
        return "unknown";
    case BaseType::SafeArray:
        return "safearray(" + TypeText(*type.element) + ")";
    case BaseType::Interface:
        return "@" + type.interfaceName;
    }
    return "void";
}

std::string FlagList(const std::vector<std::pair<bool, const char*>>& flags) {
    std::string text;
    for (const auto& [set, name] : flags) {
        if (set) {
            text += (text.empty() ? "" : ",") + std::string(name);
        }
    }
    return text.empty() ? "-" : text;
}

const char* InvokeText(InvokeKind kind) {
    switch (kind) {
    case InvokeKind::PropertyGet:
        return "propget";
    case InvokeKind::PropertyPut:
        return "propput";
    case InvokeKind::PropertyPutRef:
        return "propputref";
    case InvokeKind::Function:
        break;
    }
    return "func";
}

void WriteInterface(std::ostream& out, const Interface& interface) {
    std::string flags = FlagList({{interface.dual, "dual"},
                                  {interface.oleautomation, "oleautomation"},
                                  {interface.dispatchable, "dispatchable"},
                                  {interface.nonextensible, "nonextensible"},
                                  {interface.hidden, "hidden"}});
    out << "interface " << interface.name << ' ' << GuidRegistryText(interface.uuid) << ' '
        << VersionText(interface.version) << ' ' << flags << ' ' << interface.base << ' '
        << interface.methods.size() << ' ' << Quoted(interface.help) << '\n';
    for (const Method& method : interface.methods) {
        out << "  function " << method.name << ' ' << IdText(method.id) << ' '
            << InvokeText(method.invoke) << " - " << TypeText(method.result) << ' '
            << method.parameters.size() << ' ' << Quoted(method.help) << '\n';
        for (const Parameter& parameter : method.parameters) {
            std::string paramFlags = FlagList(
                {{parameter.in, "in"}, {parameter.out, "out"}, {parameter.retval, "retval"}});
            out << "    param " << parameter.name << ' ' << paramFlags << ' '
                << TypeText(parameter.type) << '\n';
        }
    }
}

void WriteCoclass(std::ostream& out, const Coclass& coclass) {
    out << "coclass " << coclass.name << ' ' << GuidRegistryText(coclass.uuid) << ' '
        << VersionText(coclass.version) << ' ' << FlagList({{coclass.creatable, "cancreate"}})
        << ' ' << coclass.members.size() << ' ' << Quoted(coclass.help) << '\n';
    for (const CoclassMember& member : coclass.members) {
        out << "  implements " << member.interfaceName << ' '
            << FlagList({{member.isDefault, "default"}, {member.isSource, "source"}}) << '\n';
    }
}

} // namespace

// A type library describes the functions of one pointer width; it is registered under that
// system kind, as a real IDL compiler's type library for the same target is.
const char* const kSystemKind = sizeof(void*) == 8 ? "win64" : "win32";

std::string WriteTypeLibrary(const Model& model) {
    std::ostringstream out;
    const Library& library = model.library;
    out << "pravell-typelib 1\n";
    out << "# Generated by pravell-idlc from " << model.sourceName << "; do not edit.\n";
    out << "library " << library.name << ' ' << GuidRegistryText(library.uuid) << ' '
        << VersionText(library.version) << ' ' << library.lcid << ' ' << kSystemKind << ' '
        << Quoted(library.help) << '\n';
    out << "types " << model.order.size() << '\n';
    for (const Entry& entry : model.order) {
        if (entry.kind == EntryKind::Interface) {
            WriteInterface(out, model.interfaces[entry.index]);
        } else {
            WriteCoclass(out, model.coclasses[entry.index]);
        }
    }
    out << "end\n";
    return out.str();
}

} // namespace Ostrel::Idlc
