// Builds the shape library (shape.kq5) and the component library (comp.kq5) from their readable
// sources, data/shapes.txt and data/components.tsv, through the program's own primitive builder
// and file writers. Any mistake in the sources stops the build with file:line and what is wrong.
//
//   gen_libraries shapes.txt components.tsv out/shape.kq5 out/comp.kq5
#include <cmath>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/char_classes.h"
#include "core/file_units.h"
#include "document/component_types.h"
#include "document/binary_io.h"
#include "document/component_library.h"
#include "document/shape_data.h"
#include "document/shape_library.h"
#include "gen_common.h"

using namespace kq5;

namespace {

std::string g_file;
int g_line = 0;

[[noreturn]] void Fail(const std::string& message)
{
    std::cerr << g_file << ":" << g_line << ": " << message << "\n";
    std::exit(1);
}

std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string word;
    while (in >> word) {
        if (word[0] == '"') {
            // A quoted text runs to its closing quote.
            std::string rest;
            while (word.size() < 2 || word.back() != '"') {
                if (!(in >> rest)) Fail("unterminated text");
                word += " " + rest;
            }
        }
        out.push_back(word);
    }
    return out;
}

long Number(const std::string& text)
{
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0') Fail("not a whole number: '" + text + "'");
    return v;
}

std::vector<std::uint8_t> RectPayload(const std::vector<long>& v)
{
    std::vector<std::uint8_t> b;
    for (long x : v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>((static_cast<std::uint32_t>(x) >> (8 * i)) & 0xFF));
    }
    return b;
}

void PutI16(std::vector<std::uint8_t>& b, std::size_t at, int v)
{
    b[at] = static_cast<std::uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

// Numbers after the keyword words; SOLID at the end sets the fill bit.
std::vector<long> Numbers(const std::vector<std::string>& words, std::size_t from, bool& solid)
{
    std::vector<long> out;
    solid = false;
    for (std::size_t i = from; i < words.size(); ++i) {
        if (words[i] == "SOLID" && i + 1 == words.size()) {
            solid = true;
            break;
        }
        out.push_back(Number(words[i]));
    }
    return out;
}

void AddPrimitive(PrimitiveList& list, const std::vector<std::string>& w)
{
    bool solid = false;
    auto need = [&](const std::vector<long>& v, std::size_t n) {
        if (v.size() != n) Fail(w[0] + " takes " + std::to_string(n) + " numbers");
    };
    std::string keyword = w[0];
    std::size_t from = 1;
    if ((w[0] == "POLY" || w[0] == "SEVEN") && w.size() > 1) {
        keyword += " " + w[1];
        from = 2;
    }
    std::vector<std::uint8_t> payload;
    int type = 0;
    const std::map<std::string, int> rectKinds{{"LINE", kPrimLine},       {"RECTANGLE", kPrimRectangle},
                                               {"ELLIPSE", kPrimEllipse}, {"DIAMOND", kPrimDiamond},
                                               {"SEVEN SEGMENT", kPrimSevenSegment}, {"LED", kPrimLed},
                                               {"SWITCH", kPrimSwitch}};
    if (auto it = rectKinds.find(keyword); it != rectKinds.end()) {
        const auto v = Numbers(w, from, solid);
        need(v, 4);
        type = it->second;
        payload = RectPayload(v);
    } else if (keyword == "ARC") {
        const auto v = Numbers(w, from, solid);
        need(v, 8);
        type = kPrimArc;
        payload = RectPayload(v);
    } else if (keyword == "POLY CLOSED" || keyword == "POLY OPEN") {
        const auto v = Numbers(w, from, solid);
        if (v.size() < 4 || v.size() % 2 != 0) Fail(keyword + " takes pairs of numbers, two points at least");
        type = keyword == "POLY CLOSED" ? kPrimPolyClosed : kPrimPolyOpen;
        std::vector<win::POINT> points;
        for (std::size_t i = 0; i < v.size(); i += 2) points.push_back(win::POINT{static_cast<win::LONG>(v[i]), static_cast<win::LONG>(v[i + 1])});
        payload = BuildPolyPayload(points);
    } else if (keyword == "BLOCK") {
        // BLOCK l t r b [MARKS m0 m1 ...]: the pins as the editor makes them for the box.
        std::vector<long> v;
        std::size_t i = from;
        for (; i < w.size() && w[i] != "MARKS"; ++i) v.push_back(Number(w[i]));
        need(v, 4);
        payload = BuildBlockPayload(win::RECT{static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]),
                                              static_cast<int>(v[3])});
        if (payload.empty()) Fail("BLOCK box too small for one pin a side");
        const int pins = payload[0] | (payload[1] << 8);
        int k = 0;
        for (++i; i < w.size(); ++i, ++k) {
            if (k >= pins) Fail("more MARKS than the block has pins");
            PutI16(payload, kPointListOffset + static_cast<std::size_t>(k) * kBlockPinSize, static_cast<int>(Number(w[i])));
        }
        type = kPrimBlock;
    } else if (keyword == "TEXT") {
        // TEXT x y height "text"
        if (w.size() != 5 || w[4].size() < 2 || w[4].front() != '"') Fail("TEXT takes x y height \"text\"");
        const std::string text = w[4].substr(1, w[4].size() - 2);
        const long x = Number(w[1]), y = Number(w[2]), h = Number(w[3]);
        payload = BuildTextPayload(static_cast<int>(x), static_cast<int>(y), text, static_cast<std::int16_t>(h), 0, 0, 0);
        // The rectangle the text takes, measured roughly: the drawing places the text at its
        // top-left corner.
        const auto rect = RectPayload({x, y, x + std::lround(static_cast<double>(text.size()) * h * 0.6), y + h});
        std::copy(rect.begin(), rect.end(), payload.begin());
        type = kPrimText;
    } else if (keyword == "REF") {
        // REF name x y orientation
        if (w.size() != 5) Fail("REF takes a shape name, x, y and an orientation");
        const ShapeRecord* target = FindShapeByName(w[1]);
        if (!target) Fail("unknown shape '" + w[1] + "' (a shape must be defined before it is used)");
        const long orientation = Number(w[4]);
        if (orientation < 0 || orientation > 7) Fail("orientation must be 0 to 7");
        payload = RectPayload({Number(w[2]), Number(w[3]), orientation});
        type = target->index;
    } else {
        Fail("unknown keyword '" + keyword + "'");
    }
    const std::uint16_t attributes = solid ? kPrimSolid : 0;
    if (solid && !IsClosedKind(type)) Fail("SOLID fills closed kinds only");
    if (!CreatePrimitive(list, payload, 32, 32, type, attributes, 0)) Fail("the primitive could not be built");
}

