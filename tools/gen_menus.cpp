// Compiles menu and accelerator-table sources (data/menus/*.menu, data/accelerators/*.acc, and the
// tests' own resources) into a C++ source of win::CompiledMenuResources. Fails the build, naming the
// file and line, on anything it does not understand.
//
// Usage: gen_menus program|test <output.cpp> <source>...
//   program: defines win::ProgramMenuResources();
//   test:    registers the resources with win::AddMenuResources at start-up.
//
// Source format (one statement a line; "#" starts a comment line; keywords are case-blind):
//   MENU <id>
//     POPUP "<text>" [options]        ... items ... END
//     ITEM "<text>" <command> [options]
//     SEPARATOR [MENUBREAK | MENUBARBREAK]
//   END
//   ACCELERATORS <id>
//     KEY [Ctrl+][Shift+][Alt+]<key> <command> [NOINVERT]     a virtual key
//     CHAR [Alt+]<character> <command> [NOINVERT]             a typed character
//   END
// Item options: GRAYED, INACTIVE, CHECKED, MENUBREAK, MENUBARBREAK, HELP.
// Texts are UTF-8 in the source and Windows-1252 in the program; escapes \t \\ \" \xHH.
// Keys: A-Z, 0-9, F1-F24, Left, Right, Up, Down, PgUp, PgDn, Home, End, Ins, Del, Backspace, Tab,
// Enter, Esc, Space, Pause, Cancel, Add, Subtract, Multiply, Divide, Numpad0-Numpad9, 0xNN.
// Characters: Ctrl+<letter> (its control code), "c", Tab, Enter, Esc, Backspace, Space, 0xNN.
#include <algorithm>
#include <cctype>
#include <deque>
#include <map>
#include <set>

#include "gen_common.h"

namespace {

using gen::CLiteral;

// Flag values shared with the program (platform/menu.h, platform/accelerator.h).
constexpr unsigned kGrayed = 0x0001, kDisabled = 0x0002, kChecked = 0x0008, kPopup = 0x0010;
constexpr unsigned kMenuBarBreak = 0x0020, kMenuBreak = 0x0040, kEnd = 0x0080, kSeparator = 0x0800;
constexpr unsigned kHelp = 0x4000;
constexpr unsigned kVirtKey = 0x01, kNoInvert = 0x02, kShift = 0x04, kControl = 0x08, kAlt = 0x10;

struct Error {
    std::string where;
    std::string what;
};

struct Item {
    unsigned flags = 0;
    unsigned long id = 0;
    std::string text;  // Windows-1252
};

struct Node {
    Item item;
    std::vector<Node> children;  // a popup's items
};

struct Menu {
    unsigned long id = 0;
    std::vector<Node> tree;
    std::vector<Item> items;  // the tree in order, each level's last item marked with kEnd
};

void Flatten(const std::vector<Node>& level, std::vector<Item>& out) {
    for (std::size_t i = 0; i < level.size(); ++i) {
        Item item = level[i].item;
        if (i + 1 == level.size()) item.flags |= kEnd;
        out.push_back(item);
        Flatten(level[i].children, out);
    }
}

struct Accel {
    unsigned flags = 0;
    unsigned key = 0;
    unsigned long cmd = 0;
};

struct Table {
    unsigned long id = 0;
    std::vector<Accel> entries;
};

std::string Upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Windows-1252 code of a Unicode code point, or -1.
int ToCp1252(unsigned long cp) {
    static const std::map<unsigned long, int> high = {
        {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85}, {0x2020, 0x86},
        {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A}, {0x2039, 0x8B}, {0x0152, 0x8C},
        {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92}, {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95},
        {0x2013, 0x96}, {0x2014, 0x97}, {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B},
        {0x0153, 0x9C}, {0x017E, 0x9E}, {0x0178, 0x9F}};
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    auto it = high.find(cp);
    return it == high.end() ? -1 : it->second;
}

class Parser {
public:
    Parser(std::string file, std::deque<Menu>& menus, std::deque<Table>& tables)
        : file_(std::move(file)), menus_(menus), tables_(tables) {}

    void Run() {
        std::ifstream in(file_, std::ios::binary);
        if (!in) throw Error{file_, "cannot read the file"};
        std::string line;
        while (gen::NextLine(in, line, line_)) Statement(line);
        if (!stack_.empty() || table_) Fail("the file ends inside a block (END missing)");
    }

private:
    [[noreturn]] void Fail(const std::string& what) const {
        throw Error{file_ + ":" + std::to_string(line_), what};
    }

