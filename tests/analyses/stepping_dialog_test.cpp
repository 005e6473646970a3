// The Stepping dialog driven through its controls: names of the built circuit by parameter type,
// paging through the ten slots in a working copy, List disabling To and Step Value, OK writing
// the slots back (turning Monte Carlo off and preparing the next run), Cancel leaving them.
#include <algorithm>
#include <functional>
#include <string>

#include "stepping_test_support.h"
#include "analyses/analysis_install.h"
#include "results/run_state.h"
#include "analyses/stepping.h"
#include "document/stepping_rows.h"
#include "document/circuit_document.h"
#include "platform/message_box.h"
#include "platform/controls.h"
#include "platform/paint.h"
#include "platform/dialog.h"
#include "platform/system.h"
#include "platform/window.h"
#include "platform/win_messages.h"

namespace kq5::testing {
namespace {

const std::string kCircuit = "RC\nV1 1 0 PULSE(0 1 0 1U 1U 1 2)\nR1 1 2 RM 1K\nC1 2 0 1U\n"
                             ".MODEL RM RES (R=1)\n.PARAM RV=1K\n.TRAN 50U 1M\n.PRINT TRAN V(2)\n.END\n";

// Controls of the first slot shown; the second adds 50.
constexpr int kGroup = 300, kName = 301, kParam = 302, kFrom = 303, kTo = 304, kValue = 305, kYes = 306;
constexpr int kLinear = 308, kList = 310, kComponent = 311, kModel = 312, kSymbolic = 313;
constexpr int kPrevious = 403, kNext = 404, kSimultaneous = 401;

class SteppingDialogTest : public SteppingTest {
protected:
    void SetUp() override
    {
        SteppingTest::SetUp();
        ASSERT_EQ(Run(kCircuit, kAnalysisTransient), 0) << LastMessage();
    }

