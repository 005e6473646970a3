#pragma once
// Rename Components (part names renumbered in reading order, every text that named a part
// rewritten) and Rename Defines (defines that clash with node names get underscores in front).
#include <string>
#include <vector>

namespace kq5 {

struct SchematicItem;
struct WindowRecord;

// Components with a part name of their own: not NULL, Blank, Short, Ground, Jumper or Tie.
bool IsNameableComponent(const SchematicItem& item);

void RenameComponents(WindowRecord* record);
void RenameDefines(WindowRecord* record);
// 1 when the define that the text begins with got a new name.
int RenameDefine(WindowRecord* record, const std::string& text);

// One replacement pair.
struct RenamePair {
    std::string oldName;
    std::string newName;
};
// Replaces whole words equal (case-blind) to the old name; replaced spans are protected by the
// mask so that a later pair of the same pass does not replace inside them. True when changed.
bool ReplaceWord(std::string& text, std::vector<bool>& mask, const std::string& oldName, const std::string& newName);
// Applies the pairs to one text in one pass; true when it changed.
bool RenameInText(std::string& text, const std::vector<RenamePair>& pairs);

// Removes from every component each attribute whose display word is the removal mark 0x8000.
void RemoveFlaggedAttributes(WindowRecord* record);

}  // namespace kq5
