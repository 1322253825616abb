// A file whose bytes pass unchanged in both directions (the compressed container's file).
#pragma once

#include "transfer/GenericFile.h"

namespace Ostrel {

class DataFile : public GenericFile {
public:
    explicit DataFile(const Text& name) : GenericFile(name) {}
};

} // namespace Ostrel