std::ifstream OpenSource(const std::string& path)
{
    std::ifstream in(path);
    if (!in) {
        std::cerr << path << ": cannot open\n";
        std::exit(1);
    }
    g_file = path;
    g_line = 0;
    return in;
}

void ReadShapes(const std::string& path)
{
    std::ifstream in = OpenSource(path);
    std::string line;
    ShapeRecord* current = nullptr;
    PrimitiveList list;
    int next = 1;
    while (gen::NextLine(in, line, g_line)) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        const std::vector<std::string> w = Words(line);
        if (w[0] == "shape") {
            if (current) Fail("shape '" + current->name + "' has no end");
            if (w.size() != 2) Fail("shape takes one name");
            if (w[1].size() > kShapeNameMax) Fail("shape name longer than 15 characters");
            if (FindShapeByName(w[1])) Fail("duplicate shape '" + w[1] + "'");
            current = AddShapeRecord(Shapes(), w[1], next++);
            list.clear();
        } else if (w[0] == "end") {
            if (!current) Fail("end without shape");
            if (list.empty()) Fail("shape '" + current->name + "' is empty");
            if (!StoreShapeData(*current, list)) Fail("out of memory");
            current = nullptr;
        } else {
            if (!current) Fail("primitive outside a shape");
            AddPrimitive(list, w);
        }
    }
    if (current) Fail("shape '" + current->name + "' has no end");
}

// Where the pins of a shape may lie: the ends of its lines and open polygons, its arcs' ends, its
// blocks' pin ends, through references.
void CollectEnds(const PrimitiveList& list, std::set<std::pair<long, long>>& ends)
{
    for (const ShapePrimitive& p : list) {
        if (p.type == kPrimLine) {
            ends.insert({p.rect.left, p.rect.top});
            ends.insert({p.rect.right, p.rect.bottom});
        } else if (p.type == kPrimPolyOpen || p.type == kPrimBlock) {
            const auto points = GetPrimitivePoints(p);
            if (p.type == kPrimBlock) {
                for (const auto& q : points) ends.insert({q.x, q.y});
            } else if (!points.empty()) {
                ends.insert({points.front().x, points.front().y});
                ends.insert({points.back().x, points.back().y});
            }
        } else if (p.type == kPrimArc) {
            const auto points = GetPrimitivePoints(p);
            ends.insert({points[2].x, points[2].y});
            ends.insert({points[3].x, points[3].y});
        } else if (p.type >= 0) {
            CollectEnds(p.contents, ends);
        }
    }
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        out.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return out;
        start = end + 1;
    }
}

