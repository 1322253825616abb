// Texts over outside buffers: borrowed headers, their sharer lists, relief, and the repair of
// sharers when the compacting pool moves a header.
#include "text/GlobalPool.h"
#include "text/ProgrammingError.h"
#include "text/ScratchBuffers.h"
#include "text/Text.h"
#include "text/TextHeader.h"

#include <cstring>

namespace Ostrel {

namespace {

constexpr int16_t kHeadersPerChunk = 200;

GlobalPool borrowedHeaders = {sizeof(BorrowedHeader), kHeadersPerChunk, false, nullptr};

LONG IndexOfSharer(const BorrowedHeader* borrowed, const Text* sharer) {
    for (LONG i = 0; i < borrowed->count; ++i) {
        if (borrowed->sharers[i] == sharer) {
            return i;
        }
    }
    ProgrammingError("a text is missing from the sharer list of its header");
}

} // namespace

void Text::Adopt(char* buffer, LONG length) {
    if (buffer == nullptr || length < 0) {
        ProgrammingError("Text::Adopt without a buffer");
    }
    // Letting go first: freeing the old header may move the pool's topmost record, which must
    // not be the one taken for the new header.
    BecomeEmpty();
    auto* borrowed = static_cast<BorrowedHeader*>(borrowedHeaders.Allocate());
    borrowed->count = 1;
    borrowed->capacity = length;
    borrowed->buffer = buffer;
    borrowed->sharers[0] = this;
    header = borrowed;
    data = buffer;
}

void Text::AddSharer(BorrowedHeader* borrowed) {
    borrowed->sharers[borrowed->count] = this;
    if (++borrowed->count < BorrowedHeader::kMaxSharers) {
        return;
    }
    try {
        Relieve(borrowed);
    } catch (...) {
        --borrowed->count;
        throw;
    }
}

void Text::ReplaceSharer(const Text* old) {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-static-cast-downcast): only borrowed ones come.
    auto* borrowed = static_cast<BorrowedHeader*>(header);
    borrowed->sharers[IndexOfSharer(borrowed, old)] = this;
}

namespace {

TextHeader* PrivateCopy(const char* start, const BorrowedHeader* borrowed) {
    const size_t room = static_cast<size_t>(borrowed->buffer + borrowed->capacity - start);
    const LONG length = static_cast<LONG>(strnlen(start, room));
    TextHeader* copy = TextHeader::NewPrivate(TextHeader::CapacityFor(length));
    std::memcpy(copy->buffer, start, static_cast<size_t>(length));
    copy->buffer[length] = 0;
    return copy;
}

} // namespace

void Text::Relieve(BorrowedHeader* borrowed) {
    // All copies are made before any sharer changes, so a refused block leaves the list intact.
    // Sharers that start at the same place read the same value and share one copy.
    TextHeader* copies[BorrowedHeader::kMaxSharers] = {};
    LONG copyOf[BorrowedHeader::kMaxSharers] = {};
    try {
        for (LONG i = 1; i < borrowed->count; ++i) {
            copyOf[i] = 1;
            while (copyOf[i] < i &&
                   borrowed->sharers[copyOf[i]]->data != borrowed->sharers[i]->data) {
                ++copyOf[i];
            }
            if (copyOf[i] == i) {
                copies[i] = PrivateCopy(borrowed->sharers[i]->data, borrowed);
            }
        }
    } catch (...) {
        for (TextHeader* copy : copies) {
            if (copy != nullptr) {
                TextHeader::FreePrivate(copy);
            }
        }
        throw;
    }
    for (LONG i = 1; i < borrowed->count; ++i) {
        TextHeader* copy = copies[copyOf[i]];
        if (copyOf[i] != i) {
            ++copy->count;
        }
        borrowed->sharers[i]->header = copy;
        borrowed->sharers[i]->data = copy->buffer;
    }
    borrowed->count = 1;
}

void Text::ReleaseBorrowed() {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-static-cast-downcast): only borrowed ones come.
    auto* borrowed = static_cast<BorrowedHeader*>(header);
    const LONG index = IndexOfSharer(borrowed, this);
    if (index != 0) {
        std::memmove(borrowed->sharers + index, borrowed->sharers + index + 1,
                     // NOLINTNEXTLINE(bugprone-sizeof-expression): the list holds pointers
                     static_cast<size_t>(borrowed->count - index - 1) * sizeof(Text*));
        --borrowed->count;
        return;
    }
    if (borrowed->count > 1) {
        Relieve(borrowed);
    }
    ScratchBuffers::GiveBack(borrowed->buffer);
    borrowed->count = 0;
    void* moved = borrowedHeaders.Free(borrowed);
    if (moved != nullptr) {
        RepairSharers(static_cast<BorrowedHeader*>(moved));
    }
}

void Text::RepairSharers(BorrowedHeader* moved) {
    for (LONG i = 0; i < moved->count; ++i) {
        moved->sharers[i]->header = moved;
    }
}

} // namespace Ostrel
