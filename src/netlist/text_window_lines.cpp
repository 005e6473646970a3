#include "netlist/text_window_lines.h"

#include <algorithm>
#include <string>

#include "core/file_units.h"
#include "document/circuit_document.h"
#include "platform/window.h"
#include "ui/window_record.h"

namespace kq5 {

int GetTextWindowLineCount(const WindowRecord* record)
{
    const std::string* text = GetTextAreaBuffer(record);
    if (text == nullptr) return 0;
    return 1 + static_cast<int>(std::count(text->begin(), text->end(), '\n'));
}

namespace {

// The line total of a text window: the count cached in its document, counted and cached when
// there is none.
int CachedTextWindowLineCount(WindowRecord* record)
{
    CircuitDocument* document = record->document.get();
    if (document != nullptr && document->textLineCount > 0) return document->textLineCount;
    int count = GetTextWindowLineCount(record);
    if (document != nullptr) document->textLineCount = count;
    return count;
}

}  // namespace

void InstallTextWindowFiles()
{
    TextWindowFileServices& windows = TextWindowFiles();
    windows.findWindow = [](const std::string& name) { return FindRecordByTitle(name); };
    windows.windowText = [](WindowRecord* record) { return GetTextAreaBuffer(record); };
    windows.lineTotal = CachedTextWindowLineCount;
    windows.lineOfPosition = [](WindowRecord* record, long position) { return EditorLineOfPos(record, position); };
    windows.focusWindow = [](WindowRecord* record) {
        if (record->window != nullptr) win::SetFocus(record->window);
    };
}

}  // namespace kq5
