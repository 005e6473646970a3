#pragma once
// Find, Repeat Last Find and Replace: in a text window (or a schematic's text area that has the
// focus) they search the text; in a schematic they search components, attribute texts, grid
// texts and node names. The searches are case-blind substring matches.
#include <cstdint>
#include <string>

#include "ui/dialog_services.h"

namespace kq5 {

struct WindowRecord;
struct ListNode;

constexpr int kFindSchematicTemplate = 17213;
constexpr int kFindTextTemplate = 17214;
constexpr int kReplaceTemplate = 17217;
constexpr int kFindCommand = 17213;
constexpr int kFindAgainCommand = 17215;
constexpr int kRepeatFindCommand = 17216;
constexpr int kReplaceCommand = 17217;

// Items of the dialogs.
constexpr int kFindWhatField = 10;
constexpr int kReplaceWithField = 205;
constexpr int kFindNextButton = 230;
constexpr int kReplaceButton = 231;
constexpr int kReplaceAllButton = 232;
constexpr int kReplaceCloseButton = 23;
constexpr int kSearchComponentType = 200;
constexpr int kSearchAttributeText = 201;
constexpr int kSearchGridText = 202;
constexpr int kSearchNodeName = 203;

constexpr std::size_t kSearchTextMax = 255;

// What a text search returns when there is no match (every offset, 2 included, is a match).
constexpr std::int32_t kSearchNotFound = -1;

struct FindReplaceState {
    // Text windows.
    std::string findWhat;
    std::string replaceWith;
    WindowRecord* searched = nullptr;
    // Schematics.
    int schematicKind = kSearchComponentType;
    std::string schematicText;
    ListNode* nextItem = nullptr;
    ListNode* itemPassStart = nullptr;
    ListNode* nextGridText = nullptr;
    ListNode* gridTextPassStart = nullptr;
    int nextNode = 0;
};
FindReplaceState& FindReplace();
void ResetFindReplaceForTests();

// The Find command (17213) and Repeat Last Find (17216, and 17215 without an open analysis):
// the text search when the window's text has the focus or the window is a text circuit, else the
// schematic search.
void FindCommand(WindowRecord* record, bool repeat);

// Schematic search; 2 when the dialog was cancelled, 0 otherwise.
int FindInSchematic(WindowRecord* record, bool repeat);

// Text search: with ask, dialog 17214 first (preset with the selection); then from the caret.
void FindTextInWindow(WindowRecord* record, bool ask);
// Dialog 17217.
void ReplaceInTextWindow(WindowRecord* record);
// Searches the "Find What:" text from the caret to the end, then once from the start (setting
// wrapped). A match is selected and shown; its offset is returned. With replace, a match that is
// exactly the current selection is first replaced, and the search goes on after the inserted
// text. kSearchNotFound when there is none (after 15049 when report is set).
std::int32_t SearchTextFromCaret(WindowRecord* record, bool& wrapped, bool report, bool replace);
// Replaces every occurrence in the whole text at once; the number replaced (15049 shown for 0).
int ReplaceAllInText(WindowRecord* record);

// ShowNoItemsFound ("%WNo items found.") is in ui/dialog_services.h.

// Opens the file, subcircuit or model source behind a netlist statement.
void OpenStatementSource(WindowRecord* record, const std::string& statement);
// The Info click on a schematic element: the file behind a file-driven source, else the library
// source of the part's model or subcircuit; a grid text with a dot statement as a statement.
void ShowComponentInfo(WindowRecord* record, ListNode* element);
// The Help click: the syntax topic of the part's component type, or of a grid text's dot command.
void ShowComponentSyntaxHelp(WindowRecord* record, ListNode* element);
// The editor's double click in Help and Info modes.
void ShowEditorContextHelp(WindowRecord* owner);
void ShowEditorStatementInfo(WindowRecord* owner, std::int32_t line);

}  // namespace kq5
