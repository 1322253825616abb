#include "Operation.h"

#include <algorithm>
#include <cstring>

namespace Ostrel::Bench {

const std::vector<OperationInfo>& Operations() {
    static const std::vector<OperationInfo> operations = {
        {Operation::Load, "load", "expat"},
        {Operation::Save, "save", "write"},
        {Operation::CompressedSave, "compressed-save", "zlib"},
        {Operation::CompressedLoad, "compressed-load", "zlib"},
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

bool Prepare(Subject& subject, Operation operation, const std::string& input) {
    switch (operation) {
    case Operation::Save:
    case Operation::CompressedSave:
        return subject.Load(input);
    case Operation::Load:
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
        return subject.Save(output);
    case Operation::CompressedSave:
        return subject.SaveCompressed(output);
    case Operation::CompressedLoad:
        return subject.LoadCompressed(input);
    }
    return false;
}

} // namespace Ostrel::Bench
