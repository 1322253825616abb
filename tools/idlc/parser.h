// Reads the IDL subset of the system's interface files into a Model and checks what a type
// library needs: identifiers, automation types, [out] and [retval] rules, known base interfaces.
#pragma once

#include "idlc/lexer.h"
#include "idlc/model.h"

#include <map>

namespace Ostrel::Idlc {

class Parser {
public:
    explicit Parser(Lexer& lexer);

    Model Parse();

private:
    struct Attribute {
        std::string name;
        std::string value;
        bool hasValue = false;
        int line = 0;
    };
    using Attributes = std::vector<Attribute>;

    void ParseDeclaration(bool insideLibrary);
    void ParseImport();
    void ParseImportLib();
    Attributes ParseAttributes();
    Attribute ParseAttribute();
    void ParseLibrary(const Attributes& attributes, int line);
    void ParseInterface(const Attributes& attributes);
    void ParseInterfaceBody(Interface& interface);
    void ParseCoclass(const Attributes& attributes, int line);
    static void MarkDefaults(std::vector<CoclassMember>& members);
    Method ParseMethod(const Interface& owner);
    std::vector<Parameter> ParseParameters();
    Parameter ParseParameter();
    Type ParseType();
    Type ParseBaseType(const Token& token);

    void ApplyInterfaceAttributes(Interface& interface, const Attributes& attributes);
    void ApplyMethodAttributes(Method& method, const Attributes& attributes);
    void ResolveBase(Interface& interface, const Token& baseToken);
    void CheckMethod(const Method& method);
    void CheckParameter(const Parameter& parameter);
    void CheckIds(const Interface& interface);
    void CheckAllDefined();

    Guid ReadGuid(const Attribute& attribute);
    Version ReadVersion(const Attribute& attribute);
    int64_t ReadNumber(const Attribute& attribute, int64_t low, int64_t high);
    void RequireValue(const Attribute& attribute, bool wanted);

    Token Expect(const std::string& punctuation);
    Token ExpectIdentifier(const std::string& what);
    bool Accept(const std::string& punctuation);
    bool PeekIs(TokenKind kind, const std::string& text);
    [[noreturn]] void Fail(int line, const std::string& message) const;

    Lexer& lexer;
    Model model;
    std::map<std::string, size_t> interfaceIndex;
    std::map<std::string, int> forwardLines;
};

} // namespace Ostrel::Idlc
