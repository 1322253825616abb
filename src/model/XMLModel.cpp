#include "model/XMLModel.h"

namespace Ostrel {

namespace {

const char kDefaultHeader[] = "xml version='1.0' encoding='UTF-8' ";
constexpr int16_t kOpenElementStep = 10;
constexpr int16_t kHeaderAttributeStep = 3;

} // namespace

XMLModel::XMLModel()
    : root(Text("Root"), nullptr), openElements(kOpenElementStep, 1), headerText(kDefaultHeader),
      headerAttributes(kHeaderAttributeStep, kHeaderAttributeStep, kHeaderAttributeStep),
      values(kValueBlockSize, kLongestArenaText) {
    openElements.Append(&root);
}

XMLModel::~XMLModel() {
    root.ClearNode();
    names.Clear();
    values.Clear();
}

void XMLModel::Clear() {
    root.ClearNode();
    names.Clear();
    values.Clear();
    documentType = DocumentType();
}

void XMLModel::BeginLoad() {
    // Names of the previous document are gone with it; blocks still used elsewhere stay alive
    // through their own references.
    Clear();
    pendingText.Clear(true);
    // The root stays open (no end tag gets past the tokenizer without its start tag), so that
    // a load runs out of memory only inside the tokenizer's events, which fail with a message.
    openElements.Resize(1 - openElements.Count());
}

Text XMLModel::InternName(const char* name, LONG length) {
    return names.Intern(name, length);
}

} // namespace Ostrel
