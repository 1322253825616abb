// The one string type of the system: narrow, NUL-terminated characters in the ANSI code page (on
// Linux UTF-8), shared between copies and copied on write.
//
// A text points (`data`) into the buffer of a header (`header`). Copying shares the header and
// never copies characters. The header is either private (counted, characters inside it) or
// borrowed (an outside buffer: the conversion scratch buffers and the Format ring), in which
// case the header lists up to ten sharers and gives them private copies ("relief") at the tenth
// sharer and when the owner goes. Borrowed headers live in a compacting record pool; when one
// moves, its sharers' `header` pointers are repaired through its list. That is why a Text must
// never be moved bitwise: its move operations update the list.
//
// Values of special doubles (SetReal): "NaN", "INF", "-INF", and "-0." for negative zero (as
// zero gives "0.").
//
// Failures: a refused heap block throws std::bad_alloc; a text that would grow past 2^31 - 1
// characters throws std::length_error (the text keeps its value in both cases). Calls outside a
// documented range (a Tail offset past the end, a Mid range that does not fit, a radix outside
// 2..36, a negative Reserve) are programming errors and stop the process with a message.
#pragma once

#include "platform/com.h"
#include "text/IText.h"
#include "text/TextHeader.h"

#include <cstdarg>
#include <cstdint>
#include <cstring>

namespace Ostrel {

class Text : public IText {
public:
    // Empty, on the shared empty header. Construction and destruction of empty texts are
    // inline: trees and arrays make and drop them by the million.
    Text() : data(emptyTextBlock.characters), header(TextHeader::Empty()) {}
    // A private copy; null and "" give the empty text.
    Text(const char* chars);
    // A private copy of `length` bytes (the value still ends at the first NUL among them).
    Text(const char* chars, LONG length);
    Text(const Text& source) : IText() { Share(source); }
    Text(Text&& source) noexcept : IText() { TakeOver(source); }
    // Shares the source when it is a Text, else copies its characters; null gives empty.
    explicit Text(const IText* source);
    // Converts from the automation string. With `useScratch`, a short argument borrows one of
    // the scratch buffers instead of taking a heap block; it never truncates.
    explicit Text(BSTR source, bool useScratch = true);
    // The registry form of the identifier ("{8-4-4-4-12}", upper-case digits), or empty when it
    // cannot be made.
    static Text FromCLSID(REFCLSID clsid);
    ~Text() { Release(); }

    // Equal `data` pointers: nothing happens; otherwise the header is shared.
    Text& operator=(const Text& source);
    Text& operator=(Text&& source) noexcept {
        if (this != &source) {
            Release();
            TakeOver(source);
        }
        return *this;
    }
    Text& operator=(const char* chars);
    // Ends with a private copy: an assigned argument never holds on to a scratch buffer.
    Text& operator=(BSTR source);

    IText& Assign(const IText& source) override;
    const void* GetText(LONG* form) const override;
    LONG GetSize() const override;

    const char* c_str() const { return data; }
    // Scans for the terminator.
    LONG Length() const { return static_cast<LONG>(std::strlen(data)); }
    bool IsEmpty() const { return *data == 0; }
    // Bytes compared unsigned, as strcmp; a null argument compares as "".
    int Compare(const char* other) const;
    // As Compare, with A to Z folded onto a to z.
    int CompareNoCase(const char* other) const;
    bool SharesHeaderWith(const Text& other) const { return header == other.header; }

    // Adds the characters at the end; null adds nothing.
    void Append(const char* chars);
    // A new text with a private buffer sized for both parts.
    Text operator+(const char* chars) const;
    // A new automation string owned by the caller; the empty text gives a zero-length one.
    // Throws std::bad_alloc when the string cannot be allocated.
    BSTR ToBSTR() const { return ToBSTR(data, Length()); }
    // The same for `length` bytes of the ANSI code page that no text holds.
    static BSTR ToBSTR(const char* chars, LONG length);

    // The "found" operations leave *position untouched when they answer false.
    bool FindLastChar(char c, LONG* position) const;
    // Overlapping occurrences count; an empty (or null) string is found at the length.
    bool FindLast(const char* chars, LONG* position) const;
    bool FindFirstOf(const char* set, LONG* position) const;