    // Splits a line into words; a quoted text is one word, kept with its quotes.
    std::vector<std::string> Words(const std::string& line) const {
        std::vector<std::string> out;
        std::size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
            if (i >= line.size()) break;
            std::size_t start = i;
            // A word may begin with a prefix (Alt+) and end in a quoted text: Alt+"."
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) {
                if (line[i] == '"') {
                    ++i;
                    while (i < line.size() && line[i] != '"') {
                        if (line[i] == '\\') ++i;
                        ++i;
                    }
                    if (i >= line.size()) Fail("a quoted text is not closed");
                }
                ++i;
            }
            out.push_back(line.substr(start, i - start));
        }
        return out;
    }

    std::string Text(const std::string& word) const {
        if (word.size() < 2 || word.front() != '"' || word.back() != '"') Fail("a quoted text was expected: " + word);
        std::string utf8;
        for (std::size_t i = 1; i + 1 < word.size(); ++i) {
            char c = word[i];
            if (static_cast<unsigned char>(c) < 0x20) Fail("a control character in a text must be written as an escape");
            if (c != '\\') {
                utf8 += c;
                continue;
            }
            if (++i + 1 > word.size() - 1) Fail("an escape ends the text");
            switch (word[i]) {
            case 't': utf8 += '\t'; break;
            case '\\': utf8 += '\\'; break;
            case '"': utf8 += '"'; break;
            case 'x': {
                if (i + 2 > word.size() - 2) Fail("\\x needs two hex digits");
                std::string hex = word.substr(i + 1, 2);
                if (hex.size() != 2 || !std::isxdigit(static_cast<unsigned char>(hex[0])) ||
                    !std::isxdigit(static_cast<unsigned char>(hex[1])))
                    Fail("\\x needs two hex digits");
                // A raw Windows-1252 byte: marked so that the UTF-8 decoding keeps it.
                utf8 += '\x01';
                utf8 += static_cast<char>(std::stoul(hex, nullptr, 16));
                i += 2;
                break;
            }
            default: Fail(std::string("unknown escape \\") + word[i]);
            }
        }
        return ToWindows1252(utf8);
    }

    std::string ToWindows1252(const std::string& s) const {
        std::string out;
        for (std::size_t i = 0; i < s.size();) {
            auto c = static_cast<unsigned char>(s[i]);
            if (c == 0x01 && i + 1 < s.size()) {
                out += s[i + 1];
                i += 2;
                continue;
            }
            unsigned long cp = 0;
            int extra = 0;
            if (c < 0x80) cp = c;
            else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
            else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
            else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
            else Fail("the text is not UTF-8");
            if (i + extra >= s.size() + (extra ? 0 : 1)) Fail("the text is not UTF-8");
            for (int k = 1; k <= extra; ++k) {
                auto cc = static_cast<unsigned char>(s[i + k]);
                if ((cc & 0xC0) != 0x80) Fail("the text is not UTF-8");
                cp = (cp << 6) | (cc & 0x3F);
            }
            int b = ToCp1252(cp);
            if (b < 0) Fail("a character of the text has no Windows-1252 form");
            out += static_cast<char>(b);
            i += 1 + extra;
        }
        return out;
    }

    unsigned long Number(const std::string& word, unsigned long limit) const {
        try {
            std::size_t used = 0;
            unsigned long v = std::stoul(word, &used, 0);
            if (used != word.size() || v > limit) throw 0;
            return v;
        } catch (...) {
            Fail("a number up to " + std::to_string(limit) + " was expected: " + word);
        }
    }

    unsigned ItemOption(const std::string& word) const {
        std::string w = Upper(word);
        if (w == "GRAYED") return kGrayed;
        if (w == "INACTIVE") return kDisabled;
        if (w == "CHECKED") return kChecked;
        if (w == "MENUBREAK") return kMenuBreak;
        if (w == "MENUBARBREAK") return kMenuBarBreak;
        if (w == "HELP") return kHelp;
        Fail("unknown item option " + word);
    }

    static int NamedKey(const std::string& name) {
        static const std::map<std::string, int> keys = {
            {"LEFT", 0x25}, {"RIGHT", 0x27}, {"UP", 0x26}, {"DOWN", 0x28}, {"PGUP", 0x21}, {"PRIOR", 0x21},
            {"PGDN", 0x22}, {"NEXT", 0x22}, {"HOME", 0x24}, {"END", 0x23}, {"INS", 0x2D}, {"INSERT", 0x2D},
            {"DEL", 0x2E}, {"DELETE", 0x2E}, {"BACKSPACE", 0x08}, {"BACK", 0x08}, {"TAB", 0x09},
            {"ENTER", 0x0D}, {"RETURN", 0x0D}, {"ESC", 0x1B}, {"ESCAPE", 0x1B}, {"SPACE", 0x20},
            {"PAUSE", 0x13}, {"CANCEL", 0x03}, {"ADD", 0x6B}, {"SUBTRACT", 0x6D}, {"MULTIPLY", 0x6A},
            {"DIVIDE", 0x6F}, {"DECIMAL", 0x6E}};
        auto it = keys.find(name);
        if (it != keys.end()) return it->second;
        if (name.size() == 1 && (std::isupper(static_cast<unsigned char>(name[0])) || std::isdigit(static_cast<unsigned char>(name[0]))))
            return name[0];
        if (name.size() >= 2 && name[0] == 'F' && std::all_of(name.begin() + 1, name.end(), ::isdigit)) {
            int n = std::stoi(name.substr(1));
            if (n >= 1 && n <= 24) return 0x6F + n;
        }
        if (name.size() == 7 && name.compare(0, 6, "NUMPAD") == 0 && std::isdigit(static_cast<unsigned char>(name[6])))
            return 0x60 + (name[6] - '0');
        return -1;
    }

    // Takes the Ctrl+, Shift+ and Alt+ prefixes off a key word.
    unsigned Modifiers(std::string& word) const {
        unsigned flags = 0;
        for (;;) {
            std::string w = Upper(word);
            if (w.rfind("CTRL+", 0) == 0 && w.size() > 5) { flags |= kControl; word = word.substr(5); }
            else if (w.rfind("SHIFT+", 0) == 0 && w.size() > 6) { flags |= kShift; word = word.substr(6); }
            else if (w.rfind("ALT+", 0) == 0 && w.size() > 4) { flags |= kAlt; word = word.substr(4); }
            else return flags;
        }
    }

    Accel Entry(const std::vector<std::string>& w) const {
        if (w.size() < 3 || w.size() > 4) Fail("an entry is KEY or CHAR, a key, a command and maybe NOINVERT");
        Accel a;
        std::string keyText = w[1];
        unsigned mods = Modifiers(keyText);
        std::string name = Upper(keyText);
        if (Upper(w[0]) == "KEY") {
            int vk = name.rfind("0X", 0) == 0 ? static_cast<int>(Number(keyText, 0xFF)) : NamedKey(name);
            if (vk < 0) Fail("unknown key " + keyText);
            a.flags = kVirtKey | mods;
            a.key = static_cast<unsigned>(vk);
        } else if (Upper(w[0]) == "CHAR") {
            if (mods & kShift) Fail("a character entry cannot ask for Shift");
            int ch = -1;
            if (mods & kControl) {
                // Ctrl+letter is the control code the letter types with Ctrl held.
                if (name.size() != 1 || !std::isupper(static_cast<unsigned char>(name[0])))
                    Fail("Ctrl+ in a character entry takes a letter");
                ch = name[0] - '@';
                mods &= ~kControl;
            } else if (!keyText.empty() && keyText[0] == '"') {
                std::string t = Text(keyText);
                if (t.size() != 1) Fail("a character entry names one character");
                ch = static_cast<unsigned char>(t[0]);
            } else if (name.rfind("0X", 0) == 0) {
                ch = static_cast<int>(Number(keyText, 0xFF));
            } else {
                static const std::map<std::string, int> chars = {
                    {"TAB", 9}, {"ENTER", 13}, {"RETURN", 13}, {"ESC", 27}, {"ESCAPE", 27}, {"BACKSPACE", 8}, {"SPACE", 32}};
                auto it = chars.find(name);
                if (it == chars.end()) Fail("unknown character " + keyText);
                ch = it->second;
            }
            a.flags = mods;
            a.key = static_cast<unsigned>(ch);
        } else {
            Fail("an entry begins with KEY or CHAR: " + w[0]);
        }
        a.cmd = Number(w[2], 0xFFFF);
        if (w.size() == 4) {
            if (Upper(w[3]) != "NOINVERT") Fail("unknown entry option " + w[3]);
            a.flags |= kNoInvert;
        }
        return a;
    }

    void Statement(const std::string& line) {
        auto w = Words(line);
        if (w.empty() || w[0][0] == '#') return;
        std::string key = Upper(w[0]);
        if (table_) {
            if (key == "END") {
                if (w.size() != 1) Fail("END stands alone");
                table_ = nullptr;
                return;
            }
            table_->entries.push_back(Entry(w));
            return;
        }
        if (stack_.empty()) {
            if ((key == "MENU" || key == "ACCELERATORS") && w.size() == 2) {
                unsigned long id = Number(w[1], 0xFFFF);
                if (key == "MENU") {
                    for (auto& m : menus_)
                        if (m.id == id) Fail("menu " + w[1] + " is defined twice");
                    menus_.push_back(Menu{id, {}, {}});
                    stack_.push_back(&menus_.back().tree);
                } else {
                    for (auto& t : tables_)
                        if (t.id == id) Fail("accelerator table " + w[1] + " is defined twice");
                    tables_.push_back(Table{id, {}});
                    table_ = &tables_.back();
                }
                return;
            }
            Fail("MENU <id> or ACCELERATORS <id> was expected");
        }
        std::vector<Node>& level = *stack_.back();
        if (key == "END") {
            if (w.size() != 1) Fail("END stands alone");
            if (stack_.size() > 1 && level.empty()) Fail("a popup needs at least one item");
            stack_.pop_back();
            if (stack_.empty()) Flatten(menus_.back().tree, menus_.back().items);
            return;
        }
        if (key == "POPUP") {
            if (w.size() < 2) Fail("POPUP needs a text");
            Node node{Item{kPopup, 0, Text(w[1])}, {}};
            for (std::size_t i = 2; i < w.size(); ++i) node.item.flags |= ItemOption(w[i]);
            level.push_back(std::move(node));
            stack_.push_back(&level.back().children);
            return;
        }
        if (key == "ITEM") {
            if (w.size() < 3) Fail("ITEM needs a text and a command");
            Node node{Item{0, Number(w[2], 0xFFFF), Text(w[1])}, {}};
            for (std::size_t i = 3; i < w.size(); ++i) node.item.flags |= ItemOption(w[i]);
            level.push_back(std::move(node));
            return;
        }
        if (key == "SEPARATOR") {
            Node node{Item{kSeparator, 0, ""}, {}};
            for (std::size_t i = 1; i < w.size(); ++i) {
                unsigned f = ItemOption(w[i]);
                if (!(f & (kMenuBreak | kMenuBarBreak))) Fail("a separator takes only MENUBREAK or MENUBARBREAK");
                node.item.flags |= f;
            }
            level.push_back(std::move(node));
            return;
        }
        Fail("POPUP, ITEM, SEPARATOR or END was expected: " + w[0]);
    }

    std::string file_;
    int line_ = 0;
    std::deque<Menu>& menus_;
    std::deque<Table>& tables_;
    std::vector<std::vector<Node>*> stack_;  // the open levels of the menu being read
    Table* table_ = nullptr;
};

