// A netlist typed into a text circuit window, key by key, runs like the same netlist read from a
// file; a build error in a typed netlist puts the caret on the faulty line.
#include <fstream>
#include <iterator>
#include <sstream>

#include "../netlist/scratch_build_test.h"
#include "analog/analysis_start.h"
#include "analog/run_control.h"
#include "schematic/find_replace.h"
#include "document/text_editor.h"
#include "platform/headless.h"
#include "platform/message.h"
#include "document/document_windows.h"
#include "schematic/schematic_view.h"

namespace kq5::testing {
namespace {

class TypedNetlistRun : public AnalysisBuildTest {
protected:
    void TearDown() override
    {
        ExitAnalysis();
        if (window_ && win::IsWindow(window_)) win::DestroyWindow(window_);
        AnalysisBuildTest::TearDown();
    }

    // A new text circuit window named in the scratch directory, with the netlist typed into it.
    WindowRecord* TypeCircuit(const std::string& name, const std::string& keys)
    {
        WindowRecord* record = NewDocumentWindow(kWindowTextCircuit, (dir_ / name).string());
        if (record == nullptr || record->window == nullptr) return nullptr;
        window_ = record->window;
        win::HWND editor = record->document->textAreaWindow;
        win::MoveWindow(window_, 0, 0, 600, 400, 1);
        win::ShowWindow(window_, win::SW_SHOW);
        win::RECT client{};
        win::GetClientRect(window_, &client);
        win::MoveWindow(editor, 0, 0, client.right, client.bottom, 1);
        win::SetFocus(editor);
        win::headless::TypeText(keys);
        win::headless::RunUntilIdle();
        // A run reads P and Esc as pressed since it last looked; the letters typed into the
        // netlist are no such presses.
        win::GetAsyncKeyState('P');
        win::GetAsyncKeyState(win::VK_ESCAPE);
        return record;
    }

    std::string Read(const std::string& name) const
    {
        std::ifstream in(dir_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The rows of numbers of a numeric output file (its header names the circuit's file).
    static std::vector<std::string> NumberRows(const std::string& output)
    {
        std::vector<std::string> rows;
        std::istringstream in(output);
        std::string line;
        while (std::getline(in, line)) {
            const std::size_t first = line.find_first_not_of(" \t");
            if (first != std::string::npos && (std::isdigit(static_cast<unsigned char>(line[first])) || line[first] == '-'))
                rows.push_back(line);
        }
        return rows;
    }

    win::HWND window_ = nullptr;
};

const char kNetlist[] = "RC low pass\n"
                        "V1 1 0 PULSE(0 1 0 1N 1N 5U 10U)\n"
                        "R1 1 2 1K\n"
                        "C1 2 0 1N ; the load\n"
                        "* a remark\n"
                        ".TRAN 100N 4U\n"
                        ".PRINT TRAN V(2)\n"
                        ".END\n";

TEST_F(TypedNetlistRun, ATypedNetlistRunsLikeTheSameFile)
{
    WindowRecord* typed = TypeCircuit("typed.cir", kNetlist);
    ASSERT_NE(typed, nullptr);
    std::string expected = kNetlist;
    for (std::size_t at = 0; (at = expected.find('\n', at)) != std::string::npos; at += 2) expected.insert(at, "\r");
    ASSERT_EQ(typed->textArea, expected);
    EXPECT_EQ(typed->modified, 1);
    // Both runs as a batch job runs them: no notices wait for a user.
    Settings().batchRun = true;
    ASSERT_EQ(RunAnalysisCommand(typed, kAnalysisTransient), 0) << LastShownText();
    ASSERT_EQ(RunAnalysisTimed(kAnalysisTransient), 0) << LastShownText();
    ExitAnalysis();
    const std::vector<std::string> typedRows = NumberRows(Read("typed.TNO"));


    PutCircuit(kNetlist, "file.cir");
    ASSERT_EQ(RunAnalysisCommand(record_, kAnalysisTransient), 0) << LastShownText();
    ASSERT_EQ(RunAnalysisTimed(kAnalysisTransient), 0) << LastShownText();
    ExitAnalysis();
    const std::vector<std::string> fileRows = NumberRows(Read("file.TNO"));
    ASSERT_GT(fileRows.size(), 10u);
    EXPECT_EQ(typedRows, fileRows);
}

TEST_F(TypedNetlistRun, ABuildErrorPutsTheCaretOnTheFaultyLine)
{
    WindowRecord* typed = TypeCircuit("faulty.cir", "faulty\nV1 1 0 1\nR1 1 2 1K\nC1 2 0 ABC\n.TRAN 1U 10U\n.END\n");
    ASSERT_NE(typed, nullptr);
    EXPECT_NE(RunAnalysisCommand(typed, kAnalysisTransient), 0);
    EXPECT_FALSE(win::MessageBoxLog().empty());
    win::HWND editor = typed->document->textAreaWindow;
    std::int32_t start = -1;
    std::int32_t end = -1;
    GetEditorSelection(editor, &start, &end);
    EXPECT_EQ(EditorLineOfPos(editor, start), 3) << LastShownText();
    std::string line;
    GetEditorLineText(editor, 3, line, 80);
    EXPECT_EQ(typed->textArea.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)), line);
    EXPECT_EQ(win::GetFocus(), editor);
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

// A build error about a drawn part selects the part and shows its page; only while an analysis
// asked for the build, and only for errors, not warnings.
class SchematicErrorLocation : public BuildTest {
protected:
    void SetUp() override
    {
        BuildTest::SetUp();
        schematic_ = NewDocumentWindow(kWindowSchematic, "/tmp/drawn.cir");
        ASSERT_NE(schematic_, nullptr);
        SetCurrentDocument(schematic_);
        part_ = NewSchematicItem(schematic_);
        part_->definition = Definition(kComponentResistor, 2);
        SetAttribute(schematic_, part_, kAttrPart, "R7");
    }
    void TearDown() override
    {
        Analysis().analysisKind = kAnalysisNone;
        if (schematic_ && schematic_->window) win::DestroyWindow(schematic_->window);
        BuildTest::TearDown();
    }
    WindowRecord* schematic_ = nullptr;
    SchematicItem* part_ = nullptr;
};

TEST_F(SchematicErrorLocation, AnErrorSelectsThePartWhileAnAnalysisBuilds)
{
    ClearCircuitBuildError();
    ReportMessage("WNE", schematic_, part_, kMsgInsufficientMemory);
    EXPECT_TRUE(CircuitBuildFailed());
    EXPECT_EQ(part_->selection & kSelected, 0);  // no analysis: only the build is marked

    ClearCircuitBuildError();
    Analysis().analysisKind = kAnalysisTransient;
    ReportMessage("WNE", schematic_, part_, 13391);
    EXPECT_TRUE(CircuitBuildFailed());
    EXPECT_NE(part_->selection & kSelected, 0);

    // A warning points nowhere and fails nothing.
    part_->selection = 0;
    ClearCircuitBuildError();
    ReportMessage("WNE", schematic_, part_, kMsgNoItemsFound);
    EXPECT_FALSE(CircuitBuildFailed());
    EXPECT_EQ(part_->selection & kSelected, 0);
}

}  // namespace
}  // namespace kq5::testing
