#include "plots/plot_characteristics.h"

#include <algorithm>
#include <cstdlib>

#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "ui/color_dialog.h"
#include "ui/color_table.h"
#include "ui/dialog_services.h"
#include "ui/settings_font.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "core/engineering_numbers.h"
#include "core/format.h"
#include "document/circuit_document.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/window.h"
#include "plots/axis_ranges.h"
#include "results/curve_record.h"
#include "plots/limits_dialog.h"
#include "plots/plot_setup.h"
#include "results/plot_view_settings.h"
#include "plots/probe_mode.h"

namespace kq5 {

namespace {

constexpr int kColorPage = 200;
constexpr int kPlotPage = 201;
constexpr int kFormatPage = 202;
constexpr int kFontButton = 22;
constexpr int kWaveformList = 210;
constexpr int kShowCheck = 212;
constexpr int kGraphCombo = 214;
constexpr int kWidthCombo = 215;
constexpr int kPlotX = 219;
constexpr int kPlotY = 220;
constexpr int kFormatList = 226;
constexpr int kObjectsList = 207;
constexpr int kScaleColorCheck = 208;
constexpr int kAutoScaleX = 235;
constexpr int kAutoScaleY = 236;
constexpr int kOneScaleCheck = 237;
constexpr int kFormatAll = 238;
constexpr int kSaveRangeCheck = 249;
// Format edits: X low, Y low, X high, Y high, X scale, Y scale, X value, Y value.
constexpr int kFormatEditFirst = 227;

PlotRecord* PlotOfWindow(WindowRecord* window) { return window && window->plot ? window->plot.get() : nullptr; }
bool Probe() { return RunControl().probeFlag != 0; }
int Kind() { return std::clamp(static_cast<int>(Analysis().analysisKind), 0, 2); }

std::string FormatRangeText(double high, double low)
{
    return low == 0.0 ? StrPrintf("%g", high) : StrPrintf("%g,%g", high, low);
}

struct Dialog {
    WindowRecord* window = nullptr;
    CharacteristicsSnapshot edited;
    CharacteristicsSnapshot saved;
    FontSpec savedFont;
    std::vector<int> colors;  // the objects list's colours
    ColorPaletteGroup palette;
    int page = kPlotPage;
    const CharacteristicsExtension* extension = nullptr;
};

void ShowPage(win::HWND dialog, Dialog& d, int page)
{
    d.page = page;
    auto show = [&](int first, int last, bool on) { ShowDlgItemRange(dialog, first, last, on); };
    show(209, 216, page == kPlotPage);
    show(217, 220, page == kPlotPage && Probe());
    show(225, 248, page == kFormatPage);
    show(kSaveRangeCheck, kSaveRangeCheck, page == kFormatPage && !Probe());
    show(205, 208, page == kColorPage);
    show(19800, 19863, page == kColorPage);
    if (d.extension && d.extension->showPlotPage) d.extension->showPlotPage(dialog, page == kPlotPage);
    win::InvalidateRect(dialog, nullptr, 1);
}

int Selected(win::HWND dialog, int list)
{
    const int i = static_cast<int>(win::SendDlgItemMessage(dialog, list, win::LB_GETCURSEL, 0, 0));
    return i < 0 ? 0 : i;
}

void ShowCurve(win::HWND dialog, Dialog& d)
{
    if (d.edited.curves.empty()) return;
    const int i = std::min(Selected(dialog, kWaveformList), static_cast<int>(d.edited.curves.size()) - 1);
    const CurveEdit& c = d.edited.curves[static_cast<std::size_t>(i)];
    win::CheckDlgButton(dialog, kShowCheck, c.state == 0 ? win::BST_CHECKED : win::BST_UNCHECKED);
    win::SendDlgItemMessage(dialog, kGraphCombo, win::CB_SETCURSEL, std::clamp(c.plotGroup, 1, 9) - 1, 0);
    win::SendDlgItemMessage(dialog, kWidthCombo, win::CB_SETCURSEL, std::clamp(c.lineWidth, 1, 7) - 1, 0);
    if (Probe() && i < static_cast<int>(ProbeMode().rows.size())) {
        const ProbeRow& row = ProbeMode().rows[static_cast<std::size_t>(i)];
        win::SetDlgItemText(dialog, kPlotX, row.xText.c_str());
        win::SetDlgItemText(dialog, kPlotY, row.yText.c_str());
    }
}

void ShowFormats(win::HWND dialog, Dialog& d)
{
    if (d.edited.curves.empty()) return;
    const int i = std::min(Selected(dialog, kFormatList), static_cast<int>(d.edited.curves.size()) - 1);
    const CurveEdit& c = d.edited.curves[static_cast<std::size_t>(i)];
    for (int a = 0; a < 2; ++a) {
        const std::size_t s = static_cast<std::size_t>(a);
        win::SetDlgItemText(dialog, kFormatEditFirst + a, StrPrintf("%g", c.low[s]).c_str());
        win::SetDlgItemText(dialog, kFormatEditFirst + 2 + a, StrPrintf("%g", c.high[s]).c_str());
        win::SetDlgItemText(dialog, kFormatEditFirst + 4 + a, c.scaleFormats[s].c_str());
        win::SetDlgItemText(dialog, kFormatEditFirst + 6 + a, c.valueFormats[s].c_str());
    }
}

// Reads the format page's edits into the selected curve's copy.
void ReadFormats(win::HWND dialog, Dialog& d)
{
    if (d.edited.curves.empty()) return;
    const int i = std::min(Selected(dialog, kFormatList), static_cast<int>(d.edited.curves.size()) - 1);
    CurveEdit& c = d.edited.curves[static_cast<std::size_t>(i)];
    const double oldXLow = c.low[0], oldXHigh = c.high[0];
    for (int a = 0; a < 2; ++a) {
        const std::size_t s = static_cast<std::size_t>(a);
        int error = 0;
        const double low = EvalNumberOrExpression(win::GetDlgItemText(dialog, kFormatEditFirst + a), error);
        if (!error) c.low[s] = low;
        const double high = EvalNumberOrExpression(win::GetDlgItemText(dialog, kFormatEditFirst + 2 + a), error);
        if (!error) c.high[s] = high;
        c.scaleFormats[s] = win::GetDlgItemText(dialog, kFormatEditFirst + 4 + a);
        c.valueFormats[s] = win::GetDlgItemText(dialog, kFormatEditFirst + 6 + a);
    }
    // The curves of a graph are drawn against the one X scale under it: a new X range is the
    // graph's.
    if (c.low[0] != oldXLow || c.high[0] != oldXHigh)
        for (CurveEdit& other : d.edited.curves)
            if (other.plotGroup == c.plotGroup) {
                other.low[0] = c.low[0];
                other.high[0] = c.high[0];
            }
    if (win::IsDlgButtonChecked(dialog, kOneScaleCheck) == win::BST_CHECKED)
        for (CurveEdit& other : d.edited.curves)
            if (other.plotGroup == c.plotGroup) {
                other.low[1] = c.low[1];
                other.high[1] = c.high[1];
            }
}

void StoreColors(Dialog& d)
{
    for (int k = 0; k < 3; ++k) d.edited.fontColors[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(d.colors[static_cast<std::size_t>(k)]);
    d.edited.windowBackground = d.colors[3];
    for (std::size_t i = 0; i < d.edited.curves.size(); ++i) d.edited.curves[i].color = d.colors[4 + i];
}

void Apply(win::HWND dialog, Dialog& d, int mode)
{
    if (d.page == kFormatPage) ReadFormats(dialog, d);
    StoreColors(d);
    d.edited.oneScale = win::IsDlgButtonChecked(dialog, kOneScaleCheck) == win::BST_CHECKED ? 1 : 0;
    d.edited.saveRange = win::IsDlgButtonChecked(dialog, kSaveRangeCheck) == win::BST_CHECKED ? 1 : 0;
    d.edited.scaleColor = win::IsDlgButtonChecked(dialog, kScaleColorCheck) == win::BST_CHECKED ? 1 : 0;
    ApplyCharacteristicsSnapshot(d.window, d.edited, mode);
    if (d.extension && d.extension->apply) d.extension->apply(dialog, mode);
}

void FillLists(win::HWND dialog, Dialog& d)
{
    for (int list : {kWaveformList, kFormatList}) {
        win::SendDlgItemMessage(dialog, list, win::LB_RESETCONTENT, 0, 0);
        for (const CurveEdit& c : d.edited.curves)
            win::SendDlgItemMessage(dialog, list, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(c.name.c_str()));
        win::SendDlgItemMessage(dialog, list, win::LB_SETCURSEL, 0, 0);
    }
    for (int g = 1; g <= 9; ++g)
        win::SendDlgItemMessage(dialog, kGraphCombo, win::CB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(std::to_string(g).c_str()));
    for (int w = 1; w <= 7; ++w)
        win::SendDlgItemMessage(dialog, kWidthCombo, win::CB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(std::to_string(w).c_str()));
    std::vector<std::string> texts = {"Text Color", "Grid Color", "Graph Background Color", "Window Background Color"};
    d.colors = {d.edited.fontColors[0], d.edited.fontColors[1], d.edited.fontColors[2], d.edited.windowBackground};
    for (const CurveEdit& c : d.edited.curves) {
        texts.push_back(c.name);
        d.colors.push_back(c.color);
    }
    InitColorPalette(d.palette, dialog, texts, kObjectsList, d.colors.data(), static_cast<int>(d.colors.size()),
                     kFirstPaletteButton, 0);
}

// The axis becomes automatic and the window's Auto Scale rescales the curve's group at once, with
// the one-scale choice of the dialog; the dialog then shows the new ranges (Cancel restores the
// old ones with the rest).
void AutoScaleEditedCurve(win::HWND dialog, Dialog& d, int index, int axis)
{
    PlotRecord* plot = PlotOfWindow(d.window);
    if (!plot || index < 0 || index >= plot->curveCount || index >= static_cast<int>(plot->curves.size())) return;
    if (d.page == kFormatPage) ReadFormats(dialog, d);
    CurveEdit& edit = d.edited.curves[static_cast<std::size_t>(index)];
    edit.rangeMode[static_cast<std::size_t>(axis)] = kRangeAutoScaled;
    plot->curves[static_cast<std::size_t>(index)]->rangeMode[static_cast<std::size_t>(axis)] = kRangeAutoScaled;
    PlotViewSettings& view = PlotViewOf(d.window->plot);
    const std::int32_t sameYScales = view.sameYScales, current = plot->currentCurve;
    view.sameYScales = win::IsDlgButtonChecked(dialog, kOneScaleCheck) == win::BST_CHECKED ? 1 : 0;
    plot->currentCurve = index;
    AutoScaleCurrentPlotGroup(d.window, true);
    plot->currentCurve = current;
    view.sameYScales = sameYScales;
    const int group = plot->curves[static_cast<std::size_t>(index)]->plotGroup;
    for (std::size_t i = 0; i < d.edited.curves.size() && i < plot->curves.size(); ++i) {
        const CurveRecord& c = *plot->curves[i];
        if (c.plotGroup != group) continue;
        d.edited.curves[i].low = c.axisLow;
        d.edited.curves[i].high = c.axisHigh;
        d.edited.curves[i].rangeMode = c.rangeMode;
    }
    if (d.page == kFormatPage) ShowFormats(dialog, d);
}

void OnCommand(win::HWND dialog, Dialog& d, int id, int code)
{
    if (OnColorPaletteClick(d.palette, id)) return;
    if (d.extension && d.extension->command && d.extension->command(dialog, id, code)) return;
    CurveEdit* curve = nullptr;
    if (!d.edited.curves.empty()) {
        const int list = d.page == kFormatPage ? kFormatList : kWaveformList;
        const int i = std::min(Selected(dialog, list), static_cast<int>(d.edited.curves.size()) - 1);
        curve = &d.edited.curves[static_cast<std::size_t>(i)];
    }
    switch (id) {
    case kPlotPage:
    case kColorPage:
        if (d.page == kFormatPage) ReadFormats(dialog, d);
        ShowPage(dialog, d, id);
        return;
    case kFormatPage:
        ShowPage(dialog, d, id);
        ShowFormats(dialog, d);
        return;
    case kWaveformList:
        if (code == win::LBN_SELCHANGE) ShowCurve(dialog, d);
        return;
    case kFormatList:
        if (code == win::LBN_SELCHANGE) ShowFormats(dialog, d);
        return;
    case kObjectsList:
        if (code == win::LBN_SELCHANGE) RefreshColorPalette(d.palette);
        return;
    case kShowCheck:
        if (curve) curve->state = win::IsDlgButtonChecked(dialog, kShowCheck) == win::BST_CHECKED ? 0 : 1;
        return;
    case kGraphCombo:
    case kWidthCombo:
        if (curve && code == win::CBN_SELCHANGE) {
            const int sel = static_cast<int>(win::SendDlgItemMessage(dialog, id, win::CB_GETCURSEL, 0, 0)) + 1;
            (id == kGraphCombo ? curve->plotGroup : curve->lineWidth) = sel;
        }
        return;
    case kAutoScaleX:
    case kAutoScaleY:
        if (curve) AutoScaleEditedCurve(dialog, d, static_cast<int>(curve - d.edited.curves.data()), id == kAutoScaleX ? 0 : 1);
        return;
    case kFormatAll:
        ReadFormats(dialog, d);
        if (curve)
            for (CurveEdit& other : d.edited.curves)
                if (other.plotGroup == curve->plotGroup) {
                    other.scaleFormats = curve->scaleFormats;
                    other.valueFormats = curve->valueFormats;
                }
        return;
    case kFontButton:
        if (PlotOfWindow(d.window)) ChooseSettingsFont(dialog, PlotViewOf(d.window->plot).textFont, 0);
        return;
    case kCharacteristicsTestButton: Apply(dialog, d, kCharacteristicsTestButton); return;
    case win::IDOK:
        Apply(dialog, d, 1);
        win::EndDialog(dialog, 1);
        return;
    case win::IDCANCEL:
        if (PlotOfWindow(d.window)) PlotViewOf(d.window->plot).textFont = d.savedFont;
        ApplyCharacteristicsSnapshot(d.window, d.saved, 2);
        if (d.extension && d.extension->apply) d.extension->apply(dialog, 2);
        win::EndDialog(dialog, 0);
        return;
    case 9:
        ShowDialogHelp(d.extension ? d.extension->templateId
                                   : Probe() ? kProbeCharacteristicsTemplate : kPlotCharacteristicsTemplate);
        return;
    default: return;
    }
}

win::INT_PTR PlotCharacteristicsDlgProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    auto* d = reinterpret_cast<Dialog*>(win::GetWindowLongPtr(dialog, win::DWLP_USER));
    switch (msg) {
    case win::WM_INITDIALOG:
        d = reinterpret_cast<Dialog*>(lParam);
        win::SetWindowLongPtr(dialog, win::DWLP_USER, lParam);
        FillLists(dialog, *d);
        if (d->extension && !d->extension->caption.empty()) win::SetWindowText(dialog, d->extension->caption.c_str());
        if (d->extension && d->extension->init) d->extension->init(dialog);
        win::CheckDlgButton(dialog, kOneScaleCheck, d->edited.oneScale ? win::BST_CHECKED : win::BST_UNCHECKED);
        win::CheckDlgButton(dialog, kSaveRangeCheck, d->edited.saveRange ? win::BST_CHECKED : win::BST_UNCHECKED);
        win::CheckDlgButton(dialog, kScaleColorCheck, d->edited.scaleColor ? win::BST_CHECKED : win::BST_UNCHECKED);
        ShowPage(dialog, *d, kPlotPage);
        ShowCurve(dialog, *d);
        return win::TRUE;
    case win::WM_DRAWITEM:
        return d ? DrawColorPaletteItem(d->palette, *reinterpret_cast<const win::DRAWITEMSTRUCT*>(lParam)) : win::FALSE;
    case win::WM_COMMAND:
        if (d) OnCommand(dialog, *d, win::LOWORD(wParam), win::HIWORD(wParam));
        return win::TRUE;
    default: return win::FALSE;
    }
}

}  // namespace

CharacteristicsSnapshot TakeCharacteristicsSnapshot(WindowRecord* window)
{
    CharacteristicsSnapshot s;
    PlotRecord* plot = PlotOfWindow(window);
    if (!plot) return s;
    for (int i = 0; i < plot->curveCount && i < static_cast<int>(plot->curves.size()); ++i) {
        const CurveRecord& c = *plot->curves[static_cast<std::size_t>(i)];
        CurveEdit e;
        e.plotGroup = c.plotGroup;
        e.state = c.state;
        e.lineWidth = c.lineWidth;
        e.color = c.color;
        e.low = c.axisLow;
        e.high = c.axisHigh;
        e.rangeMode = c.rangeMode;
        e.scaleFormats = {c.xScaleFormat, c.yScaleFormat};
        e.valueFormats = {c.secondValueFormat.text, c.valueFormat.text};
        e.name = c.name.empty() ? c.yExpressionText : c.name;
        s.curves.push_back(std::move(e));
    }
    const PlotViewSettings& view = PlotViewOf(window->plot);
    s.fontColors = {view.textFont.color, view.gridColor, view.graphBackground};
    s.windowBackground = view.windowBackground;
    s.oneScale = view.sameYScales;
    s.saveRange = plot->saveRangeFlags[static_cast<std::size_t>(Kind())];
    s.scaleColor = view.scaleColor;
    return s;
}

void CommitCurveEdits(WindowRecord* window, const std::vector<CurveEdit>& edits, int mode)
{
    PlotRecord* plot = PlotOfWindow(window);
    if (!plot) return;
    WindowRecord* circuit = RunControl().circuitWindow;
    std::vector<LimitsRow>* rows =
        circuit && circuit->document ? &circuit->document->limitsRows[static_cast<std::size_t>(Kind())] : nullptr;
    for (std::size_t i = 0; i < edits.size() && i < plot->curves.size(); ++i) {
        CurveRecord& c = *plot->curves[i];
        c.plotGroup = edits[i].plotGroup;
        c.state = edits[i].state;
        c.lineWidth = edits[i].lineWidth;
        c.color = edits[i].color;
        if (Probe()) {
            CopyCurveToProbeRow(static_cast<int>(i), c);
        } else if (mode == 1 && rows && c.rowIndex >= 0 && c.rowIndex < static_cast<int>(rows->size())) {
            LimitsRow& row = (*rows)[static_cast<std::size_t>(c.rowIndex)];
            row.lineWidth = c.lineWidth;
            if (c.plotGroup >= 1 && c.plotGroup <= 9) row.plotGroup = static_cast<char>('0' + c.plotGroup);
            row.color = static_cast<std::uint16_t>(c.color);
            SetRedrawFlags(circuit);
        }
    }
}

void CommitCurveRanges(WindowRecord* window, const std::vector<CurveEdit>& edits, int oneScale, int saveRange, int)
{
    PlotRecord* plot = PlotOfWindow(window);
    if (!plot) return;
    PlotViewOf(window->plot).sameYScales = oneScale;
    if (!Probe()) plot->saveRangeFlags[static_cast<std::size_t>(Kind())] = saveRange;
    for (std::size_t i = 0; i < edits.size() && i < plot->curves.size(); ++i) {
        CurveRecord& c = *plot->curves[i];
        const CurveEdit& e = edits[i];
        for (int a = 0; a < 2; ++a) {
            const std::size_t s = static_cast<std::size_t>(a);
            c.rangeMode[s] = e.rangeMode[s];
            if (c.axisLow[s] == e.low[s] && c.axisHigh[s] == e.high[s]) continue;
            c.axisLow[s] = e.low[s];
            c.axisHigh[s] = e.high[s];
            c.axisSpan[s] = e.high[s] - e.low[s];
            if (saveRange && !Probe()) SetRowRangeText(static_cast<int>(i), a, FormatRangeText(e.high[s], e.low[s]));
        }
        c.xScaleFormat = e.scaleFormats[0];
        c.yScaleFormat = e.scaleFormats[1];
        if (c.secondValueFormat.text != e.valueFormats[0]) MakeNumberFormat(c.secondValueFormat, e.valueFormats[0], -1);
        if (c.valueFormat.text != e.valueFormats[1]) MakeNumberFormat(c.valueFormat, e.valueFormats[1], -1);
        if (Probe()) CopyCurveAxesToProbeRow(static_cast<int>(i), c);
    }
}

void ApplyCharacteristicsSnapshot(WindowRecord* window, const CharacteristicsSnapshot& snapshot, int mode)
{
    PlotRecord* plot = PlotOfWindow(window);
    if (!plot) return;
    std::vector<std::int32_t> groups;
    for (const auto& c : plot->curves) groups.push_back(c->plotGroup);
    CommitCurveEdits(window, snapshot.curves, mode);
    CommitCurveRanges(window, snapshot.curves, snapshot.oneScale, snapshot.saveRange, mode);
    // A curve moved to another graph: each graph gets its leading curve (its frame, X scale and
    // cursor captions). A curve whose Y range now differs from the others' of its graph shows a
    // scale of its own, as after a run.
    bool regrouped = false;
    for (std::size_t i = 0; i < groups.size() && i < plot->curves.size(); ++i)
        regrouped = regrouped || plot->curves[i]->plotGroup != groups[i];
    if (regrouped) CompactPlotGroupNumbers(window);
    MarkOwnScaleCurves(window);
    PlotViewSettings& view = PlotViewOf(window->plot);
    view.textFont.color = snapshot.fontColors[0];
    view.gridColor = snapshot.fontColors[1];
    view.graphBackground = snapshot.fontColors[2];
    view.windowBackground = snapshot.windowBackground;
    view.scaleColor = snapshot.scaleColor;
    if (window && window->window) win::InvalidateRect(window->window, nullptr, 1);
}

int OpenPlotCharacteristics(WindowRecord* window) { return OpenPlotCharacteristics(window, CharacteristicsExtension{}); }

int OpenPlotCharacteristics(WindowRecord* window, const CharacteristicsExtension& extension)
{
    if (!PlotOfWindow(window)) return 0;
    Dialog d;
    d.window = window;
    d.edited = TakeCharacteristicsSnapshot(window);
    d.saved = d.edited;
    d.savedFont = PlotViewOf(window->plot).textFont;
    const bool extended = extension.templateId != kPlotCharacteristicsTemplate;
    if (extended) d.extension = &extension;
    const int templateId = extended ? extension.templateId : Probe() ? kProbeCharacteristicsTemplate : kPlotCharacteristicsTemplate;
    return static_cast<int>(win::DialogBoxParam(win::GetModuleHandle(nullptr), templateId, AppFrameWindow(),
                                                PlotCharacteristicsDlgProc, reinterpret_cast<win::LPARAM>(&d)));
}

}  // namespace kq5
