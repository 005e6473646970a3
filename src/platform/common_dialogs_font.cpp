// The font dialog.
#include "platform/common_dialogs_font.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>

#include "platform/common_dialogs_internal.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/text.h"
#include "platform/system.h"
#include "platform/window.h"

namespace win {

namespace {

constexpr int kStandardSizes[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};
constexpr int kLargestSize = 1638;  // what a 16-bit height holds at 1440 dpi
constexpr const char* kStyleNames[] = {"Regular", "Italic", "Bold", "Bold Italic"};

struct NamedColor {
    const char* name;
    COLORREF color;
};
constexpr NamedColor kColors[] = {
    {"Black", RGB(0, 0, 0)},       {"Maroon", RGB(128, 0, 0)},    {"Green", RGB(0, 128, 0)},
    {"Olive", RGB(128, 128, 0)},   {"Navy", RGB(0, 0, 128)},      {"Purple", RGB(128, 0, 128)},
    {"Teal", RGB(0, 128, 128)},    {"Gray", RGB(128, 128, 128)},  {"Silver", RGB(192, 192, 192)},
    {"Red", RGB(255, 0, 0)},       {"Lime", RGB(0, 255, 0)},      {"Yellow", RGB(255, 255, 0)},
    {"Blue", RGB(0, 0, 255)},      {"Fuchsia", RGB(255, 0, 255)}, {"Aqua", RGB(0, 255, 255)},
    {"White", RGB(255, 255, 255)},
};

struct FontDialogData : CommonDialogRecord {
    CHOOSEFONT* cf = nullptr;
    int dpi = 96;
    int minSize = 1;
    int maxSize = kLargestSize;
    std::vector<FontFaceInfo> faces;  // those the filters let through
    HFONT sampleFont = nullptr;
    COLORREF sampleColor = 0;
};

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool FaceLess(const FontFaceInfo& a, const FontFaceInfo& b) { return Lower(a.name) < Lower(b.name); }

bool Passes(const FontFaceInfo& f, DWORD flags) {
    if ((flags & CF_FIXEDPITCHONLY) && !f.fixedPitch) return false;
    if ((flags & CF_TTONLY) && !f.trueType) return false;
    return true;
}

// A face the program names ("Arial") that fontconfig knows only by its substitute takes the
// substitute's properties.
std::optional<FontFaceInfo> KnownFace(const std::string& name, const std::vector<FontFaceInfo>& all) {
    if (name.empty()) return std::nullopt;
    for (const FontFaceInfo& f : all)
        if (Lower(f.name) == Lower(name)) return f;
    LOGFONT lf;
    lf.lfFaceName = name;
    std::string family = Lower(MatchedFamily(lf));
    for (const FontFaceInfo& f : all) {
        if (Lower(f.name) == family) {
            FontFaceInfo known = f;
            known.name = name;
            return known;
        }
    }
    return std::nullopt;
}

std::string Trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// A size in tenths of a point; nothing when the text is no positive number.
std::optional<int> ParseSize(const std::string& text) {
    std::string t = Trim(text);
    if (t.empty()) return std::nullopt;
    char* end = nullptr;
    double v = std::strtod(t.c_str(), &end);
    if (end == t.c_str() || *end != '\0' || !(v > 0) || v > 100000) return std::nullopt;
    return static_cast<int>(std::lround(v * 10));
}

int StyleIndex(HWND dialog) {
    int i = static_cast<int>(SendDlgItemMessage(dialog, kFontStyleCombo, CB_GETCURSEL, 0, 0));
    return i < 0 ? 0 : i;
}

COLORREF ChosenColor(HWND dialog) {
    int i = static_cast<int>(SendDlgItemMessage(dialog, kFontColorCombo, CB_GETCURSEL, 0, 0));
    return i < 0 ? RGB(0, 0, 0) : static_cast<COLORREF>(SendDlgItemMessage(dialog, kFontColorCombo, CB_GETITEMDATA, i, 0));
}

// The face the dialog shows: a list entry's own spelling, else the text as typed.
std::string ChosenFace(HWND dialog, int* index) {
    std::string typed = Trim(GetDlgItemText(dialog, kFontFaceCombo));
    HWND combo = GetDlgItem(dialog, kFontFaceCombo);
    int i = typed.empty() ? CB_ERR : static_cast<int>(SendMessage(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(typed.c_str())));
    if (index) *index = i;
    return i >= 0 ? ListText(combo, i, true) : typed;
}

LOGFONT FontOfControls(HWND dialog, const FontDialogData& d, int tenths, int dpi) {
    LOGFONT lf;
    if (d.cf->lpLogFont) lf = *d.cf->lpLogFont;
    lf.lfHeight = -MulDiv(tenths, dpi, 720);
    lf.lfWidth = 0;
    lf.lfEscapement = 0;
    lf.lfOrientation = 0;
    int style = StyleIndex(dialog);
    lf.lfWeight = style >= 2 ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (style % 2) ? 1 : 0;
    const bool effects = (d.cf->Flags & CF_EFFECTS) != 0;
    lf.lfUnderline = effects && IsDlgButtonChecked(dialog, kFontUnderlineCheck) == BST_CHECKED ? 1 : 0;
    lf.lfStrikeOut = effects && IsDlgButtonChecked(dialog, kFontStrikeOutCheck) == BST_CHECKED ? 1 : 0;
    int index = CB_ERR;
    lf.lfFaceName = ChosenFace(dialog, &index);
    auto it = std::find_if(d.faces.begin(), d.faces.end(), [&](const FontFaceInfo& f) { return f.name == lf.lfFaceName; });
    if (it != d.faces.end()) lf.lfPitchAndFamily = it->fixedPitch ? (FIXED_PITCH | FF_MODERN) : (VARIABLE_PITCH | FF_DONTCARE);
    return lf;
}

void UpdateSample(HWND dialog, FontDialogData& d) {
    std::optional<int> tenths = ParseSize(GetDlgItemText(dialog, kFontSizeCombo));
    HDC screen = GetDC(nullptr);
    int screenDpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    LOGFONT lf = FontOfControls(dialog, d, std::clamp(tenths.value_or(100), 10, 720), screenDpi);
    HFONT font = CreateFontIndirect(&lf);
    SendDlgItemMessage(dialog, kFontSample, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (d.sampleFont) DeleteObject(d.sampleFont);
    d.sampleFont = font;
    d.sampleColor = (d.cf->Flags & CF_EFFECTS) ? ChosenColor(dialog) : RGB(0, 0, 0);
    InvalidateRect(GetDlgItem(dialog, kFontSample), nullptr, TRUE);
}

void FillSizes(HWND dialog, const FontDialogData& d) {
    HWND sizes = GetDlgItem(dialog, kFontSizeCombo);
    for (int s : kStandardSizes) {
        if (s < d.minSize || s > d.maxSize) continue;
        std::string text = std::to_string(s);
        SendMessage(sizes, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

std::string SizeText(int tenths) {
    return tenths % 10 ? std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) : std::to_string(tenths / 10);
}

void InitFontDialog(HWND dialog, FontDialogData& d) {
    CHOOSEFONT& cf = *d.cf;
    HWND faces = GetDlgItem(dialog, kFontFaceCombo);
    for (const FontFaceInfo& f : d.faces) SendMessage(faces, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(f.name.c_str()));
    HWND styles = GetDlgItem(dialog, kFontStyleCombo);
    for (const char* s : kStyleNames) SendMessage(styles, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    FillSizes(dialog, d);
    HWND colors = GetDlgItem(dialog, kFontColorCombo);
    for (const NamedColor& c : kColors) {
        int i = static_cast<int>(SendMessage(colors, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c.name)));
        SendMessage(colors, CB_SETITEMDATA, static_cast<WPARAM>(i), static_cast<LPARAM>(c.color));
    }
    if (!(cf.Flags & CF_SHOWHELP)) ShowWindow(GetDlgItem(dialog, kFontHelpButton), SW_HIDE);
    if (!(cf.Flags & CF_EFFECTS)) {
        for (int id : {kFontEffectsGroup, kFontStrikeOutCheck, kFontUnderlineCheck, kFontColorLabel, kFontColorCombo})
            ShowWindow(GetDlgItem(dialog, id), SW_HIDE);
    }

    // The starting font.
    LOGFONT start;
    if ((cf.Flags & CF_INITTOLOGFONTSTRUCT) && cf.lpLogFont) start = *cf.lpLogFont;
    int tenths = 100;
    if ((cf.Flags & CF_INITTOLOGFONTSTRUCT) && cf.lpLogFont && start.lfHeight != 0) {
        int pixels = std::abs(start.lfHeight);
        if (start.lfHeight > 0) {  // a cell height: the internal leading is not part of the size
            LOGFONT cell = start;
            pixels -= RealizeLogFont(cell).Metrics().tmInternalLeading;
        }
        tenths = std::max(10, MulDiv(pixels, 720, d.dpi));
        tenths = (tenths + 5) / 10 * 10;  // the sizes the list shows are whole points
    }
    tenths = std::clamp(tenths, d.minSize * 10, d.maxSize * 10);
    int faceIndex = static_cast<int>(SendMessage(faces, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(start.lfFaceName.c_str())));
    SendMessage(faces, CB_SETCURSEL, static_cast<WPARAM>(std::max(faceIndex, 0)), 0);
    int style = (start.lfWeight >= FW_SEMIBOLD ? 2 : 0) + (start.lfItalic ? 1 : 0);
    if ((cf.Flags & CF_USESTYLE) && !cf.lpszStyle.empty()) {
        for (int i = 0; i < 4; ++i)
            if (Lower(kStyleNames[i]) == Lower(cf.lpszStyle)) style = i;
    }
    SendMessage(styles, CB_SETCURSEL, static_cast<WPARAM>(style), 0);
    std::string size = SizeText(tenths);
    SetDlgItemText(dialog, kFontSizeCombo, size.c_str());
    HWND sizes = GetDlgItem(dialog, kFontSizeCombo);
    int sizeIndex = static_cast<int>(SendMessage(sizes, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(size.c_str())));
    if (sizeIndex >= 0) SendMessage(sizes, CB_SETCURSEL, static_cast<WPARAM>(sizeIndex), 0);
    CheckDlgButton(dialog, kFontUnderlineCheck, start.lfUnderline ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, kFontStrikeOutCheck, start.lfStrikeOut ? BST_CHECKED : BST_UNCHECKED);
    int colorIndex = 0;
    for (int i = 0; i < static_cast<int>(std::size(kColors)); ++i)
        if (kColors[i].color == (cf.rgbColors & 0x00FFFFFF)) colorIndex = i;
    SendMessage(colors, CB_SETCURSEL, static_cast<WPARAM>(colorIndex), 0);
    UpdateSample(dialog, d);
    SetFocusToControl(dialog, kFontFaceCombo);
}

void OnOk(HWND dialog, FontDialogData& d) {
    CHOOSEFONT& cf = *d.cf;
    int faceIndex = CB_ERR;
    std::string face = ChosenFace(dialog, &faceIndex);
    if (face.empty() || (faceIndex < 0 && (cf.Flags & CF_FORCEFONTEXIST))) {
        CommonDialogMessage(dialog, "There is no font with that name.\nChoose a font from the list of fonts.", MB_OK | MB_ICONINFORMATION);
        SetFocusToControl(dialog, kFontFaceCombo);
        return;
    }
    std::optional<int> tenths = ParseSize(GetDlgItemText(dialog, kFontSizeCombo));
    if (!tenths) {
        CommonDialogMessage(dialog, "Size must be a number.", MB_OK | MB_ICONINFORMATION);
        SetFocusToControl(dialog, kFontSizeCombo);
        return;
    }
    if (*tenths < d.minSize * 10 || *tenths > d.maxSize * 10) {
        CommonDialogMessage(dialog, "Size must be between " + std::to_string(d.minSize) + " and " + std::to_string(d.maxSize) + " points.",
                            MB_OK | MB_ICONINFORMATION);
        SetFocusToControl(dialog, kFontSizeCombo);
        return;
    }
    LOGFONT lf = FontOfControls(dialog, d, *tenths, d.dpi);
    if (cf.lpLogFont) *cf.lpLogFont = lf;
    cf.iPointSize = *tenths;
    const int style = StyleIndex(dialog);
    cf.nFontType = static_cast<WORD>((style >= 2 ? BOLD_FONTTYPE : REGULAR_FONTTYPE) | (style % 2 ? ITALIC_FONTTYPE : 0) |
                                     ((cf.Flags & CF_PRINTERFONTS) && cf.hDC ? PRINTER_FONTTYPE : SCREEN_FONTTYPE));
    if (cf.Flags & CF_USESTYLE) cf.lpszStyle = kStyleNames[style];
    if (cf.Flags & CF_EFFECTS) cf.rgbColors = ChosenColor(dialog);
    EndDialog(dialog, IDOK);
}

INT_PTR FontDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    INT_PTR answer = FALSE;
    FontDialogData* d = BeginCommonDialogMessage<FontDialogData>(dialog, msg, wParam, lParam, InitFontDialog, &answer);
    if (!d) return answer;
    switch (msg) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (id == IDOK) OnOk(dialog, *d);
        else if (id == IDCANCEL) EndDialog(dialog, IDCANCEL);
        else if (code == CBN_SELCHANGE || code == CBN_EDITCHANGE || code == BN_CLICKED) UpdateSample(dialog, *d);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, kFontSample)) {
            auto dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, d->sampleColor);
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

std::vector<FontFaceInfo> ListFontFaces() {
    std::map<std::string, FontFaceInfo> byName;
    FcPattern* pat = FcPatternCreate();
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, FC_SPACING, FC_FONTFORMAT, nullptr);
    FcFontSet* set = FcFontList(nullptr, pat, os);
    for (int i = 0; set && i < set->nfont; ++i) {
        FcChar8* family = nullptr;
        if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) != FcResultMatch || !family) continue;
        FontFaceInfo& f = byName[reinterpret_cast<const char*>(family)];
        f.name = reinterpret_cast<const char*>(family);
        int spacing = FC_PROPORTIONAL;
        if (FcPatternGetInteger(set->fonts[i], FC_SPACING, 0, &spacing) == FcResultMatch && spacing >= FC_MONO) f.fixedPitch = true;
        FcChar8* format = nullptr;
        if (FcPatternGetString(set->fonts[i], FC_FONTFORMAT, 0, &format) == FcResultMatch && format &&
            std::string(reinterpret_cast<const char*>(format)) == "TrueType") {
            f.trueType = true;
        }
    }
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(os);
    FcPatternDestroy(pat);
    std::vector<FontFaceInfo> out;
    for (auto& [name, f] : byName) out.push_back(f);
    std::sort(out.begin(), out.end(), FaceLess);
    return out;
}

