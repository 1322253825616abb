#include "idlc/parser.h"

#include "idlc/diagnostic.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>

namespace Ostrel::Idlc {

namespace {

// The system IDL files that declare IUnknown, IDispatch and the automation types; the compiler
// knows those types itself.
// NOLINTNEXTLINE(cert-err58-cpp): a build tool that cannot allocate this cannot run at all.
const std::set<std::string> systemImports = {"oaidl.idl",  "ocidl.idl",  "objidl.idl",
                                             "unknwn.idl", "wtypes.idl", "oleidl.idl"};

constexpr int32_t firstDefaultId = 0x60000000;

bool IsInterfacePointerBase(BaseType base) {
    return base == BaseType::Dispatch || base == BaseType::Unknown || base == BaseType::Interface;
}

// An [out] parameter must point at something the callee fills: one star more than the value.
bool PointsAtValue(const Type& type) {
    return type.pointers >= (IsInterfacePointerBase(type.base) ? 2 : 1);
}

std::string Quote(const std::string& text) {
    return "'" + text + "'";
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

bool ParseHexField(const std::string& text, size_t at, size_t digits, uint64_t& value) {
    value = 0;
    for (size_t i = 0; i < digits; ++i) {
        int digit = HexDigit(text[at + i]);
        if (digit < 0) {
            return false;
        }
        value = value << 4 | static_cast<uint64_t>(digit);
    }
    return true;
}

bool ParseGuidText(std::string text, Guid& guid) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.pop_back();
    }
    size_t first = text.find_first_not_of(" \t");
    text = first == std::string::npos ? "" : text.substr(first);
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' ||
        text[23] != '-') {
        return false;
    }
    uint64_t value = 0;
    if (!ParseHexField(text, 0, 8, value)) {
        return false;
    }
    guid.data1 = static_cast<uint32_t>(value);
    if (!ParseHexField(text, 9, 4, value)) {
        return false;
    }
    guid.data2 = static_cast<uint16_t>(value);
    if (!ParseHexField(text, 14, 4, value)) {
        return false;
    }
    guid.data3 = static_cast<uint16_t>(value);
    static const size_t byteOffsets[8] = {19, 21, 24, 26, 28, 30, 32, 34};
    for (int i = 0; i < 8; ++i) {
        if (!ParseHexField(text, byteOffsets[i], 2, value)) {
            return false;
        }
        guid.data4[i] = static_cast<uint8_t>(value);
    }
    return true;
}

bool ParseInteger(const std::string& text, int64_t& value) {
    bool negative = !text.empty() && text[0] == '-';
    std::string digits = negative ? text.substr(1) : text;
    if (digits.empty() || digits.size() > 18) {
        return false;
    }
    int base = 10;
    size_t start = 0;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        start = 2;
    }
    int64_t result = 0;
    for (size_t i = start; i < digits.size(); ++i) {
        int digit = HexDigit(digits[i]);
        if (digit < 0 || digit >= base) {
            return false;
        }
        result = result * base + digit;
    }
    value = negative ? -result : result;
    return true;
}

} // namespace

Parser::Parser(Lexer& lexer) : lexer(lexer) {
    model.sourceName = lexer.FileName();
}

void Parser::Fail(int line, const std::string& message) const {
    throw CompileError(lexer.FileName(), line, message);
}

bool Parser::PeekIs(TokenKind kind, const std::string& text) {
    const Token& token = lexer.Peek();
    return token.kind == kind && token.text == text;
}

bool Parser::Accept(const std::string& punctuation) {
    if (PeekIs(TokenKind::Punctuation, punctuation)) {
        lexer.Next();
        return true;
    }
    return false;
}

Token Parser::Expect(const std::string& punctuation) {
    Token token = lexer.Next();
    if (token.kind != TokenKind::Punctuation || token.text != punctuation) {
        Fail(token.line, "expected " + Quote(punctuation) + " but found " + Quote(token.text));
    }
    return token;
}

Token Parser::ExpectIdentifier(const std::string& what) {
    Token token = lexer.Next();
    if (token.kind != TokenKind::Identifier) {
        Fail(token.line, "expected " + what + " but found " + Quote(token.text));
    }
    return token;
}

