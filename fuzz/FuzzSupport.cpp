#include "FuzzSupport.h"

#include "support/TestSupport.h"

#include <cstdio>

namespace Ostrel::Fuzzing {

void Finding(const std::string& what) {
    std::fprintf(stderr, "\n== finding: %s\n", what.c_str());
    std::fflush(stderr);
    __builtin_trap();
}

std::string PendingError(XMLModel& model) {
    Text message;
    model.Errors().GetError(message);
    return message.c_str();
}

std::string SavedText(XMLModel& model, const char* which) {
    Text saved;
    if (!model.SaveString(saved)) {
        Finding(std::string("the ") + which + " model does not save: " + PendingError(model));
    }
    return saved.c_str();
}

const std::string& ScratchFolder() {
    static ScratchDirectory folder;
    return folder.Path();
}

} // namespace Ostrel::Fuzzing