void Write(std::ostream& out, const std::deque<Menu>& menus, const std::deque<Table>& tables, bool test) {
    out << "// Generated by tools/gen_menus from the menu and accelerator sources. Do not edit.\n"
        << "#include \"platform/menu_resource.h\"\n\nnamespace {\n\n";
    for (const auto& m : menus) {
        if (m.items.empty()) continue;
        out << "const win::CompiledMenuItem kMenu" << m.id << "[] = {\n";
        for (const auto& item : m.items)
            out << "    {0x" << std::hex << item.flags << std::dec << ", " << item.id << ", " << CLiteral(item.text) << "},\n";
        out << "};\n\n";
    }
    for (const auto& t : tables) {
        if (t.entries.empty()) continue;
        out << "const win::ACCEL kAccel" << t.id << "[] = {\n";
        for (const auto& a : t.entries)
            out << "    {0x" << std::hex << a.flags << ", 0x" << a.key << std::dec << ", " << a.cmd << "},\n";
        out << "};\n\n";
    }
    out << "const win::CompiledMenu kMenus[] = {\n";
    for (const auto& m : menus)
        out << "    {" << m.id << ", " << (m.items.empty() ? std::string("nullptr") : "kMenu" + std::to_string(m.id)) << ", "
            << m.items.size() << "},\n";
    out << "    {0, nullptr, 0},\n};\n\nconst win::CompiledAccelTable kTables[] = {\n";
    for (const auto& t : tables)
        out << "    {" << t.id << ", " << (t.entries.empty() ? std::string("nullptr") : "kAccel" + std::to_string(t.id)) << ", "
            << t.entries.size() << "},\n";
    out << "    {0, nullptr, 0},\n};\n\n"
        << "const win::CompiledMenuResources kResources{kMenus, " << menus.size() << ", kTables, " << tables.size()
        << "};\n\n";
    if (test) {
        out << "const bool kRegistered = (win::AddMenuResources(kResources), true);\n\n}  // namespace\n";
    } else {
        out << "}  // namespace\n\nconst win::CompiledMenuResources& win::ProgramMenuResources() { return kResources; }\n";
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || (std::string(argv[1]) != "program" && std::string(argv[1]) != "test")) {
        std::cerr << "usage: gen_menus program|test <output.cpp> <source>...\n";
        return 2;
    }
    std::deque<Menu> menus;
    std::deque<Table> tables;
    try {
        for (int i = 3; i < argc; ++i) Parser(argv[i], menus, tables).Run();
    } catch (const Error& e) {
        std::cerr << e.where << ": error: " << e.what << "\n";
        return 1;
    }
    std::ostringstream text;
    Write(text, menus, tables, std::string(argv[1]) == "test");
    return gen::WriteOutputFile(argv[2], text.str());
}