Model Parser::Parse() {
    while (lexer.Peek().kind != TokenKind::End) {
        ParseDeclaration(false);
    }
    CheckAllDefined();
    return std::move(model);
}

void Parser::ParseDeclaration(bool insideLibrary) {
    if (Accept(";")) {
        return;
    }
    int line = lexer.Peek().line;
    Attributes attributes = ParseAttributes();
    Token keyword = ExpectIdentifier("a declaration");
    if (keyword.text == "import" && attributes.empty() && !insideLibrary) {
        ParseImport();
    } else if (keyword.text == "importlib" && attributes.empty() && insideLibrary) {
        ParseImportLib();
    } else if (keyword.text == "interface") {
        ParseInterface(attributes);
    } else if (keyword.text == "library" && !insideLibrary) {
        ParseLibrary(attributes, line);
    } else if (keyword.text == "coclass" && insideLibrary) {
        ParseCoclass(attributes, line);
    } else {
        Fail(keyword.line, Quote(keyword.text) + " is not supported here");
    }
}

void Parser::ParseImport() {
    do {
        Token file = lexer.Next();
        if (file.kind != TokenKind::String) {
            Fail(file.line, "expected a file name after 'import'");
        }
        if (systemImports.count(file.text) == 0) {
            Fail(file.line,
                 "cannot import " + Quote(file.text) +
                     ": only the system IDL files (oaidl.idl, ocidl.idl, ...) are known");
        }
    } while (Accept(","));
    Expect(";");
}

void Parser::ParseImportLib() {
    Expect("(");
    Token file = lexer.Next();
    if (file.kind != TokenKind::String || file.text != "stdole2.tlb") {
        Fail(file.line, "only importlib(\"stdole2.tlb\") is supported");
    }
    Expect(")");
    Expect(";");
}

Parser::Attributes Parser::ParseAttributes() {
    Attributes attributes;
    if (!Accept("[")) {
        return attributes;
    }
    do {
        attributes.push_back(ParseAttribute());
    } while (Accept(","));
    Expect("]");
    return attributes;
}

Parser::Attribute Parser::ParseAttribute() {
    Token name = ExpectIdentifier("an attribute");
    Attribute attribute{name.text, "", false, name.line};
    if (!Accept("(")) {
        return attribute;
    }
    attribute.hasValue = true;
    if (name.text == "uuid") {
        int line = 0;
        attribute.value = lexer.ReadRawUntilClose(line);
        if (attribute.value.find('"') != std::string::npos) {
            size_t open = attribute.value.find('"');
            size_t close = attribute.value.rfind('"');
            attribute.value = attribute.value.substr(open + 1, close - open - 1);
        }
    } else {
        std::string sign = Accept("-") ? "-" : "";
        Token value = lexer.Next();
        if (value.kind != TokenKind::String && value.kind != TokenKind::Number) {
            Fail(value.line, "expected a number or a string in " + Quote(name.text));
        }
        attribute.value = sign + value.text;
    }
    Expect(")");
    return attribute;
}

void Parser::RequireValue(const Attribute& attribute, bool wanted) {
    if (attribute.hasValue != wanted) {
        Fail(attribute.line,
             Quote(attribute.name) + (wanted ? " needs a value" : " does not take a value"));
    }
}

Guid Parser::ReadGuid(const Attribute& attribute) {
    RequireValue(attribute, true);
    Guid guid;
    if (!ParseGuidText(attribute.value, guid)) {
        Fail(attribute.line, "malformed uuid " + Quote(attribute.value));
    }
    return guid;
}

Version Parser::ReadVersion(const Attribute& attribute) {
    RequireValue(attribute, true);
    const std::string& text = attribute.value;
    size_t dot = text.find('.');
    int64_t major = 0;
    int64_t minor = 0;
    bool ok = ParseInteger(text.substr(0, dot), major) &&
              (dot == std::string::npos || ParseInteger(text.substr(dot + 1), minor));
    if (!ok || major < 0 || major > 0xFFFF || minor < 0 || minor > 0xFFFF) {
        Fail(attribute.line, "malformed version " + Quote(text));
    }
    return Version{static_cast<uint16_t>(major), static_cast<uint16_t>(minor)};
}

