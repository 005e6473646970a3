#pragma once
// Copies of schematic nodes as the editor makes them, and unique names of pasted node labels.
#include <map>
#include <string>

namespace kq5 {

struct GridText;
struct SchematicItem;
struct WindowRecord;

// Copies position, kind, definition, style, colours, selection, orientation, page and the
// attributes of the source. 0 or 15002.
int CopyComponentItem(SchematicItem& destination, const SchematicItem& source);
// Copies a grid text's fields and its text. 0 or 15002.
int CopyItemFields(GridText& destination, const GridText& source);

// 1 when another grid text of the document that is a flag or a label has the same name
// (case-blind).
int IsNameInDocList(WindowRecord* record, const GridText& text);
// Counts the text's trailing digits up ("%s%d") until no other flag or label uses the name.
void MakeNameUnique(WindowRecord* record, GridText& text);

// The names one copy or paste gives its flags and labels: copies of texts that named one node
// get one name, so the copied wiring stays one node (two pasted VCC labels both become VCC1).
class CopiedNodeNames {
public:
    void Rename(WindowRecord* record, GridText& copy);

private:
    std::map<std::string, std::string> given_;  // upper-cased name copied -> name given
};

}  // namespace kq5
