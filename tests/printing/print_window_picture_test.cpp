// Ctrl+Shift+W over a model library window: the screen picture of the active window goes to the
// PDF printer, read back by poppler's tools and compared with the screen it was taken from.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../app/frame_test_support.h"
#include "../app/screen_capture_support.h"
#include "app/frame_window.h"
#include "app/printing.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "analog/run_windows.h"
#include "netlist/binary_library.h"
#include "netlist/model_library_window.h"
#include "netlist/model_types.h"
#include "platform/gdi_dc.h"
#include "platform/headless.h"
#include "platform/message_box.h"
#include "platform/print.h"
#include "platform/screen.h"
#include "platform/system.h"
#include "platform/window.h"
#include "pdf_probe.h"

namespace kq5::testing {
namespace {

class PrintWindowPicture : public WithPdfPrinter<StartedFrame> {
protected:
    // A library of two bipolar models, opened in its window in the frame.
    WindowRecord* OpenLibrary(const std::string& name)
    {
        ModelLibrary library;
        for (const char* model : {"Q2N2222", "Q2N3904"}) {
            ModelLibraryEntry* entry = NewLibraryEntry(library, kModelNpn);
            if (entry == nullptr) return nullptr;
            for (std::size_t i = 0; i < entry->params.size(); ++i)
                if (const ModelParamDesc* desc = FindModelParamDesc(kModelNpn, static_cast<int>(i))) entry->params[i] = desc->defaultValue;
            entry->name = model;
        }
        const int saved = SaveModelLibrary(library, (dir_ / name).string());
        ReleaseModelLibrary(library);
        if (saved != 0) return nullptr;
        WindowRecord* record = OpenModelLibraryDocument((dir_ / name).string());
        if (record != nullptr) SelectModelType(record, kModelNpn);
        PumpFrameMessages();
        return record;
    }

    static void PressCtrlShiftW()
    {
        win::headless::PressKeyWithModifiers('W', true, true);
        PumpFrameMessages();
    }
};

// The picture a printed page holds: its box on the paper (printer pixels) and its scale.
struct PicturePlacement {
    double scale = 0;
    int left = 0;
    int top = 0;
};

PicturePlacement PlacePicture(int width, int height)
{
    win::HDC dc = CreatePrinterDC();
    const int pageWidth = win::GetDeviceCaps(dc, win::HORZRES);
    const int pageHeight = win::GetDeviceCaps(dc, win::VERTRES);
    win::DeleteDC(dc);
    PicturePlacement p;
    p.scale = std::min({static_cast<double>(win::kPrinterDpi) / 96, static_cast<double>(pageWidth) / width,
                        static_cast<double>(pageHeight) / height});
    p.left = win::kPrinterMarginPx + (pageWidth - static_cast<int>(width * p.scale)) / 2;
    p.top = win::kPrinterMarginPx + (pageHeight - static_cast<int>(height * p.scale)) / 2;
    return p;
}

bool SameColour(win::COLORREF screen, const unsigned char* paper)
{
    const int r = static_cast<int>(screen & 0xFF), g = static_cast<int>((screen >> 8) & 0xFF),
              b = static_cast<int>((screen >> 16) & 0xFF);
    return std::abs(r - paper[0]) < 48 && std::abs(g - paper[1]) < 48 && std::abs(b - paper[2]) < 48;
}

TEST_F(PrintWindowPicture, ALibraryWindowPrintsWhatTheScreenShowsBesideTheLibrary)
{
    Start();
    WindowRecord* library = OpenLibrary("parts.lbr");
    ASSERT_NE(library, nullptr);
    ASSERT_EQ(library->kind, kWindowModelLibrary);
    // The window reaches past the frame's client area on the right: only its visible part can
    // be in the picture.
    win::ShowWindow(library->window, win::SW_RESTORE);
    win::MoveWindow(library->window, 600, 40, 700, 400, 1);
    PumpFrameMessages();
    ASSERT_EQ(GetActiveChildRecord(), library);

    // The window printed is the active one, cut to the screen; the screen is read before the
    // job's dialog covers any of it.
    win::HWND active = win::GetActiveWindow();
    ASSERT_NE(active, nullptr);
    win::RECT shown{};
    win::GetWindowRect(active, &shown);
    const win::RECT screen{0, 0, win::GetSystemMetrics(win::SM_CXSCREEN), win::GetSystemMetrics(win::SM_CYSCREEN)};
    ASSERT_TRUE(win::IntersectRect(&shown, &shown, &screen));
    win::RECT lbr{};
    win::GetWindowRect(library->window, &lbr);
    win::RECT lbrShown{};
    ASSERT_TRUE(win::IntersectRect(&lbrShown, &lbr, &shown));
    struct Sample {
        int x, y;
        win::COLORREF colour;
    };
    std::vector<Sample> samples;
    // Points inside areas of one colour, where scaling cannot blend neighbours into them.
    const auto uniform = [](int x, int y) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (win::ScreenPixel(x + dx, y + dy) != win::ScreenPixel(x, y)) return false;
        return true;
    };
    for (int y = lbrShown.top + 3; y < lbrShown.bottom - 3; y += 5)
        for (int x = lbrShown.left + 3; x < lbrShown.right - 3; x += 5)
            if (uniform(x, y)) samples.push_back({x, y, win::ScreenPixel(x, y)});
    ASSERT_GT(samples.size(), 1000u);

