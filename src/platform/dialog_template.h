#pragma once
// Dialog templates: the dialog's style, caption, font, size and position, and one entry per
// control (class, text, id, style, position). Positions and sizes are in dialog units (a quarter
// of the dialog font's average character width, an eighth of its height) unless the template
// says pixels. The program's templates are written in data/dialogs/*.dlg and compiled in at
// build time; FindDialogTemplate finds them by id.
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace win {

struct DialogItemTemplate {
    std::string className;  // "BUTTON", "EDIT", ... or a class the program registered
    std::string text;
    int id = -1;
    DWORD style = 0;  // WS_CHILD is always added
    DWORD exStyle = 0;
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
};

struct DialogTemplate {
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    std::string caption;
    std::string className;  // empty: the standard dialog class
    int pointSize = 0;      // 0: the system font
    std::string faceName;
    bool pixelUnits = false;  // positions and sizes in pixels (templates the layer builds in code)
    std::vector<DialogItemTemplate> items;
};

// Null when no template has the id. Templates registered at run time come first, then the
// compiled tables.
const DialogTemplate* FindDialogTemplate(int id);
// Adds a template at run time (replacing one with the same id).
void RegisterDialogTemplate(DialogTemplate dialog);

// The compiled form the generator writes (plain data, no constructors to run).
struct DialogItemRecord {
    const char* className;
    const char* text;
    int id;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
};

struct DialogRecord {
    int id;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    const char* caption;
    const char* className;
    int pointSize;
    const char* faceName;
    const DialogItemRecord* items;
    int itemCount;
};

// The program's table (generated from data/dialogs).
extern const DialogRecord kDialogRecords[];
extern const std::size_t kDialogRecordCount;

// Makes a further compiled table searchable (test programs add theirs this way); it must stay
// alive for the rest of the run.
void RegisterDialogRecords(std::span<const DialogRecord> records);

DialogTemplate TemplateFromRecord(const DialogRecord& record);

}  // namespace win
