#include "text/TextBuffer.h"

#include "text/TextHeader.h"

#include <cstring>
#include <stdexcept>

namespace Ostrel {

TextBuffer::TextBuffer() = default;

TextBuffer::TextBuffer(const Text& source) : Text(source) {
    Refresh();
}

// Text's move takes only the base's fields; the cached ones are read afterwards on purpose.
// NOLINTBEGIN(bugprone-use-after-move)
TextBuffer::TextBuffer(TextBuffer&& source) noexcept
    : Text(std::move(source)), length(source.length), capacity(source.capacity) {
    source.length = 0;
    source.capacity = 0;
}
// NOLINTEND(bugprone-use-after-move)

TextBuffer& TextBuffer::operator=(const Text& source) {
    Text::operator=(source);
    Refresh();
    return *this;
}

// NOLINTNEXTLINE(cert-oop54-cpp): Text's assignment keeps a self-assignment unchanged.
TextBuffer& TextBuffer::operator=(const TextBuffer& source) {
    Text::operator=(source);
    length = source.length;
    capacity = source.capacity;
    return *this;
}

TextBuffer& TextBuffer::operator=(TextBuffer&& source) noexcept {
    if (this != &source) {
        Text::operator=(std::move(source));
        length = source.length; // NOLINT(bugprone-use-after-move): the base's fields only moved
        capacity = source.capacity;
        source.length = 0;
        source.capacity = 0;
    }
    return *this;
}

IText& TextBuffer::Assign(const IText& source) {
    *this = Text(&source);
    return *this;
}

void TextBuffer::Refresh() {
    length = Text::Length();
    if (!header->IsPrivate()) {
        ReplaceWithCopy(data, length, TextHeader::CapacityFor(length));
    }
    capacity = Room();
}

char* TextBuffer::MakeRoom(LONG added) {
    const int64_t needed = int64_t{length} + added;
    if (needed > INT32_MAX) {
        throw std::length_error("text longer than a 32-bit length");
    }
    const bool unique = IsUniquePrivate();
    if (unique && needed <= capacity) {
        return data + length;
    }
    const int64_t grown = needed + needed / 2;
    const LONG target = grown > INT32_MAX ? INT32_MAX : static_cast<LONG>(grown);
    if (unique && data == header->buffer) {
        header = TextHeader::ResizePrivate(header, target);
        data = header->buffer;
    } else {
        // A shared buffer is first copied into a block of its own (by the cached length: the
        // bytes may include NULs), grown at once when that block is too small.
        const LONG own = unique ? target : TextHeader::CapacityFor(length);
        ReplaceWithCopy(data, length, needed > own ? target : own);
    }
    capacity = Room();
    return data + length;
}

void TextBuffer::AppendAny(const char* chars, LONG n) {
    if (chars == nullptr) {
        return;
    }
    size_t count = n < 0 ? std::strlen(chars) : static_cast<size_t>(n);
    if (count > INT32_MAX) {
        throw std::length_error("text longer than a 32-bit length");
    }
    if (count == 0) {
        return;
    }
    // Bytes from this very buffer would move as it grows.
    if (Holds(chars)) {
        TextBuffer copy;
        copy.Append(chars, static_cast<LONG>(count));
        Append(copy.data, copy.length);
        return;
    }
    char* end = MakeRoom(static_cast<LONG>(count));
    std::memcpy(end, chars, count); // NOLINT(bugprone-not-null-terminated-result): ended below
    length += static_cast<LONG>(count);
    data[length] = 0;
}

void TextBuffer::AppendRepeatedAny(char c, LONG n) {
    if (n <= 0) {
        return;
    }
    char* end = MakeRoom(n);
    std::memset(end, c, static_cast<size_t>(n));
    length += n;
    data[length] = 0;
}

void TextBuffer::ClearAny(bool keepBuffer) {
    if (!keepBuffer || capacity == 0) {
        BecomeEmpty();
        length = 0;
        capacity = 0;
        return;
    }
    if (IsUniquePrivate()) {
        data = header->buffer;
    } else {
        ReplaceWithCopy(data, 0, capacity);
    }
    data[0] = 0;
    length = 0;
    capacity = Room();
}

} // namespace Ostrel
