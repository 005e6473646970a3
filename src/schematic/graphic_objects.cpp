#include "schematic/graphic_objects.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <vector>

#include "ui/font_select.h"
#include "ui/window_record.h"
#include "core/file_paths.h"
#include "core/format.h"
#include "document/schematic_item.h"
#include "document/settings_file.h"
#include "ui/program_settings.h"
#include "platform/gdi_clip.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_mapping.h"
#include "platform/gdi_objects.h"
#include "platform/gdi_raster.h"
#include "platform/metafile.h"
#include "platform/text.h"
#include "schematic/schematic_render.h"

namespace kq5 {

namespace {

constexpr int kArrowSize = 4;
constexpr int kMetafileHeaderSize = 18;

int RoundToInt(double value) { return static_cast<int>(std::lround(value)); }

// The pen and brush of an object in the current pass; the pen is created when the style asks
// for a weight or a dash and is deleted again by the restore.
class ObjectTools {
public:
    ObjectTools(win::HDC dc, const GraphicObject& object) : dc_(dc)
    {
        const std::uint32_t kind = object.style & kStyleKindMask;
        const bool fillable = IsFillableObjectKind(kind);
        const int pass = RenderPass();
        const std::uint32_t weight = object.style & (kGraphicWeight2 | kGraphicWeight3);
        const int width = (object.style & kGraphicWeight2) ? 2 : (object.style & kGraphicWeight3) ? 3 : 1;
        const int dash = static_cast<int>((object.style & kGraphicDashMask) >> 4);
        win::HGDIOBJ brush = win::GetStockObject(win::NULL_BRUSH);
        win::HGDIOBJ pen = nullptr;
        if (pass == kPassSingle) {
            if (fillable && (object.style & kGraphicFill)) brush = nullptr;  // the pass brush stays
            if (weight) {
                win::LOGPEN lp{};
                win::GetObject(win::GetCurrentObject(dc, win::OBJ_PEN), sizeof(lp), &lp);
                created_ = win::CreatePen(win::PS_SOLID, width, lp.lopnColor);
                pen = created_;
            }
        } else if (pass == kPassNormal) {
            const int lineColor = RenderColorIndex(static_cast<int>(object.lineColor));
            const int fillColor = RenderColorIndex(static_cast<int>(object.fillColor));
            if (fillable && (object.style & kGraphicFill)) brush = RenderBrush(fillColor);
            if ((object.style & kGraphicBorder) || !fillable) {
                if (weight || dash) {
                    created_ = win::CreatePen(std::min(dash, 4), width, ColorIndexRgb(lineColor));
                    pen = created_;
                } else {
                    pen = RenderPen(lineColor);
                }
            } else {
                pen = win::GetStockObject(win::NULL_PEN);
            }
        }
        if (brush) oldBrush_ = win::SelectObject(dc, brush);
        if (pen) oldPen_ = win::SelectObject(dc, pen);
    }
    ~ObjectTools()
    {
        if (oldPen_) win::SelectObject(dc_, oldPen_);
        if (oldBrush_) win::SelectObject(dc_, oldBrush_);
        if (created_) win::DeleteObject(created_);
    }
    ObjectTools(const ObjectTools&) = delete;
    ObjectTools& operator=(const ObjectTools&) = delete;

private:
    win::HDC dc_;
    win::HGDIOBJ oldPen_ = nullptr;
    win::HGDIOBJ oldBrush_ = nullptr;
    win::HPEN created_ = nullptr;
};

void Handles(win::HDC dc, const GraphicObject& object, std::uint32_t mask)
{
    if ((object.selection & 1) == 0 || RenderPass() == kPassXor) return;
    DrawObjectHandles(dc, object.x1, object.y1, object.x2, object.y2, 2, mask);
}

// Plot windows draw their objects at screen scale, so every owner gets the same size here.
int ArrowSizeFor(const WindowRecord*, win::HDC) { return kArrowSize; }

void DrawLineObject(win::HDC dc, const GraphicObject& object)
{
    ObjectTools tools(dc, object);
    win::MoveToEx(dc, object.x1, object.y1, nullptr);
    win::LineTo(dc, object.x2, object.y2);
    if (object.style & (kGraphicArrowFilled | kGraphicArrowOpen)) {
        const ArrowHead head =
            ComputeArrowHead(object.x1, object.y1, object.x2, object.y2, ArrowSizeFor(object.owner, dc));
        // The filled head is drawn with the line's own colour.
        win::HBRUSH brush = nullptr;
        win::HGDIOBJ oldBrush = nullptr;
        if ((object.style & kGraphicArrowFilled) && RenderPass() == kPassNormal) {
            brush = win::CreateSolidBrush(ColorIndexRgb(RenderColorIndex(static_cast<int>(object.lineColor))));
            oldBrush = win::SelectObject(dc, brush);
        }
        DrawArrowHead(dc, head, (object.style & kGraphicArrowFilled) != 0);
        if (brush) {
            win::SelectObject(dc, oldBrush);
            win::DeleteObject(brush);
        }
    }
    Handles(dc, object, 0x81);
}

void DrawDiamond(win::HDC dc, const GraphicObject& object)
{
    ObjectTools tools(dc, object);
    const int cx = object.x1 + (object.x2 - object.x1) / 2;
    const int cy = object.y1 + (object.y2 - object.y1) / 2;
    const win::POINT points[5] = {{cx, object.y1}, {object.x2, cy}, {cx, object.y2}, {object.x1, cy}, {cx, object.y1}};
    if ((object.style & kGraphicFill) && RenderPass() != kPassXor) {
        win::Polygon(dc, points, 5);
    } else {
        win::MoveToEx(dc, points[0].x, points[0].y, nullptr);
        for (int i = 1; i < 5; ++i) win::LineTo(dc, points[i].x, points[i].y);
    }
    Handles(dc, object, 0x5A);
}

void DrawArcOrPie(win::HDC dc, const GraphicObject& object, bool pie)
{
    ObjectTools tools(dc, object);
    const int rx = std::abs(object.x2 - object.x1);
    const int ry = std::abs(object.y2 - object.y1);
    const bool sameSign = (object.x2 - object.x1 >= 0) == (object.y2 - object.y1 >= 0);
    const int cx = sameSign ? object.x1 : object.x2;
    const int cy = sameSign ? object.y2 : object.y1;
    const int extra = pie ? 1 : 0;
    if (pie)
        win::Pie(dc, cx - rx, cy - ry, cx + rx + extra, cy + ry + extra, object.x2, object.y2, object.x1, object.y1);
    else
        win::Arc(dc, cx - rx, cy - ry, cx + rx, cy + ry, object.x2, object.y2, object.x1, object.y1);
    Handles(dc, object, 0xF0FF);
}

GraphicObject BoxObject(const GraphicObject& object, std::uint32_t style, int grow)
{
    GraphicObject box;
    box.owner = object.owner;
    box.x1 = std::min(object.x1, object.x2) - grow;
    box.y1 = std::min(object.y1, object.y2) - grow;
    box.x2 = std::max(object.x1, object.x2) + grow;
    box.y2 = std::max(object.y1, object.y2) + grow;
    box.style = kObjectRectangle | style;
    box.lineColor = style & kGraphicBorder ? object.lineColor : 0;
    box.fillColor = style & kGraphicFill ? object.fillColor : 0;
    return box;
}

void DrawRectangle(win::HDC dc, const GraphicObject& object)
{
    ObjectTools tools(dc, object);
    if (object.style & kGraphicRounded)
        win::RoundRect(dc, object.x1, object.y1, object.x2 + 1, object.y2 + 1, 24, 24);
    else
        win::Rectangle(dc, object.x1, object.y1, object.x2 + 1, object.y2 + 1);
    Handles(dc, object, 0xF0FF);
}

// The file of a picture: a name without a folder is looked for beside the circuit, in the
// picture folder of the settings and in the working folder, where a user keeps pictures; a name
// found nowhere is taken as written (the box then says which file is missing).
std::string PictureFilePath(const GraphicObject& object)
{
    const std::filesystem::path written(ToNativeSeparators(object.text));
    if (object.text.empty() || written.is_absolute()) return object.text;
    std::vector<std::filesystem::path> folders;
    if (object.owner != nullptr && !object.owner->untitled)
        folders.push_back(std::filesystem::path(ToNativeSeparators(GetRecordTitle(object.owner))).parent_path());
    for (const std::string* folder : {&SettingsFile().picturePath, &Settings().workingDirectory})
        if (!folder->empty()) folders.emplace_back(ToNativeSeparators(*folder));
    for (const std::filesystem::path& folder : folders) {
        if (folder.empty()) continue;
        const std::string candidate = ResolveFilePath((folder / written).lexically_normal().string());
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) return candidate;
    }
    return object.text;
}

void DrawPictureObject(win::HDC dc, const GraphicObject& object)
{
    if (object.x1 == object.x2 || object.y1 == object.y2) return;
    const int pass = RenderPass();
    const bool metafile = win::GetDeviceCaps(dc, win::TECHNOLOGY) == win::DT_METAFILE;
    if (pass == kPassXor || pass == kPassSingle || metafile) {
        GraphicObject box = BoxObject(object, metafile ? kGraphicBorder : kGraphicFill, pass == kPassSingle ? 2 : 0);
        box.lineColor = box.fillColor = 0;
        DrawRectangle(dc, box);
        return;
    }
    // The frame keeps the weight the Picture dialog gives its border.
    GraphicObject frame = BoxObject(object, object.style & (kGraphicFill | kGraphicBorder | kGraphicWeight2 | kGraphicWeight3), 0);
    if (object.style & (kGraphicFill | kGraphicBorder)) DrawRectangle(dc, frame);
    win::RECT bounds{};
    win::HMETAFILE picture = object.text.empty() ? nullptr : LoadPlaceableMetafile(PictureFilePath(object), bounds);
    const win::RECT r{frame.x1, frame.y1, frame.x2, frame.y2};
    if (picture == nullptr) {
        GraphicObject outline = BoxObject(object, kGraphicBorder, 0);
        DrawRectangle(dc, outline);
        DrawTextInBox(dc, StrPrintf("Missing Picture for file %s.", object.text.c_str()),
                      win::RECT{r.left + 2, r.top + 2, r.right, r.bottom},
                      ColorIndexRgb(RenderColorIndex(static_cast<int>(object.lineColor))), false);
        return;
    }
    const int saved = win::SaveDC(dc);
    win::IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
    ObjectTools tools(dc, object);
    win::POINT topLeft{r.left, r.top};
    win::LPtoDP(dc, &topLeft, 1);
    win::SIZE windowExt{}, viewportExt{};
    win::GetWindowExtEx(dc, &windowExt);
    win::GetViewportExtEx(dc, &viewportExt);
    if (bounds.right != bounds.left && bounds.bottom != bounds.top && windowExt.cx != 0 && windowExt.cy != 0) {
        // The picture's own window is set up by its records; the viewport maps it onto the box.
        win::SetMapMode(dc, win::MM_ANISOTROPIC);
        win::SetViewportExtEx(dc, win::MulDiv(r.right - r.left, viewportExt.cx, windowExt.cx),
                              win::MulDiv(r.bottom - r.top, viewportExt.cy, windowExt.cy), nullptr);
        win::SetViewportOrgEx(dc, topLeft.x, topLeft.y, nullptr);
        win::SetWindowOrgEx(dc, 0, 0, nullptr);
        win::SetWindowExtEx(dc, bounds.right - bounds.left, bounds.bottom - bounds.top, nullptr);
        win::PlayMetaFile(dc, picture);
    }
    win::DeleteMetaFile(picture);
    win::RestoreDC(dc, saved);
}

}  // namespace

