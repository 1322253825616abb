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
      values(kValueBlockSize, kLongestArenaText) {}

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

Text XMLModel::InternName(const char* name, LONG length) {
    return names.Intern(name, length);
}

} // namespace Ostrel
