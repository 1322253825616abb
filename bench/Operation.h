#pragma once

#include "Subject.h"

#include <string>
#include <vector>

namespace Ostrel::Bench {

struct OperationInfo {
    Operation operation;
    const char* name;     // as typed on the command line
    const char* baseline; // the subject every other is compared with
    // Measured only by a program whose file syncs return at once (run_subject_unsynced); every
    // other operation only by one whose syncs reach the disk.
    bool unsynced;
};

// In the order they must run: a compressed load reads what the compressed save wrote.
const std::vector<OperationInfo>& Operations();
const OperationInfo* FindOperation(const std::string& name);
const OperationInfo& Describe(Operation operation);
// The subjects that support the operation, its baseline first, then by name.
std::vector<Subject*> SubjectsFor(Operation operation);

// Whether this program's file syncs return at once without reaching the disk.
bool FileSyncsSkipped();
// Whether this program measures the operation: its syncs are as the operation needs them.
bool Measurable(const OperationInfo& info);
// Whether the measured step writes the output file.
bool WritesFile(Operation operation);
// Whether the measured step builds a tree (which the next run of the step replaces).
bool BuildsTree(Operation operation);

// Builds what the operation starts from: the document a save writes. Not measured.
bool Prepare(Subject& subject, Operation operation, const std::string& input);
// The measured step. Loads and the edit cycle read `input`; file saves and the edit cycle
// write `output`.
bool Perform(Subject& subject, Operation operation, const std::string& input,
             const std::string& output);

} // namespace Ostrel::Bench
