#include "ui/window_record.h"

#include <algorithm>
#include <new>

#include "ui/app_state.h"
#include "core/char_classes.h"
#include "core/message_reporter.h"
#include "platform/gdi_objects.h"
#include "platform/window.h"

namespace kq5 {

namespace {

WindowRecordList& RecordList() { return App().windowRecords; }

bool IsCircuitKind(int kind) {
    return kind == kWindowSchematic || kind == kWindowTextCircuit || kind == kWindowPlainSchematic;
}

}  // namespace

WindowRecord::WindowRecord() = default;
WindowRecord::~WindowRecord() = default;

WindowRecordList& WindowRecords() { return RecordList(); }

void ResetWindowRecordsForTests() {
    WindowRecordList& list = RecordList();
    list.attached.clear();
    list.records.clear();
    list.frame = nullptr;
}

WindowRecord* NewWindowRecord(win::HWND window, int kind, bool withDocument) {
    WindowRecord* record = nullptr;
    try {
        auto made = std::make_unique<WindowRecord>();
        made->window = window;
        made->kind = kind;
        if (withDocument) made->document = NewCircuitDocument();
        record = made.get();
        RecordList().records.push_back(std::move(made));
        if (window) SetWindowRecord(window, record);
    } catch (const std::bad_alloc&) {
        if (record) {
            RecordList().records.remove_if([record](const auto& r) { return r.get() == record; });
        }
        ReportMessage("E", 15002);
        return nullptr;
    }
    return record;
}

void FreeWindowRecord(WindowRecord*& record) {
    if (!record) return;
    WindowRecordList& list = RecordList();
    for (auto it = list.attached.begin(); it != list.attached.end();) {
        it = (it->second == record) ? list.attached.erase(it) : std::next(it);
    }
    if (list.frame == record) list.frame = nullptr;
    if (record->fontHandle) win::DeleteObject(record->fontHandle);
    WindowRecord* doomed = record;
    list.records.remove_if([doomed](const auto& r) { return r.get() == doomed; });
    record = nullptr;
}

void SetWindowRecord(win::HWND window, WindowRecord* record) {
    if (!window) return;
    if (record)
        RecordList().attached[window] = record;
    else
        RecordList().attached.erase(window);
}

WindowRecord* GetWindowRecord(win::HWND window) {
    if (!window) return nullptr;
    auto it = RecordList().attached.find(window);
    return it == RecordList().attached.end() ? nullptr : it->second;
}

int WindowKindOf(win::HWND window) {
    const WindowRecord* record = GetWindowRecord(window);
    return record ? record->kind : 0;
}

bool IsLiveWindowRecord(const WindowRecord* record) {
    if (!record) return false;
    const auto& records = RecordList().records;
    return std::any_of(records.begin(), records.end(), [record](const auto& r) { return r.get() == record; });
}

WindowRecord* FrameRecord() { return RecordList().frame; }

void SetFrameRecord(WindowRecord* record) { RecordList().frame = record; }

std::string GetRecordTitle(const WindowRecord* record) { return record ? record->title : std::string(); }

void SetRecordTitle(WindowRecord* record, const std::string& title) {
    if (!record) return;
    record->title = title;
    if (IsCircuitKind(record->kind) && record->document) SetCircuitDocumentName(*record->document, title);
    // A circuit window is captioned with its file: a save under a new name or a revert shows it.
    if (IsCircuitKind(record->kind) && record->window) win::SetWindowText(record->window, title.c_str());
}

WindowRecord* FindRecordByTitle(const std::string& path) {
    for (const auto& record : RecordList().records) {
        if (record->window && EqualsNoCase(GetRecordTitle(record.get()), path)) return record.get();
    }
    return nullptr;
}

const std::string* GetTextAreaBuffer(const WindowRecord* record) { return record ? &record->textArea : nullptr; }

int EditorLineOfPos(const WindowRecord* record, long position) {
    if (!record) return 0;
    const std::string& text = record->textArea;
    std::size_t end = position < 0 ? record->textAreaCaret : static_cast<std::size_t>(position);
    end = std::min(end, text.size());
    return static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
}

}  // namespace kq5
