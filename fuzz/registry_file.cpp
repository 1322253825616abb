// Any bytes as the text of the registry file: damage must be refused with the line and a reason,
// and a tree that was read must write out as text that reads back as the same tree.
#include "FuzzSupport.h"
#include "platform/regfile.h"

using namespace Ostrel;
using namespace Ostrel::Fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = Bytes(data, size);
    RegistryKey root("");
    std::string problem;
    if (!ParseRegistry(text, root, problem)) {
        if (problem.empty()) {
            Finding("damage refused without a reason");
        }
        return 0;
    }
    const std::string written = FormatRegistry(root);
    RegistryKey reread("");
    if (!ParseRegistry(written, reread, problem)) {
        Finding("the written registry does not read back: " + problem + "\n" + written);
    }
    if (FormatRegistry(reread) != written) {
        Finding("the registry read back is another tree:\n" + written);
    }
    return 0;
}
