// Google Benchmark over one document: every subject's every operation (but the unsynced save,
// which needs run_subject_unsynced's file syncs), reported in bytes of
// the document per second of the thread's processor time, which other work on a shared
// machine disturbs less than the wall clock.
// Usage: subject_benchmarks --document=FILE [--scratch=DIR] [benchmark options]
#include "Operation.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>

namespace {

using namespace Ostrel::Bench;

struct Settings {
    std::string document;
    std::string scratch = std::filesystem::temp_directory_path().string();
    int64_t documentBytes = 0;
};

Settings settings;

// A compressed load reads the file that the subject's own compressed save wrote.
bool PrepareInput(Subject& subject, Operation operation, std::string& input) {
    input = settings.document;
    if (operation != Operation::CompressedLoad) {
        return true;
    }
    input = settings.scratch + "/" + subject.Name() + ".compressed";
    bool written = subject.Load(settings.document) && subject.SaveCompressed(input);
    subject.Release();
    return written;
}

void Measure(benchmark::State& state, Subject* subject, Operation operation) {
    std::string input;
    std::string output = settings.scratch + "/" + subject->Name() + ".out";
    if (!PrepareInput(*subject, operation, input) || !Prepare(*subject, operation, input)) {
        state.SkipWithError("could not prepare the document");
        return;
    }
    bool loads = BuildsTree(operation);
    for (auto _ : state) {
        if (!Perform(*subject, operation, input, output)) {
            state.SkipWithError("the operation failed");
            break;
        }
        if (loads) {
            state.PauseTiming();
            subject->Release();
            state.ResumeTiming();
        }
    }
    subject->Release();
    std::remove(output.c_str());
    if (input != settings.document) {
        std::remove(input.c_str());
    }
    state.SetBytesProcessed(state.iterations() * settings.documentBytes);
}

bool TakeOption(const char* argument, const char* prefix, std::string& value) {
    std::string text = argument;
    if (text.rfind(prefix, 0) != 0) {
        return false;
    }
    value = text.substr(std::string(prefix).size());
    return true;
}

// Removes this program's own options, leaving the library's.
void TakeOptions(int& argc, char** argv) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (!TakeOption(argv[i], "--document=", settings.document) &&
            !TakeOption(argv[i], "--scratch=", settings.scratch)) {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
}

void RegisterAll() {
    for (const OperationInfo& info : Operations()) {
        if (!Measurable(info)) {
            continue;
        }
        for (Subject* subject : SubjectsFor(info.operation)) {
            std::string name = std::string(info.name) + "/" + subject->Name();
            benchmark::RegisterBenchmark(name.c_str(), Measure, subject, info.operation)
                ->Unit(benchmark::kMillisecond);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    TakeOptions(argc, argv);
    std::error_code error;
    settings.documentBytes =
        static_cast<int64_t>(std::filesystem::file_size(settings.document, error));
    if (settings.document.empty() || error) {
        std::fprintf(stderr, "usage: subject_benchmarks --document=FILE [--scratch=DIR] "
                             "[benchmark options]\n");
        return 2;
    }
    benchmark::Initialize(&argc, argv);
    RegisterAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
