// Compiles the program's pictures (data/bitmaps, data/cursors, data/icons: *.pix) into a C++
// source of win::CompiledImage records. Fails the build, naming file and line, on anything it
// does not understand.
//
// Usage: gen_resources <output.cpp> <source.pix>...
//
// Source format (one statement a line; "#" at the start of a line begins a comment; keywords
// are case-blind). A picture is written as rows of colour characters, one character a pixel;
// rows may be indented.
//   COLOR <char> <RRGGBB>                 defines a colour character for the rest of the file
//   BITMAP <id> <w>x<h> [MONO]            then exactly h rows of w characters, then END
//   CURSOR <id> <w>x<h> HOTSPOT <x>,<y>   then up to h rows of up to w characters, then END;
//                                         what the rows leave out is transparent
//   ICON <id> <w>x<h>                     then exactly h rows of w characters, then END
//   STRIP <id> <cells>                    a tool-button strip: <cells> rows of 24 x 22 buttons,
//                                         the up picture left and the pressed one right, then
//     CELL <k>                            the glyph of picture k (at most 19 x 17, centred on
//                                         the button face; pressed, it moves down right by one)
//     PRESSED                             optionally, a glyph of its own for the pressed picture
//   END                                   ends the strip; a cell not given is a bare button
// Colour characters: "." is the background (white in a bitmap, the face in a strip glyph,
// transparent in a cursor or icon); k black, w white, d dark grey, s light grey, then dark and
// bright pairs r/R red, g/G green, b/B blue, y/Y yellow, m/M magenta, c/C cyan. A monochrome
// bitmap takes only k, w and ".".
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <optional>

#include "gen_common.h"

namespace {

enum class Kind { Bitmap = 1, Cursor = 2, Icon = 3 };

constexpr std::uint32_t kOpaque = 0xFF000000u;
constexpr std::uint32_t kTransparent = 0;
constexpr std::uint32_t kBlack = kOpaque, kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kFace = 0xFFC0C0C0u, kShadow = 0xFF808080u;
constexpr int kCellWidth = 24, kCellHeight = 22;
constexpr int kGlyphWidth = 19, kGlyphHeight = 17;  // the face inside the bevel: (2, 2) to (20, 18)
// Pixel characters in the generated source, one per palette entry.
constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr std::size_t kMaxColours = sizeof kAlphabet - 1;

struct Picture {
    Kind kind = Kind::Bitmap;
    unsigned long id = 0;
    int width = 0, height = 0, hotX = 0, hotY = 0;
    bool mono = false;
    std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, row by row
    std::string where;
};

struct Error {
    std::string where, what;
};

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The rows of a glyph, still as characters.
using Rows = std::vector<std::string>;

class Reader {
public:
    Reader(std::string file, std::vector<Picture>& out) : file_(std::move(file)), out_(out) {
        const std::pair<char, std::uint32_t> builtIn[] = {
            {'k', 0x000000}, {'w', 0xFFFFFF}, {'d', 0x808080}, {'s', 0xC0C0C0}, {'r', 0x800000}, {'R', 0xFF0000},
            {'g', 0x008000}, {'G', 0x00FF00}, {'b', 0x000080}, {'B', 0x0000FF}, {'y', 0x808000}, {'Y', 0xFFFF00},
            {'m', 0x800080}, {'M', 0xFF00FF}, {'c', 0x008080}, {'C', 0x00FFFF}};
        for (auto [c, rgb] : builtIn) colours_[c] = kOpaque | rgb;
    }

    void Run() {
        std::ifstream in(file_, std::ios::binary);
        if (!in) throw Error{file_, "cannot read the file"};
        std::string line;
        while (gen::NextDataLine(in, line, line_)) {
            std::vector<std::string> w = gen::SplitWords(line);
            if (w.empty()) continue;
            std::string key = Upper(w[0]);
            if (key == "COLOR") Colour(w);
            else if (key == "BITMAP") Bitmap(in, w);
            else if (key == "CURSOR") CursorOrIcon(in, w, Kind::Cursor);
            else if (key == "ICON") CursorOrIcon(in, w, Kind::Icon);
            else if (key == "STRIP") Strip(in, w);
            else Fail("COLOR, BITMAP, CURSOR, ICON or STRIP was expected: " + w[0]);
        }
    }

private:
    [[noreturn]] void Fail(const std::string& what) const { throw Error{Where(), what}; }
    std::string Where() const { return file_ + ":" + std::to_string(line_); }

    unsigned long Number(const std::string& word, unsigned long limit) const {
        unsigned long v = 0;
        if (!gen::ParseUnsigned(word, v, limit)) Fail("a number up to " + std::to_string(limit) + " was expected: " + word);
        return v;
    }

