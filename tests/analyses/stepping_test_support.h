#pragma once
// An analysis window on text circuits with the document's stepping slots set by the test.
#include <string>

#include "../plots/analysis_window_test_support.h"
#include "results/run_state.h"
#include "document/stepping_rows.h"
#include "document/circuit_document.h"
#include "platform/message_box.h"

namespace kq5::testing {

class SteppingTest : public AnalysisWindowTest {
protected:
    void SetUp() override
    {
        AnalysisWindowTest::SetUp();
        ResetRunStateForTests();
        ResetSteppingRowsForTests();
    }
    void TearDown() override
    {
        AnalysisWindowTest::TearDown();
        ResetRunStateForTests();
        ResetSteppingRowsForTests();
    }

    // One slot of the document; flags as the file keeps them (kStepOn for "Step It").
    void Slot(int i, std::uint32_t flags, const std::string& name, const std::string& param, const std::string& from,
              const std::string& to = "", const std::string& value = "")
    {
        SteppingSlot& s = record_->document->stepping[static_cast<std::size_t>(i)];
        s.flags = flags;
        s.name = name;
        s.param = param;
        s.from = from;
        s.to = to;
        s.value = value;
        s.deviceIndex = -1;
    }
    void ClearSlots()
    {
        for (SteppingSlot& s : record_->document->stepping) s = SteppingSlot{};
        record_->document->steppingSimultaneous = 0;
    }

    // Boxes shown on a screen wait for the user: a refusal the test expects is answered with OK
    // (the answer headless runs take anyway). The log is cleared with the queue.
    static void AnswerBoxes()
    {
        win::ClearMessageBoxLog();
        for (int i = 0; i < 8; ++i) win::PushMessageBoxAnswer(win::IDOK);
    }

    // The text of the last message box, "" when none was shown.
    static std::string LastMessage()
    {
        const auto& log = win::MessageBoxLog();
        return log.empty() ? std::string() : log.back().text;
    }
};

}  // namespace kq5::testing