int64_t Parser::ReadNumber(const Attribute& attribute, int64_t low, int64_t high) {
    RequireValue(attribute, true);
    int64_t value = 0;
    if (!ParseInteger(attribute.value, value) || value < low || value > high) {
        Fail(attribute.line,
             "malformed number " + Quote(attribute.value) + " in " + Quote(attribute.name));
    }
    return value;
}

void Parser::ParseLibrary(const Attributes& attributes, int line) {
    if (model.library.present) {
        Fail(line, "only one library per file is supported");
    }
    Library& library = model.library;
    library.present = true;
    bool hasUuid = false;
    for (const Attribute& attribute : attributes) {
        if (attribute.name == "uuid") {
            library.uuid = ReadGuid(attribute);
            hasUuid = true;
        } else if (attribute.name == "version") {
            library.version = ReadVersion(attribute);
        } else if (attribute.name == "helpstring") {
            RequireValue(attribute, true);
            library.help = attribute.value;
        } else if (attribute.name == "lcid") {
            library.lcid = static_cast<uint32_t>(ReadNumber(attribute, 0, 0xFFFFFFFF));
        } else {
            Fail(attribute.line,
                 "attribute " + Quote(attribute.name) + " is not supported on a library");
        }
    }
    library.name = ExpectIdentifier("the library name").text;
    if (!hasUuid) {
        Fail(line, "library " + Quote(library.name) + " has no uuid");
    }
    Expect("{");
    while (!Accept("}")) {
        if (lexer.Peek().kind == TokenKind::End) {
            Fail(lexer.Peek().line, "missing '}' at the end of library " + Quote(library.name));
        }
        ParseDeclaration(true);
    }
}

void Parser::ParseInterface(const Attributes& attributes) {
    Token name = ExpectIdentifier("the interface name");
    if (name.text == "IUnknown" || name.text == "IDispatch") {
        Fail(name.line, Quote(name.text) + " is declared by the system");
    }
    auto found = interfaceIndex.find(name.text);
    if (found == interfaceIndex.end()) {
        found = interfaceIndex.emplace(name.text, model.interfaces.size()).first;
        model.interfaces.emplace_back();
        model.interfaces.back().name = name.text;
    }
    if (PeekIs(TokenKind::Punctuation, ";")) {
        if (!attributes.empty()) {
            Fail(name.line, "a forward declaration takes no attributes");
        }
        lexer.Next();
        forwardLines.emplace(name.text, name.line);
        return;
    }
    Interface& interface = model.interfaces[found->second];
    if (interface.defined) {
        Fail(name.line, "interface " + Quote(name.text) + " is defined twice");
    }
    interface.line = name.line;
    ApplyInterfaceAttributes(interface, attributes);
    if (!Accept(":")) {
        Fail(name.line, "interface " + Quote(name.text) +
                            " must derive from IUnknown, IDispatch or an interface of the file");
    }
    ResolveBase(interface, ExpectIdentifier("the base interface"));
    Expect("{");
    ParseInterfaceBody(interface);
    CheckIds(interface);
    interface.defined = true;
    model.order.push_back(Entry{EntryKind::Interface, found->second});
}

void Parser::ParseInterfaceBody(Interface& interface) {
    while (!Accept("}")) {
        if (lexer.Peek().kind == TokenKind::End) {
            Fail(lexer.Peek().line, "missing '}' at the end of interface " + Quote(interface.name));
        }
        Method method = ParseMethod(interface);
        for (const Method& other : interface.methods) {
            if (other.name == method.name && other.invoke == method.invoke) {
                Fail(method.line, "method " + Quote(method.name) + " is declared twice");
            }
        }
        interface.methods.push_back(std::move(method));
    }
    Accept(";");
}

