#include "ModelTestSupport.h"

#include "model/HExternalXMLModel.h"

#include <gtest/gtest.h>

namespace Ostrel {

const char kDeclaration[] = "<?xml version='1.0' encoding='UTF-8' ?>\n";

std::string Saved(XMLModel& model) {
    Text out;
    EXPECT_TRUE(model.SaveString(out));
    return out.c_str();
}

std::string PendingError(XMLModel& model) {
    Text message;
    model.Errors().GetError(message);
    return message.c_str();
}

std::vector<std::string> DocumentOrder(const XMLNode& root) {
    std::vector<std::string> names;
    for (LONG i = 0; i < root.ChildCount(); ++i) {
        names.push_back(root.ChildAt(i)->Name().c_str());
        const std::vector<std::string> below = DocumentOrder(*root.ChildAt(i));
        names.insert(names.end(), below.begin(), below.end());
    }
    return names;
}

LateBound NewModel() {
    auto* model = new HExternalXMLModel();
    model->AddRef();
    return LateBound(model);
}

} // namespace Ostrel
