// Dialog templates: the script form, the compiled test table, and dialog units on the screen.
#include "control_test_support.h"
#include "platform/dialog.h"
#include "platform/dialog_script.h"
#include "platform/message_box.h"
#include "platform/string_resource.h"

namespace win::testing {
namespace {

std::string ParseError(const std::string& text) {
    std::vector<DialogTemplate> out;
    std::string error;
    EXPECT_FALSE(ParseDialogScript(text, "t.dlg", out, error));
    return error;
}

TEST(DialogScriptTest, StatementsDefaultsAndTexts) {
    std::vector<DialogTemplate> out;
    std::string error;
    const char* text =
        "// a comment\n"
        "DIALOG 42, 1, 2, 100, 010\n"
        "CAPTION \"Say \"\"hi\"\" \xC3\xA9\"\n"
        "FONT 8, \"Arial\"\n"
        "BEGIN\n"
        "  PUSHBUTTON \"&Go\", IDOK, 5, 5, 40, 14, NOT WS_TABSTOP | BS_OWNERDRAW\n"
        "  COMBOBOX 7, 5, 25, 60, 50,\n"
        "           CBS_DROPDOWN | WS_VSCROLL\n"
        "  ICON \"#1200\", -1, 70, 5\n"
        "  CONTROL \"\", 300, \"ShapeArea\", WS_BORDER, 5, 40, 30, 0x1F, WS_EX_CLIENTEDGE\n"
        "END\n";
    ASSERT_TRUE(ParseDialogScript(text, "t.dlg", out, error)) << error;
    ASSERT_EQ(out.size(), 1u);
    const DialogTemplate& d = out[0];
    EXPECT_EQ(d.id, 42);
    EXPECT_EQ(d.cy, 10);  // a leading zero is no octal number
    EXPECT_EQ(d.caption, "Say \"hi\" \xE9");  // Windows-1252 in the program
    EXPECT_EQ(d.style, DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT);
    EXPECT_EQ(d.pointSize, 8);
    ASSERT_EQ(d.items.size(), 4u);
    EXPECT_EQ(d.items[0].style, WS_CHILD | WS_VISIBLE | BS_OWNERDRAW);
    EXPECT_EQ(d.items[1].style & 0x3, CBS_DROPDOWN);  // the given type replaces the simple default
    EXPECT_EQ(d.items[2].className, kStaticClass);
    EXPECT_EQ(d.items[2].cx, 0);
    EXPECT_EQ(d.items[3].className, "ShapeArea");
    EXPECT_EQ(d.items[3].cy, 31);
    EXPECT_EQ(d.items[3].exStyle, WS_EX_CLIENTEDGE);
}

TEST(DialogScriptTest, FaultsNameTheirLine) {
    EXPECT_EQ(ParseError("DIALOG 1, 0, 0, 10, 10\nBEGIN\n LTEXT \"a\", 1, 0, 0, 5, 5, WS_BOGUS\nEND\n"),
              "t.dlg:3: unknown style WS_BOGUS");
    EXPECT_EQ(ParseError("DIALOG 1, 0, 0, 10, 10\nBEGIN\n EDITTEXT 5, 0, 0, 5, 5\n EDITTEXT 5, 0, 9, 5, 5\nEND\n"),
              "t.dlg:4: control id 5 used twice");
    EXPECT_EQ(ParseError("DIALOG 1, 0, 0, 10, 10\nBEGIN\nEND\nDIALOG 1, 0, 0, 10, 10\nBEGIN\nEND\n"),
              "t.dlg:4: dialog id 1 used twice");
    EXPECT_EQ(ParseError("DIALOG 1, 0, 0, 10, 10\nBEGIN\n LTEXT \"open, 1, 0, 0, 5, 5\nEND\n"), "t.dlg:3: text not closed");
    EXPECT_EQ(ParseError("DIALOG 1, 0, 0, 10, 10\nBEGIN\n"), "t.dlg:1: dialog without END");
    EXPECT_EQ(ParseError("DIALOG 1, 0, 0, 10,\n"), "t.dlg:1: statement not finished at the end of the file");
}

class DialogUnitTest : public PlatformTest {};

TEST_F(DialogUnitTest, CompiledTemplatesBecomeWindowsMeasuredInDialogUnits) {
    const DialogTemplate* t = FindDialogTemplate(9001);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->caption, "Settings");
    EXPECT_EQ(t->faceName, "MS Sans Serif");
    EXPECT_EQ(FindDialogTemplate(4242), nullptr);
    EXPECT_EQ(DialogBoxParam(nullptr, 4242, nullptr, nullptr, 0), -1);

    HWND dlg = CreateDialogParam(nullptr, 9001, nullptr, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(GetWindowText(dlg), "Settings");
    RECT want{50, 6, 100, 12};  // position and size, each mapped on its own
    ASSERT_TRUE(MapDialogRect(dlg, &want));
    RECT got;
    GetWindowRect(GetDlgItem(dlg, 101), &got);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&got), 2);
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    EXPECT_EQ(got.right - got.left, want.right);
    EXPECT_EQ(got.bottom - got.top, want.bottom);
    RECT client;
    GetClientRect(dlg, &client);
    RECT size{0, 0, 220, 160};
    MapDialogRect(dlg, &size);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    // The controls share the dialog's font.
    auto font = SendMessage(dlg, WM_GETFONT, 0, 0);
    EXPECT_NE(font, 0);
    EXPECT_EQ(SendMessage(GetDlgItem(dlg, 106), WM_GETFONT, 0, 0), font);
    DestroyWindow(dlg);

    // A template added at run time, in pixels.
    DialogTemplate px;
    px.id = 4243;
    px.style = WS_POPUP | WS_CAPTION;
    px.pixelUnits = true;
    px.cx = 200;
    px.cy = 100;
    px.items.push_back({kButtonClass, "OK", IDOK, WS_VISIBLE | BS_DEFPUSHBUTTON, 0, 10, 20, 75, 23});
    RegisterDialogTemplate(px);
    dlg = CreateDialogParam(nullptr, 4243, nullptr, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    ASSERT_NE(dlg, nullptr);
    GetClientRect(GetDlgItem(dlg, IDOK), &got);
    EXPECT_EQ(got.right, 75);
    DestroyWindow(dlg);
}

TEST(StringResourceTest, LoadStringReadsTheStringTable) {
    std::string text = "stale";
    EXPECT_EQ(LoadString(nullptr, 0x7FFFFFF0u, text), 0);
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(LoadString(nullptr, 15002, text), 22);
    EXPECT_EQ(text, "%EInsufficient memory.");  // as stored, with its marker
    EXPECT_EQ(LoadString(15002), text);
}

}  // namespace
}  // namespace win::testing
