// Reading the text form of dialog templates. This file is also built into the generator that
// compiles data/dialogs at build time, so it uses nothing of the layer but its constants and the
// code page conversion.
#include "platform/dialog_script.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <set>

#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message_box.h"
#include "platform/win_styles.h"

namespace win {

namespace {

const std::map<std::string_view, long long>& Symbols() {
    static const std::map<std::string_view, long long> table = {
#define KQ5_SYMBOL(name) {#name, static_cast<long long>(name)}
        KQ5_SYMBOL(WS_OVERLAPPED), KQ5_SYMBOL(WS_POPUP), KQ5_SYMBOL(WS_CHILD), KQ5_SYMBOL(WS_MINIMIZE),
        KQ5_SYMBOL(WS_VISIBLE), KQ5_SYMBOL(WS_DISABLED), KQ5_SYMBOL(WS_CLIPSIBLINGS), KQ5_SYMBOL(WS_CLIPCHILDREN),
        KQ5_SYMBOL(WS_MAXIMIZE), KQ5_SYMBOL(WS_CAPTION), KQ5_SYMBOL(WS_BORDER), KQ5_SYMBOL(WS_DLGFRAME),
        KQ5_SYMBOL(WS_VSCROLL), KQ5_SYMBOL(WS_HSCROLL), KQ5_SYMBOL(WS_SYSMENU), KQ5_SYMBOL(WS_THICKFRAME),
        KQ5_SYMBOL(WS_GROUP), KQ5_SYMBOL(WS_TABSTOP), KQ5_SYMBOL(WS_MINIMIZEBOX), KQ5_SYMBOL(WS_MAXIMIZEBOX),
        KQ5_SYMBOL(WS_OVERLAPPEDWINDOW), KQ5_SYMBOL(WS_POPUPWINDOW),
        KQ5_SYMBOL(WS_EX_DLGMODALFRAME), KQ5_SYMBOL(WS_EX_NOPARENTNOTIFY), KQ5_SYMBOL(WS_EX_TOPMOST),
        KQ5_SYMBOL(WS_EX_ACCEPTFILES), KQ5_SYMBOL(WS_EX_TRANSPARENT), KQ5_SYMBOL(WS_EX_TOOLWINDOW),
        KQ5_SYMBOL(WS_EX_WINDOWEDGE), KQ5_SYMBOL(WS_EX_CLIENTEDGE), KQ5_SYMBOL(WS_EX_CONTEXTHELP),
        KQ5_SYMBOL(WS_EX_CONTROLPARENT), KQ5_SYMBOL(WS_EX_STATICEDGE),
        KQ5_SYMBOL(DS_ABSALIGN), KQ5_SYMBOL(DS_SYSMODAL), KQ5_SYMBOL(DS_3DLOOK), KQ5_SYMBOL(DS_FIXEDSYS),
        KQ5_SYMBOL(DS_NOFAILCREATE), KQ5_SYMBOL(DS_LOCALEDIT), KQ5_SYMBOL(DS_SETFONT), KQ5_SYMBOL(DS_MODALFRAME),
        KQ5_SYMBOL(DS_NOIDLEMSG), KQ5_SYMBOL(DS_SETFOREGROUND), KQ5_SYMBOL(DS_CONTROL), KQ5_SYMBOL(DS_CENTER),
        KQ5_SYMBOL(DS_CENTERMOUSE), KQ5_SYMBOL(DS_CONTEXTHELP),
        KQ5_SYMBOL(BS_PUSHBUTTON), KQ5_SYMBOL(BS_DEFPUSHBUTTON), KQ5_SYMBOL(BS_CHECKBOX), KQ5_SYMBOL(BS_AUTOCHECKBOX),
        KQ5_SYMBOL(BS_RADIOBUTTON), KQ5_SYMBOL(BS_3STATE), KQ5_SYMBOL(BS_AUTO3STATE), KQ5_SYMBOL(BS_GROUPBOX),
        KQ5_SYMBOL(BS_AUTORADIOBUTTON), KQ5_SYMBOL(BS_OWNERDRAW), KQ5_SYMBOL(BS_LEFTTEXT), KQ5_SYMBOL(BS_RIGHTBUTTON),
        KQ5_SYMBOL(BS_LEFT), KQ5_SYMBOL(BS_RIGHT), KQ5_SYMBOL(BS_CENTER), KQ5_SYMBOL(BS_TOP), KQ5_SYMBOL(BS_BOTTOM),
        KQ5_SYMBOL(BS_VCENTER), KQ5_SYMBOL(BS_PUSHLIKE), KQ5_SYMBOL(BS_MULTILINE), KQ5_SYMBOL(BS_NOTIFY),
        KQ5_SYMBOL(BS_FLAT),
        KQ5_SYMBOL(SS_LEFT), KQ5_SYMBOL(SS_CENTER), KQ5_SYMBOL(SS_RIGHT), KQ5_SYMBOL(SS_ICON), KQ5_SYMBOL(SS_BLACKRECT),
        KQ5_SYMBOL(SS_GRAYRECT), KQ5_SYMBOL(SS_WHITERECT), KQ5_SYMBOL(SS_BLACKFRAME), KQ5_SYMBOL(SS_GRAYFRAME),
        KQ5_SYMBOL(SS_WHITEFRAME), KQ5_SYMBOL(SS_SIMPLE), KQ5_SYMBOL(SS_LEFTNOWORDWRAP), KQ5_SYMBOL(SS_OWNERDRAW),
        KQ5_SYMBOL(SS_BITMAP), KQ5_SYMBOL(SS_ETCHEDHORZ), KQ5_SYMBOL(SS_ETCHEDVERT), KQ5_SYMBOL(SS_ETCHEDFRAME),
        KQ5_SYMBOL(SS_NOPREFIX), KQ5_SYMBOL(SS_NOTIFY), KQ5_SYMBOL(SS_CENTERIMAGE), KQ5_SYMBOL(SS_SUNKEN),
        KQ5_SYMBOL(ES_LEFT), KQ5_SYMBOL(ES_CENTER), KQ5_SYMBOL(ES_RIGHT), KQ5_SYMBOL(ES_MULTILINE),
        KQ5_SYMBOL(ES_UPPERCASE), KQ5_SYMBOL(ES_LOWERCASE), KQ5_SYMBOL(ES_PASSWORD), KQ5_SYMBOL(ES_AUTOVSCROLL),
        KQ5_SYMBOL(ES_AUTOHSCROLL), KQ5_SYMBOL(ES_NOHIDESEL), KQ5_SYMBOL(ES_OEMCONVERT), KQ5_SYMBOL(ES_READONLY),
        KQ5_SYMBOL(ES_WANTRETURN), KQ5_SYMBOL(ES_NUMBER),
        KQ5_SYMBOL(LBS_NOTIFY), KQ5_SYMBOL(LBS_SORT), KQ5_SYMBOL(LBS_NOREDRAW), KQ5_SYMBOL(LBS_MULTIPLESEL),
        KQ5_SYMBOL(LBS_OWNERDRAWFIXED), KQ5_SYMBOL(LBS_OWNERDRAWVARIABLE), KQ5_SYMBOL(LBS_HASSTRINGS),
        KQ5_SYMBOL(LBS_USETABSTOPS), KQ5_SYMBOL(LBS_NOINTEGRALHEIGHT), KQ5_SYMBOL(LBS_WANTKEYBOARDINPUT),
        KQ5_SYMBOL(LBS_EXTENDEDSEL), KQ5_SYMBOL(LBS_DISABLENOSCROLL), KQ5_SYMBOL(LBS_NOSEL), KQ5_SYMBOL(LBS_STANDARD),
        KQ5_SYMBOL(CBS_SIMPLE), KQ5_SYMBOL(CBS_DROPDOWN), KQ5_SYMBOL(CBS_DROPDOWNLIST), KQ5_SYMBOL(CBS_OWNERDRAWFIXED),
        KQ5_SYMBOL(CBS_OWNERDRAWVARIABLE), KQ5_SYMBOL(CBS_AUTOHSCROLL), KQ5_SYMBOL(CBS_OEMCONVERT), KQ5_SYMBOL(CBS_SORT),
        KQ5_SYMBOL(CBS_HASSTRINGS), KQ5_SYMBOL(CBS_NOINTEGRALHEIGHT), KQ5_SYMBOL(CBS_DISABLENOSCROLL),
        KQ5_SYMBOL(CBS_UPPERCASE), KQ5_SYMBOL(CBS_LOWERCASE),
        KQ5_SYMBOL(SBS_HORZ), KQ5_SYMBOL(SBS_VERT), KQ5_SYMBOL(SBS_TOPALIGN), KQ5_SYMBOL(SBS_LEFTALIGN),
        KQ5_SYMBOL(SBS_BOTTOMALIGN), KQ5_SYMBOL(SBS_RIGHTALIGN),
        KQ5_SYMBOL(IDOK), KQ5_SYMBOL(IDCANCEL), KQ5_SYMBOL(IDABORT), KQ5_SYMBOL(IDRETRY), KQ5_SYMBOL(IDIGNORE),
        KQ5_SYMBOL(IDYES), KQ5_SYMBOL(IDNO),
#undef KQ5_SYMBOL
        {"IDC_STATIC", -1},
    };
    return table;
}

enum class Tok { End, Name, Number, String, Comma, Bar };

struct Token {
    Tok kind = Tok::End;
    std::string text;
    long long number = 0;
};

// The statement being read: the tokens of one logical line.
class Statement {
public:
    Statement(std::vector<Token> tokens, int line) : tokens_(std::move(tokens)), line_(line) {}
    int Line() const { return line_; }
    bool AtEnd() const { return pos_ >= tokens_.size(); }
    const Token& Peek() const {
        static const Token end;
        return AtEnd() ? end : tokens_[pos_];
    }
    Token Next() { return AtEnd() ? Token{} : tokens_[pos_++]; }
    // Commas between values are optional.
    void SkipComma() {
        if (!AtEnd() && tokens_[pos_].kind == Tok::Comma) ++pos_;
    }

private:
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    int line_;
};

class Parser {
public:
    Parser(std::string_view text, const std::string& file) : text_(text), file_(file) {}

