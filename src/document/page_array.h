#pragma once
// The pages of a schematic: the page array of the document, adding, deleting and renaming pages,
// and showing a page in a pane. Items and grid texts carry their page number, which page
// insertion and deletion keep consistent.
#include <string>
#include <string_view>
#include <vector>

namespace kq5 {

struct WindowRecord;

// Pages are numbered by 16-bit words in items and grid texts.
constexpr int kMaxPageCount = 32767;
constexpr std::size_t kMaxPageNameLength = 40;
constexpr int kRenamePageInputLength = 128;
constexpr int kCommandAddPage = 12200;
constexpr int kCommandDeletePage = 12201;
constexpr int kCommandRenamePage = 12202;
constexpr int kMsgPageNotEmpty = 13555;
constexpr int kMsgDuplicatePageName = 13515;
inline constexpr const char* kTextTabLabel = "Text";

// Sizes the document's page array to n pages; new pages are empty with empty names. 0, or 15002
// when memory runs out or n is more than a document can number (the array is then as it was).
int ResizePageArray(WindowRecord* record, int n);

// Frees every page with its name; the page count becomes 0.
void FreePageArray(WindowRecord* record);

int PageCount(const WindowRecord* record);
// "Text" for tab 0, else the name of page tab - 1 (empty when there is none).
std::string GetTabLabel(const WindowRecord* record, int tab);
// 1 when the name is "Text" or the name of a page, compared without regard to case.
int FindPageByName(const WindowRecord* record, std::string_view name);

// Inserts a page at the index (schematics only, no analysis open) and shows it in the first
// visible pane; items of later pages move up one page, and the last edit can no longer be
// undone. 0, or 15002 with nothing changed.
// "Page <number>", or with the next free number when another page already has that name.
std::string UnusedPageName(const WindowRecord* record, int number);
int AddPage(WindowRecord* record, int index);
// Deletes a page, asking first when anything lies on it; the last page of a circuit is never
// deleted. 1 when deleted.
int DeletePage(WindowRecord* record, int page);
// After deletions: modified, connectivity, panes pointing past the end brought back.
void AfterPageDelete(WindowRecord* record);
// Deletes the pages (indexes in any order) as one edit that Undo takes back, pages and all.
void DeletePages(WindowRecord* record, std::vector<int> pages);
// The "Delete Page" command: a list of the pages to choose from.
void DeletePageCommand(WindowRecord* record);
// Asks for a new name of the page of a tab; RenamePageTo does the renaming: 0, or 13515 after
// reporting a name taken by another page (or "Text").
void RenamePage(WindowRecord* record, int tab);
int RenamePageTo(WindowRecord* record, int page, const std::string& text);

// Shows a page (-1: the text area) in a pane.
void ShowPageInPane(WindowRecord* record, int pane, int page);
// Brings the grid point of a page into the middle of a pane that shows the page, else of the text
// pane or the first visible pane.
void ShowPageAtPoint(WindowRecord* record, int page, int x, int y);

}  // namespace kq5
