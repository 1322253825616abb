// The common base of the transfers that live on their creator's stack: reference counting does
// nothing, so handing one out never transfers ownership.
#pragma once

#include "transfer/IDataTransfer.h"

namespace Ostrel {

class BaseDataTransfer : public IDataTransfer {
public:
    void AddRef() override {}
    void Release() override {}
};

} // namespace Ostrel