    bool Run(std::vector<DialogTemplate>& out, std::string& error);

private:
    bool Fail(int line, const std::string& what) {
        if (error_.empty()) error_ = file_ + ":" + std::to_string(line) + ": " + what;
        return false;
    }
    bool Tokenize(std::vector<Statement>& statements);
    bool ReadString(std::size_t& i, int line, std::string& out);
    bool Number(Statement& s, long long& value, const char* what);
    bool Text(Statement& s, std::string& value, const char* what);
    // A style expression: names and numbers joined by '|', "NOT x" clearing x.
    bool Styles(Statement& s, DWORD& set, DWORD& clear);
    bool Header(Statement& s, DialogTemplate& t);
    bool Control(Statement& s, DialogTemplate& t);

    std::string_view text_;
    std::string file_;
    std::string error_;
};

bool Parser::ReadString(std::size_t& i, int line, std::string& out) {
    std::string raw;
    ++i;  // opening quote
    for (;;) {
        if (i >= text_.size() || text_[i] == '\n') return Fail(line, "text not closed");
        char c = text_[i++];
        if (c == '"') {
            if (i < text_.size() && text_[i] == '"') {
                raw += '"';
                ++i;
                continue;
            }
            break;
        }
        if (c == '\\' && i < text_.size()) {
            char e = text_[i++];
            switch (e) {
            case 'n': raw += '\n'; break;
            case 't': raw += '\t'; break;
            case '\\': raw += '\\'; break;
            case '"': raw += '"'; break;
            default: return Fail(line, std::string("unknown escape \\") + e);
            }
            continue;
        }
        raw += c;
    }
    out = Utf8ToCp1252(raw);
    return true;
}

bool Parser::Tokenize(std::vector<Statement>& statements) {
    std::vector<Token> current;
    int line = 1, statementLine = 1;
    bool continued = false;
    auto endLine = [&] {
        bool goesOn = !current.empty() && (current.back().kind == Tok::Comma || current.back().kind == Tok::Bar);
        if (!goesOn && !current.empty()) {
            statements.emplace_back(std::move(current), statementLine);
            current.clear();
        }
        continued = goesOn;
    };
    for (std::size_t i = 0; i < text_.size();) {
        char c = text_[i];
        if (c == '\n') {
            endLine();
            ++line;
            ++i;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        if (current.empty() && !continued) statementLine = line;
        if (c == '/' && i + 1 < text_.size() && text_[i + 1] == '/') {
            while (i < text_.size() && text_[i] != '\n') ++i;
            continue;
        }
        Token t;
        if (c == ',') {
            t.kind = Tok::Comma;
            ++i;
        } else if (c == '|') {
            t.kind = Tok::Bar;
            ++i;
        } else if (c == '"') {
            t.kind = Tok::String;
            if (!ReadString(i, line, t.text)) return false;
        } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+') {
            std::size_t start = i++;
            while (i < text_.size() && std::isalnum(static_cast<unsigned char>(text_[i]))) ++i;
            t.kind = Tok::Number;
            t.text = std::string(text_.substr(start, i - start));
            // Decimal, or hexadecimal after 0x (a leading zero does not make a number octal).
            std::size_t digits = (t.text[0] == '-' || t.text[0] == '+') ? 1 : 0;
            bool hex = t.text.size() > digits + 1 && t.text[digits] == '0' && (t.text[digits + 1] == 'x' || t.text[digits + 1] == 'X');
            char* end = nullptr;
            t.number = std::strtoll(t.text.c_str(), &end, hex ? 16 : 10);
            if (!end || *end || t.text == "-" || t.text == "+") return Fail(line, "bad number " + t.text);
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            std::size_t start = i++;
            while (i < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[i])) || text_[i] == '_')) ++i;
            t.kind = Tok::Name;
            t.text = std::string(text_.substr(start, i - start));
        } else {
            return Fail(line, std::string("unexpected character '") + c + "'");
        }
        current.push_back(std::move(t));
    }
    endLine();
    if (continued) return Fail(statementLine, "statement not finished at the end of the file");
    return true;
}