bool IsFillableObjectKind(std::uint32_t kind)
{
    return kind == kObjectEllipse || kind == kObjectRectangle || kind == kObjectDiamond || kind == kObjectPie ||
           kind == kObjectPicture;
}

ArrowHead ComputeArrowHead(int x1, int y1, int x2, int y2, int size)
{
    double len = std::sqrt(static_cast<double>(x1 - x2) * (x1 - x2) + static_cast<double>(y1 - y2) * (y1 - y2));
    if (len == 0.0) len = 1e-22;
    const double bx = x2 + (x1 - x2) * 2.0 * size / len;
    const double by = y2 + (y1 - y2) * 2.0 * size / len;
    double dx = x2 - x1;
    if (dx == 0.0) dx = y1 > y2 ? 1e-22 : -1e-22;
    const double a = std::numbers::pi / 2 - std::atan((y2 - y1) / dx);
    ArrowHead head;
    head.tip = {x2, y2};
    head.wing1 = {RoundToInt(bx + size * std::cos(a)), RoundToInt(by - size * std::sin(a))};
    head.wing2 = {RoundToInt(bx - size * std::cos(a)), RoundToInt(by + size * std::sin(a))};
    return head;
}

void DrawArrowHead(win::HDC dc, const ArrowHead& head, bool filled)
{
    if (filled) {
        const win::POINT points[4] = {head.tip, head.wing1, head.wing2, head.tip};
        win::Polygon(dc, points, 4);
        return;
    }
    win::MoveToEx(dc, head.wing1.x, head.wing1.y, nullptr);
    win::LineTo(dc, head.tip.x, head.tip.y);
    win::LineTo(dc, head.wing2.x, head.wing2.y);
}

