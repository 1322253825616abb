#include "output/XMLWriter.h"

#include "parser/TaggedAttributes.h"
#include "text/Utf8Form.h"
#include "transfer/IDataTransfer.h"

#include <cstring>
#include <stdexcept>

namespace Ostrel {

namespace {

const char kDefaultBody[] = "xml version='1.0' encoding='UTF-8' ";
const char kSentinel[] = "Stack Underflow";
const char kCDataStart[] = "<![CDATA[";
const char kCDataEnd[] = "]]>";
// Where content holds "]]>", one section ends after "]]" and the next starts with ">".
const char kCDataSplit[] = "]]]]><![CDATA[>";
constexpr LONG kIndentUnit = 3;

template <size_t N>
constexpr LONG LengthOf(const char (&)[N]) {
    return static_cast<LONG>(N - 1);
}

LONG LengthOf(const char* chars) {
    return static_cast<LONG>(std::strlen(chars));
}

// The reference that replaces a byte of an attribute value, or null for a byte kept as it is.
const char* AttributeReference(unsigned char c) {
    switch (c) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '\'':
        return "&apos;";
    case '\t':
        return "&#9;";
    case '\n':
        return "&#10;";
    case '\r':
        return "&#13;";
    default:
        return nullptr;
    }
}

// Bytes that make element content go into a CDATA section.
const char kContentSpecials[] = "&<>";
// Bytes that keep element content from being written as it is: the CDATA ones and the carriage
// return, which a reader would turn into a line feed unless it comes as a reference.
const char kContentSpecialsOrReturn[] = "&<>\r";
const char kReturnReference[] = "&#13;";
// A carriage return inside a CDATA section: the section ends, the reference follows, a new one
// starts (references are not read inside a section).
const char kCDataReturn[] = "]]>&#13;<![CDATA[";
// Bytes of an attribute value written as references; the quote is chosen to avoid '"'.
const char kAttributeSpecials[] = "&<>'\t\n\r";
// Both, and the double quote: a value holding none of them is written as it is.
constexpr char kAttributeSpecialsOrQuote[] = "\"&<>'\t\n\r";

// A set of bytes to stop at, as a table: attribute values are short, and for them a look-up per
// byte costs less than setting up strcspn (which wins on long texts). The terminator always
// stops.
struct StopBytes {
    bool stops[256];
};

constexpr StopBytes StopAt(const char* bytes) {
    StopBytes set{};
    set.stops[0] = true;
    for (; *bytes != 0; ++bytes) {
        set.stops[static_cast<unsigned char>(*bytes)] = true;
    }
    return set;
}

constexpr StopBytes kPlainValueEnds = StopAt(kAttributeSpecialsOrQuote);

// The bytes before the first that the set stops at.
size_t PlainLength(const char* chars, const StopBytes& set) {
    size_t length = 0;
    while (!set.stops[static_cast<unsigned char>(chars[length])]) {
        ++length;
    }
    return length;
}

// Content that holds any of kContentSpecialsOrReturn: inside a CDATA section when it holds one
// of "&<>", split where it holds "]]>"; every carriage return as a reference.
//
// Inside a section the tokenizer cuts the text before every ']', and a loader drops a first piece
// that is only blanks: so blanks that a ']' follows go before the section, with the ']'s after
// them, where they reach the loader in one piece (content holds ']' as it is).
void AppendProtected(TextBuffer& out, const char* content) {
    const bool inCData = std::strpbrk(content, kContentSpecials) != nullptr;
    if (inCData) {
        const size_t blanks = std::strspn(content, " \t");
        if (blanks > 0 && content[blanks] == ']') {
            const size_t held = blanks + std::strspn(content + blanks, "]");
            out.Append(content, static_cast<LONG>(held));
            content += held;
        }
        out.Append(kCDataStart, LengthOf(kCDataStart));
    }
    const char* const stops = inCData ? "]\r" : "\r";
    for (const char* run = content;;) {
        const size_t kept = std::strcspn(run, stops);
        out.Append(run, static_cast<LONG>(kept));
        run += kept;
        if (*run == 0) {
            break;
        }
        if (*run == '\r') {
            if (inCData) {
                out.Append(kCDataReturn, LengthOf(kCDataReturn));
            } else {
                out.Append(kReturnReference, LengthOf(kReturnReference));
            }
            ++run;
        } else if (std::strncmp(run, kCDataEnd, LengthOf(kCDataEnd)) == 0) {
            out.Append(kCDataSplit, LengthOf(kCDataSplit));
            run += LengthOf(kCDataEnd);
        } else {
            out.Append(run, 1);
            ++run;
        }
    }
    if (inCData) {
        out.Append(kCDataEnd, LengthOf(kCDataEnd));
    }
}

// Bytes of a text or a value, their length known.
struct Piece {
    const char* bytes;
    size_t length;
};

Piece PieceOf(const Text& text) {
    return {text.c_str(), std::strlen(text.c_str())};
}

template <size_t N>
constexpr size_t SizeOf(const char (&)[N]) {
    return N - 1;
}

size_t SizeOf(const Piece& piece) {
    return piece.length;
}

// Literals are copied with their length known at compile time, which makes their copies a few
// stores; pieces with a call.
template <size_t N>
char* Copy(char* out, const char (&literal)[N]) {
    std::memcpy(out, literal, N - 1);
    return out + (N - 1);
}

char* Copy(char* out, const Piece& piece) {
    std::memcpy(out, piece.bytes, piece.length);
    return out + piece.length;
}

// Appends literals and pieces in order with one room check for all of them: most of every line
// is assembled this way, and inline, so that the lengths of the literals stay known (each line is
// built once as held and, where it may not be UTF-8, once converting: two callers of each).
template <typename... Parts>
__attribute__((always_inline)) inline void AppendParts(TextBuffer& line, const Parts&... parts) {
    const size_t total = (SizeOf(parts) + ...);
    if (total > INT32_MAX) {
        throw std::length_error("line longer than a 32-bit length");
    }
    char* out = line.OpenTail(static_cast<LONG>(total));
    ((out = Copy(out, parts)), ...);
    line.Extend(out);
}

} // namespace

