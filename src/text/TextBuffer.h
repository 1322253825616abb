// A Text that builds: it caches its length and capacity and grows by half again, so that a text
// of n bytes is assembled with a logarithmic number of reallocations and no rescans.
//
// A buffer never shares a borrowed header: built from a text that borrows (a scratch buffer, a
// Format result), it takes a private copy at once. A borrowed header's relief would otherwise
// change the buffer's storage behind the cached capacity. It does share private headers, and
// copies on its first write while they are shared. Change a TextBuffer through its own
// operations only (not through a Text reference), or the cache goes stale.
//
// The cached capacity is the room from the buffer's first character to the end of its block (a
// buffer built from a Tail has less room than its block). Appended bytes may include NULs: Length()
// counts them, c_str() ends at the first. Growing past 2^31 - 1 characters throws
// std::length_error; a refused heap block throws std::bad_alloc. The buffer keeps its value in both
// cases.
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
        if (n > 0 && chars != nullptr && !Holds(chars) && Fits(n)) {
            std::memcpy(data + length, chars, static_cast<size_t>(n));
            Advance(n);
            return;
        }
        AppendAny(chars, n);
    }
    // Adds n copies of the character (none when n <= 0) and a terminator.
    void AppendRepeated(char c, LONG n) {
        if (n > 0 && Fits(n)) {
            std::memset(data + length, c, static_cast<size_t>(n));
            Advance(n);
            return;
        }
        AppendRepeatedAny(c, n);
    }
    // With `keepBuffer`, empties a private buffer of the cached capacity; without, becomes the
    // shared empty text.
    void Clear(bool keepBuffer) {
        if (keepBuffer && capacity != 0 && IsUniquePrivate()) {
            data = header->buffer;
            data[0] = 0;
            length = 0;
            capacity = Room();
            return;
        }
        ClearAny(keepBuffer);
    }

    // Assembling in place: OpenTail makes room for `n` more bytes and answers where they go;
    // Extend then takes in the bytes written there, up to `end`. Nothing else may change the
    // buffer in between.
    char* OpenTail(LONG n) { return Fits(n) ? data + length : MakeRoom(n); }
    void Extend(char* end) {
        length = static_cast<LONG>(end - data);
        data[length] = 0;
    }

    LONG Length() const { return length; }

    // These would change the storage behind the cache.
    void SetInteger(LONG, int) = delete;
    void SetReal(double, int) = delete;
    void Reserve(LONG) = delete;
    void Adopt(char*, LONG) = delete;
    Text PlaceAt(LONG, const char*, LONG) = delete;

private:
    void AppendAny(const char* chars, LONG n);
    void AppendRepeatedAny(char c, LONG n);
    void ClearAny(bool keepBuffer);
    // Whether n more bytes fit the private, unshared buffer as it is.
    bool Fits(LONG n) const { return n <= capacity - length && IsUniquePrivate(); }
    void Advance(LONG n) {
        length += n;
        data[length] = 0;
    }
    // Whether the address lies in this text's buffer, which moves as it grows.
    bool Holds(const char* chars) const {
        return chars >= header->buffer && chars <= header->buffer + header->capacity;
    }
    void Refresh();
    // A private, unshared buffer with room for `added` more bytes; answers where they go.
    char* MakeRoom(LONG added);

    LONG length = 0;
    LONG capacity = 0;
};

} // namespace Ostrel