void DrawObjectHandles(win::HDC dc, int x1, int y1, int x2, int y2, std::uint32_t selection, std::uint32_t mask)
{
    if (mask & 0xF000) {
        if (x1 > x2) std::swap(x1, x2);
        if (y1 > y2) std::swap(y1, y2);
    }
    const int selectColor = RenderSelectionColor();
    if (selection & 1) {
        win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
        win::HGDIOBJ oldPen = win::SelectObject(dc, RenderPen(selectColor));
        win::Rectangle(dc, x1, y1, x2 + 1, y2 + 1);
        win::SelectObject(dc, oldPen);
        win::SelectObject(dc, oldBrush);
    }
    if ((selection & 2) == 0 || RenderPass() != kPassNormal) return;
    const int mx = x1 + (x2 - x1) / 2;
    const int my = y1 + (y2 - y1) / 2;
    const win::POINT spots[8] = {{x1, y1}, {x1, my}, {x1, y2}, {mx, y1}, {mx, y2}, {x2, y1}, {x2, my}, {x2, y2}};
    win::HGDIOBJ oldBrush = win::SelectObject(dc, RenderBrush(selectColor));
    win::HGDIOBJ oldPen = win::SelectObject(dc, win::GetStockObject(win::NULL_PEN));
    for (int i = 0; i < 8; ++i) {
        if ((mask & (1u << i)) == 0) continue;
        win::Rectangle(dc, spots[i].x - 2, spots[i].y - 2, spots[i].x + 4, spots[i].y + 4);
    }
    win::SelectObject(dc, oldPen);
    win::SelectObject(dc, oldBrush);
}

