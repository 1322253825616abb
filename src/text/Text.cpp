#include "text/Text.h"

#include "text/ProgrammingError.h"
#include "text/TextHeader.h"

#include <cstring>
#include <stdexcept>

namespace Ostrel {

namespace {

LONG CheckedLength(size_t length) {
    if (length > INT32_MAX) {
        throw std::length_error("text longer than a 32-bit length");
    }
    return static_cast<LONG>(length);
}

int FoldCase(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

} // namespace

Text::Text(const char* chars) : Text() {
    if (chars != nullptr && *chars != 0) {
        CopyFrom(chars, std::strlen(chars));
    }
}

Text::Text(const char* chars, LONG length) : Text() {
    if (chars != nullptr && length > 0) {
        CopyFrom(chars, static_cast<size_t>(length));
    }
}

Text::Text(const IText* source) : Text() {
    if (source == nullptr) {
        return;
    }
    LONG form = kTextForm;
    const void* answer = source->GetText(&form);
    if (form == kTextForm) {
        Share(*static_cast<const Text*>(answer));
    } else if (answer != nullptr) {
        *this = static_cast<const char*>(answer);
    }
}

// NOLINTNEXTLINE(bugprone-unhandled-self-assignment,cert-oop54-cpp): the same data covers it.
Text& Text::operator=(const Text& source) {
    if (data == source.data) {
        return *this;
    }
    // Letting go first may relieve a borrowed header that the source shares; the source's
    // fields are read only afterwards.
    Release();
    Share(source);
    return *this;
}

Text& Text::operator=(const char* chars) {
    return *this = Text(chars);
}

IText& Text::Assign(const IText& source) {
    *this = Text(&source);
    return *this;
}

const void* Text::GetText(LONG* form) const {
    if (form != nullptr && *form == kTextForm) {
        return this;
    }
    return data;
}

LONG Text::GetSize() const {
    return sizeof(Text);
}
static_assert(sizeof(void*) != 8 || sizeof(Text) == 24, "a text is three pointers");

int Text::Compare(const char* other) const {
    return std::strcmp(data, other == nullptr ? "" : other);
}

int Text::CompareNoCase(const char* other) const {
    const auto* a = reinterpret_cast<const unsigned char*>(data);
    const auto* b = reinterpret_cast<const unsigned char*>(other == nullptr ? "" : other);
    while (*a != 0 && FoldCase(*a) == FoldCase(*b)) {
        ++a;
        ++b;
    }
    return FoldCase(*a) - FoldCase(*b);
}

void Text::ReleaseHeader() {
    if (!header->IsPrivate()) {
        ReleaseBorrowed();
    } else if (--header->count == 0) {
        TextHeader::FreePrivate(header);
    }
}

void Text::BecomeEmpty() {
    Release();
    data = TextHeader::Empty()->buffer;
    header = TextHeader::Empty();
}

void Text::ReplaceWithCopy(const char* chars, LONG length, LONG capacity) {
    TextHeader* fresh = TextHeader::NewPrivate(capacity);
    std::memcpy(fresh->buffer, chars, static_cast<size_t>(length));
    fresh->buffer[length] = 0;
    Release();
    header = fresh;
    data = fresh->buffer;
}

void Text::CopyFrom(const char* chars, size_t length) {
    LONG checked = CheckedLength(length);
    ReplaceWithCopy(chars, checked, TextHeader::CapacityFor(checked));
}

void Text::EnsureRoom(int64_t length) {
    const LONG capacity = TextHeader::CapacityFor(length);
    if (!IsUniquePrivate()) {
        ReplaceWithCopy(data, Length(), capacity);
    } else if (length > Room()) {
        if (data == header->buffer) {
            header = TextHeader::ResizePrivate(header, capacity);
            data = header->buffer;
        } else {
            ReplaceWithCopy(data, Length(), capacity);
        }
    }
}

char* Text::PrepareOverwrite(LONG room) {
    if (IsUniquePrivate() && header->capacity >= room) {
        data = header->buffer;
    } else {
        TextHeader* fresh = TextHeader::NewPrivate(TextHeader::CapacityFor(room));
        Release();
        header = fresh;
        data = fresh->buffer;
    }
    return data;
}

void Text::Append(const char* chars) {
    if (chars == nullptr || *chars == 0) {
        return;
    }
    // Characters from this very buffer would move or vanish as it grows: append a copy.
    if (chars >= header->buffer && chars <= header->buffer + header->capacity) {
        Append(Text(chars).data);
        return;
    }
    const LONG length = Length();
    const size_t added = std::strlen(chars);
    const int64_t total = int64_t{length} + CheckedLength(added);
    EnsureRoom(total);
    std::memcpy(data + length, chars, added);
    data[total] = 0;
}

Text Text::operator+(const char* chars) const {
    const LONG length = Length();
    const size_t added = chars == nullptr ? 0 : std::strlen(chars);
    const int64_t total = int64_t{length} + CheckedLength(added);
    Text result;
    result.ReplaceWithCopy(data, length, TextHeader::CapacityFor(total));
    if (added != 0) {
        std::memcpy(result.data + length, chars, added);
    }
    result.data[total] = 0;
    return result;
}

bool Text::FindLastChar(char c, LONG* position) const {
    const char* found = c == 0 ? nullptr : std::strrchr(data, c);
    if (found == nullptr) {
        return false;
    }
    *position = static_cast<LONG>(found - data);
    return true;
}

bool Text::FindLast(const char* chars, LONG* position) const {
    const LONG length = Length();
    const size_t wanted = chars == nullptr ? 0 : std::strlen(chars);
    if (wanted == 0) {
        *position = length;
        return true;
    }
    if (wanted > static_cast<size_t>(length)) {
        return false;
    }
    for (LONG at = length - static_cast<LONG>(wanted); at >= 0; --at) {
        if (std::memcmp(data + at, chars, wanted) == 0) {
            *position = at;
            return true;
        }
    }
    return false;
}

bool Text::FindFirstOf(const char* set, LONG* position) const {
    const char* found = set == nullptr ? nullptr : std::strpbrk(data, set);
    if (found == nullptr) {
        return false;
    }
    *position = static_cast<LONG>(found - data);
    return true;
}

Text Text::Tail(LONG offset) const {
    if (offset < 0 || strnlen(data, static_cast<size_t>(offset)) != static_cast<size_t>(offset)) {
        ProgrammingError("Text::Tail offset beyond the end of the text");
    }
    Text result(*this);
    result.data += offset;
    return result;
}

Text Text::Mid(LONG first, LONG last) const {
    const LONG length = Length();
    if (first < 0 || first > length || int64_t{first} > int64_t{last} + 1) {
        ProgrammingError("Text::Mid range outside the text");
    }
    if (last > length - 1) {
        last = length - 1;
    }
    return Text(data + first, last - first + 1);
}

void Text::Reserve(LONG capacity, BlockMemory::Placement placement) {
    if (capacity < 0) {
        ProgrammingError("Text::Reserve with a negative capacity");
    }
    TextHeader* fresh = TextHeader::NewPrivate(TextHeader::CapacityFor(capacity), placement);
    Release();
    header = fresh;
    data = fresh->buffer;
}

Text Text::PlaceAt(LONG offset, const char* chars, LONG length) {
    if (header == TextHeader::Empty() || !header->IsPrivate() || offset < 0 || length < 0 ||
        int64_t{offset} + length > header->capacity) {
        ProgrammingError("Text::PlaceAt outside the text's private buffer");
    }
    char* place = header->buffer + offset;
    std::memcpy(place, chars, static_cast<size_t>(length));
    place[length] = 0;
    Text result(*this);
    result.data = place;
    return result;
}

} // namespace Ostrel
