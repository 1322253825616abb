#include "TreeJson.h"

#include <cstdio>

namespace Ostrel {

namespace {

void AppendElement(std::string& out, const XMLNode& node);

void AppendChildren(std::string& out, const XMLNode& node) {
    out += '[';
    for (LONG i = 0; i < node.ChildCount(); ++i) {
        out += i > 0 ? "," : "";
        AppendElement(out, *node.ChildAt(i));
    }
    out += ']';
}

void AppendElement(std::string& out, const XMLNode& node) {
    out += "{\"name\":" + JsonString(node.Name().c_str()) + ",\"attributes\":[";
    const TaggedAttributes& attributes = node.Attributes();
    for (LONG i = 0; i < attributes.Count(); ++i) {
        out += i > 0 ? ",[" : "[";
        out += JsonString(attributes.NameAt(i).c_str()) + "," +
               JsonString(attributes.ValueAt(i).c_str()) + "]";
    }
    out += "],\"text\":" + JsonString(node.GetText().c_str()) + ",\"comments\":[";
    for (LONG i = 0; i < node.CommentCount(); ++i) {
        out += (i > 0 ? "," : "") + JsonString(node.CommentAt(i).c_str());
    }
    out += "],\"children\":";
    AppendChildren(out, node);
    out += '}';
}

} // namespace

std::string JsonString(const char* text) {
    std::string out = "\"";
    for (const char* at = text; *at != 0; ++at) {
        const auto byte = static_cast<unsigned char>(*at);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += *at;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += *at;
        }
    }
    return out + "\"";
}

std::string TreeJson(const XMLModel& model) {
    std::string out;
    AppendChildren(out, model.Root());
    return out;
}

} // namespace Ostrel
