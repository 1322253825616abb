// Performs one operation of one subject on one file and exits, so that a whole process can be
// timed, its peak memory read and its instructions counted. Prints the measured step's time,
// the process's peak resident memory and the step's minor page faults as
// "seconds=... peak_kib=... minor_faults=...".
//
// Built twice from the same sources: run_subject, whose file syncs reach the disk as the
// component's always do, and run_subject_unsynced, whose syncs return at once
// (UnsyncedFileSyncs.cpp). Each measures only the operations meant for it.
#include "EditPass.h"
#include "Operation.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#define CALLGRIND_TOGGLE_COLLECT
#endif

namespace {

using namespace Ostrel::Bench;

int Usage() {
    std::fprintf(stderr, "usage: run_subject SUBJECT OPERATION INPUT [OUTPUT]\n"
                         "       run_subject --list\n"
                         "       run_subject --check-edits INPUT OUTPUT\n"
                         "OUTPUT is required by the file saves and the edit cycle.\n");
    return 2;
}

// One line per supported pair: operation, subject, then "baseline" for the baseline and
// "unsynced" for an operation that only run_subject_unsynced measures.
int List() {
    for (const OperationInfo& info : Operations()) {
        for (const Subject* subject : SubjectsFor(info.operation)) {
            bool baseline = std::strcmp(subject->Name(), info.baseline) == 0;
            std::printf("%s %s%s%s\n", info.name, subject->Name(), baseline ? " baseline" : "",
                        info.unsynced ? " unsynced" : "");
        }
    }
    return 0;
}

// OUTPUT is what an edit cycle on INPUT saved.
int CheckEditCycle(const std::string& input, const std::string& output) {
    std::string report;
    bool edited = CheckEdits(input, output, report);
    std::printf("%s\n", report.c_str());
    return edited ? 0 : 1;
}

// The peak resident memory of this program alone. getrusage's maximum also counts what the
// process held before it was replaced by this program, that is a large parent's pages.
long PeakKib() {
    std::ifstream status("/proc/self/status");
    std::string field;
    long kib = 0;
    while (status >> field) {
        if (field == "VmHWM:" && status >> kib) {
            return kib;
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Page faults served without reading the disk, so far: each is a first touch of a page, which
// costs about as much as the work a loader does on it.
long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Under callgrind (started with instrumentation and collection off) only the measured step
// is counted; elsewhere the macros do nothing.
bool MeasuredStep(Subject& subject, Operation operation, const std::string& input,
                  const std::string& output, double& seconds, long& faults) {
    CALLGRIND_START_INSTRUMENTATION;
    CALLGRIND_TOGGLE_COLLECT;
    const long faultsBefore = MinorFaults();
    auto start = std::chrono::steady_clock::now();
    bool done = Perform(subject, operation, input, output);
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    faults = MinorFaults() - faultsBefore;
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_STOP_INSTRUMENTATION;
    seconds = elapsed.count();
    return done;
}

int Run(const char* name, const char* operationName, const std::string& input,
        const std::string& output) {
    Subject* subject = FindSubject(name);
    const OperationInfo* info = FindOperation(operationName);
    if (subject == nullptr || info == nullptr || !subject->Supports(info->operation)) {
        std::fprintf(stderr, "run_subject: %s does not %s (see run_subject --list)\n", name,
                     operationName);
        return 2;
    }
    if (!Measurable(*info)) {
        std::fprintf(stderr, "run_subject: %s is measured by %s\n", operationName,
                     info->unsynced ? "run_subject_unsynced" : "run_subject");
        return 2;
    }
    if (WritesFile(info->operation) && output.empty()) {
        return Usage();
    }
    if (!Prepare(*subject, info->operation, input)) {
        std::fprintf(stderr, "run_subject: %s could not load %s\n", name, input.c_str());
        return 1;
    }
    double seconds = 0;
    long faults = 0;
    if (!MeasuredStep(*subject, info->operation, input, output, seconds, faults)) {
        std::fprintf(stderr, "run_subject: %s %s failed on %s\n", name, operationName,
                     input.c_str());
        return 1;
    }
    std::printf("seconds=%.6f peak_kib=%ld minor_faults=%ld\n", seconds, PeakKib(), faults);
    subject->Release();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
        return List();
    }
    if (argc == 4 && std::strcmp(argv[1], "--check-edits") == 0) {
        return CheckEditCycle(argv[2], argv[3]);
    }
    if (argc != 4 && argc != 5) {
        return Usage();
    }
    return Run(argv[1], argv[2], argv[3], argc == 5 ? argv[4] : "");
}
