// Any bytes as a document read through a transfer, so that every byte reaches the tokenizer; a
// document that loads must save, and its saved text must load back as the same tree.
#include "FuzzSupport.h"
#include "support/FileTestSupport.h"
#include "support/TreeComparison.h"

using namespace Ostrel;
using namespace Ostrel::Fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    XMLModel model;
    MemoryTransfer source(Bytes(data, size));
    if (!model.LoadTransfer(source)) {
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