bool Parser::Number(Statement& s, long long& value, const char* what) {
    s.SkipComma();
    Token t = s.Next();
    if (t.kind == Tok::Number) {
        value = t.number;
        return true;
    }
    if (t.kind == Tok::Name && DialogScriptSymbol(t.text, &value)) return true;
    return Fail(s.Line(), std::string("expected ") + what + (t.text.empty() ? "" : ", found " + t.text));
}

bool Parser::Text(Statement& s, std::string& value, const char* what) {
    s.SkipComma();
    Token t = s.Next();
    if (t.kind != Tok::String) return Fail(s.Line(), std::string("expected ") + what + " in double quotes");
    value = t.text;
    return true;
}

bool Parser::Styles(Statement& s, DWORD& set, DWORD& clear) {
    s.SkipComma();
    for (;;) {
        bool negate = false;
        if (s.Peek().kind == Tok::Name && s.Peek().text == "NOT") {
            s.Next();
            negate = true;
        }
        long long v = 0;
        Token t = s.Next();
        if (t.kind == Tok::Number)
            v = t.number;
        else if (t.kind != Tok::Name || !DialogScriptSymbol(t.text, &v))
            return Fail(s.Line(), "unknown style " + (t.text.empty() ? std::string("(nothing)") : t.text));
        (negate ? clear : set) |= static_cast<DWORD>(v);
        if (s.Peek().kind != Tok::Bar) return true;
        s.Next();
    }
}