    // "<a>x<b>" or "<a>,<b>".
    std::pair<int, int> Pair(const std::string& word, char separator, int limit) const {
        std::size_t at = word.find(separator);
        if (at == std::string::npos) Fail(std::string("two numbers joined by '") + separator + "' were expected: " + word);
        return {static_cast<int>(Number(word.substr(0, at), static_cast<unsigned long>(limit))),
                static_cast<int>(Number(word.substr(at + 1), static_cast<unsigned long>(limit)))};
    }

    std::pair<int, int> Size(const std::string& word) const {
        auto [w, h] = Pair(word, 'x', 4096);
        if (w == 0 || h == 0) Fail("a picture is at least one pixel wide and high");
        return {w, h};
    }

    void Colour(const std::vector<std::string>& w) {
        if (w.size() != 3 || w[1].size() != 1 || w[2].size() != 6) Fail("COLOR <char> <RRGGBB>");
        char c = w[1][0];
        if (c == '.' || std::isspace(static_cast<unsigned char>(c))) Fail("'.' is the background and cannot be redefined");
        colours_[c] = kOpaque | Number("0x" + w[2], 0xFFFFFF);
    }

    // Reads picture rows up to END (or, in a strip, up to the next CELL, PRESSED or END, which
    // is handed back through stop).
    Rows ReadRows(std::istream& in, std::string* stop = nullptr) {
        Rows rows;
        std::string line;
        while (gen::NextDataLine(in, line, line_)) {
            std::vector<std::string> w = gen::SplitWords(line);
            if (w.empty()) continue;
            std::string key = Upper(w[0]);
            if (key == "END" || (stop && (key == "CELL" || key == "PRESSED"))) {
                if (stop) *stop = line;
                else if (w.size() != 1) Fail("END stands alone");
                return rows;
            }
            if (w.size() != 1) Fail("a picture row is one word of colour characters");
            rows.push_back(w[0]);
            rowLines_.push_back(line_);
        }
        Fail("the file ends inside a picture (END missing)");
    }

    std::uint32_t ColourOf(char c, std::uint32_t background, int rowLine) const {
        if (c == '.') return background;
        auto it = colours_.find(c);
        if (it == colours_.end()) throw Error{file_ + ":" + std::to_string(rowLine), std::string("unknown colour character '") + c + "'"};
        return it->second;
    }

    // Paints rows into a picture at (x0, y0); rows must fit.
    void Paint(Picture& p, const Rows& rows, std::size_t firstLine, int x0, int y0, std::uint32_t background) const {
        for (std::size_t y = 0; y < rows.size(); ++y)
            for (std::size_t x = 0; x < rows[y].size(); ++x)
                p.pixels[(y0 + y) * p.width + x0 + x] = ColourOf(rows[y][x], background, rowLines_[firstLine + y]);
    }

    void CheckRows(const Rows& rows, int width, int height, bool exact) const {
        if (exact ? static_cast<int>(rows.size()) != height : static_cast<int>(rows.size()) > height)
            Fail(std::to_string(rows.size()) + " rows given, " + (exact ? "" : "at most ") + std::to_string(height) + " expected");
        for (std::size_t y = 0; y < rows.size(); ++y) {
            int n = static_cast<int>(rows[y].size());
            if (exact ? n != width : n > width)
                throw Error{file_ + ":" + std::to_string(rowLines_[rowLines_.size() - rows.size() + y]),
                            "a row of " + std::to_string(n) + " pixels, " + (exact ? "" : "at most ") + std::to_string(width) + " expected"};
        }
    }

    Picture Begin(Kind kind, const std::string& idWord, int width, int height) {
        Picture p;
        p.kind = kind;
        p.id = Number(idWord, 0xFFFF);
        p.width = width;
        p.height = height;
        p.where = Where();
        return p;
    }

    void Bitmap(std::istream& in, const std::vector<std::string>& w) {
        if (w.size() < 3 || w.size() > 4 || (w.size() == 4 && Upper(w[3]) != "MONO")) Fail("BITMAP <id> <w>x<h> [MONO]");
        auto [width, height] = Size(w[2]);
        Picture p = Begin(Kind::Bitmap, w[1], width, height);
        p.mono = w.size() == 4;
        p.pixels.assign(static_cast<std::size_t>(width) * height, kWhite);
        std::size_t first = rowLines_.size();
        Rows rows = ReadRows(in);
        CheckRows(rows, width, height, true);
        Paint(p, rows, first, 0, 0, kWhite);
        if (p.mono)
            for (std::uint32_t px : p.pixels)
                if (px != kBlack && px != kWhite) Fail("a monochrome bitmap holds only black and white");
        out_.push_back(std::move(p));
    }