std::uint16_t GroupIdOf(const std::string& path)
{
    ComponentGroup* group = &ComponentLibrary().root;
    for (const std::string& part : Split(path, '/')) {
        if (part.empty()) Fail("empty group name in '" + path + "'");
        ComponentGroup* found = nullptr;
        for (ComponentGroup& child : group->children) {
            if (child.name == part) found = &child;
        }
        if (!found) {
            ComponentGroup child;
            child.name = part;
            child.id = static_cast<std::uint16_t>(NewGroupId());
            group->children.push_back(child);
            found = &group->children.back();
        }
        group = found;
    }
    return group->id;
}

void ReadComponents(const std::string& path)
{
    std::ifstream in = OpenSource(path);
    ComponentLibraryState& library = ComponentLibrary();
    library.root.name = "Components";
    for (int i = 0; i < kComponentSlotCount; ++i) library.slotNames[static_cast<std::size_t>(i)] = std::to_string(i);
    std::string line;
    std::set<int> typesCovered;
    while (gen::NextDataLine(in, line, g_line)) {
        const std::vector<std::string> f = Split(line, '\t');
        if (f[0] == "SLOT") {
            if (f.size() != 3) Fail("SLOT takes a number and a name");
            const long n = Number(f[1]);
            if (n < 0 || n >= kComponentSlotCount) Fail("slot number outside 0 to 9");
            library.slotNames[static_cast<std::size_t>(n)] = f[2];
            continue;
        }
        if (f.size() != 10) Fail("expected 10 TAB-separated fields, found " + std::to_string(f.size()));
        const std::string& name = f[0];
        if (name.empty()) Fail("empty component name");
        for (const ComponentDefinition& d : ListRecords<ComponentDefinition>(library.definitions)) {
            if (EqualsNoCase(d.name, name)) Fail("duplicate component '" + name + "'");
        }
        int type = FindComponentTypeByName(f[1]);
        if (type < 0) Fail("unknown component type '" + f[1] + "'");
        const ShapeRecord* shape = FindShapeByName(f[2]);
        if (!shape) Fail("unknown shape '" + f[2] + "'");
        ComponentDefinition* d = AddComponentDefinition(name, type, shape->index);
        if (!d) Fail("out of memory");
        d->groupId = GroupIdOf(f[3]);
        const long palette = Number(f[4]);
        if (palette < 0 || palette > 9) Fail("palette outside 0 to 9");
        std::uint16_t flags = static_cast<std::uint16_t>(palette);
        if (f[5] != "-") {
            for (const std::string& word : Split(f[5], ' ')) {
                if (word == "PART") flags |= kDefShowPart;
                else if (word == "VALUE") flags |= kDefShowMain;
                else if (word == "MODEL") flags |= kDefShowModel;
                else if (word == "MODELNAME") flags |= kDefModelIsName;
                else if (word == "PINTEXT") flags |= kDefShowPinText;
                else Fail("unknown flag '" + word + "'");
            }
        }
        d->placementFlags = flags;
        if (f[6] != "-") {
            const auto sizes = Split(f[6], ',');
            if (sizes.size() != 2) Fail("sizes are A,B");
            d->sizeA = static_cast<std::uint16_t>(Number(sizes[0]));
            d->sizeB = static_cast<std::uint16_t>(Number(sizes[1]));
        }
        if (f[7] != "-") d->memo = f[7];
        if (f[8] != "-") {
            const auto words = Split(f[8], ',');
            if (words.size() != 4) Fail("placement is x,turned x,y,turned y");
            d->attrOriginX = static_cast<std::int16_t>(Number(words[0]));
            d->attrOriginTurnedX = static_cast<std::int16_t>(Number(words[1]));
            d->attrOriginY = static_cast<std::int16_t>(Number(words[2]));
            d->attrOriginTurnedY = static_cast<std::int16_t>(Number(words[3]));
        }
        // Pins: x,y[@dx,dy][=letter:name[:node]] in grid units, name offsets in drawing units.
        PrimitiveList expanded;
        ParseShapeData(expanded, *shape, 0, 0, 0);
        std::set<std::pair<long, long>> ends;
        CollectEnds(expanded, ends);
        if (f[9] != "-") {
            for (const std::string& spec : Split(f[9], ' ')) {
                if (spec.empty()) continue;
                std::string position = spec, offset, text;
                if (const auto eq = position.find('='); eq != std::string::npos) {
                    text = position.substr(eq + 1);
                    position.resize(eq);
                }
                if (const auto at = position.find('@'); at != std::string::npos) {
                    offset = position.substr(at + 1);
                    position.resize(at);
                }
                const auto xy = Split(position, ',');
                if (xy.size() != 2) Fail("pin '" + spec + "' is not x,y");
                for (const std::string& c : xy) {
                    if (c.find('.') != std::string::npos) Fail("pin '" + spec + "' is off the grid");
                }
                DefinitionPin pin;
                pin.dx = static_cast<std::int16_t>(Number(xy[0]));
                pin.dy = static_cast<std::int16_t>(Number(xy[1]));
                if (!offset.empty()) {
                    const auto o = Split(offset, ',');
                    if (o.size() != 2) Fail("pin text offset of '" + spec + "' is not dx,dy");
                    pin.textDx = static_cast<std::int16_t>(Number(o[0]));
                    pin.textDy = static_cast<std::int16_t>(Number(o[1]));
                }
                if (!ends.count({pin.dx * 8L, pin.dy * 8L}))
                    Fail("pin " + position + " of '" + name + "' is not at the end of a line, arc or block pin of shape '" +
                         shape->name + "'");
                d->pins.push_back(pin);
                if (!text.empty()) {
                    if (!IsNamedPinType(type)) Fail("pin names are given only for Macro, subckt, LOGICEXP, PINDLY, CONSTRAINT");
                    const auto parts = Split(text, ':');
                    if (parts.size() < 2 || parts[0].size() != 1) Fail("pin name '" + text + "' is not letter:name[:node]");
                    SetDefinitionPin(*d, static_cast<int>(d->pins.size()) - 1, parts[0][0], parts[1],
                                     parts.size() > 2 ? parts[2] : std::string());
                } else if (IsNamedPinType(type)) {
                    Fail("pins of this type need letter:name");
                }
            }
        }
        for (std::size_t i = 0; i < d->pins.size(); ++i) {
            for (std::size_t j = 0; j < i; ++j) {
                if (d->pins[i].dx == d->pins[j].dx && d->pins[i].dy == d->pins[j].dy) Fail("two pins of '" + name + "' at one point");
            }
        }
        const int expected = TypePinCount(*d);
        if (expected < 0) Fail("sizes " + f[6] + " are not valid for type '" + f[1] + "'");
        if (expected != static_cast<int>(d->pins.size()))
            Fail("'" + name + "' has " + std::to_string(d->pins.size()) + " pins, its type and sizes want " + std::to_string(expected));
        d->inputPinCount = static_cast<std::int16_t>(DefinitionInputPins(*d));
        typesCovered.insert(type);
    }
    g_line = 0;
    for (int code = 1; code < kComponentTypeCount; ++code) {
        const ComponentTypeRow* row = FindComponentTypeRow(code);
        if (row && row->name[0] != '\0' && !typesCovered.count(code))
            Fail(std::string("no component of type '") + row->name + "'");
    }
}