    PressCtrlShiftW();
    for (const auto& box : win::MessageBoxLog()) ADD_FAILURE() << box.text;

    // Nothing was asked: the PDF goes beside the library, under its name.
    const std::string pdf = (dir_ / "parts.pdf").string();
    ASSERT_TRUE(std::filesystem::exists(pdf));
    EXPECT_EQ(PdfPageCount(pdf), 1);
    PdfRaster page;
    ASSERT_TRUE(page.Load(pdf, 1));
    const int width = shown.right - shown.left, height = shown.bottom - shown.top;
    const PicturePlacement at = PlacePicture(width, height);
    // The paper outside the picture stays blank; inside, the library window's pixels are where
    // the screen had them.
    EXPECT_EQ(page.Ink(0, 0, page.width, at.top - 4), 0);
    EXPECT_EQ(page.Ink(0, 0, at.left - 4, page.height), 0);
    int same = 0;
    for (const Sample& s : samples) {
        const int px = at.left + static_cast<int>((s.x - shown.left + 0.5) * at.scale);
        const int py = at.top + static_cast<int>((s.y - shown.top + 0.5) * at.scale);
        ASSERT_TRUE(px >= 0 && py >= 0 && px < page.width && py < page.height);
        same += SameColour(s.colour, &page.rgb[(static_cast<std::size_t>(py) * page.width + px) * 3]) ? 1 : 0;
    }
    EXPECT_GT(same, static_cast<int>(samples.size()) * 99 / 100) << same << " of " << samples.size();
    // The printed sheet, small, for a look.
    std::string log;
    EXPECT_EQ(win::testing::RunCommand("pdftoppm -r 50 -png -singlefile '" + pdf + "' '" +
                                           (ScreensDirectory() / "print_library_picture").string() + "'",
                                       log),
              0)
        << log;
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

// With no document open the picture still goes where the user's files are, not into the
// directory the program was started from.
TEST_F(PrintWindowPicture, TheBareFramePrintsIntoTheWorkingDirectory)
{
    Start();
    while (WindowRecord* child = GetActiveChildRecord()) {
        child->modified = 0;
        CloseWindowRecord(child);
        PumpFrameMessages();
    }
    const std::filesystem::path started = std::filesystem::current_path();
    std::error_code ignored;
    std::filesystem::remove(started / "print.pdf", ignored);
    PressCtrlShiftW();
    for (const auto& box : win::MessageBoxLog()) ADD_FAILURE() << box.text;
    EXPECT_EQ(PdfPageCount((dir_ / "print.pdf").string()), 1);
    EXPECT_FALSE(std::filesystem::exists(started / "print.pdf"));
}

}  // namespace
}  // namespace kq5::testing
