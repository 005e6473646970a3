#include "platform/clipboard.h"

#include <SDL.h>

#include <cstring>

#include "external_tool_support.h"
#include "gdi_test_support.h"
#include "platform/backend.h"
#include "platform/gdi_mapping.h"
#include "platform/global_memory.h"
#include "platform/metafile.h"
#include "platform/system.h"
#include "platform/winhelp.h"

// The desktop libraries that SDL loads keep allocations past their unloading.
extern "C" void __lsan_disable() __attribute__((weak));
extern "C" void __lsan_enable() __attribute__((weak));

namespace win::testing {
namespace {

class ClipboardTest : public GdiTest {
protected:
    void SetUp() override {
        GdiTest::SetUp();
        ResetClipboardStateForTests();
        ResetGlobalMemoryStateForTests();
        ResetMetafileStateForTests();
    }
    void TearDown() override {
        ResetClipboardStateForTests();
        GdiTest::TearDown();
    }
};

HWND FakeWindow(int n) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1000 * n)); }

HGLOBAL TextBlock(const char* text) {
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, std::strlen(text) + 1);
    std::strcpy(static_cast<char*>(GlobalLock(mem)), text);
    GlobalUnlock(mem);
    return mem;
}

TEST_F(ClipboardTest, GlobalBlocks) {
    HGLOBAL mem = GlobalAlloc(GHND, 10);
    ASSERT_NE(mem, nullptr);
    EXPECT_EQ(GlobalSize(mem), 10u);
    auto* p = static_cast<unsigned char*>(GlobalLock(mem));
    EXPECT_EQ(std::count(p, p + 10, 0), 10);
    EXPECT_EQ(GlobalLock(mem), p);  // the block does not move
    EXPECT_TRUE(GlobalUnlock(mem));  // still locked once
    EXPECT_FALSE(GlobalUnlock(mem));
    EXPECT_FALSE(GlobalUnlock(mem));
    EXPECT_EQ(GlobalFree(mem), nullptr);
    EXPECT_EQ(GlobalFree(mem), mem);  // not a block any more
    EXPECT_EQ(GlobalLock(mem), nullptr);
    EXPECT_EQ(GlobalSize(mem), 0u);
    EXPECT_EQ(GlobalAlloc(GHND, static_cast<std::size_t>(-1) / 2), nullptr);
    HGLOBAL text = GlobalAllocText("abc");
    EXPECT_EQ(GlobalSize(text), 4u);
    EXPECT_EQ(GlobalText(text), "abc");
}

TEST_F(ClipboardTest, TextRoundTrip) {
    ASSERT_TRUE(OpenClipboard(FakeWindow(1)));
    ASSERT_TRUE(EmptyClipboard());
    HGLOBAL mem = TextBlock("\r\nA\r\nB");
    EXPECT_EQ(HGLOBAL(SetClipboardData(CF_TEXT, mem)), mem);
    EXPECT_TRUE(CloseClipboard());
    EXPECT_EQ(GetClipboardOwner(), FakeWindow(1));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));

    EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);  // only while open
    ASSERT_TRUE(OpenClipboard(FakeWindow(2)));
    HGLOBAL got = GetClipboardData(CF_TEXT);
    ASSERT_NE(got, nullptr);
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(got)), "\r\nA\r\nB");
    GlobalUnlock(got);
    EXPECT_EQ(GetClipboardData(CF_METAFILEPICT), nullptr);
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(CloseClipboard());
}

TEST_F(ClipboardTest, OpeningRulesAndOwnership) {
    EXPECT_FALSE(EmptyClipboard());
    EXPECT_EQ(SetClipboardData(CF_TEXT, GlobalAllocText("x")), nullptr);
    ASSERT_TRUE(OpenClipboard(FakeWindow(1)));
    EXPECT_EQ(GetOpenClipboardWindow(), FakeWindow(1));
    EXPECT_FALSE(OpenClipboard(FakeWindow(2)));
    EXPECT_TRUE(OpenClipboard(FakeWindow(1)));
    CloseClipboard();
    EXPECT_EQ(GetOpenClipboardWindow(), nullptr);
    EXPECT_TRUE(OpenClipboard(FakeWindow(2)));
    CloseClipboard();
}

