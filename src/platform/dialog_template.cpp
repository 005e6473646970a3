// Finding dialog templates: those added at run time, the compiled tables registered by test
// programs, and the program's own table.
#include "platform/dialog_template.h"

#include <map>

#include "platform/dialog_internal.h"
#include "platform/module_state.h"

namespace win {

namespace {

struct TemplateState {
    std::map<int, DialogTemplate> runtime;
    std::map<int, DialogTemplate> compiled;  // converted on first use
};

TemplateState& Templates() { return ModuleState<TemplateState>(); }

// Compiled tables are program data: they outlive every reset.
std::vector<std::span<const DialogRecord>>& ExtraTables() {
    static std::vector<std::span<const DialogRecord>> tables;
    return tables;
}

const DialogRecord* FindRecord(int id) {
    for (const auto& table : ExtraTables())
        for (const DialogRecord& r : table)
            if (r.id == id) return &r;
    for (std::size_t i = 0; i < kDialogRecordCount; ++i)
        if (kDialogRecords[i].id == id) return &kDialogRecords[i];
    return nullptr;
}

}  // namespace

DialogTemplate TemplateFromRecord(const DialogRecord& record) {
    DialogTemplate t;
    t.id = record.id;
    t.style = record.style;
    t.exStyle = record.exStyle;
    t.x = record.x;
    t.y = record.y;
    t.cx = record.cx;
    t.cy = record.cy;
    t.caption = record.caption ? record.caption : "";
    t.className = record.className ? record.className : "";
    t.pointSize = record.pointSize;
    t.faceName = record.faceName ? record.faceName : "";
    for (int i = 0; i < record.itemCount; ++i) {
        const DialogItemRecord& r = record.items[i];
        DialogItemTemplate item;
        item.className = r.className ? r.className : "";
        item.text = r.text ? r.text : "";
        item.id = r.id;
        item.style = r.style;
        item.exStyle = r.exStyle;
        item.x = r.x;
        item.y = r.y;
        item.cx = r.cx;
        item.cy = r.cy;
        t.items.push_back(std::move(item));
    }
    return t;
}

const DialogTemplate* FindDialogTemplate(int id) {
    TemplateState& s = Templates();
    if (auto it = s.runtime.find(id); it != s.runtime.end()) return &it->second;
    if (auto it = s.compiled.find(id); it != s.compiled.end()) return &it->second;
    const DialogRecord* record = FindRecord(id);
    if (!record) return nullptr;
    return &s.compiled.emplace(id, TemplateFromRecord(*record)).first->second;
}

void RegisterDialogTemplate(DialogTemplate dialog) {
    int id = dialog.id;
    Templates().runtime[id] = std::move(dialog);
}

void RegisterDialogRecords(std::span<const DialogRecord> records) {
    ExtraTables().push_back(records);
    Templates().compiled.clear();
}

void ResetDialogTemplatesForTests() { ResetModuleState<TemplateState>(); }

}  // namespace win
