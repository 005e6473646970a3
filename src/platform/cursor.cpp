// Cursors and icons: the system set, images registered as resources, the current cursor.
#include "platform/cursor.h"

#include <algorithm>

#include "platform/backend.h"
#include "platform/resources.h"
#include "platform/user_state.h"

namespace win {

namespace {

CursorState& S() { return User().cursors; }

bool IsSystemCursorId(int id) {
    switch (id) {
    case IDC_ARROW: case IDC_IBEAM: case IDC_WAIT: case IDC_CROSS: case IDC_UPARROW: case IDC_SIZE:
    case IDC_ICON: case IDC_SIZENWSE: case IDC_SIZENESW: case IDC_SIZEWE: case IDC_SIZENS: case IDC_SIZEALL:
    case IDC_NO: case IDC_APPSTARTING: case IDC_HELP:
        return true;
    default:
        return false;
    }
}

CursorObject* Shared(std::map<int, std::unique_ptr<CursorObject>>& cache, int id, const CursorImage* image) {
    auto it = cache.find(id);
    if (it != cache.end()) return it->second.get();
    auto obj = std::make_unique<CursorObject>();
    if (image)
        obj->image = *image;
    else
        obj->systemId = id;
    CursorObject* raw = obj.get();
    cache.emplace(id, std::move(obj));
    return raw;
}

// A resource cursor or icon: one registered at run time, else the program's compiled picture.
CursorObject* FromResource(std::map<int, std::unique_ptr<CursorObject>>& cache, const std::map<int, CursorImage>& registered,
                           ImageKind kind, int id) {
    if (auto it = registered.find(id); it != registered.end()) return Shared(cache, id, &it->second);
    if (auto it = cache.find(id); it != cache.end()) return it->second.get();
    const CompiledImage* image = id > 0 ? FindImageResource(kind, static_cast<UINT>(id)) : nullptr;
    if (!image) return nullptr;
    CursorImage picture = CursorImageFromImage(*image);
    return Shared(cache, id, &picture);
}

void Notify() {
    auto& s = S();
    CurrentBackend().CursorChanged(s.showCount >= 0 ? s.current : nullptr);
}

}  // namespace

HCURSOR LoadCursor(HINSTANCE instance, int id) {
    auto& s = S();
    if (!instance) return IsSystemCursorId(id) ? Shared(s.system, id, nullptr) : nullptr;
    return FromResource(s.loadedResources, s.cursorResources, ImageKind::Cursor, id);
}

HICON LoadIcon(HINSTANCE instance, int id) {
    auto& s = S();
    if (!instance) return (id >= IDI_APPLICATION && id <= IDI_ASTERISK) ? Shared(s.loadedIcons, -id, nullptr) : nullptr;
    return FromResource(s.loadedIcons, s.iconResources, ImageKind::Icon, id);
}

HCURSOR SetCursor(HCURSOR cursor) {
    auto& s = S();
    HCURSOR prev = s.current;
    if (prev != cursor) {
        s.current = cursor;
        Notify();
    }
    return prev;
}

HCURSOR GetCursor() { return S().current; }

BOOL DestroyCursor(HCURSOR cursor) {
    auto& s = S();
    auto it = std::find_if(s.created.begin(), s.created.end(), [&](auto& c) { return c.get() == cursor; });
    if (it != s.created.end()) {
        if (s.current == cursor) SetCursor(nullptr);
        s.created.erase(it);
    }
    return cursor != nullptr;  // shared cursors stay for the life of the program
}

BOOL DestroyIcon(HICON icon) { return DestroyCursor(icon); }

int ShowCursor(BOOL show) {
    auto& s = S();
    s.showCount += show ? 1 : -1;
    Notify();
    return s.showCount;
}

void RegisterCursorResource(int id, const CursorImage& image) {
    auto& s = S();
    s.cursorResources[id] = image;
    if (auto it = s.loadedResources.find(id); it != s.loadedResources.end()) it->second->image = image;
}

void RegisterIconResource(int id, const CursorImage& image) {
    auto& s = S();
    s.iconResources[id] = image;
    if (auto it = s.loadedIcons.find(id); it != s.loadedIcons.end()) it->second->image = image;
}

}  // namespace win
