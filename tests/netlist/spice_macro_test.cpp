// The pieces of the macro expansion that work on one instance: its call text, its pins and the
// definitions of an included file.
#include <string>
#include <vector>

#include "netlist/defines.h"
#include "document/scope_table.h"
#include "netlist/subcircuit_scopes.h"
#include "spice_test_support.h"

namespace kq5::testing {
namespace {

class MacroTest : public SpiceTest {
protected:
    void SetUp() override
    {
        SpiceTest::SetUp();
        definition_ = AddComponentDefinition("AMPBLOCK", kComponentMacro, 0);
        ASSERT_NE(definition_, nullptr);
        for (const char* name : {"IN", "OUT", "GND"}) {
            DefinitionPin pin;
            pin.name = name;
            definition_->pins.push_back(pin);
        }
        instance_ = NewSchematicItem(record_);
        instance_->definition = definition_;
        instance_->pinNodes.assign(3, 0);
        SetAttribute(record_, instance_, kAttrPart, "X1");
    }
    ComponentDefinition* definition_ = nullptr;
    SchematicItem* instance_ = nullptr;
};

TEST_F(MacroTest, PinsAreBoundByTheirNameTexts)
{
    std::vector<std::int32_t> pinMap(3, -1);
    EXPECT_EQ(BindMacroPin(instance_, pinMap, "in", 5), 0);
    EXPECT_EQ(pinMap[0], 5);
    EXPECT_EQ(BindMacroPin(instance_, pinMap, "NOT A PIN", 6), 0);
    EXPECT_EQ(BindMacroPin(instance_, pinMap, "OUT", 0), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 10953");
    EXPECT_EQ(BindMacroPin(instance_, pinMap, "GND", 5), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 10951");
    EXPECT_NE(LastMessage().find("IN and GND are associated with the same node."), std::string::npos) << LastMessage();
    EXPECT_EQ(CheckPinsBound(instance_, pinMap), kMsgAlreadyReported);
    EXPECT_NE(LastMessage().find("Pin 'OUT, GND' not defined."), std::string::npos) << LastMessage();
    pinMap = {1, 2, 3};
    EXPECT_EQ(CheckPinsBound(instance_, pinMap), 0);
}

TEST_F(MacroTest, CallTextsGiveTheMacroAndItsParameters)
{
    SetAttribute(record_, instance_, kAttrValue, "amp(10, (1+2), 1MEG)");
    std::string name, path;
    std::vector<std::string> parameters;
    bool hasList = false;
    ASSERT_EQ(ParseMacroCall(instance_, name, parameters, hasList, path), 0);
    EXPECT_EQ(name, "AMP");
    EXPECT_TRUE(hasList);
    EXPECT_EQ(parameters, (std::vector<std::string>{"10", "(1+2)", "1MEG"}));
    EXPECT_NE(path.find("AMP.CIR"), std::string::npos) << path;
    SetAttribute(record_, instance_, kAttrValue, "AMP");
    ASSERT_EQ(ParseMacroCall(instance_, name, parameters, hasList, path), 0);
    EXPECT_FALSE(hasList);
    EXPECT_TRUE(parameters.empty());
    SetAttribute(record_, instance_, kAttrValue, "AMP(10");
    EXPECT_EQ(ParseMacroCall(instance_, name, parameters, hasList, path), 1);
    EXPECT_EQ(LastCaption(), "Error 10874");
}

TEST_F(MacroTest, ParameterMismatchShowsBothLists)
{
    SetAttribute(record_, instance_, kAttrValue, "AMP(10,20)");
    const std::string required = "(GAIN=1)";
    ReportParameterMismatch(instance_, &required);
    EXPECT_EQ(LastCaption(), "Error 10873");
    EXPECT_NE(LastMessage().find("Parameters required\t(GAIN=1)"), std::string::npos) << LastMessage();
    EXPECT_NE(LastMessage().find("Parameters supplied\t(10,20)"), std::string::npos) << LastMessage();
    SetAttribute(record_, instance_, kAttrValue, "AMP");
    ReportParameterMismatch(instance_, nullptr);
    EXPECT_NE(LastMessage().find("Parameters required\tNone"), std::string::npos) << LastMessage();
    EXPECT_NE(LastMessage().find("Parameters supplied\tNone"), std::string::npos) << LastMessage();
}

TEST_F(MacroTest, IncludedDefinitionsJoinTheScope)
{
    WriteFile("defs.inc", ".DEFINE VCC 5\n.MODEL DX D(IS=1F)\nR1 1 2 3\n.PARAM K=2\n");
    ASSERT_EQ(ReadIncludeDefinitions(".INC \"" + PathOf("defs.inc") + "\"", 2), 0) << LastMessage();
    ASSERT_GE(FindDefine(2, "VCC"), 0);
    EXPECT_EQ(FindDefine(0, "VCC"), -1);
    std::vector<std::string> texts;
    for (const NetlistTextObject& text : ListRecords<NetlistTextObject>(CircuitTextObjects())) {
        EXPECT_EQ(text.scope, 2);
        EXPECT_EQ(text.sourceFile, PathOf("defs.inc"));
        texts.push_back(text.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{".MODEL DX D(IS=1F)", ".PARAM K=2"}));
    EXPECT_EQ(ReadIncludeDefinitions(".R1 1 2", 2), 0);
    EXPECT_EQ(ReadIncludeDefinitions(".INCLUDE nowhere.inc", 2), 1);
}

TEST_F(MacroTest, ScopesAreNamedByTheirInstancePath)
{
    ASSERT_EQ(ResizeScopeTable(2), 0);
    FindScopeForEdit(1)->parent = 0;
    FindScopeForEdit(2)->parent = 1;
    ScopeExpansionOf(1)->call = instance_;
    SchematicItem* inner = NewSchematicItem(record_);
    SetAttribute(record_, inner, kAttrPart, "x2");
    ScopeExpansionOf(2)->call = inner;
    SetScopeNames(1, "AMP");
    SetScopeNames(2, "STAGE");
    EXPECT_EQ(ScopePath(1), "X1");
    EXPECT_EQ(ScopePath(2), "X1.X2");
    EXPECT_EQ(ScopeExpansionOf(2)->MacroPart().baseName, "STAGE");
}

}  // namespace
}  // namespace kq5::testing