void Parser::ApplyInterfaceAttributes(Interface& interface, const Attributes& attributes) {
    bool hasUuid = false;
    bool isObject = false;
    for (const Attribute& attribute : attributes) {
        const std::string& name = attribute.name;
        if (name == "uuid") {
            interface.uuid = ReadGuid(attribute);
            hasUuid = true;
        } else if (name == "version") {
            interface.version = ReadVersion(attribute);
        } else if (name == "helpstring") {
            RequireValue(attribute, true);
            interface.help = attribute.value;
        } else if (name == "object" || name == "dual" || name == "oleautomation" ||
                   name == "nonextensible" || name == "hidden") {
            RequireValue(attribute, false);
            isObject |= name == "object";
            interface.dual |= name == "dual";
            interface.oleautomation |= name == "oleautomation" || name == "dual";
            interface.nonextensible |= name == "nonextensible";
            interface.hidden |= name == "hidden";
        } else {
            Fail(attribute.line, "attribute " + Quote(name) + " is not supported on an interface");
        }
    }
    if (!hasUuid) {
        Fail(interface.line, "interface " + Quote(interface.name) + " has no uuid");
    }
    if (!isObject) {
        Fail(interface.line,
             "interface " + Quote(interface.name) + " needs the 'object' attribute");
    }
}

void Parser::ResolveBase(Interface& interface, const Token& baseToken) {
    interface.base = baseToken.text;
    if (baseToken.text == "IUnknown") {
        interface.level = 1;
    } else if (baseToken.text == "IDispatch") {
        interface.level = 2;
        interface.dispatchable = true;
    } else {
        auto found = interfaceIndex.find(baseToken.text);
        if (found == interfaceIndex.end() || !model.interfaces[found->second].defined) {
            Fail(baseToken.line, "base interface " + Quote(baseToken.text) +
                                     " must be defined before " + Quote(interface.name));
        }
        const Interface& base = model.interfaces[found->second];
        interface.level = base.level + 1;
        interface.dispatchable = base.dispatchable;
    }
    if (interface.dual && !interface.dispatchable) {
        Fail(interface.line,
             "dual interface " + Quote(interface.name) + " must derive from IDispatch");
    }
}

void Parser::CheckIds(const Interface& interface) {
    std::map<int32_t, const Method*> byId;
    for (const Method& method : interface.methods) {
        auto [existing, added] = byId.emplace(method.id, &method);
        if (!added && existing->second->name != method.name) {
            Fail(method.line, "dispatch identifier " + std::to_string(method.id) + " is used by " +
                                  Quote(existing->second->name) + " and " + Quote(method.name));
        }
    }
}

Method Parser::ParseMethod(const Interface& owner) {
    Attributes attributes = ParseAttributes();
    Token typeToken = lexer.Peek();
    Method method;
    method.result = ParseType();
    Token name = ExpectIdentifier("a method name");
    method.name = name.text;
    method.line = name.line;
    method.id = firstDefaultId | (owner.level << 16) | static_cast<int32_t>(owner.methods.size());
    ApplyMethodAttributes(method, attributes);
    if (method.result.base != BaseType::HResult || method.result.pointers != 0) {
        Fail(typeToken.line, "method " + Quote(method.name) + " must return HRESULT");
    }
    Expect("(");
    method.parameters = ParseParameters();
    Expect(";");
    CheckMethod(method);
    return method;
}

void Parser::ApplyMethodAttributes(Method& method, const Attributes& attributes) {
    for (const Attribute& attribute : attributes) {
        const std::string& name = attribute.name;
        if (name == "id") {
            method.id = static_cast<int32_t>(ReadNumber(attribute, INT32_MIN, UINT32_MAX));
        } else if (name == "helpstring") {
            RequireValue(attribute, true);
            method.help = attribute.value;
        } else if (name == "propget" || name == "propput" || name == "propputref") {
            RequireValue(attribute, false);
            method.invoke = name == "propget"   ? InvokeKind::PropertyGet
                            : name == "propput" ? InvokeKind::PropertyPut
                                                : InvokeKind::PropertyPutRef;
        } else {
            Fail(attribute.line, "attribute " + Quote(name) + " is not supported on a method");
        }
    }
}

std::vector<Parameter> Parser::ParseParameters() {
    std::vector<Parameter> parameters;
    if (Accept(")")) {
        return parameters;
    }
    if (PeekIs(TokenKind::Identifier, "void")) {
        Token voidToken = lexer.Next();
        if (!Accept(")")) {
            Fail(voidToken.line, "parameters of type void are not supported");
        }
        return parameters;
    }
    do {
        parameters.push_back(ParseParameter());
    } while (Accept(","));
    Expect(")");
    return parameters;
}

