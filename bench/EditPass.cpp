#include "EditPass.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <pugixml.hpp>

namespace Ostrel::Bench {

RecordEdit::RecordEdit(long number) {
    std::snprintf(status, sizeof status, "edited-%ld", number);
    std::snprintf(text, sizeof text, "renamed %ld", number);
    std::snprintf(this->number, sizeof this->number, "%ld", number);
    std::snprintf(note, sizeof note, "added by edit %ld", number);
}

namespace {

bool Same(const char* a, const char* b) {
    return std::strcmp(a, b) == 0;
}

pugi::xml_node FirstGrandchildWithText(pugi::xml_node record) {
    for (pugi::xml_node child : record.children()) {
        for (pugi::xml_node grandchild : child.children()) {
            if (grandchild.type() == pugi::node_element && *grandchild.child_value() != '\0') {
                return grandchild;
            }
        }
    }
    return {};
}

bool NoteAdded(pugi::xml_node items, const RecordEdit& edit) {
    pugi::xml_node note = items.last_child();
    return Same(note.name(), kNoteName) &&
           Same(note.attribute(kNoteAttribute).value(), edit.number) &&
           Same(note.child_value(), edit.note);
}

} // namespace

bool CheckEdits(const std::string& input, const std::string& output, std::string& report) {
    pugi::xml_document before;
    pugi::xml_document after;
    if (!before.load_file(input.c_str()) || !after.load_file(output.c_str())) {
        report = "cannot read " + input + " or " + output;
        return false;
    }
    long records = 0;
    long notes = 0;
    for (pugi::xml_node record : before.document_element().children(kRecordName)) {
        ++records;
        auto items = record.children(kItemsName);
        notes += std::distance(items.begin(), items.end());
    }
    long editedRecords = 0;
    long addedNotes = 0;
    for (pugi::xml_node record : after.document_element().children(kRecordName)) {
        const RecordEdit edit(++editedRecords);
        bool edited = Same(record.attribute(kEditedAttribute).value(), edit.status) &&
                      Same(FirstGrandchildWithText(record).child_value(), edit.text);
        for (pugi::xml_node items : record.children(kItemsName)) {
            edited = edited && NoteAdded(items, edit);
            ++addedNotes;
        }
        if (!edited) {
            report = "record " + std::to_string(editedRecords) + " is not edited";
            return false;
        }
    }
    report = "records=" + std::to_string(editedRecords) + " notes=" + std::to_string(addedNotes);
    if (editedRecords != records || addedNotes != notes) {
        report +=
            ", expected records=" + std::to_string(records) + " notes=" + std::to_string(notes);
        return false;
    }
    return true;
}

} // namespace Ostrel::Bench