    // Shares this text's header, starting `offset` characters in (at most the length).
    Text Tail(LONG offset) const;
    // A private copy of the characters first..last inclusive, last cut to the final character;
    // first must not exceed last + 1 nor the length.
    Text Mid(LONG first, LONG last) const;

    // Decimal (radix 10) is signed; radices 2..36 other than 10 write the 32-bit pattern as
    // unsigned with lower-case letter digits.
    void SetInteger(LONG value, int radix = 10);
    // The general format with `digits` significant digits (clamped to 1..17): fixed notation
    // when the decimal exponent lies from -1 to digits - 1, else one digit, the point, the
    // other digits and "e+NN"/"e-NN"; trailing zeros of the fraction go, the point stays.
    void SetReal(double value, int digits = 16);
    // Discards the value for a fresh, empty private buffer of at least `capacity` characters.
    void Reserve(LONG capacity, BlockMemory::Placement placement = BlockMemory::Placement::Heap);
    // Borrows an outside buffer of `length` characters (which must hold a NUL within
    // length + 1 bytes and outlive the borrowing). Nothing is copied.
    void Adopt(char* buffer, LONG length);
    // Writes `length` bytes and a terminator into this text's private buffer at `offset` from
    // the buffer's start, and answers a text sharing the buffer that starts there. The caller
    // owns the layout of the buffer: those bytes must belong to no other sharer's value. For
    // arenas of short names.
    Text PlaceAt(LONG offset, const char* chars, LONG length);

    // printf-style formatting into one of a ring of five reusable results. The result keeps its
    // value until five further Format calls; copy it to keep it longer.
    static const Text& Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
    static const Text& FormatV(const char* format, va_list arguments);

protected:
    // Characters from `data` to the end of the header's buffer.
    LONG Room() const { return static_cast<LONG>(header->buffer + header->capacity - data); }
    bool IsUniquePrivate() const { return header->IsPrivate() && header->count == 1; }
    // Lets go of the header; the fields are left for the caller to set.
    void Release() {
        if (header != TextHeader::Empty()) {
            ReleaseHeader();
        }
    }
    void BecomeEmpty();
    // Copies `length` bytes into a new private block of `capacity` and lets go of the old one.
    void ReplaceWithCopy(const char* chars, LONG length, LONG capacity);

    char* data = nullptr;
    TextHeader* header = nullptr;

private:
    // Copying and moving are inline because every array of texts and every tree node does
    // them; only borrowed headers, which list their sharers, take the slow road.
    void Share(const Text& source) {
        data = source.data;
        header = source.header;
        if (header == TextHeader::Empty()) {
            return;
        }
        if (header->IsPrivate()) {
            ++header->count;
        } else {
            // NOLINTNEXTLINE(cppcoreguidelines-pro-type-static-cast-downcast): not private.
            AddSharer(static_cast<BorrowedHeader*>(header));
        }
    }
    void TakeOver(Text& source) {
        data = source.data;
        header = source.header;
        if (!header->IsPrivate()) {
            ReplaceSharer(&source);
        }
        source.data = emptyTextBlock.characters;
        source.header = TextHeader::Empty();
    }
    // The part of Release for a header other than the empty one.
    void ReleaseHeader();
    // A private, unshared buffer holding the current value.
    void MakeUnique();
    // A private, unshared buffer with room for `length` characters, value kept.
    void EnsureRoom(int64_t length);
    // A private, unshared buffer with room for `room` characters, value discarded.
    char* PrepareOverwrite(LONG room);
    void CopyFrom(const char* chars, size_t length);
    void ConvertFrom(BSTR source, bool useScratch);

    void AddSharer(BorrowedHeader* borrowed);
    void ReleaseBorrowed();
    static void Relieve(BorrowedHeader* borrowed);
    static void RepairSharers(BorrowedHeader* moved);
    void ReplaceSharer(const Text* old);
};

inline bool operator==(const Text& a, const Text& b) {
    return a.Compare(b.c_str()) == 0;
}
inline bool operator!=(const Text& a, const Text& b) {
    return !(a == b);
}
inline bool operator<(const Text& a, const Text& b) {
    return a.Compare(b.c_str()) < 0;
}
inline bool operator==(const Text& a, const char* b) {
    return a.Compare(b) == 0;
}
inline bool operator!=(const Text& a, const char* b) {
    return !(a == b);
}

} // namespace Ostrel
