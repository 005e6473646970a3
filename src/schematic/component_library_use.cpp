#include "schematic/component_library_use.h"

#include <new>
#include <unordered_map>

#include "ui/edit_mode.h"
#include "ui/program_settings.h"
#include "ui/tool_buttons.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "analog/run_windows.h"
#include "document/circuit_document.h"
#include "document/document_services.h"
#include "document/schematic_item.h"
#include "platform/controls.h"
#include "core/message_reporter.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/window.h"
#include "document/component_library.h"
#include "document/editor_services.h"

namespace kq5 {
namespace {

// Every list of items that may point at definitions.
template <class Visit>
void ForEachHeldItemList(Visit&& visit)
{
    for (const auto& record : WindowRecords().records) {
        if (!record || !record->document) continue;
        visit(record->document->itemList);
        visit(record->document->undoItemList);
    }
    visit(DocumentServices().clipboardItems);
}

}  // namespace

bool IsDefinitionInUse(const ComponentDefinition& definition)
{
    bool used = false;
    ForEachHeldItemList([&](const LinkedList& items) {
        for (const SchematicItem& item : ListRecords<SchematicItem>(items))
            if (item.itemKind == kItemComponent && item.definition == &definition) used = true;
    });
    return used;
}

int ReloadComponentLibrary()
{
    ComponentLibraryState& library = ComponentLibrary();
    ComponentLibraryState fresh;
    if (int status = ReadComponentLibrary(library.path, fresh, true)) return status;

    // Old record -> its successor, decided before any old record is freed.
    std::unordered_map<const ComponentDefinition*, ComponentDefinition*> successor;
    const auto inFresh = [&](const std::string& name) -> ComponentDefinition* {
        for (ComponentDefinition& d : ListRecords<ComponentDefinition>(fresh.definitions))
            if (d.name == name) return &d;
        return nullptr;
    };
    try {
        for (ComponentDefinition& old : ListRecords<ComponentDefinition>(library.definitions)) {
            ComponentDefinition* found = inFresh(old.name);
            if (!found) {
                found = ListAppendAs<ComponentDefinition>(library.placeholders, kKindComponentDefinition);
                if (!found) return kMsgInsufficientMemory;
                CopyDefinitionFields(*found, old);
            }
            successor[&old] = found;
        }
        // A stand-in whose name came back in the file gives way to the real definition.
        for (ComponentDefinition& stand : ListRecords<ComponentDefinition>(library.placeholders))
            if (ComponentDefinition* found = inFresh(stand.name)) successor[&stand] = found;
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    const auto rebind = [&](ComponentDefinition*& pointer) {
        if (!pointer) return;
        auto it = successor.find(pointer);
        if (it != successor.end()) pointer = it->second;
    };
    ForEachHeldItemList([&](const LinkedList& items) {
        for (SchematicItem& item : ListRecords<SchematicItem>(items))
            if (item.itemKind == kItemComponent) rebind(item.definition);
    });
    ComponentDefinition* chosen = ChosenComponentDefinition();
    rebind(chosen);
    SetChosenComponentDefinition(chosen);

    library.definitions = std::move(fresh.definitions);
    library.root = std::move(fresh.root);
    library.slotNames = std::move(fresh.slotNames);
    library.fileTime = fresh.fileTime;
    return 0;
}

void BuildComponentPalettes()
{
    ComponentLibraryState& library = ComponentLibrary();
    auto& bars = DockedBars();
    for (int slot = 1; slot < kToolSlotCount; ++slot) {
        DockedBar& bar = bars[static_cast<std::size_t>(slot)];
        bar.entries.clear();
        for (const ComponentDefinition& d : ListRecords<ComponentDefinition>(library.definitions))
            if ((d.placementFlags & kDefPaletteMask) == slot) bar.entries.push_back(d.name);
        const std::string& slotName = library.slotNames[static_cast<std::size_t>(slot)];
        // A name the user gave the bar in this session stays.
        if (bar.name.empty()) bar.name = slotName;
        if (!bar.window) continue;
        if (bar.entries.empty()) {
            win::HWND window = bar.window;
            win::HWND frame = win::GetParent(window);
            win::DestroyWindow(window);
            DockedBar emptied;
            emptied.pos = bar.pos;
            emptied.name = bar.name;
            bar = std::move(emptied);
            if (frame) {
                win::RECT client;
                win::GetClientRect(frame, &client);
                win::SendMessage(frame, win::WM_SIZE, 0,
                                 win::MAKELPARAM(static_cast<win::WORD>(client.right), static_cast<win::WORD>(client.bottom)));
            }
            continue;
        }
        if (bar.title) win::SetWindowText(bar.title, (std::to_string(slot) + ":" + bar.name).c_str());
        if (bar.listBox) {
            win::SendMessage(bar.listBox, win::LB_RESETCONTENT, 0, 0);
            for (const std::string& entry : bar.entries)
                win::SendMessage(bar.listBox, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(entry.c_str()));
        }
        win::InvalidateRect(bar.window, nullptr, true);
    }
}

int RecentComponentCommand(int id)
{
    const auto& recent = Settings().recentComponents;
    const int place = id - kFirstRecentComponent;
    if (place < 0 || place >= static_cast<int>(recent.size())) return 0;
    ComponentDefinition* definition = FindComponentDefinition(recent[static_cast<std::size_t>(place)]);
    if (!definition) return 0;
    SetChosenComponentDefinition(definition);
    WindowRecord* active = GetActiveChildRecord();
    if (active && active->kind == kWindowSchematic) SetEditMode(active, kCommandComponentMode);
    return 1;
}

}  // namespace kq5
