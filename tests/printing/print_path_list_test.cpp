// Printing the Path dialog's listing: every sheet headed with its number and the circuit's name,
// read back by pdftotext; an empty listing starts no job.
#include <filesystem>
#include <string>

#include "../app/frame_test_support.h"
#include "../plots/circuit_file_test_support.h"
#include "app/command_routing.h"
#include "app/frame_window.h"
#include "ui/window_record.h"
#include "digital/digital_path_window.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/print.h"
#include "pdf_probe.h"

namespace kq5::testing {
namespace {

// A stimulus driving a buffer that drives an inverter: one path, S1 U1 U2.
std::string ChainCircuit()
{
    const std::string gate = CircuitAttr("TIMING MODEL", "D0_GATE") + CircuitAttr("I/O MODEL", "IO_STD");
    return kCircuitFileHeader +
           CircuitPart("Stim1", 10, 10, "S1",
                       (CircuitAttr("COMMAND", "0NS 0 10NS 1") + CircuitAttr("FORMAT", "1") + CircuitAttr("I/O MODEL", "IO_STD")).c_str()) +
           CircuitPart("Buffer", 15, 10, "U1", gate.c_str()) + CircuitPart("Inverter", 20, 10, "U2", gate.c_str()) +
           "[Limits]\r\nAnalysis=Transient\r\nTRange=100n\r\nNPts=51\r\nTemp=27\r\n\r\n";
}

class PathListPrint : public WithPdfPrinter<StartedFrame> {
protected:
    void TearDown() override
    {
        ClosePathWindow();
        ResetPathWindowForTests();
        WithPdfPrinter<StartedFrame>::TearDown();
    }
    // The circuit loaded and all its paths listed.
    WindowRecord* ListPaths()
    {
        Start();
        WindowRecord* circuit = WriteAndLoadCircuit(dir_, "chain.cir", ChainCircuit().c_str(), kFileKindSchematic,
                                                    kLoadDefaults | kLoadShowWindow, kDigitalTestModels);
        PumpFrameMessages();
        RouteCommand(FrameWindow(), 17453, 0);
        PumpFrameMessages();
        return circuit;
    }
    // The first line with ink of a printed page, without its leading blanks.
    std::string FirstLine(const std::string& pdf, int page)
    {
        std::string text = PageText(pdf, page);
        text.erase(0, text.find_first_not_of(" \n\f"));
        return text.substr(0, text.find('\n'));
    }
    std::string PageText(const std::string& pdf, int page)
    {
        std::string text;
        const std::string p = std::to_string(page);
        EXPECT_EQ(win::testing::RunCommand("pdftotext -f " + p + " -l " + p + " -layout '" + pdf + "' -", text), 0);
        return text;
    }
};

TEST_F(PathListPrint, EverySheetIsHeadedWithItsNumberAndTheCircuit)
{
    WindowRecord* circuit = ListPaths();
    ASSERT_NE(circuit, nullptr);
    ASSERT_NE(PathWindow(), nullptr);
    win::HWND list = win::GetDlgItem(PathWindow(), kPathList);
    ASSERT_GE(win::SendMessage(list, win::LB_GETCOUNT, 0, 0), 2);
    // Enough further lines for a second sheet.
    for (int i = 0; i < 150; ++i) {
        const std::string line = "  filler line " + std::to_string(i);
        win::SendMessage(list, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(line.c_str()));
    }
    const std::string pdf = (dir_ / "paths.pdf").string();
    win::ScriptPrintOutputFile(pdf);
    win::SendMessage(PathWindow(), win::WM_COMMAND, kPathPrint, 0);
    PumpFrameMessages();
    for (const auto& box : win::MessageBoxLog()) ADD_FAILURE() << box.text;
    ASSERT_TRUE(std::filesystem::exists(pdf));
    const int pages = PdfPageCount(pdf);
    ASSERT_GE(pages, 2);
    const std::string title = std::filesystem::path(GetRecordTitle(circuit)).filename().string();
    for (int page : {1, pages}) {
        const std::string heading = FirstLine(pdf, page);
        EXPECT_EQ(heading.rfind("Page " + std::to_string(page) + " ", 0), 0u) << heading;
        EXPECT_NE(heading.find(title), std::string::npos) << heading;
    }
    EXPECT_NE(PageText(pdf, 1).find("S1 U1 U2"), std::string::npos);
    EXPECT_NE(PageText(pdf, pages).find("filler line 149"), std::string::npos);
}

TEST_F(PathListPrint, AnEmptyListingPrintsNothing)
{
    ASSERT_NE(ListPaths(), nullptr);
    ASSERT_NE(PathWindow(), nullptr);
    win::SendDlgItemMessage(PathWindow(), kPathList, win::LB_RESETCONTENT, 0, 0);
    const std::string pdf = (dir_ / "empty.pdf").string();
    win::ScriptPrintOutputFile(pdf);
    win::SendMessage(PathWindow(), win::WM_COMMAND, kPathPrint, 0);
    PumpFrameMessages();
    EXPECT_FALSE(std::filesystem::exists(pdf));
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

}  // namespace
}  // namespace kq5::testing