TEST_F(ClipboardTest, TheClipboardOwnsAndFreesItsData) {
    Canvas screen(20, 20);
    HBITMAP bmp = CreateCompatibleBitmap(screen.dc(), 4, 4);
    HDC mdc = CreateMetaFile(nullptr);
    LineTo(mdc, 5, 5);
    HMETAFILE mf = CloseMetaFile(mdc);
    HGLOBAL pictBlock = GlobalAlloc(GHND, sizeof(METAFILEPICT));
    auto* pict = static_cast<METAFILEPICT*>(GlobalLock(pictBlock));
    *pict = {MM_ANISOTROPIC, 2540, 1270, mf};
    GlobalUnlock(pictBlock);
    HGLOBAL text = TextBlock("first");

    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    EXPECT_EQ(HBITMAP(SetClipboardData(CF_BITMAP, bmp)), bmp);
    EXPECT_EQ(HGLOBAL(SetClipboardData(CF_METAFILEPICT, pictBlock)), pictBlock);
    SetClipboardData(CF_TEXT, text);
    // The same format again replaces (and frees) the old data.
    HGLOBAL second = TextBlock("second");
    SetClipboardData(CF_TEXT, second);
    EXPECT_FALSE(IsValidGlobal(text));
    EXPECT_EQ(GlobalText(GetClipboardData(CF_TEXT)), "second");
    auto* back = static_cast<METAFILEPICT*>(GlobalLock(GetClipboardData(CF_METAFILEPICT)));
    EXPECT_EQ(back->hMF, mf);
    EXPECT_EQ(back->xExt, 2540);
    EXPECT_TRUE(EmptyClipboard());
    CloseClipboard();
    EXPECT_FALSE(IsValidGlobal(second));
    EXPECT_FALSE(IsValidGlobal(pictBlock));
    EXPECT_FALSE(IsValidMetaFile(mf));
    EXPECT_FALSE(IsValidGdiObject(bmp));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
}

TEST_F(ClipboardTest, DataThatDoesNotSuitItsFormatIsRefused) {
    Canvas screen(20, 20);
    HBITMAP bmp = CreateCompatibleBitmap(screen.dc(), 4, 4);
    HPEN pen = CreatePen(PS_SOLID, 1, 0);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    EXPECT_EQ(SetClipboardData(CF_BITMAP, GlobalAllocText("x")), nullptr);
    EXPECT_EQ(SetClipboardData(CF_BITMAP, pen), nullptr);
    EXPECT_EQ(SetClipboardData(CF_TEXT, bmp), nullptr);
    EXPECT_EQ(SetClipboardData(CF_METAFILEPICT, GlobalAlloc(GHND, 4)), nullptr);
    EXPECT_EQ(SetClipboardData(CF_TEXT, nullptr), nullptr);
    // Text without its terminating zero gets one, so a reader cannot run off the block.
    HGLOBAL raw = GlobalAlloc(GHND, 3);
    std::memcpy(GlobalLock(raw), "abc", 3);
    GlobalUnlock(raw);
    ASSERT_NE(SetClipboardData(CF_TEXT, raw), nullptr);
    EXPECT_EQ(GlobalSize(raw), 4u);
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(raw)), "abc");
    GlobalUnlock(raw);
    // Data freed behind the clipboard's back is not handed out again.
    GlobalFree(raw);
    EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
    CloseClipboard();
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
    DeleteObject(pen);
    DeleteObject(bmp);
}

TEST_F(ClipboardTest, HelpIsLoggedAndCtl3dIsAbsent) {
    ResetHelpStateForTests();
    EXPECT_TRUE(WinHelp(FakeWindow(3), "/opt/kq5/kq5.hlp", HELP_CONTEXT, 3));
    EXPECT_TRUE(WinHelp(nullptr, "kq5.hlp", HELP_KEY, reinterpret_cast<ULONG_PTR>("Resistor")));
    EXPECT_TRUE(WinHelp(nullptr, "kq5.hlp", HELP_PARTIALKEY, reinterpret_cast<ULONG_PTR>("")));
    const auto& log = Help().requests;
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].owner, FakeWindow(3));
    EXPECT_EQ(log[0].command, HELP_CONTEXT);
    EXPECT_EQ(log[0].data, 3u);
    EXPECT_EQ(log[1].keyword, "Resistor");
    EXPECT_EQ(log[2].command, HELP_PARTIALKEY);
    EXPECT_EQ(LoadLibrary("ctl3d32.dll"), nullptr);
}

struct LeakCheckPause {
    LeakCheckPause() {
        if (__lsan_disable) __lsan_disable();
    }
    ~LeakCheckPause() {
        if (__lsan_enable) __lsan_enable();
    }
};

TEST_F(ClipboardTest, TextTravelsToAndFromTheDesktop) {
    LeakCheckPause pause;
    ASSERT_TRUE(DisplayAvailable()) << kNoDisplay;
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    PlatformOptions options;
    options.width = 320;
    options.height = 240;
    ASSERT_EQ(InitPlatform(options), BackendKind::Sdl);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_TEXT, GlobalAllocText("line 1\r\nline 2 \xE9"));
    CloseClipboard();
    char* desktop = SDL_GetClipboardText();
    EXPECT_STREQ(desktop, "line 1\nline 2 \xC3\xA9");
    SDL_free(desktop);

    // Another program copies: the next look at the clipboard finds its text, with CR LF.
    SDL_SetClipboardText("from\nelsewhere \xE2\x82\xAC");
    SDL_Delay(300);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(GlobalText(GetClipboardData(CF_TEXT)), "from\r\nelsewhere \x80");
    CloseClipboard();
    ResetClipboardStateForTests();
    ShutdownPlatform();
    ResetPlatformForTests();
}

}  // namespace
}  // namespace win::testing
