// Any bytes as a document read through a transfer, so that every byte reaches the tokenizer; a
// document that loads must save, and its saved text must load back as the same tree. Bytes
// without a NUL must also load from a string, in one piece, as from the transfer, in pieces: with
// the same answer, and within one piece the same message (where a piece ends inside a token that
// fails, the tokenizer may name another fault at another place than with the whole text). Not
// always into the same document: where a read ends inside a run of text whose first part is only
// blanks, the loader drops that part as it drops any first piece of only blanks.
#include "FuzzSupport.h"
#include "support/FileTestSupport.h"
#include "support/TreeComparison.h"

using namespace Ostrel;
using namespace Ostrel::Fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes = Bytes(data, size);
    XMLModel model;
    MemoryTransfer source(bytes);
    const bool loaded = model.LoadTransfer(source);
    if (bytes.find('\0') == std::string::npos) {
        XMLModel whole;
        if (whole.LoadString(Text(bytes.c_str())) != loaded ||
            (bytes.size() < 10000 && PendingError(whole) != PendingError(model))) {
            Finding("a string and a transfer load differently: \"" + PendingError(whole) +
                    "\" and \"" + PendingError(model) + "\"");
        }
    }
    if (!loaded) {
        return 0;
    }
    const std::string saved = SavedText(model, "loaded");
    XMLModel reloaded;
    if (!reloaded.LoadString(Text(saved.c_str()))) {
        Finding("the saved text does not load: " + PendingError(reloaded) + "\n" + saved);
    }
    const std::string difference = TreeDifference(model, reloaded);
    if (!difference.empty()) {
        Finding("the reloaded tree differs: " + difference + "\n" + saved);
    }
    return 0;
}
