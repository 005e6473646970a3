#include "platform/clipboard.h"

#include <algorithm>
#include <cstring>

#include "platform/backend.h"
#include "platform/gdi_objects.h"
#include "platform/global_memory.h"
#include "platform/metafile.h"
#include "platform/module_state.h"
#include "platform/sdl_library.h"

namespace win {

namespace {

// Asking the desktop can take a round trip to another program; it is done at most this often.
constexpr DWORD kDesktopCheckMs = 250;


void FreeData(UINT format, ClipboardHandle h) {
    if (format == CF_BITMAP) {
        if (IsValidGdiObject(h.Bitmap())) DeleteObject(h.Bitmap());
        return;
    }
    if (format == CF_METAFILEPICT && GlobalSize(h.Global()) >= sizeof(METAFILEPICT)) {
        METAFILEPICT pict;
        std::memcpy(&pict, GlobalBytes(h.Global()).data(), sizeof pict);
        DeleteMetaFile(pict.hMF);
    }
    GlobalFree(h.Global());
}

void FreeAll(ClipboardState& s) {
    for (auto& [format, h] : s.data) FreeData(format, h);
    s.data.clear();
}

// Data the program freed behind the clipboard's back is dropped rather than handed out.
bool StillValid(UINT format, ClipboardHandle h) {
    return format == CF_BITMAP ? GdiCast<GdiObject>(h.Bitmap(), GdiKind::Bitmap) != nullptr : IsValidGlobal(h.Global());
}

// A text block always ends in a zero byte, so readers that stop at it never run off the end.
bool EnsureTerminated(HGLOBAL mem) {
    std::span<std::byte> b = GlobalBytes(mem);
    if (std::find(b.begin(), b.end(), std::byte{0}) != b.end()) return true;
    GlobalMemoryObject* block = mem;
    try {
        const std::size_t units = (b.size() + 1) / sizeof(std::max_align_t) + 1;
        auto grown = std::make_unique<std::max_align_t[]>(units);
        std::memset(grown.get(), 0, units * sizeof(std::max_align_t));
        std::memcpy(grown.get(), b.data(), b.size());
        block->storage = std::move(grown);
        block->size = b.size() + 1;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool DesktopBridged() { return CurrentBackendKind() == BackendKind::Sdl; }

// CR LF pairs become LF for the desktop; text goes to UTF-8.
std::string ToDesktop(std::string_view text) {
    std::string lf;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        lf.push_back(text[i]);
    }
    return Cp1252ToUtf8(lf);
}

// Line ends of every kind become CR LF, as the program's text expects.
std::string FromDesktop(std::string_view utf8) {
    std::string text = Utf8ToCp1252(utf8);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\r\n";
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

void SendToDesktop(ClipboardState& s) {
    auto it = s.data.find(CF_TEXT);
    std::string text = it != s.data.end() ? ToDesktop(GlobalText(it->second.Global())) : std::string();
    Sdl().SetClipboardText(text.c_str());
    s.desktopText = text;
    s.desktopChecked = false;
}

// Text copied in another program replaces what the clipboard holds here.
void TakeFromDesktop(ClipboardState& s) {
    if (!DesktopBridged() || s.open) return;
    const DWORD now = Sdl().GetTicks();
    if (s.desktopChecked && now - s.desktopCheckedAt < kDesktopCheckMs) return;
    s.desktopChecked = true;
    s.desktopCheckedAt = now;
    char* raw = Sdl().GetClipboardText();
    std::string text = raw ? raw : "";
    Sdl().free(raw);
    if (text == s.desktopText) return;
    s.desktopText = text;
    if (text.empty()) return;
    HGLOBAL mem = GlobalAllocText(FromDesktop(text));
    if (mem == nullptr) return;
    FreeAll(s);
    s.data[CF_TEXT] = mem;
    s.owner = nullptr;
}

}  // namespace

ClipboardState& Clipboard() { return ModuleState<ClipboardState>(); }

void ResetClipboardStateForTests() {
    if (auto& s = ModuleStateSlot<ClipboardState>()) FreeAll(*s);
    ResetModuleState<ClipboardState>();
}

BOOL OpenClipboard(HWND owner) {
    ClipboardState& s = Clipboard();
    if (s.open && s.openedBy != owner) return FALSE;
    TakeFromDesktop(s);
    s.open = true;
    s.openedBy = owner;
    return TRUE;
}

BOOL CloseClipboard() {
    ClipboardState& s = Clipboard();
    if (!s.open) return FALSE;
    s.open = false;
    s.openedBy = nullptr;
    if (s.changed && DesktopBridged()) SendToDesktop(s);
    s.changed = false;
    return TRUE;
}

BOOL EmptyClipboard() {
    ClipboardState& s = Clipboard();
    if (!s.open) return FALSE;
    FreeAll(s);
    s.owner = s.openedBy;
    s.changed = true;
    return TRUE;
}

ClipboardHandle SetClipboardData(UINT format, ClipboardHandle data) {
    ClipboardState& s = Clipboard();
    if (!s.open || !data) return nullptr;
    if (format == CF_BITMAP) {
        if (GdiCast<GdiObject>(data.Bitmap(), GdiKind::Bitmap) == nullptr) return nullptr;
    } else {
        if (!IsValidGlobal(data.Global())) return nullptr;
        if (format == CF_METAFILEPICT && GlobalSize(data.Global()) < sizeof(METAFILEPICT)) return nullptr;
        if ((format == CF_TEXT || format == CF_OEMTEXT) && !EnsureTerminated(data.Global())) return nullptr;
    }
    auto it = s.data.find(format);
    if (it != s.data.end() && (it->second.Global() != data.Global() || it->second.Bitmap() != data.Bitmap())) {
        FreeData(format, it->second);
    }
    s.data[format] = data;
    s.changed = true;
    return data;
}

ClipboardHandle GetClipboardData(UINT format) {
    ClipboardState& s = Clipboard();
    if (!s.open) return nullptr;
    auto it = s.data.find(format);
    if (it == s.data.end()) return nullptr;
    if (!StillValid(format, it->second)) {
        s.data.erase(it);
        return nullptr;
    }
    return it->second;
}

BOOL IsClipboardFormatAvailable(UINT format) {
    ClipboardState& s = Clipboard();
    TakeFromDesktop(s);
    auto it = s.data.find(format);
    return it != s.data.end() && StillValid(format, it->second) ? TRUE : FALSE;
}

HWND GetClipboardOwner() { return Clipboard().owner; }

HWND GetOpenClipboardWindow() {
    const ClipboardState& s = Clipboard();
    return s.open ? s.openedBy : nullptr;
}

}  // namespace win
