#pragma once

#include <string>
#include <vector>

namespace Ostrel::Bench {

enum class Operation {
    Load,
    Save,
    UnsyncedSave,
    MemorySave,
    EditCycle,
    CompressedSave,
    CompressedLoad
};

// One library measured by the benchmarks. A subject holds at most one document at a time;
// it is asked only for the operations it supports.
class Subject {
public:
    virtual const char* Name() const = 0;
    virtual bool Supports(Operation operation) const = 0;
    // File to tree. Subjects without a tree keep whatever their other operations work on.
    virtual bool Load(const std::string& path) = 0;
    // The held document as indented text in a file.
    virtual bool Save(const std::string& path) = 0;
    // The held document as indented text in memory, kept until Release.
    virtual bool SaveMemory() = 0;
    // The edit cycle's changes (EditPass.h) made to the held tree.
    virtual bool Edit() = 0;
    // The held document written to, and read back from, a compressed file.
    virtual bool SaveCompressed(const std::string& path) = 0;
    virtual bool LoadCompressed(const std::string& path) = 0;
    virtual void Release() = 0;

protected:
    ~Subject() = default;
};

// A subject that builds no compressed files answers false to both compressed operations, and
// supports every other one unless it says otherwise.
class PlainSubject : public Subject {
public:
    bool Supports(Operation operation) const override {
        return operation != Operation::CompressedSave && operation != Operation::CompressedLoad;
    }
    bool SaveCompressed(const std::string&) override { return false; }
    bool LoadCompressed(const std::string&) override { return false; }

protected:
    ~PlainSubject() = default;
};

// A file in subjects/ makes its subject known by defining one static registration.
class SubjectRegistration {
public:
    explicit SubjectRegistration(Subject& subject);
};

const std::vector<Subject*>& RegisteredSubjects();
Subject* FindSubject(const std::string& name);

} // namespace Ostrel::Bench