BOOL ChooseFont(CHOOSEFONT* cf) {
    if (!CommonDialogCallValid(cf && cf->lStructSize == sizeof(CHOOSEFONT), cf && (cf->Flags & CF_ENABLEHOOK), cf && cf->lpfnHook))
        return FALSE;
    CommonDialogState& s = CommonDialogs();
    FontDialogData d;
    d.cf = cf;
    if (cf->Flags & CF_ENABLEHOOK) d.hook = cf->lpfnHook;
    d.hookParam = reinterpret_cast<LPARAM>(cf);
    if (cf->Flags & CF_LIMITSIZE) {
        if (cf->nSizeMax < cf->nSizeMin) {
            s.lastError = CFERR_MAXLESSTHANMIN;
            return FALSE;
        }
        d.minSize = std::max(1, cf->nSizeMin);
        d.maxSize = std::min(kLargestSize, cf->nSizeMax);
    }
    // Which fonts: screen or printer ones (the same faces here); asking for neither lists none.
    if (!(cf->Flags & (CF_BOTH | CF_WYSIWYG))) {
        s.lastError = CFERR_NOFONTS;
        return FALSE;
    }
    std::vector<FontFaceInfo> all = ListFontFaces();
    for (const FontFaceInfo& f : all)
        if (Passes(f, cf->Flags)) d.faces.push_back(f);
    if ((cf->Flags & CF_INITTOLOGFONTSTRUCT) && cf->lpLogFont) {
        std::optional<FontFaceInfo> known = KnownFace(cf->lpLogFont->lfFaceName, all);
        const bool listed = std::any_of(d.faces.begin(), d.faces.end(), [&](const FontFaceInfo& f) { return known && f.name == known->name; });
        if (known && !listed && Passes(*known, cf->Flags)) {
            d.faces.push_back(*known);
            std::sort(d.faces.begin(), d.faces.end(), FaceLess);
        }
    }
    if (d.faces.empty()) {
        s.lastError = CFERR_NOFONTS;
        return FALSE;
    }
    HDC screen = GetDC(nullptr);
    HDC dc = (cf->Flags & CF_PRINTERFONTS) && cf->hDC ? cf->hDC : screen;
    d.dpi = std::max(1, GetDeviceCaps(dc, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    const DialogTemplate* t = CommonDialogTemplate(kFontDialogTemplate, cf->Flags & CF_ENABLETEMPLATE, cf->lpTemplateName);
    if (!t) return FALSE;
    DialogTemplate dialog = *t;
    INT_PTR result = RunCommonDialog(CommonDialogKind::Font, dialog, cf->hwndOwner, FontDialogProc, &d);
    if (d.sampleFont) DeleteObject(d.sampleFont);
    return result == IDOK;
}

void ScriptFontDialogAnswer(std::optional<FontDialogAnswer> answer) {
    ScriptedAnswer step;
    if (answer) {
        step = [a = *answer](HWND dialog) {
            if (!a.face.empty()) SetDlgItemText(dialog, kFontFaceCombo, a.face.c_str());
            if (!a.size.empty()) SetDlgItemText(dialog, kFontSizeCombo, a.size.c_str());
            int style = StyleIndex(dialog);
            bool bold = a.bold.value_or(style >= 2), italic = a.italic.value_or(style % 2 != 0);
            SendDlgItemMessage(dialog, kFontStyleCombo, CB_SETCURSEL, static_cast<WPARAM>((bold ? 2 : 0) + (italic ? 1 : 0)), 0);
            if (a.underline) CheckDlgButton(dialog, kFontUnderlineCheck, *a.underline ? BST_CHECKED : BST_UNCHECKED);
            if (a.strikeOut) CheckDlgButton(dialog, kFontStrikeOutCheck, *a.strikeOut ? BST_CHECKED : BST_UNCHECKED);
            if (a.color) {
                for (int i = 0; i < static_cast<int>(std::size(kColors)); ++i)
                    if (kColors[i].color == *a.color) SendDlgItemMessage(dialog, kFontColorCombo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
            }
        };
    }
    QueueCommonDialogAnswer(CommonDialogKind::Font, std::move(step));
}

}  // namespace win
