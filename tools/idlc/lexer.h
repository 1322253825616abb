// Splits IDL text into identifiers, numbers, strings and punctuation, skipping white space and
// comments. Numbers are kept as written (`1.0`, `0x10`) and read by whoever knows what they mean.
#pragma once

#include <string>

namespace Ostrel::Idlc {

enum class TokenKind { Identifier, Number, String, Punctuation, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;
    int line = 1;
    size_t offset = 0;
};

class Lexer {
public:
    Lexer(std::string source, std::string fileName);

    Token Next();
    const Token& Peek();
    // The raw text up to the closing parenthesis, for arguments that are not tokens (uuid).
    std::string ReadRawUntilClose(int& line);
    const std::string& FileName() const { return fileName; }

private:
    Token Scan();
    void SkipSpaceAndComments();
    Token ScanString(int line, size_t start);
    [[noreturn]] void Fail(int atLine, const std::string& message) const;

    std::string source;
    std::string fileName;
    size_t position = 0;
    int line = 1;
    bool hasPeeked = false;
    Token peeked;
};

} // namespace Ostrel::Idlc
