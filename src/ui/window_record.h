#pragma once
// Window records: every window the program manages (frame, MDI children, tool dialogs and
// temporary owners of message boxes) has one, kept in one program-wide list and attached to
// its window. The record tells what kind of window it is and holds its document.
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>

#include "core/font_description.h"
#include "platform/win_types.h"

namespace kq5 {

struct CircuitDocument;
struct PlotRecord;

// Frees a circuit document. The records know the document only by name; it is made, named and
// freed by these, which come with the document (document/circuit_document.cpp).
struct CircuitDocumentDeleter {
    CircuitDocumentDeleter() = default;
    // A document made with std::make_unique may be handed to a record.
    CircuitDocumentDeleter(std::default_delete<CircuitDocument>) noexcept {}
    void operator()(CircuitDocument* document) const noexcept;
};
using CircuitDocumentPtr = std::unique_ptr<CircuitDocument, CircuitDocumentDeleter>;
// A new empty document; throws std::bad_alloc when memory runs out.
CircuitDocumentPtr NewCircuitDocument();
void SetCircuitDocumentName(CircuitDocument& document, const std::string& name);

// Window kinds.
constexpr int kWindowSchematic = 1;
constexpr int kWindowTextCircuit = 2;
constexpr int kWindowModelLibrary = 3;
constexpr int kWindowAnalysis = 5;
constexpr int kWindowMonteCarlo = 6;
constexpr int kWindowShapeEditor = 7;
constexpr int kWindow3D = 8;
constexpr int kWindowPlainSchematic = 11;
constexpr int kWindowFrame = 14;
constexpr int kWindowPlainDialog = 17;
constexpr int kWindowPerformance = 19;

// Bits of the record's flag word.
constexpr std::uint32_t kRecordMacroWindow = 0x0001;
constexpr std::uint32_t kRecordSharesLists = 0x0002;
constexpr std::uint32_t kRecordDocument = 0x0040;
constexpr std::uint32_t kRecordCircuitWindow = 0x0080;    // schematic or text circuit window
constexpr std::uint32_t kRecordHoldsPlotObjects = 0x0400; // edits move the window's plot objects
constexpr std::uint32_t kRecordDefinitionsFile = 0x0200;

struct WindowRecord {
    WindowRecord();
    ~WindowRecord();
    WindowRecord(const WindowRecord&) = delete;
    WindowRecord& operator=(const WindowRecord&) = delete;

    win::HWND window = nullptr;  // none for a record made before its window
    int kind = 0;
    int mode = 0;                // current edit-mode command id, 0 when none
    std::int32_t modified = 0;   // set by edits, cleared by a save
    std::int32_t changed = 0;    // second change flag
    bool untitled = false;       // the window has no file name of its own yet
    std::uint32_t flags = 0;
    std::string title;           // the window's title (kept here until windows carry text)
    // Extra block of the circuit kinds (1, 2 and 11).
    CircuitDocumentPtr document;
    // The plot of the window, shared by a circuit window with its analysis window.
    std::shared_ptr<PlotRecord> plot;
    // The mark rectangle of the window; left is -1 when there is none.
    win::RECT markRect{-1, -1, -1, -1};
    int undoKind = 0;  // kind of the last undoable operation
    FontSpec font;                   // the window's font description
    win::HFONT fontHandle = nullptr;  // the font made from it, owned by the window
    // Text of the window's text editor control, with its caret position.
    std::string textArea;
    std::size_t textAreaCaret = 0;
};

// The program-wide list of records, in creation order, and the window attachments.
struct WindowRecordList {
    std::list<std::unique_ptr<WindowRecord>> records;
    std::unordered_map<win::HWND, WindowRecord*> attached;
    WindowRecord* frame = nullptr;  // the frame's record, default owner of message boxes
};

WindowRecordList& WindowRecords();
void ResetWindowRecordsForTests();

// Appends a new record; attaches it to the window when one is given. A circuit document is
// made for it when asked. Null (after reporting "Insufficient memory.") when memory runs out.
WindowRecord* NewWindowRecord(win::HWND window, int kind, bool withDocument = false);
// Unlinks and frees the record (with whatever document it still holds) and clears the pointer.
void FreeWindowRecord(WindowRecord*& record);

void SetWindowRecord(win::HWND window, WindowRecord* record);
WindowRecord* GetWindowRecord(win::HWND window);
int WindowKindOf(win::HWND window);
bool IsLiveWindowRecord(const WindowRecord* record);

// The frame's record, or null before the frame exists.
WindowRecord* FrameRecord();
void SetFrameRecord(WindowRecord* record);

// The window title, or the kept name; empty for a null record.
std::string GetRecordTitle(const WindowRecord* record);
// Sets the title, and for the circuit kinds the document's name too.
void SetRecordTitle(WindowRecord* record, const std::string& title);
// The record (with a window) whose title equals the path, compared case-blind; null when none.
WindowRecord* FindRecordByTitle(const std::string& path);

// The text of the record's text editor control; null for a null record.
const std::string* GetTextAreaBuffer(const WindowRecord* record);
// Line index (from 0) of a position in the text editor control; a negative position means the
// caret's. A position past the end counts as the last line.
int EditorLineOfPos(const WindowRecord* record, long position);

}  // namespace kq5
