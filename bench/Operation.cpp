#include "Operation.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace Ostrel::Bench {

const std::vector<OperationInfo>& Operations() {
    static const std::vector<OperationInfo> operations = {
        {Operation::Load, "load", "expat", false},
        {Operation::Save, "save", "write", false},
        {Operation::UnsyncedSave, "save-unsynced", "write", true},
        {Operation::MemorySave, "save-memory", "copy", false},
        {Operation::EditCycle, "edit-cycle", "write", false},
        {Operation::CompressedSave, "compressed-save", "zlib", false},
        {Operation::CompressedLoad, "compressed-load", "zlib", false},
    };
    return operations;
}

const OperationInfo* FindOperation(const std::string& name) {
    for (const OperationInfo& info : Operations()) {
        if (name == info.name) {
            return &info;
        }
    }
    return nullptr;
}

const OperationInfo& Describe(Operation operation) {
    for (const OperationInfo& info : Operations()) {
        if (info.operation == operation) {
            return info;
        }
    }
    return Operations().front();
}

std::vector<Subject*> SubjectsFor(Operation operation) {
    const char* baseline = Describe(operation).baseline;
    std::vector<Subject*> subjects;
    for (Subject* subject : RegisteredSubjects()) {
        if (subject->Supports(operation)) {
            subjects.push_back(subject);
        }
    }
    auto order = [baseline](const Subject* a, const Subject* b) {
        bool aFirst = std::strcmp(a->Name(), baseline) == 0;
        bool bFirst = std::strcmp(b->Name(), baseline) == 0;
        if (aFirst != bFirst) {
            return aFirst;
        }
        return std::strcmp(a->Name(), b->Name()) < 0;
    };
    std::sort(subjects.begin(), subjects.end(), order);
    return subjects;
}

// The system's fsync refuses a descriptor that is not open; the one that
// run_subject_unsynced links in (UnsyncedFileSyncs.cpp) answers 0 to every call.
bool FileSyncsSkipped() {
    return fsync(-1) == 0;
}

bool Measurable(const OperationInfo& info) {
    return info.unsynced == FileSyncsSkipped();
}

bool WritesFile(Operation operation) {
    switch (operation) {
    case Operation::Save:
    case Operation::UnsyncedSave:
    case Operation::EditCycle:
    case Operation::CompressedSave:
        return true;
    case Operation::Load:
    case Operation::MemorySave:
    case Operation::CompressedLoad:
        break;
    }
    return false;
}

bool BuildsTree(Operation operation) {
    return operation == Operation::Load || operation == Operation::EditCycle ||
           operation == Operation::CompressedLoad;
}

bool Prepare(Subject& subject, Operation operation, const std::string& input) {
    switch (operation) {
    case Operation::Save:
    case Operation::UnsyncedSave:
    case Operation::MemorySave:
    case Operation::CompressedSave:
        return subject.Load(input);
    case Operation::Load:
    case Operation::EditCycle:
    case Operation::CompressedLoad:
        break;
    }
    return true;
}

bool Perform(Subject& subject, Operation operation, const std::string& input,
             const std::string& output) {
    switch (operation) {
    case Operation::Load:
        return subject.Load(input);
    case Operation::Save:
    case Operation::UnsyncedSave:
        return subject.Save(output);
    case Operation::MemorySave:
        return subject.SaveMemory();
    case Operation::EditCycle:
        return subject.Load(input) && subject.Edit() && subject.Save(output);
    case Operation::CompressedSave:
        return subject.SaveCompressed(output);
    case Operation::CompressedLoad:
        return subject.LoadCompressed(input);
    }
    return false;
}

} // namespace Ostrel::Bench