    // The dialog made modeless, so that the test drives it with either backend.
    static void RunDialog(const std::function<void(win::HWND)>& act)
    {
        win::HWND dialog = win::CreateDialogParam(win::GetModuleHandle(nullptr), kSteppingDialog, nullptr,
                                                  SteppingDlgProc, 0);
        ASSERT_NE(dialog, nullptr);
        win::ShowWindow(dialog, win::SW_SHOW);
        Pump();
        act(dialog);
        if (win::IsWindow(dialog)) win::DestroyWindow(dialog);
        Pump();
    }
    static void Click(win::HWND dialog, int id)
    {
        win::SendMessage(win::GetDlgItem(dialog, id), win::BM_CLICK, 0, 0);
    }
    static std::vector<std::string> Items(win::HWND dialog, int id)
    {
        std::vector<std::string> items;
        win::HWND combo = win::GetDlgItem(dialog, id);
        const auto n = win::SendMessage(combo, win::CB_GETCOUNT, 0, 0);
        for (win::LRESULT i = 0; i < n; ++i) {
            std::string text(static_cast<std::size_t>(win::SendMessage(combo, win::CB_GETLBTEXTLEN, static_cast<win::WPARAM>(i), 0)), '\0');
            win::SendMessage(combo, win::CB_GETLBTEXT, static_cast<win::WPARAM>(i), reinterpret_cast<win::LPARAM>(text.data()));
            items.push_back(text.c_str());
        }
        return items;
    }
    static void Select(win::HWND dialog, int id, const std::string& text)
    {
        win::HWND combo = win::GetDlgItem(dialog, id);
        const auto at = win::SendMessage(combo, win::CB_FINDSTRINGEXACT, static_cast<win::WPARAM>(-1),
                                         reinterpret_cast<win::LPARAM>(text.c_str()));
        ASSERT_GE(at, 0) << text;
        win::SendMessage(combo, win::CB_SETCURSEL, static_cast<win::WPARAM>(at), 0);
        win::SendMessage(dialog, win::WM_COMMAND, static_cast<win::WPARAM>(id) | (static_cast<win::WPARAM>(win::CBN_SELCHANGE) << 16),
                         reinterpret_cast<win::LPARAM>(combo));
    }
    // Replaces the text of a combo's field as typing would.
    static void Type(win::HWND dialog, int id, const std::string& text)
    {
        win::HWND edit = win::GetDlgItem(win::GetDlgItem(dialog, id), win::kComboEditId);
        ASSERT_NE(edit, nullptr);
        win::SendMessage(edit, win::EM_SETSEL, 0, -1);
        for (char c : text) win::SendMessage(edit, win::WM_CHAR, static_cast<win::WPARAM>(static_cast<unsigned char>(c)), 0);
        Pump();
    }
    static bool Has(const std::vector<std::string>& items, const std::string& text)
    {
        return std::find(items.begin(), items.end(), text) != items.end();
    }
};

TEST_F(SteppingDialogTest, SlotsAreEditedPagedAndWrittenBack)
{
    CircuitDocument& document = *record_->document;
    document.monteCarlo[kAnalysisTransient].options |= kMonteCarloOn;
    RunDialog([&](win::HWND dialog) {
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(win::GetWindowText(dialog), "Stepping");
        EXPECT_EQ(win::GetDlgItemText(dialog, kGroup), "Parameter 1");
        EXPECT_EQ(win::GetDlgItemText(dialog, kGroup + 50), "Parameter 2");
        EXPECT_FALSE(win::IsWindowEnabled(win::GetDlgItem(dialog, kPrevious)));
        EXPECT_TRUE(win::IsWindowEnabled(win::GetDlgItem(dialog, kNext)));

        // The names follow the parameter type.
        Click(dialog, kModel);
        EXPECT_TRUE(Has(Items(dialog, kName), "RES RM"));
        Click(dialog, kSymbolic);
        EXPECT_TRUE(Has(Items(dialog, kName), "RV"));
        Click(dialog, kComponent);
        const std::vector<std::string> parts = Items(dialog, kName);
        EXPECT_TRUE(Has(parts, "R1") && Has(parts, "C1") && Has(parts, "V1"));
        Select(dialog, kName, "R1");
        const std::vector<std::string> params = Items(dialog, kParam);
        EXPECT_TRUE(Has(params, "Value"));
        EXPECT_TRUE(Has(params, "TC1"));  // the parameters of R1's model type
        Select(dialog, kParam, "Value");
        Click(dialog, kLinear);
        win::SetDlgItemText(dialog, kFrom, "1K");
        win::SetDlgItemText(dialog, kTo, "3K");
        win::SetDlgItemText(dialog, kValue, "1K");
        Click(dialog, kYes);

        // The second slot shown: a list, which has no To or Step Value.
        Click(dialog, kComponent + 50);
        Select(dialog, kName + 50, "C1");
        Click(dialog, kList + 50);
        EXPECT_FALSE(win::IsWindowEnabled(win::GetDlgItem(dialog, kTo + 50)));
        EXPECT_FALSE(win::IsWindowEnabled(win::GetDlgItem(dialog, kValue + 50)));
        win::SetDlgItemText(dialog, kFrom + 50, "1U,2U");
        Click(dialog, kYes + 50);
        Pump();
        win::UpdateWindow(dialog);
        EXPECT_TRUE(SaveScreen("stepping_dialog"));

        Click(dialog, kNext);
        EXPECT_EQ(win::GetDlgItemText(dialog, kGroup), "Parameter 3");
        EXPECT_TRUE(win::IsWindowEnabled(win::GetDlgItem(dialog, kPrevious)));
        EXPECT_EQ(win::GetDlgItemText(dialog, kFrom), "");
        for (int i = 0; i < 3; ++i) Click(dialog, kNext);
        EXPECT_EQ(win::GetDlgItemText(dialog, kGroup + 50), "Parameter 10");
        EXPECT_FALSE(win::IsWindowEnabled(win::GetDlgItem(dialog, kNext)));
        for (int i = 0; i < 4; ++i) Click(dialog, kPrevious);
        // The working copy kept what the first page said.
        EXPECT_EQ(win::GetDlgItemText(dialog, kFrom), "1K");
        EXPECT_EQ(win::GetDlgItemText(dialog, kFrom + 50), "1U,2U");
        win::SendMessage(dialog, win::WM_COMMAND, win::IDOK, 0);
    });
    const SteppingSlot& first = document.stepping[0];
    EXPECT_EQ(first.name, "R1");
    EXPECT_EQ(first.param, "Value");
    EXPECT_EQ(first.flags, kStepOn | kStepComponent | kStepLinear);
    EXPECT_EQ(first.to, "3K");
    EXPECT_EQ(document.stepping[1].flags, kStepOn | kStepComponent | kStepList);
    EXPECT_EQ(document.steppingSimultaneous, 0);
    // Stepping on turns Monte Carlo off, and the next run is planned with the new slots.
    EXPECT_EQ(document.monteCarlo[kAnalysisTransient].options & kMonteCarloOn, 0u);
    EXPECT_EQ(RunState().runCount, 6);
    EXPECT_TRUE(RunState().steppingActive);
    ASSERT_EQ(RunAnalysisTimed(kAnalysisTransient), 0);
    EXPECT_EQ(Plot().store.runCount, 6);
}

TEST_F(SteppingDialogTest, MosfetAndSourceValuesAreOfferedByName)
{
    ExitAnalysis();
    ResetRunControlForTests();
    ResetPlotRunForTests();
    InstallAnalysisKindHandlers();
    ASSERT_EQ(Run("M\nV1 1 0 PULSE(0 5 0 1U 1U 1 2)\nI1 0 2 SIN(0 1M 1K)\nRD 2 0 1K\nM1 2 1 0 0 NM\n"
                  "M2 2 1 0 0 N8\n.MODEL NM NMOS (VTO=1)\n.MODEL N8 NMOS (LEVEL=8 VTH0=0.5)\n"
                  ".TRAN 10U 100U\n.PRINT TRAN V(2)\n.END\n",
                  kAnalysisTransient),
              0)
        << LastMessage();
    RunDialog([&](win::HWND dialog) {
        Click(dialog, kComponent);
        Select(dialog, kName, "M1");
        std::vector<std::string> params = Items(dialog, kParam);
        for (const char* name : {"value.m", "value.l", "value.w", "value.ad", "value.as", "value.pd", "value.ps",
                                 "value.nrd", "value.nrs", "value.nrb", "value.nrg", "VTO"})
            EXPECT_TRUE(Has(params, name)) << name;
        // Typing a name selects it and lists its parameters.
        Select(dialog, kName, "RD");
        Type(dialog, kName, "m1");
        EXPECT_EQ(win::SendMessage(win::GetDlgItem(dialog, kName), win::CB_GETCURSEL, 0, 0),
                  win::SendMessage(win::GetDlgItem(dialog, kName), win::CB_FINDSTRINGEXACT, static_cast<win::WPARAM>(-1),
                                   reinterpret_cast<win::LPARAM>("M1")));
        EXPECT_TRUE(Has(Items(dialog, kParam), "value.w"));
        Type(dialog, kParam, "VALUE.L");
        EXPECT_GE(win::SendMessage(win::GetDlgItem(dialog, kParam), win::CB_GETCURSEL, 0, 0), 0) << win::GetWindowText(win::GetDlgItem(dialog, kParam));
        // A source offers its own function's values, a current source's spelled with "i".
        Select(dialog, kName, "I1");
        params = Items(dialog, kParam);
        for (const char* name : {"dc.value", "ac.magval", "ac.phaseval", "sin.io", "sin.ia", "sin.freq", "sin.td", "sin.df"})
            EXPECT_TRUE(Has(params, name)) << name;
        EXPECT_FALSE(Has(params, "pulse.i1"));
        EXPECT_FALSE(Has(params, "sin.vo"));
        Select(dialog, kName, "V1");
        params = Items(dialog, kParam);
        EXPECT_TRUE(Has(params, "pulse.v2") && Has(params, "pulse.per"));
        EXPECT_FALSE(Has(params, "sin.vo"));
        // A model offers the parameters of its own LEVEL: VTH0 for BSIM3, VTO for LEVEL 1.
        Click(dialog, kModel);
        Select(dialog, kName, "NMOS N8");
        params = Items(dialog, kParam);
        EXPECT_TRUE(Has(params, "VTH0"));
        EXPECT_FALSE(Has(params, "VTO"));
        Select(dialog, kName, "NMOS NM");
        EXPECT_TRUE(Has(Items(dialog, kParam), "VTO"));
        win::SendMessage(dialog, win::WM_COMMAND, win::IDCANCEL, 0);
    });
}

TEST_F(SteppingDialogTest, CancelLeavesTheSlots)
{
    CircuitDocument& document = *record_->document;
    RunDialog([&](win::HWND dialog) {
        Click(dialog, kSimultaneous);
        win::SetDlgItemText(dialog, kFrom, "5");
        Click(dialog, kYes);
        win::SendMessage(dialog, win::WM_COMMAND, win::IDCANCEL, 0);
    });
    EXPECT_EQ(document.stepping[0].from, "");
    EXPECT_EQ(document.stepping[0].flags & kStepOn, 0u);
    EXPECT_EQ(document.steppingSimultaneous, 0);
    EXPECT_FALSE(RunState().steppingActive);
    // Without an analysis the command does nothing (and does not wait for a dialog).
    ExitAnalysis();
    OpenSteppingDialog();
}

}  // namespace
}  // namespace kq5::testing
