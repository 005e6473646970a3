#include "schematic/schematic_render.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/analysis_state.h"
#include "ui/color_table.h"
#include "ui/font_select.h"
#include "ui/preference_values.h"
#include "document/print_job.h"
#include "ui/program_settings.h"
#include "document/title_block.h"
#include "ui/window_record.h"
#include "core/digital_logic_tables.h"
#include "document/node_table.h"
#include "core/digital_node_states.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/selection.h"
#include "document/component_types.h"
#include "platform/gdi_clip.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_mapping.h"
#include "platform/gdi_objects.h"
#include "platform/gdi_raster.h"
#include "platform/paint.h"
#include "platform/print.h"
#include "platform/system.h"
#include "platform/text.h"
#include "document/component_definition.h"
#include "document/editor_services.h"
#include "schematic/graphic_objects.h"
#include "schematic/node_labels.h"
#include "document/pane_seams.h"
#include "schematic/shape_draw.h"

namespace kq5 {

namespace {

constexpr int kXorColor = 15;

struct RenderState {
    int pass = kPassNormal;
    bool overrideOn = false;
    int overrideColor = 0;
    int selectColor = 9;
    int defaultColor = 15;  // the pass's own pen and brush: what single-element redraws erase with
    double zoom = 1.0;
    win::RECT visible{};
    std::array<win::HPEN, kColorRows> pens{};
    std::array<win::HBRUSH, kColorRows> brushes{};
    win::HGDIOBJ savedPen = nullptr;
    win::HGDIOBJ savedBrush = nullptr;
    int savedRop = 0;
};

RenderState& Render()
{
    static RenderState state;
    return state;
}

bool PrintsBackground() { return (Settings().operationalOptions & kOptionPrintBackground) != 0; }

// Landscape sheets lose a sliver at their far edge on some printers: keep off it.
// The part of a printer's pixels that the renderer draws on: all of them, but 98 % across and
// down while the print orientation is landscape.
int UsablePrinterPixels(int full)
{
    return TitleBlockFields().orientation != 2 ? full : static_cast<int>(full * 0.98);
}

int UsableResolution(win::HDC dc, int which)
{
    const int full = win::GetDeviceCaps(dc, which);
    return win::GetDeviceCaps(dc, win::TECHNOLOGY) == win::DT_RASDISPLAY ? full : UsablePrinterPixels(full);
}

bool Intersects(const win::RECT& a, const win::RECT& b)
{
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

bool AnalysisOpen() { return Analysis().analysisKind != kAnalysisNone; }

// The selection byte as the filters see it.
int EffectiveSelection(int selection)
{
    const SchematicDrawState& draw = SchematicDrawing();
    if (draw.ignoreSelection) return 0;
    if (AnalysisOpen()) selection &= ~1;
    return selection;
}

bool PassesFilter(int selection)
{
    const SchematicDrawState& draw = SchematicDrawing();
    return (EffectiveSelection(selection) & draw.filterMask) == draw.filterWanted;
}

bool WholeRange(const DrawContext& context)
{
    const CircuitDocument* document = context.record ? context.record->document.get() : nullptr;
    return document == nullptr || (context.firstItem == ListHead<SchematicItem>(document->itemList) &&
                                   context.lastItem == static_cast<SchematicItem*>(document->itemList.tail));
}

// Items of the draw range that lie on the page, of the kind, visible and passing the filter.
template <class Fn>
void ForEachItem(const DrawContext& context, std::uint16_t kind, Fn fn)
{
    if (context.firstItem == nullptr) return;
    for (SchematicItem* item = context.firstItem; item; item = ListNext(item)) {
        if (item->page == context.page && item->hidden == 0 && item->itemKind == kind && PassesFilter(item->selection) &&
            Intersects(GetItemBounds(*item), Render().visible))
            fn(*item);
        if (item == context.lastItem) break;
    }
}

void SelectTools(win::HDC dc, int colorIndex)
{
    win::SelectObject(dc, RenderPen(colorIndex));
    win::SelectObject(dc, RenderBrush(colorIndex));
}

int ItemColor(const SchematicItem& item, int own)
{
    if (EffectiveSelection(item.selection) & 1) return Render().selectColor;
    // A highlighted item (a digital path) shows the colour it was given with the highlight.
    if (item.selection & kSelectPending) return RenderColorIndex(item.color);
    return RenderColorIndex(own);
}

// The handles of a selected text stand beside it, left and right, within its height: a square
// is 6 units wide and reaches 2 units before its spot and 4 after it, so spots 4 units left of
// the box and 2 units right of it keep the squares off every letter.
constexpr int kTextHandleLeft = 4;
constexpr int kTextHandleRight = 2;
constexpr int kTextHandleReach = 6;
constexpr std::uint32_t kTextHandleMask = 0x07 | 0xE0;  // the left and right columns

// A text in its box. A single-element redraw covers the box (with the handles of a selected
// text) in the pass's background instead; otherwise a selected text shows its handles beside it.
void DrawTextBox(win::HDC dc, const win::RECT& box, const std::string& text, bool selected)
{
    const win::RECT r{std::min(box.left, box.right), std::min(box.top, box.bottom), std::max(box.left, box.right),
                      std::max(box.top, box.bottom)};
    if (Render().pass == kPassSingle) {
        // The parts drawn before chose their own colours: take the pass's back.
        win::HGDIOBJ oldPen = win::SelectObject(dc, RenderPen(Render().defaultColor));
        win::HGDIOBJ oldBrush = win::SelectObject(dc, RenderBrush(Render().defaultColor));
        if (selected) win::Rectangle(dc, r.left - kTextHandleReach, r.top, r.right + kTextHandleReach, r.bottom);
        else win::Rectangle(dc, r.left, r.top, r.right, r.bottom);
        win::SelectObject(dc, oldBrush);
        win::SelectObject(dc, oldPen);
        return;
    }
    if (selected) {
        // Squares at the top, middle and bottom when the text is tall enough, else one pair.
        int top = r.top + 2;
        int bottom = r.bottom - 4;
        if (bottom < top) top = bottom = r.top + (r.bottom - r.top) / 2 - 1;
        DrawObjectHandles(dc, r.left - kTextHandleLeft, top, r.right + kTextHandleRight, bottom, 2, kTextHandleMask);
    }
    DrawTextLines(dc, box.left, box.top, text);
}

void DrawAttributeTexts(const DrawContext& context, SchematicItem& item)
{
    if ((context.displayFlags & kViewAttributeText) == 0) return;
    win::HDC dc = context.dc;
    if (item.attributesChanged && item.IsComponent()) {
        PlaceAttributeTexts(context.record, &item);
        item.attributesChanged = 0;
    }
    const DocumentState& picked = Documents();
    for (ComponentAttribute& attribute : ListRecords<ComponentAttribute>(item.attributes)) {
        if ((attribute.display & (kAttrShowName | kAttrShowValue)) == 0) continue;
        // The text picked to be moved shows its own selection, not its part's.
        const int selection = picked.pickedItem == &item && picked.pickedAttribute == &attribute
                                  ? SchematicEditor().attributeSelection
                                  : item.selection;
        const bool selected = (EffectiveSelection(selection) & 1) != 0;
        std::string text;
        win::HGDIOBJ previous = SelectFontSpec(dc, attribute.font);
        const win::RECT r = MeasureAttributeText(dc, item, attribute, &text);
        if (!text.empty()) {
            attribute.SetDisplayRect(r);
            win::SetTextColor(dc, ColorIndexRgb(selected ? Render().selectColor : RenderColorIndex(attribute.font.color)));
            DrawTextBox(dc, r, text, selected);
        }
        RestoreFont(dc, previous);
    }
}

}  // namespace

int WireDigitalColor(const CircuitDocument& document, const SchematicItem& wire)
{
    if ((wire.style & kStyleWireDigital) == 0) return -1;
    return NodeDigitalColor(document, wire.wireLabel);
}

int NodeDigitalColor(const CircuitDocument& document, int label)
{
    if (label <= 0) return -1;
    const std::vector<SchematicNodeRow>& table = document.schematicNodeTable;
    const SchematicNodeRow* row = nullptr;
    // A label on an analog node reads the digital side of its interface.
    if (static_cast<std::size_t>(label) < table.size() && table[static_cast<std::size_t>(label)].kind == kNodeDigital)
        row = &table[static_cast<std::size_t>(label)];
    for (std::size_t i = 0; row == nullptr && i < table.size(); ++i)
        if (table[i].label == label && table[i].kind == kNodeDigital) row = &table[i];
    if (row == nullptr || row->nodeNumber <= 0) return -1;
    const std::vector<std::uint16_t>& states = DigitalSimulator().current;
    const std::int32_t node = SimulatorDigitalNode(row->nodeNumber);
    if (node < 0 || static_cast<std::size_t>(node) >= states.size()) return -1;
    int index = DigitalStateIndexOf(states[static_cast<std::size_t>(node)]);
    if (index > kStateZ) index = kStateX;
    return PreferenceSettings().defaultAttributes[static_cast<std::size_t>(kDigitalStateColorFirst + index)].color;
}

namespace {

void DrawGraphicItems(const DrawContext& context)
{
    ForEachItem(context, kItemGraphicObject, [&](SchematicItem& item) {
        GraphicObject object;
        object.owner = context.record;
        const win::RECT r = ItemRectToDrawUnits(item);
        object.x1 = r.left;
        object.y1 = r.top;
        object.x2 = r.right;
        object.y2 = r.bottom;
        object.style = item.style;
        object.lineColor = item.color;
        object.fillColor = (item.style & kStyleKindMask) == kObjectLine ? item.color : item.fillColor;
        object.selection = static_cast<std::uint32_t>(EffectiveSelection(item.selection));
        if (const std::string& name = GetAttributeText(&item, 4); !name.empty()) object.text = name;
        DrawShapeObject(context.dc, object);
        DrawAttributeTexts(context, item);
    });
}

void DrawWireItems(const DrawContext& context)
{
    const CircuitDocument* document = context.record ? context.record->document.get() : nullptr;
    const int wireColor = document ? document->wireFont.color : 0;
    const bool showStates = document != nullptr && AnalysisOpen();
    int current = -1;
    ForEachItem(context, kItemWire, [&](SchematicItem& item) {
        int own = wireColor;
        if (showStates && (EffectiveSelection(item.selection) & 1) == 0) {
            if (const int state = WireDigitalColor(*document, item); state >= 0) own = state;
        }
        const int color = Render().pass == kPassXor ? kXorColor : ItemColor(item, own);
        if (color != current && Render().pass != kPassXor) {
            win::SelectObject(context.dc, RenderPen(color));
            current = color;
        }
        win::MoveToEx(context.dc, item.x1 * kDrawUnitsPerGrid, item.y1 * kDrawUnitsPerGrid, nullptr);
        win::LineTo(context.dc, item.x2 * kDrawUnitsPerGrid, item.y2 * kDrawUnitsPerGrid);
    });
}

win::POINT TurnPin(int dx, int dy, int orientation)
{
    for (int i = 0; i < (orientation & 3); ++i) {
        const int t = dx;
        dx = -dy;
        dy = t;
    }
    if (orientation & 4) dy = -dy;
    return {dx, dy};
}

void DrawPinTexts(const DrawContext& context, const SchematicItem& item, int color)
{
    if ((item.style & kStyleShowPinText) == 0 || item.definition == nullptr) return;
    const CircuitDocument* document = context.record ? context.record->document.get() : nullptr;
    FontSpec font = document ? document->pinFont : FontSpec{};
    const int orientation = SafeOrientation(item.orientation);
    if (orientation == 1 || orientation == 7) font.style |= kFontTurned270;
    if (orientation == 3 || orientation == 5) font.style |= kFontTurned90;
    win::HDC dc = context.dc;
    win::HGDIOBJ previous = SelectFontSpec(dc, font);
    win::SetTextColor(dc, ColorIndexRgb(color));
    for (const DefinitionPin& pin : item.definition->pins) {
        const win::POINT offset = TurnPin(pin.dx, pin.dy, orientation);
        const int px = (item.x1 + offset.x) * kDrawUnitsPerGrid;
        const int py = (item.y1 + offset.y) * kDrawUnitsPerGrid;
        win::Rectangle(dc, px - 1, py - 1, px + 2, py + 2);
        if (!pin.name.empty()) DrawTextLines(dc, px + 2, py + 1, pin.name);
    }
    RestoreFont(dc, previous);
}

void DrawComponentItems(const DrawContext& context)
{
    const CircuitDocument* document = context.record ? context.record->document.get() : nullptr;
    const int componentColor = document ? document->componentFont.color : 0;
    win::HDC dc = context.dc;
    int current = -1;
    // The label of missing shapes: its font stays selected and is measured once per paint.
    win::HGDIOBJ labelFont = nullptr;
    win::SIZE labelSize{};
    static constexpr char kShapeNotFound[] = "Shape not Found";
    ForEachItem(context, kItemComponent, [&](SchematicItem& item) {
        const int color = Render().pass == kPassXor ? kXorColor : ItemColor(item, componentColor);
        if (color != current && Render().pass != kPassXor) {
            SelectTools(dc, color);
            current = color;
        }
        const int x = item.x1 * kDrawUnitsPerGrid;
        const int y = item.y1 * kDrawUnitsPerGrid;
        const int shape = item.definition ? item.definition->shapeIndex : 0;
        SetSwitchSymbolsClosed(item.switchOn != 0);
        // A digital LED lights in the colour of its node's state while a run is shown.
        const int lit = document && AnalysisOpen() && item.definition && item.definition->type == kComponentDigitalLed &&
                                !item.pinNodes.empty()
                            ? NodeDigitalColor(*document, item.pinNodes[0])
                            : -1;
        SetLedStateColor(lit >= 0 ? static_cast<long>(ColorIndexRgb(lit)) : -1);
        const int drawn = DrawShapeByIndex(dc, shape, x, y, SafeOrientation(item.orientation), kShapeDrawFlags);
        SetLedStateColor(-1);
        SetSwitchSymbolsClosed(false);
        if (drawn == 0) {
            if (labelFont == nullptr) {
                labelFont = SelectFontSpec(dc, FontSpec{});
                labelSize = MeasureTextBlock(dc, kShapeNotFound);
            }
            win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
            win::Rectangle(dc, x - 2, y - labelSize.cy - 2, x + labelSize.cx + 3, y + 3);
            win::SelectObject(dc, oldBrush);
            win::SetTextColor(dc, ColorIndexRgb(color));
            win::TextOut(dc, x, y - labelSize.cy, kShapeNotFound, static_cast<int>(sizeof(kShapeNotFound) - 1));
        }
        DrawPinTexts(context, item, color);
        DrawAttributeTexts(context, item);
    });
    if (labelFont != nullptr) RestoreFont(dc, labelFont);
}

void DrawGridTexts(const DrawContext& context)
{
    if ((context.displayFlags & kViewGridText) == 0 || context.firstText == nullptr) return;
    win::HDC dc = context.dc;
    for (GridText* text = context.firstText; text; text = ListNext(text)) {
        const bool command = !text->text.empty() && text->text[0] == '.';
        if (text->page == context.page && !text->text.empty() && (!command || (context.displayFlags & kViewCommandText)) &&
            PassesFilter(text->selection)) {
            const bool selected = (EffectiveSelection(text->selection) & 1) != 0;
            const int color = Render().pass == kPassXor ? kXorColor
                              : selected                 ? Render().selectColor
                                                         : RenderColorIndex(text->font.color);
            win::HGDIOBJ previous = SelectFontSpec(dc, text->font);
            win::RECT r = GridTextDrawRect(dc, *text);
            if (!text->IsFlag()) r.bottom += 2;
            if (Intersects(r, Render().visible)) {
                win::SetTextColor(dc, ColorIndexRgb(color));
                DrawTextBox(dc, r, text->text, selected);
                if (text->IsFlag()) {
                    win::HPEN dotted = Render().pass == kPassNormal
                                           ? win::CreatePen(win::PS_DOT, 3, ColorIndexRgb(color))
                                           : nullptr;
                    win::HGDIOBJ oldPen = dotted ? win::SelectObject(dc, dotted) : nullptr;
                    win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
                    win::Rectangle(dc, r.left - 3, r.top - 3, r.right + 4, r.bottom + 4);
                    win::SelectObject(dc, oldBrush);
                    if (dotted) {
                        win::SelectObject(dc, oldPen);
                        win::DeleteObject(dotted);
                    }
                }
            }
            RestoreFont(dc, previous);
        }
        if (text == context.lastText) break;
    }
}

void DrawGridDots(const DrawContext& context, const CircuitDocument* document)
{
    const SchematicDrawState& draw = SchematicDrawing();
    if (draw.filterMask == 1 && draw.filterWanted == 1) return;
    if (!WholeRange(context) || (context.displayFlags & kViewGrid) == 0 || Render().pass != kPassNormal) return;
    if (context.zoom > 2.0) return;
    const win::COLORREF background = ColorIndexRgb(document ? document->backgroundColor : 15);
    auto flip = [](int channel) { return channel < 128 ? 255 : 0; };
    const win::COLORREF dot =
        win::RGB(flip(background & 0xFF), flip((background >> 8) & 0xFF), flip((background >> 16) & 0xFF));
    const win::RECT& v = Render().visible;
    const int left = (v.left + 7) / 8 * 8;
    const int top = (v.top + 7) / 8 * 8;
    for (int y = top; y <= v.bottom; y += 8)
        for (int x = left; x <= v.right; x += 8) win::SetPixelV(context.dc, x, y, dot);
}

void DrawMarkRect(const DrawContext& context)
{
    const WindowRecord* record = context.record;
    const SchematicDrawState& draw = SchematicDrawing();
    if (AnalysisOpen() || record == nullptr || !record->document || draw.ignoreSelection || draw.noMarkRect) return;
    if (record->markRect.left == -1 || (draw.filterMask & 1) != draw.filterWanted) return;
    const win::RECT& m = record->markRect;
    win::HPEN pen = win::CreatePen(win::PS_DOT, 1, ColorIndexRgb(Render().selectColor));
    win::HGDIOBJ oldPen = win::SelectObject(context.dc, pen);
    win::HGDIOBJ oldBrush = win::SelectObject(context.dc, win::GetStockObject(win::NULL_BRUSH));
    win::Rectangle(context.dc, m.left * kDrawUnitsPerGrid, m.top * kDrawUnitsPerGrid, m.right * kDrawUnitsPerGrid + 1,
                   m.bottom * kDrawUnitsPerGrid + 1);
    win::SelectObject(context.dc, oldBrush);
    win::SelectObject(context.dc, oldPen);
    win::DeleteObject(pen);
}

}  // namespace

// The usable part of the printer's printable area (its paper and orientation) at the screen's
// resolution, times the printer scale.
win::SIZE PrintedSheetSize(double printerScale)
{
    const win::PrinterPage page = win::PrinterPageFor(PrinterDevMode());
    const int dpi = win::kPrinterDpi;
    const double scale = printerScale > 0.0 ? printerScale : 1.0;
    // Whole units; a scale made to fit a page exactly must not lose its last unit to rounding.
    int width = static_cast<int>(UsablePrinterPixels(page.printableWidth) * 96.0 / dpi * scale + 1e-6);
    int height = static_cast<int>(UsablePrinterPixels(page.printableHeight) * 96.0 / dpi * scale + 1e-6);
    return {std::max(width, 64), std::max(height, 64)};
}

double FitPrintScale(WindowRecord* record)
{
    if (record == nullptr || !record->document) return 1.0;
    const win::PrinterPage sheet = win::PrinterPageFor(PrinterDevMode());
    const double kx = static_cast<double>(win::kPrinterDpi) / 96 / std::max(UsablePrinterPixels(sheet.printableWidth), 1);
    const double ky = static_cast<double>(win::kPrinterDpi) / 96 / std::max(UsablePrinterPixels(sheet.printableHeight), 1);
    double scale = 0.0;
    for (std::size_t page = 0; page < record->document->pages.size(); ++page) {
        win::RECT grid{}, draw{};
        GetContentBounds(nullptr, record, grid, &draw, kBoundsDocument, static_cast<int>(page));
        scale = std::max({scale, (draw.right + 1) * kx, (draw.bottom + 1) * ky});
    }
    return scale > 0.0 ? scale : 1.0;
}

double EffectivePrintScale(WindowRecord* record)
{
    if (record == nullptr || !record->document) return 1.0;
    const double stored = record->document->printerScale;
    // No scale at all would print nothing: it prints at full size.
    return stored > 0.0 ? stored : stored < 0.0 ? FitPrintScale(record) : 1.0;
}

namespace {

win::HFONT TitleFont(const FontSpec& spec, int height)
{
    win::LOGFONT lf;
    FillLogFont(spec, lf);
    lf.lfHeight = height;
    lf.lfWidth = 0;
    return win::CreateFontIndirect(&lf);
}

int LineHeight(win::HDC dc)
{
    win::TEXTMETRIC tm;
    win::GetTextMetrics(dc, &tm);
    return tm.tmHeight + tm.tmExternalLeading;
}

void DrawTitleBlock(const DrawContext& context, const FontSpec& font, const win::RECT& sheet, int sheetNumber,
                    int sheetCount)
{
    win::HDC dc = context.dc;
    const int largeHeight = static_cast<int>((sheet.bottom - sheet.top) * 0.025);
    if (largeHeight < 1) return;
    win::HFONT large = TitleFont(font, largeHeight);
    win::HFONT small = largeHeight / 2 >= 1 ? TitleFont(font, largeHeight / 2) : nullptr;
    std::array<std::string, 5> texts;
    win::HGDIOBJ old = win::SelectObject(dc, large);
    int width = 0;
    for (int i = 0; i < 5; ++i) {
        texts[static_cast<std::size_t>(i)] = TitleBlockFieldText(context.record, i, context.page, sheetNumber, sheetCount);
        while (!texts[static_cast<std::size_t>(i)].empty() && texts[static_cast<std::size_t>(i)].back() == ' ')
            texts[static_cast<std::size_t>(i)].pop_back();
        const int w = win::GetTextExtent(dc, texts[static_cast<std::size_t>(i)]).cx;
        width = std::max(width, i == 0 ? w : w / 2);
    }
    const int large6 = win::GetTextExtent(dc, "WWWWWW").cx;
    const int sheetWidth = sheet.right - sheet.left;
    width = std::clamp(width + large6, sheetWidth / 4, sheetWidth);
    const int largeLine = LineHeight(dc);
    int smallLine = 0;
    if (small) {
        win::SelectObject(dc, small);
        smallLine = LineHeight(dc);
    }
    const int u = std::max(largeLine, 2 * smallLine);
    const win::RECT block{sheet.right - width, sheet.bottom - 3 * u, sheet.right, sheet.bottom};
    // The block is opaque: whatever lies under it is covered by the pass's background.
    win::HGDIOBJ sheetBrush = win::SelectObject(dc, RenderBrush(Render().defaultColor));
    win::Rectangle(dc, block.left, block.top, block.right, block.bottom);
    win::SelectObject(dc, sheetBrush);
    for (double rule : {1.5, 2.0, 2.5}) {
        const int y = block.top + static_cast<int>(rule * u);
        win::MoveToEx(dc, block.left, y, nullptr);
        win::LineTo(dc, block.right, y);
    }
    const int cx = (block.left + block.right) / 2;
    const win::UINT align = win::SetTextAlign(dc, win::TA_CENTER);
    win::SelectObject(dc, large);
    win::TextOut(dc, cx, block.top + (u - largeLine) / 2, texts[0].c_str(), static_cast<int>(texts[0].size()));
    if (small) {
        win::SelectObject(dc, small);
        for (int i = 1; i < 5; ++i) {
            const int top = block.top + u + (i - 1) * u / 2 + (u / 2 - smallLine) / 2;
            win::TextOut(dc, cx, top, texts[static_cast<std::size_t>(i)].c_str(),
                         static_cast<int>(texts[static_cast<std::size_t>(i)].size()));
        }
    }
    win::SetTextAlign(dc, align);
    win::SelectObject(dc, old);
    win::DeleteObject(large);
    if (small) win::DeleteObject(small);
}

// Outlines of the printed sheets that the page covers, with the title block in the last one
// (or in every one without "One Title").
void DrawSheetBorders(const DrawContext& context)
{
    if ((context.displayFlags & (kViewBorder | kViewTitle)) == 0 || context.record == nullptr ||
        !context.record->document)
        return;
    const CircuitDocument& document = *context.record->document;
    if (context.page < 0 || static_cast<std::size_t>(context.page) >= document.pages.size()) return;
    const win::RECT& extent = document.pages[static_cast<std::size_t>(context.page)].extent;
    // The sheets the page prints on: with a fitted scale, the ones of the scale that fits.
    const win::SIZE sheet = PrintedSheetSize(EffectivePrintScale(context.record));
    const int across = std::max<int>(1, (std::max<int>(extent.right, 0) + sheet.cx) / sheet.cx);
    const int down = std::max<int>(1, (std::max<int>(extent.bottom, 0) + sheet.cy) / sheet.cy);
    win::HDC dc = context.dc;
    win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
    win::HGDIOBJ oldPen = win::SelectObject(dc, RenderPen(RenderColorIndex(document.drawingColor)));
    const int count = across * down;
    for (int row = 0; row < down; ++row) {
        for (int column = 0; column < across; ++column) {
            const win::RECT r{column * sheet.cx, row * sheet.cy, (column + 1) * sheet.cx, (row + 1) * sheet.cy};
            if (context.displayFlags & kViewBorder) win::Rectangle(dc, r.left, r.top, r.right, r.bottom);
            const int number = row * across + column + 1;
            if ((context.displayFlags & kViewTitle) && (number == count || !TitleBlockFields().oneTitle)) {
                win::SetTextColor(dc, ColorIndexRgb(RenderColorIndex(document.titleBlockFont.color)));
                DrawTitleBlock(context, document.titleBlockFont, r, number, count);
            }
        }
    }
    win::SelectObject(dc, oldPen);
    win::SelectObject(dc, oldBrush);
}

}  // namespace

// Two-colour devices draw everything in one colour: black, or white when the background is
// printed and would be black itself.
int PrinterColorOverride(win::HDC dc, int& color)
{
    if (win::GetDeviceCaps(dc, win::TECHNOLOGY) == win::DT_RASDISPLAY) return 0;
    if (win::GetDeviceCaps(dc, win::NUMCOLORS) != 2) return 0;
    color = PrintsBackground() && ColorIndexRgb(0) == ColorIndexRgb(kPaletteColors) ? 15 : 0;
    return 1;
}

int UsableHorzRes(win::HDC dc) { return UsableResolution(dc, win::HORZRES); }
int UsableVertRes(win::HDC dc) { return UsableResolution(dc, win::VERTRES); }

namespace {

void SelectWindowDrawTools(win::HDC dc, const WindowRecord* record)
{
    RenderState& state = Render();
    if (record == nullptr) {
        if (state.savedPen) win::SelectObject(dc, state.savedPen);
        if (state.savedBrush) win::SelectObject(dc, state.savedBrush);
        state.savedPen = state.savedBrush = nullptr;
        win::SetROP2(dc, win::R2_COPYPEN);
        return;
    }
    win::SetBkMode(dc, win::TRANSPARENT);
    if (record->document) {
        int select = record->document->selectFont.color;
        ContrastColorIndex(record->document->backgroundColor, select);
        state.selectColor = select;
    }
    int color = kXorColor;
    if (state.pass == kPassXor) {
        win::SetROP2(dc, win::R2_XORPEN);
    } else if (record->document &&
               (win::GetDeviceCaps(dc, win::TECHNOLOGY) == win::DT_RASDISPLAY || (PrintsBackground() && !state.overrideOn))) {
        color = record->document->backgroundColor;
    }
    state.defaultColor = color;
    state.savedPen = win::SelectObject(dc, RenderPen(color));
    state.savedBrush = win::SelectObject(dc, RenderBrush(color));
}

}  // namespace

int RenderPass() { return Render().pass; }

int RenderColorIndex(int index) { return Render().overrideOn ? Render().overrideColor : index; }

int RenderSelectionColor() { return Render().selectColor; }

int ContrastColorIndex(int b, int& c)
{
    if (ColorIndexRgb(c) != ColorIndexRgb(b)) return 0;
    c ^= 15;
    return 1;
}

win::HPEN RenderPen(int colorIndex)
{
    if (colorIndex < 0 || colorIndex >= kColorRows) colorIndex = 0;
    win::HPEN& pen = Render().pens[static_cast<std::size_t>(colorIndex)];
    if (pen == nullptr) pen = win::CreatePen(win::PS_SOLID, 1, ColorIndexRgb(colorIndex));
    return pen;
}

win::HBRUSH RenderBrush(int colorIndex)
{
    if (colorIndex < 0 || colorIndex >= kColorRows) colorIndex = 0;
    win::HBRUSH& brush = Render().brushes[static_cast<std::size_t>(colorIndex)];
    if (brush == nullptr) brush = win::CreateSolidBrush(ColorIndexRgb(colorIndex));
    return brush;
}

void FreeRenderTools()
{
    RenderState& state = Render();
    for (win::HPEN& pen : state.pens) {
        if (pen) win::DeleteObject(pen);
        pen = nullptr;
    }
    for (win::HBRUSH& brush : state.brushes) {
        if (brush) win::DeleteObject(brush);
        brush = nullptr;
    }
}

void DrawTextLines(win::HDC dc, int x, int y, const std::string& text)
{
    const int lineHeight = TextLineSpacing(dc);
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\r', start);
        if (end == std::string::npos) end = text.size();
        win::TextOut(dc, x, y, text.c_str() + start, static_cast<int>(end - start));
        if (end >= text.size()) break;
        start = end + 1;
        if (start < text.size() && text[start] == '\n') ++start;
        y += lineHeight;
    }
}

void DrawTextInBox(win::HDC dc, const std::string& text, const win::RECT& rect, win::COLORREF color, bool framed)
{
    win::HGDIOBJ previous = SelectFontSpec(dc, FontSpec{});
    win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
    win::HPEN pen = win::CreatePen(win::PS_SOLID, 1, color);
    win::HGDIOBJ oldPen = win::SelectObject(dc, pen);
    if (framed) win::Rectangle(dc, rect.left - 2, rect.top - 2, rect.right + 3, rect.bottom + 3);
    win::SetBkMode(dc, win::TRANSPARENT);
    win::SetTextColor(dc, color);
    DrawTextLines(dc, rect.left, rect.top, text);
    win::SelectObject(dc, oldPen);
    win::SelectObject(dc, oldBrush);
    win::DeleteObject(pen);
    RestoreFont(dc, previous);
}

win::SIZE ZoomExtents(double zoom)
{
    if (zoom == 0.0) zoom = 1.0;
    if (zoom > 1.0) return {static_cast<int>(zoom), 1};
    if (zoom < 1.0) return {1, static_cast<int>(1.0 / zoom)};
    return {1, 1};
}

void InitDrawContext(win::HDC dc, DrawContext& context, WindowRecord* record, int pane)
{
    context = DrawContext{};
    context.pane = pane;
    context.dc = dc;
    context.technology = win::GetDeviceCaps(dc, win::TECHNOLOGY);
    if (record == nullptr || !record->document) return;
    CircuitDocument& document = *record->document;
    context.page = PanePage(document, pane);
    context.firstItem = document.drawRange.firstItem;
    context.lastItem = document.drawRange.lastItem;
    context.firstText = document.drawRange.firstGridText;
    context.lastText = document.drawRange.lastGridText;
    GetPaneRect(record, pane, context.paneRect);
    context.window = record->window;
    context.record = record;
    context.displayFlags = document.viewOptions;
    if (context.technology != win::DT_METAFILE && context.page >= 0 &&
        static_cast<std::size_t>(context.page) < document.pages.size() && pane >= 0 && pane < kPaneCount) {
        const PageRecord& page = document.pages[static_cast<std::size_t>(context.page)];
        context.scrollX = page.originX[static_cast<std::size_t>(pane)];
        context.scrollY = page.originY[static_cast<std::size_t>(pane)];
    }
    if (context.technology == win::DT_RASDISPLAY) context.zoom = document.zoomFactor;
    else if (context.technology == win::DT_METAFILE) context.zoom = 1.0;
    else context.zoom = document.printerScale;
    if (context.zoom == 0.0) context.zoom = 1.0;
}

int SetShapeMapping(DrawContext& context, int flags)
{
    win::HDC dc = context.dc;
    const bool metafile = context.technology == win::DT_METAFILE;
    const bool display = context.technology == win::DT_RASDISPLAY;
    const bool origin = display || metafile;
    if (flags & kMappingSet) {
        if (flags & kMappingClip) {
            win::SaveDC(dc);
            if (display) {
                const win::RECT& r = context.paneRect;
                win::IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
            } else if (!metafile) {
                // A printed sheet keeps to its usable area (device units, whatever the mapping).
                win::HRGN usable = win::CreateRectRgn(0, 0, UsableHorzRes(dc), UsableVertRes(dc));
                win::ExtSelectClipRgn(dc, usable, win::RGN_AND);
                win::DeleteObject(usable);
            }
        }
        // A metafile keeps the mapping of whoever plays it; only its window is set.
        if (!metafile) win::SetMapMode(dc, win::MM_ANISOTROPIC);
        if (metafile && context.record && context.record->document) {
            const CircuitDocument& document = *context.record->document;
            win::RECT extent{};
            if (context.page >= 0 && static_cast<std::size_t>(context.page) < document.pages.size())
                extent = document.pages[static_cast<std::size_t>(context.page)].extent;
            win::SetWindowExtEx(dc, std::max<int>(extent.right - extent.left, 1), std::max<int>(extent.bottom - extent.top, 1), nullptr);
            win::SetWindowOrgEx(dc, extent.left, extent.top, nullptr);
            return 1;
        }
        win::SIZE ext = ZoomExtents(context.zoom);
        if (context.explicitScale) ext = {context.windowExt, context.viewportExt};
        win::SetWindowExtEx(dc, ext.cx, ext.cx, nullptr);
        win::SetViewportExtEx(dc, ext.cy, ext.cy, nullptr);
        if (display) {
            win::SetViewportOrgEx(dc, context.paneRect.left, context.paneRect.top, nullptr);
            win::SetWindowOrgEx(dc, context.scrollX, context.scrollY, nullptr);
        }
        return origin ? 1 : 0;
    }
    if (flags & kMappingClip) {
        win::RestoreDC(dc, -1);
    } else {
        win::SetMapMode(dc, win::MM_TEXT);
        win::SetWindowOrgEx(dc, 0, 0, nullptr);
        win::SetViewportOrgEx(dc, 0, 0, nullptr);
    }
    return origin ? 1 : 0;
}

void DrawSchematicView(DrawContext& context)
{
    RenderState& state = Render();
    win::HDC dc = context.dc;
    if (dc == nullptr) return;
    state.pass = SchematicDrawing().drawMode == kDrawModeChosenNodes ? kPassSingle
                 : SchematicDrawing().drawMode == kDrawModeXor       ? kPassXor
                                                                     : kPassNormal;
    state.zoom = context.zoom;
    state.overrideOn = false;
    win::RECT update = context.updateRect;
    const bool display = context.technology == win::DT_RASDISPLAY;
    if (display && (update.right <= update.left || update.bottom <= update.top)) return;
    if (display && !win::RectVisible(dc, &update)) return;
    state.overrideOn = PrinterColorOverride(dc, state.overrideColor) != 0;
    if (display) {
        win::RECT pane = context.paneRect;
        if (pane.right <= pane.left || pane.bottom <= pane.top) return;
    }
    const int screen = SetShapeMapping(context, kMappingSet | kMappingClip);
    if (!screen) {
        update = {0, 0, UsableHorzRes(dc), UsableVertRes(dc)};
    } else if (context.technology == win::DT_METAFILE) {
        win::RECT extent{};
        if (context.record && context.record->document && context.page >= 0 &&
            static_cast<std::size_t>(context.page) < context.record->document->pages.size())
            extent = context.record->document->pages[static_cast<std::size_t>(context.page)].extent;
        update = {0, 0, extent.right + 1200, extent.bottom + 1200};
    } else {
        update = {update.left - context.paneRect.left, update.top - context.paneRect.top,
                  update.right - context.paneRect.left, update.bottom - context.paneRect.top};
    }
    const double zoom = context.technology == win::DT_METAFILE ? 1.0 : static_cast<double>(ZoomExtents(context.zoom).cx) /
                                                                         ZoomExtents(context.zoom).cy;
    if (update.right > update.left) {
        state.visible = {static_cast<int>(context.scrollX + update.left * zoom) - 2,
                         static_cast<int>(context.scrollY + update.top * zoom) - 2,
                         static_cast<int>(context.scrollX + update.right * zoom) + 2,
                         static_cast<int>(context.scrollY + update.bottom * zoom) + 2};
        if (context.technology == win::DT_METAFILE) state.visible = {-0x40000000, -0x40000000, 0x40000000, 0x40000000};
        const CircuitDocument* document = context.record ? context.record->document.get() : nullptr;
        SelectWindowDrawTools(dc, context.record);
        DrawGridDots(context, document);
        if (context.firstItem != nullptr) {
            DrawGraphicItems(context);
            DrawWireItems(context);
            DrawComponentItems(context);
        }
        DrawGridTexts(context);
        DrawMarkRect(context);
        if (state.pass == kPassNormal && document) DrawNodeLabels(context);
        DrawSheetBorders(context);
        SelectWindowDrawTools(dc, nullptr);
    }
    SetShapeMapping(context, kMappingClip);
    FreeRenderTools();
}

void RenderSchematicPane(const DrawContext& pane)
{
    if (pane.dc == nullptr || pane.record == nullptr || !pane.record->document) return;
    DrawContext context;
    InitDrawContext(pane.dc, context, pane.record, pane.pane);
    if (pane.paneRect.right > pane.paneRect.left) context.paneRect = pane.paneRect;
    win::RECT clip{};
    if (win::GetClipBox(pane.dc, &clip) == win::NULLREGION) return;
    context.updateRect = {std::max(clip.left, context.paneRect.left), std::max(clip.top, context.paneRect.top),
                          std::min(clip.right, context.paneRect.right), std::min(clip.bottom, context.paneRect.bottom)};
    DrawSchematicView(context);
}

void RedrawOtherPanes(WindowRecord* record)
{
    if (record == nullptr || record->window == nullptr || !record->document) return;
    RenderState& state = Render();
    const int oldPass = state.pass;
    state.pass = kPassSingle;
    state.overrideOn = false;
    win::HDC dc = win::GetDC(record->window);
    for (int pane = 0; pane < kPaneCount; ++pane) {
        if (pane == record->document->currentPane || pane == TextPaneOf(record) || !IsPaneVisible(record, pane)) continue;
        DrawContext context;
        InitDrawContext(dc, context, record, pane);
        if (context.paneRect.right <= context.paneRect.left || context.paneRect.bottom <= context.paneRect.top) continue;
        SetShapeMapping(context, kMappingSet | kMappingClip);
        SelectWindowDrawTools(dc, record);
        DrawNodeLabels(context);
        SelectWindowDrawTools(dc, nullptr);
        SetShapeMapping(context, kMappingClip);
    }
    win::ReleaseDC(record->window, dc);
    FreeRenderTools();
    state.pass = oldPass;
}

void RedrawNodeValues(WindowRecord* record)
{
    if (record == nullptr || record->window == nullptr || !record->document) return;
    const CircuitDocument& document = *record->document;
    // Digital wires change colour in every pane: those panes are painted again in full.
    for (const SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if (item.itemKind == kItemWire && (item.style & kStyleWireDigital) != 0) {
            win::InvalidateRect(record->window, nullptr, 0);
            return;
        }
    }
    if ((document.viewOptions & (kViewNodeNumbers | kViewNodeVoltages)) == 0) return;
    win::RECT active{};
    GetPaneRect(record, document.currentPane, active);
    if (active.right > active.left && active.bottom > active.top) win::InvalidateRect(record->window, &active, 0);
    RedrawOtherPanes(record);
}

void InstallSchematicRenderer() { SetSchematicRenderer(RenderSchematicPane); }

}  // namespace kq5
