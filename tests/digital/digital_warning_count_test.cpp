// The count of digital warnings shown after a transient analysis: once for the whole analysis,
// with its plural ending, and not at all under NOOUTMSG.
#include "digital_build_test_support.h"

#include "analog/transient_run.h"
#include "document/circuit_document.h"
#include "platform/message_box.h"

namespace kq5::testing {
namespace {

class DigitalWarningCountTest : public DigitalBuiltCircuitTest {
protected:
    // The texts of the boxes that tell the count, after a run of the netlist.
    std::vector<std::string> CountBoxes(const std::string& extra, int temperatures = 1)
    {
        // D rises 2 ns before the clock edge of a flip-flop that wants 5 ns of setup.
        const std::string netlist = std::string("setup\n") +
                                    "U0 PULLUP(1) $G_DPWR $G_DGND HI IO_STM\n"
                                    "U1 STIM(2,11) $G_DPWR $G_DGND CLK D IO_STM 0NS 00 10NS 01 12NS 11 30NS 01\n"
                                    "U2 DFF(1) $G_DPWR $G_DGND HI HI CLK D Q QB F1 IO_STM\n"
                                    ".MODEL F1 UEFF (TPCLKQLHTY=3N TPCLKQHLTY=4N TSUDCLKTY=5N)\n"
                                    ".MODEL IO_STM UIO (DRVH=50 DRVL=50)\n" +
                                    extra + ".TRAN 1N 50N\n.END\n";
        if (BuildAtNominalTemperature(netlist)) return {"build failed"};
        win::ClearMessageBoxLog();
        // The temperatures of the limits: high, low, step.
        if (temperatures > 1)
            record_->document->limits.transient[kLimitTTemp] = std::to_string(25 * (temperatures - 1)) + ", 0, 25";
        EXPECT_EQ(TransientAnalysisRun(nullptr), 0) << LastShownText();
        std::vector<std::string> boxes;
        for (const auto& box : win::MessageBoxLog())
            if (box.text.find("digital warning") != std::string::npos) boxes.push_back(box.text);
        return boxes;
    }
};

TEST_F(DigitalWarningCountTest, OneWarningIsCountedWithoutAPluralEnding)
{
    EXPECT_EQ(CountBoxes(""), std::vector<std::string>{"1 digital warning message.\nSee Numeric Output window.\n"});
}

TEST_F(DigitalWarningCountTest, EveryCaseOfTheAnalysisIsCountedInOneBox)
{
    // Three temperatures: the violation in each, one box after the last.
    EXPECT_EQ(CountBoxes("", 3), std::vector<std::string>{"3 digital warning messages.\nSee Numeric Output window.\n"});
}

TEST_F(DigitalWarningCountTest, NoOutputMessagesShowsNoCount)
{
    EXPECT_TRUE(CountBoxes(".OPTIONS NOOUTMSG\n").empty());
}

}  // namespace
}  // namespace kq5::testing