    void CursorOrIcon(std::istream& in, const std::vector<std::string>& w, Kind kind) {
        const bool cursor = kind == Kind::Cursor;
        if (cursor ? (w.size() != 5 || Upper(w[3]) != "HOTSPOT") : w.size() != 3)
            Fail(cursor ? "CURSOR <id> <w>x<h> HOTSPOT <x>,<y>" : "ICON <id> <w>x<h>");
        auto [width, height] = Size(w[2]);
        Picture p = Begin(kind, w[1], width, height);
        if (cursor) {
            std::tie(p.hotX, p.hotY) = Pair(w[4], ',', 4096);
            if (p.hotX >= width || p.hotY >= height) Fail("the hot spot lies outside the cursor");
        }
        p.pixels.assign(static_cast<std::size_t>(width) * height, kTransparent);
        std::size_t first = rowLines_.size();
        Rows rows = ReadRows(in);
        CheckRows(rows, width, height, !cursor);
        Paint(p, rows, first, 0, 0, kTransparent);
        out_.push_back(std::move(p));
    }

    // A raised (up) or sunken (pressed) button of the tool bars in the cell at column col.
    static void DrawButton(Picture& p, int col, int cell, bool pressed) {
        const int x0 = col * kCellWidth, y0 = cell * kCellHeight;
        auto put = [&](int x, int y, std::uint32_t c) { p.pixels[(y0 + y) * p.width + x0 + x] = c; };
        for (int y = 0; y < kCellHeight; ++y)
            for (int x = 0; x < kCellWidth; ++x) {
                const bool edge = x == 0 || y == 0 || x == kCellWidth - 1 || y == kCellHeight - 1;
                put(x, y, edge ? kBlack : kFace);
            }
        if (pressed) {
            for (int x = 1; x < kCellWidth - 1; ++x) put(x, 1, kShadow);
            for (int y = 1; y < kCellHeight - 1; ++y) put(1, y, kShadow);
            return;
        }
        for (int x = 1; x < kCellWidth - 2; ++x) put(x, 1, kWhite);
        for (int y = 1; y < kCellHeight - 2; ++y) put(1, y, kWhite);
        for (int x = 1; x < kCellWidth - 1; ++x) {
            put(x, kCellHeight - 2, kShadow);
            if (x >= 2) put(x, kCellHeight - 3, kShadow);
        }
        for (int y = 1; y < kCellHeight - 1; ++y) {
            put(kCellWidth - 2, y, kShadow);
            if (y >= 2) put(kCellWidth - 3, y, kShadow);
        }
    }

    void Strip(std::istream& in, const std::vector<std::string>& w) {
        if (w.size() != 3) Fail("STRIP <id> <cells>");
        int cells = static_cast<int>(Number(w[2], 256));
        if (cells == 0) Fail("a strip holds at least one picture");
        Picture p = Begin(Kind::Bitmap, w[1], 2 * kCellWidth, cells * kCellHeight);
        p.pixels.assign(static_cast<std::size_t>(p.width) * p.height, kFace);
        for (int k = 0; k < cells; ++k) {
            DrawButton(p, 0, k, false);
            DrawButton(p, 1, k, true);
        }
        std::vector<bool> seen(static_cast<std::size_t>(cells), false);
        std::string next;
        std::string line;
        if (!gen::NextDataLine(in, line, line_)) Fail("the file ends inside a strip (END missing)");
        next = line;
        for (;;) {
            std::vector<std::string> head = gen::SplitWords(next);
            std::string key = head.empty() ? std::string() : Upper(head[0]);
            if (key == "END") {
                if (head.size() != 1) Fail("END stands alone");
                break;
            }
            if (key != "CELL" || head.size() != 2) Fail("CELL <k> or END was expected");
            int k = static_cast<int>(Number(head[1], 255));
            if (k >= cells) Fail("cell " + head[1] + " lies outside the strip of " + w[2]);
            if (seen[k]) Fail("cell " + head[1] + " is given twice");
            seen[k] = true;
            std::size_t first = rowLines_.size();
            Rows up = ReadRows(in, &next);
            Glyph(p, up, first, k, false);
            std::size_t pressedFirst = rowLines_.size();
            Rows pressed = up;
            if (Upper(gen::SplitWords(next)[0]) == "PRESSED") {
                if (gen::SplitWords(next).size() != 1) Fail("PRESSED stands alone");
                pressed = ReadRows(in, &next);
                if (Upper(gen::SplitWords(next)[0]) == "PRESSED") Fail("a cell has one PRESSED glyph");
            } else {
                pressedFirst = first;
            }
            Glyph(p, pressed, pressedFirst, k, true);
        }
        out_.push_back(std::move(p));
    }