Parameter Parser::ParseParameter() {
    Attributes attributes = ParseAttributes();
    Parameter parameter;
    parameter.type = ParseType();
    Token name = ExpectIdentifier("a parameter name");
    parameter.name = name.text;
    parameter.line = name.line;
    for (const Attribute& attribute : attributes) {
        const std::string& flag = attribute.name;
        if (flag != "in" && flag != "out" && flag != "retval") {
            Fail(attribute.line, "attribute " + Quote(flag) + " is not supported on a parameter");
        }
        RequireValue(attribute, false);
        parameter.in |= flag == "in";
        parameter.out |= flag == "out";
        parameter.retval |= flag == "retval";
    }
    if (!parameter.in && !parameter.out) {
        parameter.in = true;
    }
    CheckParameter(parameter);
    return parameter;
}

void Parser::CheckParameter(const Parameter& parameter) {
    const Type& type = parameter.type;
    if (type.base == BaseType::Void || type.base == BaseType::HResult) {
        Fail(parameter.line, "parameter " + Quote(parameter.name) + " has no automation type");
    }
    if (IsInterfacePointerBase(type.base) && type.pointers == 0) {
        Fail(parameter.line, "interface parameter " + Quote(parameter.name) + " must be a pointer");
    }
    if (parameter.out && !PointsAtValue(type)) {
        Fail(parameter.line, "[out] parameter " + Quote(parameter.name) + " must be a pointer");
    }
    if (parameter.retval && !parameter.out) {
        Fail(parameter.line, "[retval] parameter " + Quote(parameter.name) + " must be [out]");
    }
}

void Parser::CheckMethod(const Method& method) {
    std::set<std::string> names;
    for (size_t i = 0; i < method.parameters.size(); ++i) {
        const Parameter& parameter = method.parameters[i];
        if (!names.insert(parameter.name).second) {
            Fail(parameter.line, "parameter " + Quote(parameter.name) + " is declared twice");
        }
        if (parameter.retval && i + 1 != method.parameters.size()) {
            Fail(parameter.line, "[retval] parameter " + Quote(parameter.name) + " must be last");
        }
    }
}

Type Parser::ParseType() {
    Token token = lexer.Next();
    if (token.kind != TokenKind::Identifier) {
        Fail(token.line, "expected a type but found " + Quote(token.text));
    }
    Type type = ParseBaseType(token);
    while (Accept("*")) {
        ++type.pointers;
    }
    return type;
}

Type Parser::ParseBaseType(const Token& token) {
    static const std::map<std::string, BaseType> simple = {
        {"void", BaseType::Void},        {"HRESULT", BaseType::HResult},
        {"BSTR", BaseType::Bstr},        {"long", BaseType::Long},
        {"short", BaseType::Short},      {"int", BaseType::Int},
        {"BYTE", BaseType::Byte},        {"double", BaseType::Double},
        {"float", BaseType::Float},      {"VARIANT_BOOL", BaseType::VariantBool},
        {"VARIANT", BaseType::Variant},  {"IDispatch", BaseType::Dispatch},
        {"IUnknown", BaseType::Unknown},
    };
    static const std::map<std::string, BaseType> afterUnsigned = {
        {"char", BaseType::Byte},
        {"long", BaseType::UnsignedLong},
        {"short", BaseType::UnsignedShort},
        {"int", BaseType::UnsignedInt},
    };
    // The automation headers' names for the two interface pointers, the form in which widl
    // takes an interface pointer as an array's element.
    static const std::map<std::string, BaseType> pointerNames = {
        {"LPDISPATCH", BaseType::Dispatch},
        {"LPUNKNOWN", BaseType::Unknown},
    };
    Type type;
    if (auto found = simple.find(token.text); found != simple.end()) {
        type.base = found->second;
    } else if (auto pointer = pointerNames.find(token.text); pointer != pointerNames.end()) {
        type.base = pointer->second;
        type.pointers = 1;
    } else if (token.text == "unsigned") {
        Token next = ExpectIdentifier("char, short, long or int after 'unsigned'");
        auto found = afterUnsigned.find(next.text);
        if (found == afterUnsigned.end()) {
            Fail(next.line, "unknown type 'unsigned " + next.text + "'");
        }
        type.base = found->second;
    } else if (token.text == "SAFEARRAY") {
        Expect("(");
        Type element = ParseType();
        bool interfaceElement = IsInterfacePointerBase(element.base) && element.pointers == 1;
        bool valueElement = !IsInterfacePointerBase(element.base) && element.pointers == 0 &&
                            element.base != BaseType::SafeArray && element.base != BaseType::Void &&
                            element.base != BaseType::HResult;
        if (!interfaceElement && !valueElement) {
            Fail(token.line, "unsupported SAFEARRAY element type");
        }
        Expect(")");
        type.base = BaseType::SafeArray;
        type.element = std::make_shared<const Type>(element);
    } else if (interfaceIndex.count(token.text) != 0) {
        type.base = BaseType::Interface;
        type.interfaceName = token.text;
    } else {
        Fail(token.line, "unknown type " + Quote(token.text));
    }
    return type;
}