struct Kind {
    const char* keyword;
    const char* className;
    DWORD style;
    bool hasText;
    DWORD typeMask;  // a type given among the styles replaces the kind's own
};

const Kind kKinds[] = {
    {"LTEXT", kStaticClass, SS_LEFT | WS_GROUP, true, SS_TYPEMASK},
    {"RTEXT", kStaticClass, SS_RIGHT | WS_GROUP, true, SS_TYPEMASK},
    {"CTEXT", kStaticClass, SS_CENTER | WS_GROUP, true, SS_TYPEMASK},
    {"PUSHBUTTON", kButtonClass, BS_PUSHBUTTON | WS_TABSTOP, true, BS_TYPEMASK},
    {"DEFPUSHBUTTON", kButtonClass, BS_DEFPUSHBUTTON | WS_TABSTOP, true, BS_TYPEMASK},
    {"CHECKBOX", kButtonClass, BS_CHECKBOX | WS_TABSTOP, true, BS_TYPEMASK},
    {"AUTOCHECKBOX", kButtonClass, BS_AUTOCHECKBOX | WS_TABSTOP, true, BS_TYPEMASK},
    {"STATE3", kButtonClass, BS_3STATE | WS_TABSTOP, true, BS_TYPEMASK},
    {"AUTO3STATE", kButtonClass, BS_AUTO3STATE | WS_TABSTOP, true, BS_TYPEMASK},
    {"RADIOBUTTON", kButtonClass, BS_RADIOBUTTON, true, BS_TYPEMASK},
    {"AUTORADIOBUTTON", kButtonClass, BS_AUTORADIOBUTTON, true, BS_TYPEMASK},
    {"GROUPBOX", kButtonClass, BS_GROUPBOX, true, BS_TYPEMASK},
    {"ICON", kStaticClass, SS_ICON, true, SS_TYPEMASK},
    {"EDITTEXT", kEditClass, ES_LEFT | WS_BORDER | WS_TABSTOP, false, 0},
    {"LISTBOX", kListBoxClass, LBS_NOTIFY | WS_BORDER, false, 0},
    {"COMBOBOX", kComboBoxClass, CBS_SIMPLE | WS_TABSTOP, false, 0x3},
    {"SCROLLBAR", kScrollBarClass, SBS_HORZ, false, 0},
};