XMLWriter::XMLWriter(IDataTransfer* target, Encoding encoding)
    : target(target), checking(encoding == Encoding::Utf8 && !AnsiPageIsUtf8()), tagStack(10),
      declarationBody(kDefaultBody), declarationWritten(false) {
    tagStack.Append(Text(kSentinel));
}

// Every text on a line is delimited by ASCII, so the line is UTF-8 exactly when each of its texts
// is: one scan of the line settles the common case, and only a line that is not UTF-8 is built
// again with each text checked on its own.
template <typename Build>
bool XMLWriter::Emit(const Build& build) {
    build(AsHeld());
    if (checking && !IsUtf8(line.c_str(), static_cast<size_t>(line.Length()))) {
        build(Converting());
    }
    return WriteLine();
}

template <typename Way>
void XMLWriter::AppendAttributes(const TaggedAttributes* attributes, Way way) {
    if (attributes == nullptr) {
        return;
    }
    for (const TextPair& pair : attributes->Pairs()) {
        // One scan settles the common value, which needs neither references nor the other
        // quote: the whole attribute then goes in at once.
        const Text& name = Outgoing(pair.name, convertedAttributeName, way);
        const char* value = Outgoing(pair.value, convertedValue, way).c_str();
        const size_t plain = PlainLength(value, kPlainValueEnds);
        if (value[plain] == 0) {
            AppendParts(line, " ", PieceOf(name), "=\"", Piece{value, plain}, "\"");
        } else {
            AppendParts(line, " ", PieceOf(name), "=");
            AppendAttributeValue(value, plain);
        }
    }
}

bool XMLWriter::WriteDeclaration(const Text& body, const TaggedAttributes* attributes) {
    declarationWritten = true;
    return Emit([&](auto way) {
        line.Clear(true);
        line.Append("<?", 2);
        AppendText(Outgoing(body.IsEmpty() ? declarationBody : body, convertedValue, way));
        AppendAttributes(attributes, way);
        line.Append("?>\n", 3);
    });
}

bool XMLWriter::WriteDocumentType(const Text& name, const Text& publicId, const Text& systemId) {
    EnsureDeclaration();
    if (name.IsEmpty()) {
        return false;
    }
    auto appendLiteral = [this](const Text& held, auto way) {
        const Text& literal = Outgoing(held, convertedValue, way);
        const char quote = std::strchr(literal.c_str(), '"') != nullptr ? '\'' : '"';
        line.Append(" ", 1);
        line.Append(&quote, 1);
        AppendText(literal);
        line.Append(&quote, 1);
    };
    return Emit([&](auto way) {
        line.Clear(true);
        line.Append("<!DOCTYPE ", 10);
        AppendText(Outgoing(name, convertedName, way));
        if (!publicId.IsEmpty()) {
            line.Append(" PUBLIC", 7);
            appendLiteral(publicId, way);
            appendLiteral(systemId, way);
        } else if (!systemId.IsEmpty()) {
            line.Append(" SYSTEM", 7);
            appendLiteral(systemId, way);
        }
        line.Append(">\n", 2);
    });
}

