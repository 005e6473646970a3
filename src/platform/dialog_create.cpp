// Making dialogs from templates, running modal dialogs, EndDialog, and dialog units.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/control_internal.h"
#include "platform/dialog_internal.h"
#include "platform/font.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/system.h"

namespace win {

namespace {

constexpr int kScreenDpi = 96;

struct Units {
    int x = 4;
    int y = 8;
    int X(int v) const { return MulDiv(v, x, 4); }
    int Y(int v) const { return MulDiv(v, y, 8); }
};

int TemplateIdOf(const char* name) {
    auto raw = reinterpret_cast<UINT_PTR>(name);
    if (IS_INTRESOURCE(raw)) return static_cast<int>(raw);
    if (name[0] == '#') return std::atoi(name + 1);
    return std::atoi(name);
}

HFONT MakeTemplateFont(const DialogTemplate& t) {
    if (t.pointSize <= 0) return nullptr;
    LOGFONT lf;
    lf.lfHeight = -MulDiv(t.pointSize, kScreenDpi, 72);
    lf.lfWeight = FW_NORMAL;
    lf.lfFaceName = t.faceName.empty() ? "MS Sans Serif" : t.faceName;
    return CreateFontIndirect(&lf);
}

// Where the dialog's window goes: the template's place relative to the owner's client area (or
// the screen with DS_ABSALIGN), centred with DS_CENTER, and always whole on the work area.
RECT PlaceDialog(const DialogTemplate& t, const Units& u, DWORD style, DWORD exStyle, HWND owner) {
    RECT r{0, 0, u.X(t.cx), u.Y(t.cy)};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    int w = r.right - r.left, h = r.bottom - r.top;
    int x = u.X(t.x), y = u.Y(t.y);
    if (style & WS_CHILD) return RECT{x, y, x + w, y + h};
    RECT work = GetWorkArea();
    if (style & DS_CENTER) {
        RECT around = work;
        if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &around);
        x = around.left + ((around.right - around.left) - w) / 2;
        y = around.top + ((around.bottom - around.top) - h) / 2;
    } else if (owner && !(style & DS_ABSALIGN)) {
        POINT origin{0, 0};
        ClientToScreen(owner, &origin);
        x += origin.x;
        y += origin.y;
    }
    x = std::clamp<int>(x, work.left, std::max<int>(work.left, work.right - w));
    y = std::clamp<int>(y, work.top, std::max<int>(work.top, work.bottom - h));
    return RECT{x, y, x + w, y + h};
}

bool CreateControls(HWND hwnd, HINSTANCE instance, const DialogTemplate& t, const Units& u, HFONT font) {
    for (const DialogItemTemplate& item : t.items) {
        DWORD style = item.style | WS_CHILD;
        HWND c = CreateWindowEx(item.exStyle | WS_EX_NOPARENTNOTIFY, item.className.c_str(), item.text.c_str(), style,
                                u.X(item.x), u.Y(item.y), u.X(item.cx), u.Y(item.cy), hwnd, ChildIdMenu(item.id),
                                instance, nullptr);
        if (!LiveWindow(hwnd)) return false;
        if (!c) {
            std::fprintf(stderr, "kq5: dialog %d: control %d of class \"%s\" could not be made\n", t.id, item.id,
                         item.className.c_str());
            if (t.style & DS_NOFAILCREATE) continue;
            return false;
        }
        if (font) SendMessage(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        auto* d = DialogDataOf(hwnd);
        if (!d) return false;
        if (!d->defId && (DialogCodeOf(c) & DLGC_DEFPUSHBUTTON)) d->defId = item.id;
    }
    return true;
}

}  // namespace

void BaseUnitsOf(HFONT font, int* baseX, int* baseY) {
    static const char kSample[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    int width = TextWidthOf(font, kSample);
    *baseX = std::max(1, (width / 26 + 1) / 2);
    *baseY = std::max(1, LineHeightOf(font));
}

HWND CreateDialogFromTemplate(HINSTANCE instance, const DialogTemplate& t, HWND owner, DLGPROC proc, LPARAM param,
                              bool modal) {
    HFONT font = MakeTemplateFont(t);
    Units u;
    if (!t.pixelUnits) BaseUnitsOf(font, &u.x, &u.y);
    DWORD style = t.style & ~WS_VISIBLE;
    DWORD exStyle = t.exStyle;
    if (style & DS_CONTROL) {
        style = (style & ~(WS_POPUP | WS_CAPTION | WS_SYSMENU)) | WS_CHILD;
        exStyle |= WS_EX_CONTROLPARENT;
    }
    if (style & DS_MODALFRAME) exStyle |= WS_EX_DLGMODALFRAME;
    RECT r = PlaceDialog(t, u, style, exStyle, owner);
    const char* cls = t.className.empty() ? kDialogClass : t.className.c_str();
    HWND hwnd = CreateWindowEx(exStyle, cls, t.caption.c_str(), style, r.left, r.top, r.right - r.left,
                               r.bottom - r.top, owner, nullptr, instance, reinterpret_cast<void*>(param));
    auto* w = LiveWindow(hwnd);
    if (!w) {
        if (font) DeleteObject(font);
        return nullptr;
    }
    if (!w->extension) w->extension = std::make_unique<DialogData>();
    auto* d = DialogDataOf(hwnd);
    if (!d) {
        DestroyWindow(hwnd);
        if (font) DeleteObject(font);
        return nullptr;
    }
    d->proc = proc;
    d->ownedFont = font;
    d->baseX = u.x;
    d->baseY = u.y;
    d->modal = modal;
    if (font) SendMessage(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (!LiveWindow(hwnd) || !CreateControls(hwnd, instance, t, u, font)) {
        if (LiveWindow(hwnd)) DestroyWindow(hwnd);
        return nullptr;
    }
    UpdateDefaultButton(hwnd, nullptr);
    HWND first = GetNextDlgTabItem(hwnd, nullptr, FALSE);
    LRESULT setFocus = SendMessage(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
    d = DialogDataOf(hwnd);
    if (!d) return nullptr;
    if (setFocus && first && LiveWindow(first)) {
        // A hidden dialog gives the control its focus when it is shown and activated.
        if (IsWindowVisible(hwnd)) {
            SetDialogFocus(hwnd, first, true);
        } else {
            d->savedFocus = first;
            d->selectSavedFocus = true;
        }
    }
    if ((t.style & WS_VISIBLE) && !modal && !d->ended) ShowWindow(hwnd, SW_SHOWNORMAL);
    return LiveWindow(hwnd) ? hwnd : nullptr;
}

bool RunDialogLoop(HWND dialog, const std::function<void()>& onStarved) {
    MSG m;
    for (;;) {
        DialogData* d = DialogDataOf(dialog);
        if (!d || d->ended) return true;
        if (!PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (!WaitMessage()) {
                if (onStarved) {
                    onStarved();
                } else {
                    std::fprintf(stderr, "kq5: dialog has nothing left to wait for; quitting\n");
                    PostQuitMessage(0);
                }
            }
            continue;
        }
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            return false;
        }
        if (!IsDialogMessage(dialog, &m)) {
            TranslateMessage(&m);
            DispatchMessage(&m);
        }
    }
}

INT_PTR RunModalDialog(HINSTANCE instance, const DialogTemplate& dialog, HWND owner, DLGPROC proc, LPARAM param,
                       const std::function<void(HWND)>& onStarved) {
    HWND top = owner ? GetAncestorTopLevel(owner) : nullptr;
    HWND hwnd = CreateDialogFromTemplate(instance, dialog, top, proc, param, true);
    if (!hwnd) return -1;
    DialogData* d = DialogDataOf(hwnd);
    if (top && IsWindowEnabled(top) && d && !d->ended) {
        EnableWindow(top, FALSE);
        if ((d = DialogDataOf(hwnd))) d->disabledOwner = top;
    }
    if ((d = DialogDataOf(hwnd)) && !d->ended) {
        ShowWindow(hwnd, SW_SHOWNORMAL);
        UpdateWindow(hwnd);
    }
    std::function<void()> starved;
    if (onStarved) starved = [&] { onStarved(hwnd); };
    RunDialogLoop(hwnd, starved);
    INT_PTR result = IDCANCEL;
    if ((d = DialogDataOf(hwnd))) {
        if (d->ended) result = d->result;
        if (d->disabledOwner && LiveWindow(d->disabledOwner)) EnableWindow(d->disabledOwner, TRUE);
        d->disabledOwner = nullptr;
    }
    if (LiveWindow(hwnd)) DestroyWindow(hwnd);
    return result;
}

INT_PTR DialogBoxIndirectParam(HINSTANCE instance, const DialogTemplate& dialog, HWND owner, DLGPROC proc,
                               LPARAM param) {
    return RunModalDialog(instance, dialog, owner, proc, param, nullptr);
}

INT_PTR DialogBoxParam(HINSTANCE instance, UINT_PTR templateId, HWND owner, DLGPROC proc, LPARAM param) {
    const DialogTemplate* t = FindDialogTemplate(static_cast<int>(templateId));
    if (!t) {
        std::fprintf(stderr, "kq5: no dialog template %d\n", static_cast<int>(templateId));
        return -1;
    }
    DialogTemplate copy = *t;  // the template may be replaced while the dialog runs
    return DialogBoxIndirectParam(instance, copy, owner, proc, param);
}

INT_PTR DialogBoxParam(HINSTANCE instance, const char* templateName, HWND owner, DLGPROC proc, LPARAM param) {
    if (!templateName) return -1;
    return DialogBoxParam(instance, static_cast<UINT_PTR>(TemplateIdOf(templateName)), owner, proc, param);
}

HWND CreateDialogIndirectParam(HINSTANCE instance, const DialogTemplate& dialog, HWND parent, DLGPROC proc,
                               LPARAM param) {
    bool child = (dialog.style & (WS_CHILD | DS_CONTROL)) != 0;
    HWND owner = (parent && !child) ? GetAncestorTopLevel(parent) : parent;
    return CreateDialogFromTemplate(instance, dialog, owner, proc, param, false);
}

HWND CreateDialogParam(HINSTANCE instance, UINT_PTR templateId, HWND parent, DLGPROC proc, LPARAM param) {
    const DialogTemplate* t = FindDialogTemplate(static_cast<int>(templateId));
    if (!t) {
        std::fprintf(stderr, "kq5: no dialog template %d\n", static_cast<int>(templateId));
        return nullptr;
    }
    DialogTemplate copy = *t;
    return CreateDialogIndirectParam(instance, copy, parent, proc, param);
}

HWND CreateDialogParam(HINSTANCE instance, const char* templateName, HWND parent, DLGPROC proc, LPARAM param) {
    if (!templateName) return nullptr;
    return CreateDialogParam(instance, static_cast<UINT_PTR>(TemplateIdOf(templateName)), parent, proc, param);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    DialogData* d = DialogDataOf(dialog);
    if (!d) return FALSE;
    d->ended = true;
    d->result = result;
    if (!d->modal) {
        ShowWindow(dialog, SW_HIDE);
        return TRUE;
    }
    // The owner comes back before the dialog goes, so that it is the one activated next.
    if (HWND owner = d->disabledOwner) {
        d->disabledOwner = nullptr;
        if (LiveWindow(owner)) EnableWindow(owner, TRUE);
    }
    return TRUE;
}

BOOL MapDialogRect(HWND dialog, RECT* rect) {
    if (!rect) return FALSE;
    DialogData* d = DialogDataOf(dialog);
    if (!d) return FALSE;
    Units u;
    if (d->baseX > 0) {
        u.x = d->baseX;
        u.y = d->baseY;
    } else {
        BaseUnitsOf(d->font, &u.x, &u.y);
    }
    rect->left = u.X(rect->left);
    rect->right = u.X(rect->right);
    rect->top = u.Y(rect->top);
    rect->bottom = u.Y(rect->bottom);
    return TRUE;
}

LONG GetDialogBaseUnits() {
    int x = 0, y = 0;
    BaseUnitsOf(nullptr, &x, &y);
    return MAKELONG(static_cast<WORD>(x), static_cast<WORD>(y));
}

}  // namespace win