bool Parser::Control(Statement& s, DialogTemplate& t) {
    Token keyword = s.Next();
    DialogItemTemplate item;
    long long id = 0, x = 0, y = 0, cx = 0, cy = 0;
    DWORD set = 0, clear = 0, exSet = 0, exClear = 0;
    if (keyword.text == "CONTROL") {
        if (!Text(s, item.text, "the control's text") || !Number(s, id, "the control id")) return false;
        s.SkipComma();
        Token cls = s.Next();
        if (cls.kind != Tok::String && cls.kind != Tok::Name) return Fail(s.Line(), "expected the control's class");
        item.className = cls.text;
        if (!Styles(s, set, clear)) return false;
        if (!Number(s, x, "x") || !Number(s, y, "y") || !Number(s, cx, "width") || !Number(s, cy, "height")) return false;
        item.style = (WS_CHILD | WS_VISIBLE | set) & ~clear;
    } else {
        const Kind* kind = nullptr;
        for (const Kind& k : kKinds)
            if (keyword.text == k.keyword) kind = &k;
        if (!kind) return Fail(s.Line(), "unknown statement " + keyword.text);
        item.className = kind->className;
        if (kind->hasText && !Text(s, item.text, "the control's text")) return false;
        if (!Number(s, id, "the control id") || !Number(s, x, "x") || !Number(s, y, "y")) return false;
        bool sizeOptional = keyword.text == "ICON";
        s.SkipComma();
        if (!sizeOptional || s.Peek().kind == Tok::Number) {
            if (!Number(s, cx, "width") || !Number(s, cy, "height")) return false;
        }
        s.SkipComma();
        if (!s.AtEnd() && !Styles(s, set, clear)) return false;
        DWORD base = kind->style;
        if (set & kind->typeMask) base &= ~kind->typeMask;
        item.style = (WS_CHILD | WS_VISIBLE | base | set) & ~clear;
    }
    s.SkipComma();
    if (!s.AtEnd() && !Styles(s, exSet, exClear)) return false;
    if (!s.AtEnd()) return Fail(s.Line(), "unexpected " + s.Peek().text + " after the control");
    if (cx < 0 || cy < 0) return Fail(s.Line(), "negative size");
    item.exStyle = exSet & ~exClear;
    item.id = static_cast<int>(id);
    item.x = static_cast<int>(x);
    item.y = static_cast<int>(y);
    item.cx = static_cast<int>(cx);
    item.cy = static_cast<int>(cy);
    if (item.id != -1)
        for (const DialogItemTemplate& other : t.items)
            if (other.id == item.id) return Fail(s.Line(), "control id " + std::to_string(item.id) + " used twice");
    t.items.push_back(std::move(item));
    return true;
}

