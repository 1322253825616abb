// pravell-idlc: compiles one IDL file into the platform layer's type library file, the C++
// header and the identifier definitions. Errors name the file and line; nothing is written then.
#include "idlc/cppwriter.h"
#include "idlc/diagnostic.h"
#include "idlc/parser.h"
#include "idlc/tlbwriter.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

namespace {

using namespace Ostrel::Idlc;

struct Options {
    std::string input;
    std::string tlb;
    std::string header;
    std::string identifiers;
};

const char usage[] = "usage: pravell-idlc [--tlb FILE] [--header FILE] [--iids FILE] INPUT.idl\n";

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        std::string* target = argument == "--tlb"      ? &options.tlb
                              : argument == "--header" ? &options.header
                              : argument == "--iids"   ? &options.identifiers
                                                       : nullptr;
        if (target != nullptr && i + 1 < argc) {
            *target = argv[++i];
        } else if (target == nullptr && options.input.empty() && !argument.empty() &&
                   argument[0] != '-') {
            options.input = argument;
        } else {
            return false;
        }
    }
    return !options.input.empty();
}

bool ReadFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    return in.good() || in.eof();
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Writes every output or none: a partial set would look up to date to the build.
bool WriteOutputs(const std::vector<std::pair<std::string, std::string>>& outputs) {
    for (size_t i = 0; i < outputs.size(); ++i) {
        std::ofstream out(outputs[i].first, std::ios::binary | std::ios::trunc);
        out << outputs[i].second;
        out.close();
        if (!out) {
            std::cerr << "pravell-idlc: cannot write " << outputs[i].first << '\n';
            for (size_t j = 0; j <= i; ++j) {
                std::remove(outputs[j].first.c_str()); // NOLINT(cert-err33-c): best effort
            }
            return false;
        }
    }
    return true;
}

int Compile(const Options& options) {
    std::string source;
    if (!ReadFile(options.input, source)) {
        std::cerr << "pravell-idlc: cannot read " << options.input << '\n';
        return 1;
    }
    Lexer lexer(source, options.input);
    Model model = Parser(lexer).Parse();
    model.sourceName = BaseName(options.input);
    std::vector<std::pair<std::string, std::string>> outputs;
    if (!options.tlb.empty()) {
        if (!model.library.present) {
            throw CompileError(options.input, 1, "a type library needs a library block");
        }
        outputs.emplace_back(options.tlb, WriteTypeLibrary(model));
    }
    if (!options.header.empty()) {
        outputs.emplace_back(options.header, WriteHeader(model));
    }
    if (!options.identifiers.empty()) {
        std::string headerName = options.header.empty() ? "" : BaseName(options.header);
        outputs.emplace_back(options.identifiers, WriteIdentifiers(model, headerName));
    }
    return WriteOutputs(outputs) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::cerr << usage;
        return 2;
    }
    try {
        return Compile(options);
    } catch (const CompileError& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
}
