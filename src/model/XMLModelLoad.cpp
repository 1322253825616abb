#include "model/DocumentLoader.h"
#include "model/XMLModel.h"
#include "transfer/DataFile.h"
#include "transfer/StreamCompression.h"
#include "transfer/TextFile.h"

namespace Ostrel {

bool XMLModel::LoadTransfer(IDataTransfer& source) {
    DocumentLoader loader(*this);
    if (!loader.Ready()) {
        return false;
    }
    loader.Begin();
    char piece[kPieceSize];
    for (;;) {
        uint32_t delivered = 0;
        // A count beyond the piece would have the tokenizer read past it: such a source is as
        // broken as one that fails.
        if (!source.Read(piece, kPieceSize, &delivered) ||
            delivered > static_cast<uint32_t>(kPieceSize)) {
            errors.AppendError("XML Parse failed: there was an error streaming in data");
            loader.Abandon();
            return false;
        }
        const bool last = delivered < static_cast<uint32_t>(kPieceSize);
        if (!loader.Feed(piece, static_cast<LONG>(delivered), last)) {
            if (!last) {
                loader.Abandon();
            }
            return false;
        }
        if (last) {
            return true;
        }
    }
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
    DocumentLoader loader(*this);
    if (!loader.Ready()) {
        return false;
    }
    loader.Begin();
    return loader.Feed(xml.c_str(), xml.Length(), true);
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
