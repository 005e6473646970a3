#include "netlist/poly_source.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/node_table.h"
#include "document/schematic_item.h"
#include "core/message_reporter.h"
#include "model_test_support.h"
#include "document/component_types.h"
#include "core/part_instance.h"
#include "netlist/translate_common.h"
#include "document/component_definition.h"

namespace kq5::testing {
namespace {

constexpr int kGIofV = 50, kFIofI = 51, kEVofV = 52, kHVofI = 53;

class Poly : public ModelTest {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        ResetConnectivityStateForTests();
        NodeTable& nodes = CircuitNodeTable();
        nodes.rows.clear();
        for (int n = 0; n <= 5; ++n) nodes.rows.push_back({std::to_string(n), n, 0, 0});
        nodes.rows.push_back({"OUT", 6, 0, 0});
    }
    void TearDown() override
    {
        ModelTest::TearDown();
        ResetConnectivityStateForTests();
    }

    SchematicItem* Part(int type, const char* name, int plus = 1, int minus = 0)
    {
        auto definition = std::make_unique<ComponentDefinition>();
        definition->type = static_cast<std::uint16_t>(type);
        auto item = std::make_unique<SchematicItem>();
        item->definition = definition.get();
        item->pinNodes = {plus, minus};
        SetAttribute(nullptr, item.get(), kAttrPart, name);
        definitions_.push_back(std::move(definition));
        items_.push_back(std::move(item));
        return items_.back().get();
    }
    const PolySourceDevice& Last() const
    {
        return *static_cast<const PolySourceDevice*>(DeviceList(kPolySourceList).tail);
    }
    int ParseAs(int type, const char* name, const char* text) { return ParsePolySource(Part(type, name), text); }