void DrawShapeObject(win::HDC dc, const GraphicObject& object)
{
    switch (object.style & kStyleKindMask) {
    case kObjectLine: DrawLineObject(dc, object); break;
    case kObjectEllipse: {
        ObjectTools tools(dc, object);
        win::Ellipse(dc, object.x1, object.y1, object.x2 + 1, object.y2 + 1);
        Handles(dc, object, 0xF0FF);
        break;
    }
    case kObjectRectangle: DrawRectangle(dc, object); break;
    case kObjectDiamond: DrawDiamond(dc, object); break;
    case kObjectArc: DrawArcOrPie(dc, object, false); break;
    case kObjectPie: DrawArcOrPie(dc, object, true); break;
    case kObjectPicture: DrawPictureObject(dc, object); break;
    default: break;
    }
}

win::HMETAFILE LoadPlaceableMetafile(const std::string& fileName, win::RECT& bounds)
{
    bounds = win::RECT{};
    std::FILE* file = OpenResolvedFile(fileName, "rb");
    if (file == nullptr) return nullptr;
    struct Closer {
        std::FILE* f;
        ~Closer() { std::fclose(f); }
    } closer{file};
    std::fseek(file, 0, SEEK_END);
    const long fileSize = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    unsigned char header[win::kPlaceableHeaderSize];
    if (std::fread(header, 1, sizeof(header), file) != sizeof(header)) return nullptr;
    auto word = [](const unsigned char* p) { return static_cast<unsigned>(p[0] | (p[1] << 8)); };
    const std::uint32_t key = word(header) | (static_cast<std::uint32_t>(word(header + 2)) << 16);
    if (key != win::kPlaceableKey) return nullptr;
    unsigned char meta[kMetafileHeaderSize];
    if (std::fread(meta, 1, sizeof(meta), file) != sizeof(meta)) return nullptr;
    // The size field counts 16-bit words; a file cannot hold more than what follows its header,
    // so a larger claim is a damaged file, not a reason to allocate.
    const std::uint64_t words = word(meta + 6) | (static_cast<std::uint64_t>(word(meta + 8)) << 16);
    const std::uint64_t bytes = words * 2;
    const std::uint64_t available = fileSize > static_cast<long>(win::kPlaceableHeaderSize)
                                        ? static_cast<std::uint64_t>(fileSize) - win::kPlaceableHeaderSize
                                        : 0;
    if (bytes < kMetafileHeaderSize || bytes > available) return nullptr;
    std::vector<win::BYTE> data;
    try {
        data.resize(static_cast<std::size_t>(bytes));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    std::fseek(file, static_cast<long>(win::kPlaceableHeaderSize), SEEK_SET);
    if (std::fread(data.data(), 1, data.size(), file) != data.size()) return nullptr;
    win::HMETAFILE picture = win::SetMetaFileBitsEx(static_cast<win::UINT>(data.size()), data.data());
    if (picture == nullptr) return nullptr;
    bounds = win::RECT{static_cast<win::LONG>(word(header + 6)), static_cast<win::LONG>(word(header + 8)),
                       static_cast<win::LONG>(word(header + 10)), static_cast<win::LONG>(word(header + 12))};
    return picture;
}

}  // namespace kq5
