#include "schematic/node_labels.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ui/font_select.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "document/connection_points.h"
#include "document/connectivity.h"
#include "document/node_table.h"
#include "document/selection.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/text.h"
#include "document/component_definition.h"
#include "schematic/schematic_render.h"
#include "schematic/schematic_view.h"

namespace kq5 {

namespace {

// Space between a connection point and its label, and between a label's text and its box, in
// logical units: an erased label (its box grown by 2) leaves a wire through the point alone.
constexpr int kLabelOffset = 5;
constexpr int kLabelMargin = 2;
constexpr int kRoundCorner = 6;

// A wire knows its node only after a circuit build, and the connectivity rebuild of every edit
// forgets it again: a junction of wires alone would get no label. Wires joined end to end carry
// the label of whatever pin or named label their chain reaches.
void LabelWireOnlyPoints(const CircuitDocument& document, std::unordered_map<std::uint64_t, std::int32_t>& labels)
{
    std::unordered_map<std::uint64_t, std::uint64_t> parent;
    const auto root = [&](std::uint64_t key) {
        auto at = parent.try_emplace(key, key).first;
        while (at->second != at->first) {
            auto up = parent.find(at->second);
            at->second = up->second;  // halve the path
            at = up;
        }
        return at->first;
    };
    std::vector<std::uint64_t> ends;
    for (const SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if (item.hidden != 0 || item.itemKind != kItemWire) continue;
        const std::uint64_t a = PagedPointKey(ConnectionKey(item.x1, item.y1), item.page);
        const std::uint64_t b = PagedPointKey(ConnectionKey(item.x2, item.y2), item.page);
        const std::uint64_t ra = root(a), rb = root(b);
        if (ra != rb) parent[ra] = rb;
        ends.push_back(a);
        ends.push_back(b);
    }
    if (ends.empty()) return;
    std::unordered_map<std::uint64_t, std::int32_t> netLabels;
    for (const auto& [key, label] : labels)
        if (parent.count(key) != 0) netLabels.emplace(root(key), label);
    for (const std::uint64_t key : ends) {
        const auto found = netLabels.find(root(key));
        if (found != netLabels.end()) labels.emplace(key, found->second);
    }
}

// The node label of every point where a pin, a wire end or a named node label lies.
std::unordered_map<std::uint64_t, std::int32_t> PointLabels(const CircuitDocument& document)
{
    std::unordered_map<std::uint64_t, std::int32_t> labels;
    const auto note = [&](std::int32_t x, std::int32_t y, std::int16_t page, std::int32_t label) {
        if (label > 0) labels.emplace(PagedPointKey(ConnectionKey(x, y), page), label);
    };
    for (const SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if (item.hidden != 0) continue;
        if (item.IsComponent()) {
            if (item.definition == nullptr) continue;
            const int pins = std::min<int>(item.PinCount(), static_cast<int>(item.definition->pins.size()));
            for (int pin = 0; pin < pins; ++pin) {
                const win::POINT at = GetPinPosition(&item, pin);
                note(at.x, at.y, item.page, item.pinNodes[static_cast<std::size_t>(pin)]);
            }
        } else if (item.itemKind == kItemWire) {
            note(item.x1, item.y1, item.page, item.wireLabel);
            note(item.x2, item.y2, item.page, item.wireLabel);
        }
    }
    for (const GridText& text : ListRecords<GridText>(document.gridTextList))
        if (IsNodeLabel(text)) note(text.x, text.y, text.page, text.number);
    LabelWireOnlyPoints(document, labels);
    return labels;
}

struct LabelColors {
    int number;
    int value;
    int background;
};

LabelColors ColorsOf(const CircuitDocument& document)
{
    return {RenderColorIndex(document.nodeNumberFont.color), RenderColorIndex(document.nodeVoltageFont.color),
            RenderColorIndex(document.backgroundColor)};
}

// Whether a box would cover the text of one placed before; frames may touch.
bool OverlapsAny(const win::RECT& box, const std::vector<win::RECT>& placed)
{
    return std::any_of(placed.begin(), placed.end(), [&](const win::RECT& other) {
        return box.left < other.right - kLabelMargin && other.left + kLabelMargin < box.right &&
               box.top < other.bottom - kLabelMargin && other.top + kLabelMargin < box.bottom;
    });
}

// Draws one label up and to the right of its point; returns its box in logical units. A box that
// would cover one drawn before it (the values of nodes a few grid points apart) goes up a box
// at a time, at most a few, so that both values stay readable and near their points. The text
// starts at textLeft when that is further right (after the name of a net at the point).
win::RECT DrawOneLabel(win::HDC dc, const NodeLabel& label, const LabelColors& colors, bool numbered,
                       const std::vector<win::RECT>& placed, int textLeft)
{
    constexpr int kMostLifts = 3;
    const win::SIZE size = win::GetTextExtent(dc, label.text);
    const int left = std::max(label.x * kDrawUnitsPerGrid + kLabelOffset, textLeft);
    int bottom = label.y * kDrawUnitsPerGrid - kLabelOffset;
    const auto boxAt = [&](int b) {
        return win::RECT{left - kLabelMargin, b - size.cy - kLabelMargin, left + size.cx + kLabelMargin, b + kLabelMargin};
    };
    for (int lift = 0; lift <= kMostLifts; ++lift) {
        const int b = bottom - lift * (size.cy + 2 * kLabelMargin + 1);
        if (!OverlapsAny(boxAt(b), placed)) {
            bottom = b;
            break;
        }
    }
    const win::RECT box = boxAt(bottom);
    win::HGDIOBJ oldPen = win::SelectObject(dc, RenderPen(colors.number));
    win::HGDIOBJ oldBrush = win::SelectObject(dc, RenderBrush(colors.background));
    if (label.boxed)
        win::Rectangle(dc, box.left, box.top, box.right, box.bottom);
    else
        win::RoundRect(dc, box.left, box.top, box.right, box.bottom, kRoundCorner, kRoundCorner);
    win::SelectObject(dc, oldBrush);
    win::SelectObject(dc, oldPen);
    // The number in its colour, the value (from the colon on) in the value colour.
    const std::size_t colon = numbered ? label.text.find(':') : 0;
    const std::string head = label.text.substr(0, std::min(colon, label.text.size()));
    const int top = bottom - size.cy;
    if (!head.empty()) {
        win::SetTextColor(dc, ColorIndexRgb(colors.number));
        win::TextOut(dc, left, top, head.c_str(), static_cast<int>(head.size()));
    }
    if (head.size() < label.text.size()) {
        const std::string tail = label.text.substr(head.size());
        win::SetTextColor(dc, ColorIndexRgb(colors.value));
        win::TextOut(dc, left + win::GetTextExtent(dc, head).cx, top, tail.c_str(), static_cast<int>(tail.size()));
    }
    return box;
}

}  // namespace

void BuildNodeLabels(CircuitDocument& document)
{
    document.nodeLabels.clear();
    const unsigned flags = document.viewOptions & (kViewNodeNumbers | kViewNodeVoltages);
    if (flags == 0) return;
    const std::unordered_map<std::uint64_t, std::int32_t> labels = PointLabels(document);
    const std::vector<SchematicNodeRow>& table = document.schematicNodeTable;
    for (const ConnectionDot& dot : document.connectionDots) {
        const auto found = labels.find(PagedPointKey(dot.key, dot.page));
        if (found == labels.end() || static_cast<std::size_t>(found->second) >= table.size()) continue;
        const SchematicNodeRow& row = table[static_cast<std::size_t>(found->second)];
        if (row.nodeNumber <= 0) continue;
        NodeLabel label;
        label.x = KeyX(dot.key);
        label.y = KeyY(dot.key);
        label.page = dot.page;
        label.kind = dot.flag;
        label.boxed = dot.flag == kDotNodeLabel;
        label.text = FormatNodeLabel(row, flags);
        document.nodeLabels.push_back(std::move(label));
    }
}

bool NodeLabelKindShown(std::uint16_t kind, std::uint32_t displayFlags)
{
    switch (kind) {
    case kDotJunction: return true;
    case kDotNodeLabel: return (displayFlags & kViewGridText) != 0;
    case 0: return (displayFlags & kViewPinConnections) != 0;
    default: return false;
    }
}

void DrawNodeLabelBoxes(const DrawContext& context)
{
    if (context.record == nullptr || !context.record->document) return;
    CircuitDocument& document = *context.record->document;
    // Only a pane on the screen keeps its boxes for a later erase; prints and copies do not.
    std::vector<win::RECT>* drawn = nullptr;
    if (context.technology == win::DT_RASDISPLAY && context.pane >= 0 && context.pane < kPaneCount) {
        drawn = &document.nodeLabelRects[static_cast<std::size_t>(context.pane)];
        drawn->clear();
    }
    BuildNodeLabels(document);
    if (document.nodeLabels.empty()) return;
    win::HDC dc = context.dc;
    const LabelColors colors = ColorsOf(document);
    const bool numbered = (context.displayFlags & kViewNodeNumbers) != 0;
    // The list is only filled while numbers or values are shown: one label per point.
    std::set<std::pair<std::int32_t, std::int32_t>> labelled;
    std::vector<win::RECT> placed;
    // A net's name stands up and to the right of its point, where the value's box goes: the box
    // follows the name on its line, or the name would be hidden under its own value.
    std::map<std::pair<std::int32_t, std::int32_t>, int> nameEnds;
    if (context.displayFlags & kViewGridText) {
        for (const GridText& text : ListRecords<GridText>(document.gridTextList)) {
            if (text.page != context.page || !IsNodeLabel(text)) continue;
            win::HGDIOBJ font = SelectFontSpec(dc, text.font);
            const int end = GridTextDrawRect(dc, text).right + kLabelMargin + 1;
            RestoreFont(dc, font);
            int& known = nameEnds[{text.x, text.y}];
            known = std::max(known, end);
        }
    }
    win::HGDIOBJ previous = SelectFontSpec(dc, document.nodeNumberFont);
    const int oldMode = win::SetBkMode(dc, win::TRANSPARENT);
    for (const NodeLabel& label : document.nodeLabels) {
        if (label.page != context.page || !NodeLabelKindShown(label.kind, context.displayFlags)) continue;
        if (!labelled.insert({label.x, label.y}).second) continue;
        const auto name = nameEnds.find({label.x, label.y});
        const win::RECT box = DrawOneLabel(dc, label, colors, numbered, placed, name != nameEnds.end() ? name->second : 0);
        placed.push_back(box);
        if (drawn) drawn->push_back(box);
    }
    win::SetBkMode(dc, oldMode);
    RestoreFont(dc, previous);
}

void DrawNodeLabels(const DrawContext& context)
{
    if (context.record == nullptr || !context.record->document) return;
    CircuitDocument& document = *context.record->document;
    if (RenderPass() == kPassSingle) {
        if (context.pane < 0 || context.pane >= kPaneCount) return;
        std::vector<win::RECT>& drawn = document.nodeLabelRects[static_cast<std::size_t>(context.pane)];
        const win::HBRUSH background = RenderBrush(ColorsOf(document).background);
        for (win::RECT r : drawn) {
            win::InflateRect(&r, 2, 2);
            win::FillRect(context.dc, &r, background);
        }
        drawn.clear();
        if (SchematicDrawing().nodeLabelToggle) return;
    } else if (RenderPass() != kPassNormal) {
        return;
    }
    DrawNodeLabelBoxes(context);
}

}  // namespace kq5
