// Writes a benchmark document: generate_document [--seed N] (--size SIZE | --siblings COUNT) FILE
// SIZE is a byte count with an optional K, M or G suffix (powers of 1024).
#include "DocumentGenerator.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using Ostrel::Bench::DocumentGenerator;

struct Options {
    uint64_t seed = 1;
    uint64_t size = 0;
    uint64_t siblings = 0;
    const char* path = nullptr;
};

bool ParseCount(const char* text, uint64_t& value, bool allowSuffix) {
    errno = 0;
    char* end = nullptr;
    unsigned long long parsed = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *text == '-') {
        return false;
    }
    uint64_t scale = 1;
    if (allowSuffix && *end != '\0') {
        const char* suffixes = "KMG";
        const char* found = std::strchr(suffixes, std::toupper(static_cast<unsigned char>(*end)));
        if (found == nullptr || end[1] != '\0') {
            return false;
        }
        scale = uint64_t{1} << (10 * (found - suffixes + 1));
        ++end;
    }
    value = parsed * scale;
    return *end == '\0' && value / scale == parsed;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--seed") == 0 && hasValue) {
            if (!ParseCount(argv[++i], options.seed, false)) {
                return false;
            }
        } else if (std::strcmp(argv[i], "--size") == 0 && hasValue) {
            if (!ParseCount(argv[++i], options.size, true)) {
                return false;
            }
        } else if (std::strcmp(argv[i], "--siblings") == 0 && hasValue) {
            if (!ParseCount(argv[++i], options.siblings, false)) {
                return false;
            }
        } else if (options.path == nullptr && argv[i][0] != '-') {
            options.path = argv[i];
        } else {
            return false;
        }
    }
    return options.path != nullptr && ((options.size > 0) != (options.siblings > 0));
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: generate_document [--seed N] (--size SIZE | --siblings "
                             "COUNT) FILE\n       SIZE: bytes, or with a K, M or G suffix\n");
        return 2;
    }
    FILE* file = std::fopen(options.path, "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "generate_document: cannot create %s: %s\n", options.path,
                     std::strerror(errno));
        return 1;
    }
    DocumentGenerator generator(file, options.seed);
    bool written = options.siblings > 0 ? generator.WriteSiblings(options.siblings)
                                        : generator.WriteRecords(options.size);
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "generate_document: could not write %s\n", options.path);
        std::remove(options.path);
        return 1;
    }
    return 0;
}
