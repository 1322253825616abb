// The document a command reads: a file named on the command line, or standard input for "-",
// handed to the system through the tool's own data source.
#pragma once

#include "DescriptorTransfer.h"
#include "host/LateBound.h"

#include <optional>

namespace Ostrel {

class DocumentInput {
public:
    DocumentInput() = default;
    ~DocumentInput();
    DocumentInput(const DocumentInput&) = delete;
    DocumentInput& operator=(const DocumentInput&) = delete;

    // Opens the file, or takes standard input for "-"; says why on standard error when the
    // file does not open.
    bool Open(const char* operand);
    DescriptorTransfer& Source() { return *source; }
    // When the system failed because reading the input failed, says so with the reason on
    // standard error (the system itself only knows that the stream broke) and answers true.
    bool ReportReadFailure() const;

private:
    const char* name = nullptr;
    int descriptor = -1;
    bool owned = false;
    std::optional<DescriptorTransfer> source;
};

// A new model loaded from the operand through LoadFromTransfer; on failure the reason is on
// standard error.
bool LoadModel(const char* operand, LateBound& model);

} // namespace Ostrel