    std::vector<std::unique_ptr<ComponentDefinition>> definitions_;
    std::vector<std::unique_ptr<SchematicItem>> items_;
};

TEST_F(Poly, ReadsControlsAndCoefficients)
{
    ASSERT_EQ(ParseAs(kEVofV, "E1", "POLY(2) 3 0 4 0 0 1 1"), 0);
    const PolySourceDevice& e = Last();
    EXPECT_EQ(e.kind, kKindPolySource);
    EXPECT_EQ(e.componentType, kEVofV);
    EXPECT_EQ(e.nodePlus, 1);
    EXPECT_EQ(e.dimension, 2);
    ASSERT_EQ(e.controls.size(), 3u);
    EXPECT_EQ(e.controls[1].nodePlus, 3);
    EXPECT_EQ(e.controls[1].nodeMinus, 0);
    EXPECT_EQ(e.controls[2].nodePlus, 4);
    EXPECT_EQ(e.coefficients, (std::vector<double>{0, 1, 1}));

    ASSERT_EQ(ParseAs(kGIofV, "G1", "  3 OUT 2.5m  "), 0);
    EXPECT_EQ(Last().dimension, 1);
    EXPECT_EQ(Last().controls[1].nodeMinus, 6);
    EXPECT_EQ(Last().coefficients, (std::vector<double>{0, 2.5e-3}));

    ASSERT_EQ(ParseAs(kEVofV, "E2", "POLY(1) (2,0) 1 {2*3} -1E-3"), 0);
    EXPECT_EQ(Last().coefficients, (std::vector<double>{1, 6, -1e-3}));
    EXPECT_TRUE(ShownIds().empty());
    EXPECT_EQ(DeviceList(kPartInstanceList).count, 3);
}

TEST_F(Poly, DimensionsAndCoefficientLimits)
{
    for (const char* text : {"POLY(0) 1 0 1", "POLY(100) 1 0 1", "POLY() 1 0 1", "POLY(2X) 1 0 2 0 1"}) {
        win::ClearMessageBoxLog();
        EXPECT_EQ(ParseAs(kEVofV, "E1", text), kMsgAlreadyReported) << text;
        EXPECT_EQ(LastShownId(), 10792) << text;
    }
    // POLY(99) with its 198 nodes is accepted.
    std::string text = "POLY(99)";
    for (int k = 0; k < 99; ++k) text += " 1 0";
    text += " 0 1";
    EXPECT_EQ(ParseAs(kEVofV, "E99", text.c_str()), 0);
    EXPECT_EQ(Last().dimension, 99);

    std::string hundred = "1 0";
    for (int k = 0; k < 100; ++k) hundred += " " + std::to_string(k);
    EXPECT_EQ(ParseAs(kEVofV, "E100", hundred.c_str()), 0);
    EXPECT_EQ(Last().coefficients.size(), 100u);
    win::ClearMessageBoxLog();
    EXPECT_EQ(ParseAs(kEVofV, "E101", (hundred + " 100").c_str()), kMsgAlreadyReported);
    EXPECT_EQ(LastShownId(), 10795);

    for (auto [value, id] : {std::pair{"1 0 2*K", 10798}, std::pair{"1 0 1X+2", 10798}, std::pair{"9 0 1", 10791},
                             std::pair{"POLY(2) 1 0 1", 10793}, std::pair{"1", 10793}}) {
        win::ClearMessageBoxLog();
        EXPECT_EQ(ParseAs(kEVofV, "EX", value), kMsgAlreadyReported) << value;
        EXPECT_EQ(LastShownId(), id) << value;
    }
}

TEST_F(Poly, TrailingTextIsReportedButTheSourceStays)
{
    EXPECT_EQ(ParseAs(kEVofV, "E1", "1 0 2 IC=1"), 0);
    EXPECT_EQ(LastShownId(), 11903);
    EXPECT_EQ(Last().coefficients, (std::vector<double>{0, 2}));
}

TEST_F(Poly, CurrentControlledSourcesResolveTheirVoltageSources)
{
    auto sense = std::make_unique<ListNode>();
    ASSERT_EQ(RegisterPartInstance(sense.get(), kComponentVSpice, Part(kComponentVSpice, "VSENSE")), 0);
    ASSERT_EQ(RegisterPartInstance(nullptr, kComponentResistor, Part(kComponentResistor, "VR")), 0);

    ASSERT_EQ(ParseAs(kFIofI, "F1", "POLY(2) VSENSE VSENSE 0 1 0.5"), 0);
    EXPECT_EQ(Last().controls[1].sourceName, "VSENSE");
    ASSERT_EQ(ParseAs(kHVofI, "H1", "VSENSE 1K"), 0);
    EXPECT_EQ(ResolvePolySourceNames(), 0);
    EXPECT_EQ(Last().controls[1].source, sense.get());
    FreePolySourceNames();
    EXPECT_TRUE(Last().controls[1].sourceName.empty());

    // Names are kept whole, however long.
    const std::string longName = "V" + std::string(300, 'L');
    auto longSense = std::make_unique<ListNode>();
    ASSERT_EQ(RegisterPartInstance(longSense.get(), kComponentVSpice, Part(kComponentVSpice, longName.c_str())),
              0);
    ASSERT_EQ(ParseAs(kFIofI, "F4", ("POLY(2) VSENSE " + longName + " 0 1 2").c_str()), 0);
    EXPECT_EQ(Last().controls[2].sourceName, longName);
    EXPECT_EQ(ResolvePolySourceNames(), 0);
    EXPECT_EQ(Last().controls[2].source, longSense.get());
    FreePolySourceNames();

    EXPECT_EQ(ParseAs(kFIofI, "F2", "R1 1"), kMsgAlreadyReported);
    EXPECT_EQ(LastShownId(), 10794);
    EXPECT_EQ(ParseAs(kFIofI, "F3", "POLY(2) VSENSE"), kMsgAlreadyReported);
    EXPECT_EQ(LastShownId(), 10794);
    ASSERT_EQ(ParseAs(kHVofI, "H2", "VR 1K"), 0);
    EXPECT_EQ(ResolvePolySourceNames(), 1);
    EXPECT_EQ(LastShownId(), 10799);
    ClearAllDeviceLists();
}

}  // namespace
}  // namespace kq5::testing