bool XMLWriter::WriteStartTag(const Text& name, const TaggedAttributes* attributes,
                              const Text& text) {
    EnsureDeclaration();
    if (name.IsEmpty()) {
        return false;
    }
    const bool written = Emit([&](auto way) {
        StartLine(Depth());
        AppendParts(line, "<", PieceOf(Outgoing(name, convertedName, way)));
        AppendAttributes(attributes, way);
        AppendParts(line, ">", PieceOf(Outgoing(text, convertedValue, way)), "\n");
    });
    PushName(name);
    return written;
}

bool XMLWriter::WriteElement(const Text& name, const TaggedAttributes* attributes,
                             const Text& content) {
    EnsureDeclaration();
    return Emit([&](auto way) {
        StartLine(Depth());
        const Piece namePiece = PieceOf(Outgoing(name, convertedName, way));
        AppendParts(line, "<", namePiece);
        AppendAttributes(attributes, way);
        if (content.IsEmpty()) {
            line.Append("/>\n", 3);
            return;
        }
        const char* chars = Outgoing(content, convertedValue, way).c_str();
        const size_t plain = std::strcspn(chars, kContentSpecialsOrReturn);
        if (chars[plain] == 0) {
            AppendParts(line, ">", Piece{chars, plain}, "</", namePiece, ">\n");
        } else {
            line.Append(">", 1);
            AppendProtected(line, chars);
            AppendParts(line, "</", namePiece, ">\n");
        }
    });
}

bool XMLWriter::WriteEndTag() {
    EnsureDeclaration();
    // With only the sentinel left, its end tag is written at column 0 and it stays in place.
    const LONG open = tagStack.Count() - 1;
    const bool written = Emit([&](auto way) {
        StartLine(open > 0 ? open - 1 : 0);
        AppendParts(line, "</", PieceOf(Outgoing(tagStack[open], convertedName, way)), ">\n");
    });
    if (open > 0) {
        tagStack.Resize(-1);
    }
    return written;
}

bool XMLWriter::WriteComment(const Text& text) {
    return Emit([&](auto way) {
        line.Clear(true);
        line.Append("<!--", 4);
        AppendText(Outgoing(text, convertedValue, way));
        line.Append("-->", 3);
    });
}

bool XMLWriter::ProtectContent(Text& content) {
    const char* chars = content.c_str();
    if (std::strpbrk(chars, kContentSpecialsOrReturn) == nullptr) {
        return true;
    }
    TextBuffer protectedContent;
    AppendProtected(protectedContent, chars);
    content = protectedContent; // NOLINT(cppcoreguidelines-slicing): a Text shares the value
    return true;
}

const Text& XMLWriter::Converted(const Text& text, Text& holder) {
    const LONG length = text.Length();
    if (IsUtf8(text.c_str(), static_cast<size_t>(length))) {
        return text;
    }
    holder = Utf8FromAnsi(text.c_str(), length);
    return holder;
}

void XMLWriter::EnsureDeclaration() {
    if (!declarationWritten) {
        WriteDeclaration(Text(), nullptr);
    }
}

void XMLWriter::StartLine(LONG depth) {
    line.Clear(true);
    line.AppendRepeated(' ', kIndentUnit * depth);
}

void XMLWriter::AppendText(const Text& text) {
    line.Append(text.c_str(), text.Length());
}

void XMLWriter::AppendAttributeValue(const char* chars, size_t plain) {
    const char quote = std::strchr(chars + plain, '"') != nullptr ? '\'' : '"';
    line.Append(&quote, 1);
    for (const char* run = chars;;) {
        const size_t kept = std::strcspn(run, kAttributeSpecials);
        line.Append(run, static_cast<LONG>(kept));
        if (run[kept] == 0) {
            break;
        }
        const char* reference = AttributeReference(static_cast<unsigned char>(run[kept]));
        line.Append(reference, LengthOf(reference));
        run += kept + 1;
    }
    line.Append(&quote, 1);
}

void XMLWriter::PushName(const Text& name) {
    tagStack.Append(name);
}

bool XMLWriter::WriteLine() {
    return target != nullptr && target->Write(line.c_str(), line.Length());
}

} // namespace Ostrel
