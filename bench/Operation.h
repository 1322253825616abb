#pragma once

#include "Subject.h"

#include <string>
#include <vector>

namespace Ostrel::Bench {

struct OperationInfo {
    Operation operation;
    const char* name;     // as typed on the command line
    const char* baseline; // the subject every other is compared with
};

// In the order they must run: a compressed load reads what the compressed save wrote.
const std::vector<OperationInfo>& Operations();
const OperationInfo* FindOperation(const std::string& name);
const OperationInfo& Describe(Operation operation);
// The subjects that support the operation, its baseline first, then by name.
std::vector<Subject*> SubjectsFor(Operation operation);

// Builds what the operation starts from: the document a save writes. Not measured.
bool Prepare(Subject& subject, Operation operation, const std::string& input);
// The measured step. Loads read `input`; saves write `output`.
bool Perform(Subject& subject, Operation operation, const std::string& input,
             const std::string& output);

} // namespace Ostrel::Bench
