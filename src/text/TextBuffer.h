// A Text that builds: it caches its length and capacity and grows by half again, so that a text
// of n bytes is assembled with a logarithmic number of reallocations and no rescans.
//
// A buffer never shares a borrowed header: built from a text that borrows (a scratch buffer, a
// Format result), it takes a private copy at once. A borrowed header's relief would otherwise
// change the buffer's storage behind the cached capacity. It does share private headers, and
// copies on its first write while they are shared. Change a TextBuffer through its own
// operations only (not through a Text reference), or the cache goes stale.
//
// Appended bytes may include NULs: Length() counts them, c_str() ends at the first.
// Growing past 2^31 - 1 characters throws std::length_error; a refused heap block throws
// std::bad_alloc. The buffer keeps its value in both cases.
#pragma once

#include "text/Text.h"

#include <cstring>

namespace Ostrel {

class TextBuffer : public Text {
public:
    TextBuffer();
    TextBuffer(const Text& source);
    TextBuffer(const TextBuffer& source) = default;
    TextBuffer(TextBuffer&& source) noexcept;
    TextBuffer& operator=(const Text& source);
    TextBuffer& operator=(const TextBuffer& source);
    TextBuffer& operator=(TextBuffer&& source) noexcept;

    IText& Assign(const IText& source) override;

    // Adds n bytes of `chars` (all of them up to the NUL when n is negative) and a terminator.
    // Inline for the common case, bytes from elsewhere that fit the room already held: lines
    // and collected text are assembled from many short pieces.
    void Append(const char* chars, LONG n = -1) {
        if (n > 0 && chars != nullptr && n <= capacity - length && IsUniquePrivate() &&
            !Holds(chars)) {
            std::memcpy(data + length, chars, static_cast<size_t>(n));
            length += n;
            data[length] = 0;
            return;
        }
        AppendAny(chars, n);
    }
    // Adds n copies of the character (none when n <= 0) and a terminator.
    void AppendRepeated(char c, LONG n);
    // With `keepBuffer`, empties a private buffer of the cached capacity; without, becomes the
    // shared empty text.
    void Clear(bool keepBuffer);

    LONG Length() const { return length; }
    LONG Capacity() const { return capacity; }

    // These would change the storage behind the cache.
    void SetInteger(LONG, int) = delete;
    void SetReal(double, int) = delete;
    void Reserve(LONG) = delete;
    void Adopt(char*, LONG) = delete;
    Text PlaceAt(LONG, const char*, LONG) = delete;

private:
    void AppendAny(const char* chars, LONG n);
    // Whether the address lies in this text's buffer, which moves as it grows.
    bool Holds(const char* chars) const {
        return chars >= header->buffer && chars <= header->buffer + header->capacity;
    }
    void Refresh();
    // A private, unshared buffer with room for `added` more bytes; answers where they go.
    char* MakeRoom(LONG added);

    LONG length;
    LONG capacity;
};

} // namespace Ostrel