bool Parser::Header(Statement& s, DialogTemplate& t) {
    Token keyword = s.Next();
    const std::string& k = keyword.text;
    if (k == "CAPTION") {
        if (!Text(s, t.caption, "the caption")) return false;
        t.style |= WS_CAPTION;
    } else if (k == "STYLE") {
        DWORD set = 0, clear = 0;
        if (!Styles(s, set, clear)) return false;
        t.style = (set & ~clear) | (t.caption.empty() ? 0 : WS_CAPTION) | (t.pointSize ? DS_SETFONT : 0);
    } else if (k == "EXSTYLE") {
        DWORD set = 0, clear = 0;
        if (!Styles(s, set, clear)) return false;
        t.exStyle = set & ~clear;
    } else if (k == "FONT") {
        long long size = 0;
        if (!Number(s, size, "the point size") || !Text(s, t.faceName, "the face name")) return false;
        if (size <= 0) return Fail(s.Line(), "bad point size");
        t.pointSize = static_cast<int>(size);
        t.style |= DS_SETFONT;
    } else if (k == "CLASS") {
        if (!Text(s, t.className, "the class name")) return false;
    } else {
        return Fail(s.Line(), "unknown statement " + k + " before BEGIN");
    }
    if (!s.AtEnd()) return Fail(s.Line(), "unexpected " + s.Peek().text + " after " + k);
    return true;
}

bool Parser::Run(std::vector<DialogTemplate>& out, std::string& error) {
    std::vector<Statement> statements;
    if (!Tokenize(statements)) {
        error = error_;
        return false;
    }
    std::set<int> seen;
    for (const DialogTemplate& d : out) seen.insert(d.id);
    for (std::size_t i = 0; i < statements.size();) {
        Statement& s = statements[i];
        const Token& first = s.Peek();
        if (first.kind != Tok::Name || first.text != "DIALOG") {
            Fail(s.Line(), "expected DIALOG, found " + first.text);
            break;
        }
        s.Next();
        DialogTemplate t;
        t.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
        long long id = 0, x = 0, y = 0, cx = 0, cy = 0;
        if (!Number(s, id, "the dialog id") || !Number(s, x, "x") || !Number(s, y, "y") || !Number(s, cx, "width") ||
            !Number(s, cy, "height"))
            break;
        if (!s.AtEnd()) {
            Fail(s.Line(), "unexpected " + s.Peek().text + " after the dialog's size");
            break;
        }
        if (!seen.insert(static_cast<int>(id)).second) {
            Fail(s.Line(), "dialog id " + std::to_string(id) + " used twice");
            break;
        }
        t.id = static_cast<int>(id);
        t.x = static_cast<int>(x);
        t.y = static_cast<int>(y);
        t.cx = static_cast<int>(cx);
        t.cy = static_cast<int>(cy);
        ++i;
        bool ok = true;
        while (ok && i < statements.size() && statements[i].Peek().text != "BEGIN") ok = Header(statements[i++], t);
        if (!ok) break;
        if (i >= statements.size()) {
            Fail(s.Line(), "dialog without BEGIN");
            break;
        }
        Statement& begin = statements[i++];
        begin.Next();
        if (!begin.AtEnd()) {
            Fail(begin.Line(), "unexpected text after BEGIN");
            break;
        }
        while (ok && i < statements.size() && statements[i].Peek().text != "END") ok = Control(statements[i++], t);
        if (!ok) break;
        if (i >= statements.size()) {
            Fail(s.Line(), "dialog without END");
            break;
        }
        ++i;
        out.push_back(std::move(t));
    }
    error = error_;
    return error_.empty();
}

}  // namespace

bool DialogScriptSymbol(std::string_view name, long long* value) {
    auto it = Symbols().find(name);
    if (it == Symbols().end()) return false;
    *value = it->second;
    return true;
}

bool ParseDialogScript(std::string_view text, const std::string& fileName, std::vector<DialogTemplate>& out,
                       std::string& error) {
    Parser parser(text, fileName);
    return parser.Run(out, error);
}

}  // namespace win
