#include "idlc/lexer.h"

#include "idlc/diagnostic.h"

#include <cctype>
#include <string_view>

namespace Ostrel::Idlc {

namespace {

bool IsIdentifierStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool IsIdentifierPart(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

constexpr std::string_view punctuation = "[](){};,:*-";

} // namespace

Lexer::Lexer(std::string source, std::string fileName)
    : source(std::move(source)), fileName(std::move(fileName)) {}

void Lexer::Fail(int atLine, const std::string& message) const {
    throw CompileError(fileName, atLine, message);
}

const Token& Lexer::Peek() {
    if (!hasPeeked) {
        peeked = Scan();
        hasPeeked = true;
    }
    return peeked;
}

Token Lexer::Next() {
    if (hasPeeked) {
        hasPeeked = false;
        return peeked;
    }
    return Scan();
}

std::string Lexer::ReadRawUntilClose(int& startLine) {
    if (hasPeeked) {
        // Give the looked-ahead token back: raw text does not follow token rules.
        position = peeked.offset;
        line = peeked.line;
        hasPeeked = false;
    }
    startLine = line;
    std::string text;
    while (position < source.size() && source[position] != ')') {
        if (source[position] == '\n') {
            Fail(startLine, "missing ')'");
        }
        text += source[position++];
    }
    if (position >= source.size()) {
        Fail(startLine, "missing ')'");
    }
    return text;
}

void Lexer::SkipSpaceAndComments() {
    while (position < source.size()) {
        char c = source[position];
        if (c == '\n') {
            ++line;
            ++position;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++position;
        } else if (source.compare(position, 2, "//") == 0) {
            while (position < source.size() && source[position] != '\n') {
                ++position;
            }
        } else if (source.compare(position, 2, "/*") == 0) {
            int startLine = line;
            size_t end = source.find("*/", position + 2);
            if (end == std::string::npos) {
                Fail(startLine, "unterminated comment");
            }
            for (size_t i = position; i < end; ++i) {
                line += source[i] == '\n' ? 1 : 0;
            }
            position = end + 2;
        } else {
            return;
        }
    }
}

Token Lexer::ScanString(int startLine, size_t start) {
    std::string text;
    ++position;
    while (true) {
        if (position >= source.size() || source[position] == '\n') {
            Fail(startLine, "unterminated string");
        }
        char c = source[position++];
        if (c == '"') {
            break;
        }
        if (c == '\\') {
            if (position >= source.size()) {
                Fail(startLine, "unterminated string");
            }
            char escaped = source[position++];
            if (escaped == 'n') {
                c = '\n';
            } else if (escaped == 't') {
                c = '\t';
            } else if (escaped == '"' || escaped == '\\') {
                c = escaped;
            } else {
                Fail(startLine, std::string("unknown escape '\\") + escaped + "' in string");
            }
        }
        text += c;
    }
    return Token{TokenKind::String, text, startLine, start};
}

Token Lexer::Scan() {
    SkipSpaceAndComments();
    size_t start = position;
    if (position >= source.size()) {
        return Token{TokenKind::End, "end of file", line, start};
    }
    char c = source[position];
    if (c == '#') {
        Fail(line, "preprocessor directives are not supported");
    }
    if (c == '"') {
        return ScanString(line, start);
    }
    if (IsIdentifierStart(c) || IsDigit(c)) {
        TokenKind kind = IsDigit(c) ? TokenKind::Number : TokenKind::Identifier;
        while (position < source.size() &&
               (IsIdentifierPart(source[position]) ||
                (kind == TokenKind::Number && source[position] == '.'))) {
            ++position;
        }
        return Token{kind, source.substr(start, position - start), line, start};
    }
    if (punctuation.find(c) != std::string_view::npos) {
        ++position;
        return Token{TokenKind::Punctuation, std::string(1, c), line, start};
    }
    Fail(line, std::string("unexpected character '") + c + "'");
}

} // namespace Ostrel::Idlc