std::string ReadBack(const std::string& path)
{
    std::string bytes;
    if (ReadWholeFile(path, bytes) != 0) {
        std::cerr << path << ": cannot read back\n";
        std::exit(1);
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::cerr << "usage: gen_libraries shapes.txt components.tsv shape.kq5 comp.kq5\n";
        return 2;
    }
    InitCharClasses();
    ReadShapes(argv[1]);
    ReadComponents(argv[2]);

    ShapeLibrary& shapes = Shapes();
    shapes.path = argv[3];
    shapes.fileTime = FileTimeOf(shapes.path);
    if (WriteShapeLibrary(shapes) != 0) return 1;
    ComponentLibraryState& components = ComponentLibrary();
    components.path = argv[4];
    components.fileTime = FileTimeOf(components.path);
    if (int status = WriteComponentLibrary(components)) {
        std::cerr << argv[4] << ": cannot be written (" << status << ")\n";
        return 1;
    }
    // What was written must read back as it was made.
    ShapeLibrary check;
    if (ParseShapeLibrary(ReadBack(argv[3]), check) != 0 || SerializeShapeLibrary(check) != ReadBack(argv[3])) {
        std::cerr << argv[3] << ": does not read back\n";
        return 1;
    }
    ComponentLibraryState checkComponents;
    if (ParseComponentLibrary(ReadBack(argv[4]), checkComponents, true) != 0 ||
        SerializeComponentLibrary(checkComponents) != ReadBack(argv[4])) {
        std::cerr << argv[4] << ": does not read back\n";
        return 1;
    }
    return 0;
}
