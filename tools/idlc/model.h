// What the IDL compiler understands of an IDL file: the library, its interfaces with their
// methods, and its classes, each remembering the line it came from for error messages.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Ostrel::Idlc {

struct Guid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    uint8_t data4[8] = {};
};

struct Version {
    uint16_t major = 0;
    uint16_t minor = 0;
};

enum class BaseType {
    Void,
    HResult,
    Bstr,
    Long,
    Short,
    Int,
    UnsignedLong,
    UnsignedShort,
    UnsignedInt,
    Byte,
    Double,
    Float,
    VariantBool,
    Variant,
    Dispatch,
    Unknown,
    SafeArray,
    Interface,
};

struct Type {
    BaseType base = BaseType::Void;
    // The stars written after the base type; `IDispatch*` and `IFoo*` count one.
    int pointers = 0;
    std::string interfaceName;
    std::shared_ptr<const Type> element;
};

struct Parameter {
    std::string name;
    Type type;
    bool in = false;
    bool out = false;
    bool retval = false;
    int line = 0;
};

enum class InvokeKind { Function, PropertyGet, PropertyPut, PropertyPutRef };

struct Method {
    std::string name;
    Type result;
    std::vector<Parameter> parameters;
    int32_t id = 0;
    InvokeKind invoke = InvokeKind::Function;
    std::string help;
    int line = 0;
};

struct Interface {
    std::string name;
    Guid uuid;
    Version version;
    std::string help;
    std::string base;
    bool dual = false;
    bool oleautomation = false;
    bool nonextensible = false;
    bool hidden = false;
    bool defined = false;
    // Distance from IUnknown: it numbers the default dispatch identifiers.
    int level = 0;
    bool dispatchable = false;
    std::vector<Method> methods;
    int line = 0;
};

struct CoclassMember {
    std::string interfaceName;
    bool isDefault = false;
    bool isSource = false;
};

struct Coclass {
    std::string name;
    Guid uuid;
    Version version;
    std::string help;
    bool creatable = true;
    std::vector<CoclassMember> members;
    int line = 0;
};

struct Library {
    std::string name;
    Guid uuid;
    Version version;
    uint32_t lcid = 0;
    std::string help;
    bool present = false;
};

enum class EntryKind { Interface, Coclass };

struct Entry {
    EntryKind kind;
    size_t index;
};

struct Model {
    std::string sourceName;
    Library library;
    std::vector<Interface> interfaces;
    std::vector<Coclass> coclasses;
    // Definitions in the order of the file: the order of the type library.
    std::vector<Entry> order;
};

} // namespace Ostrel::Idlc
