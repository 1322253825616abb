// The edit pass of the edit cycle, written once for every subject: each library supplies its own
// calls on its own element handles, and this walk alone decides what changes, so that every
// subject does the same work.
//
// For every `record` element under the document element, numbered from 1 in document order:
// its `status` attribute becomes "edited-N", the text of its first grandchild element that has
// text becomes "renamed N", and every `items` child of it gets a new last child
// <note edit="N">added by edit N</note>.
#pragma once

#include <string>

namespace Ostrel::Bench {

constexpr const char* kRecordName = "record";
constexpr const char* kItemsName = "items";
constexpr const char* kEditedAttribute = "status";
constexpr const char* kNoteName = "note";
constexpr const char* kNoteAttribute = "edit";

// The new texts of one record.
struct RecordEdit {
    explicit RecordEdit(long number);

    char status[32];
    char text[32];
    char number[24];
    char note[48];
};

// `tree` supplies, on its element handles (which test false when absent):
//   DocumentElement()
//   EachChild(parent, visit): the element children in order, until visit answers false
//   IsNamed(element, name), HasText(element), SetText(element, text)
//   MarkEdited(record, status): kEditedAttribute set to `status`
//   AddNote(items, number, text): a new last child kNoteName, kNoteAttribute = number, text
// False at the first refused change, or when there is no record.
template <class Tree>
bool EditRecords(Tree& tree) {
    const auto root = tree.DocumentElement();
    if (!root) {
        return false;
    }
    long records = 0;
    bool done = true;
    tree.EachChild(root, [&](auto record) {
        if (!tree.IsNamed(record, kRecordName)) {
            return true;
        }
        const RecordEdit edit(++records);
        done = tree.MarkEdited(record, edit.status);
        bool renamed = false;
        tree.EachChild(record, [&](auto child) {
            tree.EachChild(child, [&](auto grandchild) {
                renamed = tree.HasText(grandchild);
                done = done && (!renamed || tree.SetText(grandchild, edit.text));
                return !renamed;
            });
            return !renamed;
        });
        tree.EachChild(record, [&](auto child) {
            done = done && (!tree.IsNamed(child, kItemsName) ||
                            tree.AddNote(child, edit.number, edit.note));
            return done;
        });
        return done;
    });
    return done && records > 0;
}

// Reads the saved file of an edit cycle back with pugixml and holds it to the input: as many
// records, every record edited as EditRecords edits it, one note per items element. On success
// `report` counts the records and notes; otherwise it says what is wrong.
bool CheckEdits(const std::string& input, const std::string& output, std::string& report);

} // namespace Ostrel::Bench
