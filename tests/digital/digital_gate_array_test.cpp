// Gate arrays drawn in a schematic (INVA, BUF3A, NANDA, ...): each is one gate of its element
// type, simulated with the element's timing model, as its SPICE export writes it.
#include <cmath>

#include "digital_build_test_support.h"

#include "analog/transient_run.h"
#include "analog/transient_run_services.h"
#include "digital/digital_engine.h"
#include "core/digital_logic_tables.h"
#include "document/component_attributes.h"
#include "document/component_types.h"

namespace kq5::testing {
namespace {

// Buffers from A, from B to Y and from C to Z; what drives A, B and C is drawn by each test
// (INVA and NANDA are the second and fourth arrays from BUFA on).
constexpr const char* kBuffers =
    "arrays\n"
    "U3 BUF $G_DPWR $G_DGND A A2 G1 IO_STM\n"
    "U1 BUF $G_DPWR $G_DGND B Y G1 IO_STM\n"
    "U2 BUF $G_DPWR $G_DGND C Z G1 IO_STM\n"
    ".MODEL G1 UGATE (TPLHTY=5N TPHLTY=7N)\n"
    ".MODEL G3 UTGATE (TPLHTY=2N TPHLTY=2N TPZHTY=3N TPZLTY=3N TPHZTY=3N TPLZTY=3N)\n"
    ".MODEL IO_STM UIO (DRVH=50 DRVL=50)\n"
    ".TRAN 1N 60N\n.END\n";

class DigitalGateArrayTest : public DigitalBuiltCircuitTest {
protected:
    // A drawn part on the named nodes of the text, with its input-pin count as the component
    // library gives it.
    SchematicItem* Drawn(int type, const std::string& name, std::vector<std::string> nodes, int inputs,
                         std::initializer_list<std::pair<int, std::string>> attributes)
    {
        SchematicItem* item = Part(type, name, std::vector<std::int32_t>(nodes.size(), 1), attributes);
        item->definition->inputPinCount = static_cast<std::int16_t>(inputs);
        drawn_.emplace_back(item, std::move(nodes));
        return item;
    }

    // Builds until every drawn pin holds the number its node's name gets (the numbering of the
    // text's nodes depends on the numbers the drawn pins hold). 0 or the build's failure.
    int Build()
    {
        for (int attempt = 0; attempt < 6; ++attempt) {
            if (int rc = BuildText(kBuffers, kAnalysisTransient)) return rc;
            bool settled = true;
            for (auto& [item, names] : drawn_)
                for (std::size_t pin = 0; pin < names.size(); ++pin) {
                    const std::int32_t node = LookupNodeNumber(CircuitNodeTable(), names[pin], 0, kNodeDigital);
                    if (item->pinNodes[pin] != node) settled = false;
                    item->pinNodes[pin] = node;
                }
            if (settled) return SetCircuitTemperature(27.0);
        }
        ADD_FAILURE() << "the node numbers never settled";
        return 1;
    }

    // Runs the circuit; each watched node's letter changes as "ps:letter", nodes apart by "|".
    std::string Run(std::initializer_list<const char*> watched)
    {
        if (Build()) return "build failed: " + LastShownText();
        RunControl().circuitWindow = record_;
        std::vector<std::int32_t> nodes;
        for (const char* name : watched) nodes.push_back(LookupNodeNumber(CircuitNodeTable(), name, 0, kNodeDigital));
        std::vector<std::string> text(nodes.size());
        std::vector<char> last(nodes.size(), 0);
        RunServices().plotPoint = [&](WindowRecord*) {
            const long long ps = std::llround(AnalogSolver().time * 1e12);
            for (std::size_t i = 0; i < nodes.size(); ++i) {
                const char letter = DigitalStateChar(DigitalSimulator().current[static_cast<std::size_t>(nodes[i])]);
                if (letter != last[i]) {
                    last[i] = letter;
                    text[i] += (text[i].empty() ? "" : " ") + std::to_string(ps) + ":" + letter;
                }
            }
        };
        EXPECT_EQ(TransientAnalysisRun(nullptr), 0) << LastShownText();
        std::string joined;
        for (const std::string& t : text) joined += (joined.empty() ? "" : "|") + t;
        return joined;
    }

    std::vector<std::pair<SchematicItem*, std::vector<std::string>>> drawn_;
};

TEST_F(DigitalGateArrayTest, AnInverterArrayIsOneInverterWithTheGateModel)
{
    Drawn(kComponentDigitalState, "S1", {"A"}, 0, {{kAttrValue, "1"}, {kAttrIoModel, "IO_STM"}});
    Drawn(kComponentBufA + 1, "U4", {"A", "B"}, 1, {{kAttrTimingModel, "G1"}, {kAttrIoModel, "IO_STM"}});
    // A stands at 1 at the operating point, so B and Y start low.
    EXPECT_EQ(Run({"B", "Y"}), "0:0|0:0");
    const DigitalDeviceTables& d = DigitalSimulator();
    int inverters = 0;
    for (int dev = 1; dev <= d.deviceCount; ++dev)
        if (d.primitive[static_cast<std::size_t>(dev)] == kComponentInv) ++inverters;
    EXPECT_EQ(inverters, 1);
}

TEST_F(DigitalGateArrayTest, TristateAndNandArraysTakeTheirElementsRules)
{
    Drawn(kComponentDigitalState, "S1", {"A"}, 0, {{kAttrValue, "1"}, {kAttrIoModel, "IO_STM"}});
    // A tri-state buffer enabled by A itself drives B high; a NAND of A with A drives C low,
    // both from the operating point on (A stands at 1 there).
    Drawn(kComponentBuf3A, "U4", {"A", "A", "B"}, 2, {{kAttrTimingModel, "G3"}, {kAttrIoModel, "IO_STM"}});
    Drawn(kComponentBufA + 3, "U5", {"A", "A", "C"}, 2, {{kAttrTimingModel, "G1"}, {kAttrIoModel, "IO_STM"}});
    EXPECT_EQ(Run({"B", "C"}), "0:1|0:0");
}

TEST_F(DigitalGateArrayTest, AnArrayWithoutItsTimingModelStopsTheBuild)
{
    Drawn(kComponentDigitalState, "S1", {"A"}, 0, {{kAttrValue, "1"}, {kAttrIoModel, "IO_STM"}});
    Drawn(kComponentBufA + 1, "U4", {"A", "B"}, 1, {{kAttrTimingModel, "NOSUCH"}, {kAttrIoModel, "IO_STM"}});
    EXPECT_NE(Build(), 0);
    EXPECT_NE(LastShownText().find("NOSUCH"), std::string::npos) << LastShownText();
}

}  // namespace
}  // namespace kq5::testing
