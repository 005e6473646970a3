#include "document/page_array.h"

#include <algorithm>
#include <vector>

#include "core/analysis_state.h"
#include "ui/dialog_services.h"
#include "ui/frame_state.h"
#include "ui/prompt_dialog.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "core/char_classes.h"
#include "core/format.h"
#include "core/memory.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/connectivity.h"
#include "document/editor_services.h"
#include "document/selection.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/window.h"
#include "document/page_tabs.h"
#include "document/pane_scroll_bars.h"
#include "document/pane_seams.h"

namespace kq5 {

namespace {

bool IsSchematicRecord(const WindowRecord* record)
{
    return record != nullptr && record->document != nullptr &&
           (record->kind == kWindowSchematic || record->kind == kWindowPlainSchematic);
}

bool AnalysisActive() { return Analysis().analysisKind != kAnalysisNone; }

bool PageHasElements(const CircuitDocument& document, int page)
{
    for (const SchematicItem* item = ListHead<SchematicItem>(document.itemList); item; item = ListNext(item))
        if (item->page == page) return true;
    for (const GridText* text = ListHead<GridText>(document.gridTextList); text; text = ListNext(text))
        if (text->page == page) return true;
    return false;
}

template <class T>
void RemoveOnPage(LinkedList& list, int page)
{
    for (ListNode* node = list.head; node;) {
        if (static_cast<T*>(node)->page == page) node = ListRemove(list, node);
        else node = node->next;
    }
}

// Moves every item and grid text on page `from` or later by delta pages.
void ShiftPages(CircuitDocument& document, int from, int delta)
{
    for (SchematicItem* item = ListHead<SchematicItem>(document.itemList); item; item = ListNext(item))
        if (item->page >= from) item->page = static_cast<std::int16_t>(item->page + delta);
    for (GridText* text = ListHead<GridText>(document.gridTextList); text; text = ListNext(text))
        if (text->page >= from) text->page = static_cast<std::int16_t>(text->page + delta);
}

// Deleting pages is undone with the lists of the drawing, so the undoable edit also keeps the
// pages and what the panes showed: Undo exchanges them with the present ones as it exchanges the
// lists. False when the edit cannot be opened (nothing is deleted then).
bool KeepPagesForUndo(WindowRecord* record)
{
    const auto& begin = EditorHooks().beginBoxEdit;
    if (!begin) {
        SetUndoKind(record, 0);
        return true;
    }
    if (begin(record) != 0) return false;
    const CircuitDocument& document = *record->document;
    EditStateOf(record).swapOtherTexts = [record, pages = document.pages, panePage = document.panePage,
                                          firstTab = document.paneFirstTab]() mutable {
        if (!IsSchematicRecord(record)) return;
        CircuitDocument& shown = *record->document;
        std::swap(shown.pages, pages);
        std::swap(shown.panePage, panePage);
        std::swap(shown.paneFirstTab, firstTab);
        UpdatePaneScrollBars(record);
        for (int pane = 0; pane < kPaneCount; ++pane) RepaintTabBar(record, pane);
    };
    return true;
}

}  // namespace

int ResizePageArray(WindowRecord* record, int n)
{
    if (record == nullptr || !record->document) return 0;
    if (n < 0 || n > kMaxPageCount) return kMsgInsufficientMemory;
    if (!ReallocKeepOnFailure(record->document->pages, static_cast<std::size_t>(n))) return kMsgInsufficientMemory;
    return 0;
}

void FreePageArray(WindowRecord* record)
{
    if (record == nullptr || !record->document) return;
    FreeAndNull(record->document->pages);
}

int PageCount(const WindowRecord* record)
{
    return record && record->document ? static_cast<int>(record->document->pages.size()) : 0;
}

std::string GetTabLabel(const WindowRecord* record, int tab)
{
    if (tab == 0) return kTextTabLabel;
    if (tab < 1 || tab > PageCount(record)) return std::string();
    return record->document->pages[static_cast<std::size_t>(tab - 1)].name;
}

int FindPageByName(const WindowRecord* record, std::string_view name)
{
    if (EqualsNoCase(name, kTextTabLabel)) return 1;
    if (record == nullptr || !record->document) return 0;
    for (const PageRecord& page : record->document->pages)
        if (EqualsNoCase(page.name, name)) return 1;
    return 0;
}

std::string UnusedPageName(const WindowRecord* record, int number)
{
    std::string name = StrPrintf("Page %d", number);
    while (FindPageByName(record, name)) name = StrPrintf("Page %d", ++number);
    return name;
}

int AddPage(WindowRecord* record, int index)
{
    if (!IsSchematicRecord(record) || record->kind != kWindowSchematic || AnalysisActive()) {
        RefreshToolButtonStates();
        return 0;
    }
    CircuitDocument& document = *record->document;
    const int count = PageCount(record);
    index = std::clamp(index, 0, count);
    if (count + 1 > kMaxPageCount) {
        ReportMessage("WE", record, kMsgInsufficientMemory);
        return kMsgInsufficientMemory;
    }
    try {
        document.pages.insert(document.pages.begin() + index, PageRecord{});
    } catch (const std::bad_alloc&) {
        ReportMessage("WE", record, kMsgInsufficientMemory);
        return kMsgInsufficientMemory;
    }
    if (index < count) ShiftPages(document, index, 1);
    // What the last edit kept for Undo lies on the pages as they were.
    SetUndoKind(record, 0);
    // Panes showing moved pages keep showing the same pages.
    for (std::int32_t& shown : document.panePage)
        if (shown >= index && index < count) ++shown;
    document.pages[static_cast<std::size_t>(index)].name =
        UnusedPageName(record, static_cast<int>(document.pages.size()));

    const int pane = FindVisiblePane(record);
    if (pane >= 0) {
        document.currentPane = pane;
        const bool heldText = TextPaneOf(record) == pane;
        if (heldText) document.textAreaPane |= kTextAreaHidden;
        document.panePage[static_cast<std::size_t>(pane)] = index;
        if (heldText) LayoutPaneControls(record, true);
        UpdatePaneScrollRange(record, pane);
        ScrollTabsToPage(record, index + 1);
    }
    record->modified = 1;
    if (record->window) win::InvalidateRect(record->window, nullptr, 1);
    RefreshToolButtonStates();
    return 0;
}

int DeletePage(WindowRecord* record, int page)
{
    if (!IsSchematicRecord(record)) return 0;
    CircuitDocument& document = *record->document;
    const int count = PageCount(record);
    // A schematic always keeps one page to draw on.
    if (page < 0 || page >= count || count <= 1) return 0;
    if (PageHasElements(document, page)) {
        const int answer = ReportMessage("WES", record, kMsgPageNotEmpty, win::MB_YESNOCANCEL | win::MB_ICONEXCLAMATION,
                                         document.pages[static_cast<std::size_t>(page)].name.c_str());
        if (answer != win::IDYES) return 0;
        RemoveOnPage<SchematicItem>(document.itemList, page);
        RemoveOnPage<GridText>(document.gridTextList, page);
        document.drawRange = DrawRange{};
    }
    ShiftPages(document, page + 1, -1);
    document.pages.erase(document.pages.begin() + page);
    for (std::int32_t& shown : document.panePage)
        if (shown > page) --shown;
    return 1;
}

void AfterPageDelete(WindowRecord* record)
{
    if (!IsSchematicRecord(record)) return;
    CircuitDocument& document = *record->document;
    MarkModified(record);
    RebuildNetlistIfNeeded(record, false);
    const int last = std::max(PageCount(record) - 1, 0);
    for (std::int32_t& shown : document.panePage)
        if (shown > last) shown = last;
    UpdatePaneScrollBars(record);
    for (int pane = 0; pane < kPaneCount; ++pane) RepaintTabBar(record, pane);
    if (record->window) win::InvalidateRect(record->window, nullptr, 1);
}

void DeletePageCommand(WindowRecord* record)
{
    if (!IsSchematicRecord(record) || AnalysisActive()) return;
    CircuitDocument& document = *record->document;
    ListSelectDesc desc;
    desc.caption = "Delete Page";
    desc.helpId = kCommandDeletePage;
    desc.several = true;
    for (const PageRecord& page : document.pages) desc.items.push_back(page.name);
    desc.selection = {PanePage(document)};
    SetAllItemsSelected(record, kSchematicMask, 0);
    if (RunListSelectDialog(desc) == win::IDOK) DeletePages(record, desc.selection);
    RefreshToolButtonStates();
}

void DeletePages(WindowRecord* record, std::vector<int> pages)
{
    if (!IsSchematicRecord(record) || pages.empty() || !KeepPagesForUndo(record)) return;
    std::sort(pages.rbegin(), pages.rend());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    bool deleted = false;
    for (int page : pages) deleted = DeletePage(record, page) != 0 || deleted;
    if (deleted) AfterPageDelete(record);
}

int RenamePageTo(WindowRecord* record, int page, const std::string& text)
{
    if (!IsSchematicRecord(record) || page < 0 || page >= PageCount(record)) return 0;
    PageRecord& target = record->document->pages[static_cast<std::size_t>(page)];
    // What is kept of a long name must not name another page either.
    const std::string name = text.substr(0, kMaxPageNameLength);
    if (name.empty() || name == target.name) return 0;
    if (!EqualsNoCase(name, target.name) && FindPageByName(record, name)) {
        ReportMessage("WE", record, kMsgDuplicatePageName);
        return kMsgDuplicatePageName;
    }
    target.name = name;
    SetRedrawFlags(record);
    for (int pane = 0; pane < kPaneCount; ++pane)
        if (IsPaneVisible(record, pane)) RepaintTabBar(record, pane);
    return 0;
}

void RenamePage(WindowRecord* record, int tab)
{
    if (!IsSchematicRecord(record) || AnalysisActive()) return;
    const int page = tab - 1;
    if (page < 0 || page >= PageCount(record)) return;
    PromptDialogDesc desc;
    ClearPromptDesc(desc);
    desc.templateId = kNamePromptTemplate;
    desc.caption = "Rename Page";
    desc.owner = record;
    desc.text = record->document->pages[static_cast<std::size_t>(page)].name;
    desc.maxLength = kRenamePageInputLength;
    desc.helpId = kCommandRenamePage;
    desc.flags = kPromptUseCaption | kPromptFocusFirst;
    if (RunPromptDialog(desc) != 1) return;
    RenamePageTo(record, page, desc.text);
}

void ShowPageInPane(WindowRecord* record, int pane, int page)
{
    if (!IsSchematicRecord(record) || pane < 0 || pane >= kPaneCount) return;
    CircuitDocument& document = *record->document;
    if (page == -1) {
        const int previous = TextPaneOf(record);
        SetTextAreaPane(record, pane, true);
        if (previous >= 0 && previous != pane) RepaintTabBar(record, previous);
        RepaintTabBar(record, pane);
        return;
    }
    bool changed = false;
    if (TextPaneOf(record) == pane) {
        document.textAreaPane |= kTextAreaHidden;
        LayoutPaneControls(record, true);
        changed = true;
    }
    if (document.panePage[static_cast<std::size_t>(pane)] == page && !changed) return;
    if (page >= 0 && page < PageCount(record)) document.panePage[static_cast<std::size_t>(pane)] = page;
    UpdatePaneScrollRange(record, pane);
    RepaintTabBar(record, pane);
    if (record->window) {
        win::RECT rect{};
        GetPaneRect(record, pane, rect);
        rect.right += PaneScrollBarWidth();  // with its vertical scroll bar
        win::InvalidateRect(record->window, &rect, 1);
    }
}

void ShowPageAtPoint(WindowRecord* record, int page, int x, int y)
{
    if (!IsSchematicRecord(record)) return;
    CircuitDocument& document = *record->document;
    const int textPane = TextPaneOf(record);
    bool shown = false;
    for (int pane = 0; pane < kPaneCount; ++pane) {
        if (pane == textPane || !IsPaneVisible(record, pane)) continue;
        if (document.panePage[static_cast<std::size_t>(pane)] != page) continue;
        shown = true;
        ScrollPaneTo(record, pane, x, y, false);
    }
    if (shown) return;
    int pane = textPane >= 0 && IsPaneVisible(record, textPane) ? textPane : FindVisiblePane(record);
    if (pane < 0) pane = std::clamp(document.currentPane, 0, kPaneCount - 1);
    if (TextPaneOf(record) == pane) {
        document.textAreaPane |= kTextAreaHidden;
        LayoutPaneControls(record, true);
    }
    if (page >= 0 && page < PageCount(record)) document.panePage[static_cast<std::size_t>(pane)] = page;
    document.currentPane = pane;
    UpdatePaneScrollRange(record, pane);
    ScrollPaneTo(record, pane, x, y, true);
    RepaintTabBar(record, pane);
}

}  // namespace kq5
