#include "Subject.h"

namespace Ostrel::Bench {

namespace {

// Built on first use: registrations run during static initialisation in any order.
std::vector<Subject*>& Registry() {
    static std::vector<Subject*> subjects;
    return subjects;
}

} // namespace

SubjectRegistration::SubjectRegistration(Subject& subject) {
    Registry().push_back(&subject);
}

const std::vector<Subject*>& RegisteredSubjects() {
    return Registry();
}

Subject* FindSubject(const std::string& name) {
    for (Subject* subject : Registry()) {
        if (name == subject->Name()) {
            return subject;
        }
    }
    return nullptr;
}

} // namespace Ostrel::Bench