void Parser::ParseCoclass(const Attributes& attributes, int line) {
    Coclass coclass;
    coclass.line = line;
    bool hasUuid = false;
    for (const Attribute& attribute : attributes) {
        if (attribute.name == "uuid") {
            coclass.uuid = ReadGuid(attribute);
            hasUuid = true;
        } else if (attribute.name == "version") {
            coclass.version = ReadVersion(attribute);
        } else if (attribute.name == "helpstring") {
            RequireValue(attribute, true);
            coclass.help = attribute.value;
        } else if (attribute.name == "noncreatable") {
            RequireValue(attribute, false);
            coclass.creatable = false;
        } else {
            Fail(attribute.line,
                 "attribute " + Quote(attribute.name) + " is not supported on a coclass");
        }
    }
    coclass.name = ExpectIdentifier("the coclass name").text;
    if (!hasUuid) {
        Fail(line, "coclass " + Quote(coclass.name) + " has no uuid");
    }
    Expect("{");
    while (!Accept("}")) {
        CoclassMember member;
        for (const Attribute& attribute : ParseAttributes()) {
            if (attribute.name != "default" && attribute.name != "source") {
                Fail(attribute.line, "attribute " + Quote(attribute.name) +
                                         " is not supported on a coclass member");
            }
            RequireValue(attribute, false);
            member.isDefault |= attribute.name == "default";
            member.isSource |= attribute.name == "source";
        }
        Token keyword = ExpectIdentifier("'interface'");
        if (keyword.text != "interface") {
            Fail(keyword.line, "expected 'interface' but found " + Quote(keyword.text));
        }
        Token name = ExpectIdentifier("an interface name");
        if (interfaceIndex.count(name.text) == 0) {
            Fail(name.line, "unknown interface " + Quote(name.text));
        }
        member.interfaceName = name.text;
        Expect(";");
        coclass.members.push_back(member);
    }
    Accept(";");
    MarkDefaults(coclass.members);
    model.order.push_back(Entry{EntryKind::Coclass, model.coclasses.size()});
    model.coclasses.push_back(std::move(coclass));
}

// A class has a default interface on each side, as the OLE rules read an unmarked one: where
// none is marked [default], the first interface that is not a source is the default one, and
// the first source the default source.
void Parser::MarkDefaults(std::vector<CoclassMember>& members) {
    for (bool source : {false, true}) {
        auto onSide = [source](const CoclassMember& member) { return member.isSource == source; };
        auto marked = [&onSide](const CoclassMember& member) {
            return onSide(member) && member.isDefault;
        };
        auto first = std::find_if(members.begin(), members.end(), onSide);
        if (first != members.end() && std::none_of(members.begin(), members.end(), marked)) {
            first->isDefault = true;
        }
    }
}

void Parser::CheckAllDefined() {
    for (const Interface& interface : model.interfaces) {
        if (!interface.defined) {
            Fail(forwardLines[interface.name],
                 "interface " + Quote(interface.name) + " is declared but never defined");
        }
    }
}

} // namespace Ostrel::Idlc
