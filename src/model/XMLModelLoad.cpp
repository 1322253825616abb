#include "model/DocumentLoader.h"
#include "model/XMLModel.h"
#include "transfer/DataFile.h"
#include "transfer/StreamCompression.h"
#include "transfer/TextFile.h"

namespace Ostrel {

bool XMLModel::LoadTransfer(IDataTransfer& source) {
    return DocumentLoader(*this).Load(source);
}

bool XMLModel::LoadFile(const Text& path) {
    TextFile file(path);
    if (!file.Open(false)) {
        errors.AppendError(Text("Failed to open file: ") + path.c_str());
        return false;
    }
    return LoadTransfer(file);
}

bool XMLModel::LoadString(const Text& xml) {
    return DocumentLoader(*this).Load(xml);
}

bool XMLModel::LoadCompressed(const Text& path) {
    DataFile file(path);
    if (!file.Open(false)) {
        return false;
    }
    StreamCompression stream(&file, kContainerBlockSize);
    return LoadTransfer(stream);
}

} // namespace Ostrel
