// The output engine: turns declaration, start tag, element, end tag and comment calls into
// indented XML lines and hands each line to its target in exactly one Write.
//
// Lines are built in one buffer that the writer keeps between operations, so that a save does
// not allocate per line once the buffer has grown to the longest line. Names, values, texts and
// comments are held in the ANSI code page; whoever creates the writer chooses whether they are
// written as held or as UTF-8 (Encoding).
//
// Beyond the plain rules: element content holding "]]>" is split across CDATA sections so that
// the output stays well-formed and reads back as the same text; a carriage return in element
// content is written as "&#13;" (inside a CDATA section: the section ends before the reference
// and a new one starts after it), since a reader turns a raw one into a line feed; and tab,
// line feed and carriage return in attribute values are written as character references, which
// a reader would otherwise normalise to blanks. Comments cannot hold references: a carriage
// return in a comment is written raw and reads back as a line feed.
#pragma once

#include "platform/com.h"
#include "text/GrowableArray.h"
#include "text/Text.h"
#include "text/TextBuffer.h"

#include <cstddef>

namespace Ostrel {

class IDataTransfer;
class TaggedAttributes;

class XMLWriter {
public:
    enum class Encoding {
        // Every byte as it is held: for a document handed to a host as an automation string,
        // which goes back through the ANSI code page as every string does.
        AsHeld,
        // For bytes that leave the process, under a declaration that says UTF-8: each name,
        // text, value or comment that is not UTF-8 is written whole as the UTF-8 of its ANSI
        // reading (a host's e with acute accent, held as 0xE9 on the Western page, goes out as
        // C3 A9). Where the ANSI page is UTF-8 (always on Linux) nothing is checked or
        // converted, as for AsHeld.
        Utf8,
    };

    // The target is not owned and must outlive the writer.
    XMLWriter(IDataTransfer* target, Encoding encoding);
    XMLWriter(const XMLWriter&) = delete;
    XMLWriter& operator=(const XMLWriter&) = delete;

    // "<?" + body (the default body when empty) + attributes + "?>\n". Counts as written even
    // when the write fails.
    bool WriteDeclaration(const Text& body, const TaggedAttributes* attributes);
    // "<!DOCTYPE name PUBLIC "p" "s">", "<!DOCTYPE name SYSTEM "s">" or "<!DOCTYPE name>" on a
    // line of its own; false for an empty name.
    bool WriteDocumentType(const Text& name, const Text& publicId, const Text& systemId);
    // The start tag at the current depth followed by `text` verbatim; false, writing nothing
    // of its own, for an empty name.
    bool WriteStartTag(const Text& name, const TaggedAttributes* attributes, const Text& text);
    // A whole element on one line: the empty-element form for empty content, else the content
    // protected as ProtectContent protects it.
    bool WriteElement(const Text& name, const TaggedAttributes* attributes, const Text& content);
    // Closes the innermost open element; with none open it writes the sentinel's end tag.
    bool WriteEndTag();
    // "<!--" + text + "-->" with no indentation and no line end.
    bool WriteComment(const Text& text);

    // Wraps content holding any of & < > in a CDATA section (split where it holds "]]>") and
    // writes each carriage return as "&#13;"; leaves other content as it is. Always true.
    static bool ProtectContent(Text& content);

    // Open elements, not counting the sentinel.
    LONG Depth() const { return tagStack.Count() - 1; }

private:
    // How a line takes its texts: as held, and for a line that is not UTF-8 when it must be,
    // converting each text that is not.
    struct AsHeld {};
    struct Converting {};
    // Builds the line (`build(way)` starts it afresh) and writes it; with Encoding::Utf8 where
    // texts may need it, a line that is not UTF-8 is built a second time, converting.
    template <typename Build>
    bool Emit(const Build& build);
    // The text as it is written: itself, or its UTF-8 form kept in `holder` until the holder's
    // next use.
    static const Text& Outgoing(const Text& text, Text&, AsHeld) { return text; }
    const Text& Outgoing(const Text& text, Text& holder, Converting) {
        return Converted(text, holder);
    }
    const Text& Converted(const Text& text, Text& holder);
    void EnsureDeclaration();
    void StartLine(LONG depth);
    void AppendText(const Text& text);
    template <typename Way>
    void AppendAttributes(const TaggedAttributes* attributes, Way way);
    // A value holding references or a double quote; `plain` bytes at its start need neither.
    void AppendAttributeValue(const char* chars, size_t plain);
    void PushName(const Text& name);
    bool WriteLine();

    IDataTransfer* target;
    // Encoding::Utf8 on an ANSI page that is not UTF-8: every line is checked.
    const bool checking;
    // What Outgoing converted, by role, for as long as a line needs it.
    Text convertedName;
    Text convertedAttributeName;
    Text convertedValue;
    GrowableArray<Text> tagStack;
    Text declarationBody;
    bool declarationWritten;
    TextBuffer line;
};

} // namespace Ostrel