    void Glyph(Picture& p, const Rows& rows, std::size_t first, int cell, bool pressed) const {
        if (rows.empty()) Fail("a cell needs a glyph");
        const int gw = static_cast<int>(rows[0].size()), gh = static_cast<int>(rows.size());
        for (const std::string& r : rows)
            if (static_cast<int>(r.size()) != gw)
                throw Error{file_ + ":" + std::to_string(rowLines_[first]), "the rows of a glyph must be equally long"};
        if (gw > kGlyphWidth || gh > kGlyphHeight) Fail("a glyph is at most 19 x 17 pixels");
        const int x = (pressed ? kCellWidth : 0) + 2 + (kGlyphWidth - gw) / 2 + (pressed ? 1 : 0);
        const int y = cell * kCellHeight + 2 + (kGlyphHeight - gh) / 2 + (pressed ? 1 : 0);
        Paint(p, rows, first, x, y, kFace);
    }

    std::string file_;
    int line_ = 0;
    std::vector<Picture>& out_;
    std::map<char, std::uint32_t> colours_;
    std::vector<int> rowLines_;  // the source line of every row read, in order
};

const char* KindName(Kind kind) {
    switch (kind) {
    case Kind::Bitmap: return "ImageKind::Bitmap";
    case Kind::Cursor: return "ImageKind::Cursor";
    default: return "ImageKind::Icon";
    }
}

std::string Write(const std::vector<Picture>& pictures) {
    std::ostringstream out;
    out << "// Generated by tools/gen_resources from the picture sources. Do not edit.\n"
        << "#include \"platform/resources.h\"\n\nnamespace win {\n\nnamespace {\n\n";
    std::vector<std::vector<std::uint32_t>> palettes;
    for (std::size_t n = 0; n < pictures.size(); ++n) {
        const Picture& p = pictures[n];
        std::vector<std::uint32_t> palette;
        std::string pixels;
        for (std::uint32_t px : p.pixels) {
            auto it = std::find(palette.begin(), palette.end(), px);
            if (it == palette.end()) {
                if (palette.size() == kMaxColours) throw Error{p.where, "a picture has more than 62 colours"};
                it = palette.insert(palette.end(), px);
            }
            pixels += kAlphabet[it - palette.begin()];
        }
        out << "const std::uint32_t kPalette" << n << "[] = {";
        for (std::size_t i = 0; i < palette.size(); ++i) out << (i ? ", " : "") << gen::Hex(palette[i]);
        out << "};\nconst char kPixels" << n << "[] =";
        for (int y = 0; y < p.height; ++y)
            out << "\n    \"" << pixels.substr(static_cast<std::size_t>(y) * p.width, static_cast<std::size_t>(p.width)) << "\"";
        out << ";\n\n";
        palettes.push_back(std::move(palette));
    }
    out << "const CompiledImage kImages[] = {\n";
    for (std::size_t n = 0; n < pictures.size(); ++n) {
        const Picture& p = pictures[n];
        out << "    {" << KindName(p.kind) << ", " << p.id << ", " << p.width << ", " << p.height << ", " << p.hotX
            << ", " << p.hotY << ", " << (p.mono ? "true" : "false") << ", kPalette" << n << ", " << palettes[n].size()
            << ", kPixels" << n << "},\n";
    }
    if (pictures.empty()) out << "    {ImageKind::Bitmap, 0, 0, 0, 0, 0, false, nullptr, 0, nullptr},\n";
    out << "};\n\n}  // namespace\n\nstd::span<const CompiledImage> ProgramImageResources() {\n"
        << "    return std::span<const CompiledImage>(kImages, " << pictures.size() << ");\n}\n\n}  // namespace win\n";
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: gen_resources <output.cpp> <source.pix>...\n";
        return 2;
    }
    std::vector<Picture> pictures;
    std::string text;
    try {
        for (int i = 2; i < argc; ++i) Reader(argv[i], pictures).Run();
        std::stable_sort(pictures.begin(), pictures.end(), [](const Picture& a, const Picture& b) {
            return a.kind != b.kind ? a.kind < b.kind : a.id < b.id;
        });
        for (std::size_t i = 1; i < pictures.size(); ++i)
            if (pictures[i].kind == pictures[i - 1].kind && pictures[i].id == pictures[i - 1].id)
                throw Error{pictures[i].where, "resource " + std::to_string(pictures[i].id) + " is defined twice (first at " +
                                                   pictures[i - 1].where + ")"};
        text = Write(pictures);
    } catch (const Error& e) {
        std::cerr << e.where << ": error: " << e.what << "\n";
        return 1;
    }
    return gen::WriteOutputFile(argv[1], text);
}
