#include "ui/usage_file.h"

#include "ui/program_settings.h"
#include "core/char_classes.h"

namespace kq5 {

namespace {

// Rows are searched in this order and the first match wins. Ids of the numbered families are
// their first ids. Rows whose command is not known carry 0 and are never counted.
constexpr std::array<CommandUseRow, kCommandUseRowCount> kCommandUseTable = {{
    {13400, "KQ5", 0}, {17100, "New", 0}, {17102, "Openfile", 0}, {17103, "Savefile", 0},
    {17104, "Saveas", 0}, {17135, "Lbr2Lib", 0}, {17136, "Lib2Lbr", 0}, {17137, "SaveVersion1", 0},
    {17105, "Cir2Ckt", 0}, {12506, "Revert", 0}, {12508, "DeleteFile", 0}, {12511, "PrintPreview", 0},
    {12510, "Print", 0}, {12509, "PrintSetup", 0}, {3892, "LastLoaded", 0}, {17200, "Undo", 0},
    {17201, "Cut", 0}, {17202, "Copy", 0}, {17203, "Paste", 0}, {17204, "Clear", 0},
    {17205, "SelectAll", 0}, {17206, "CopyMDI", 0}, {17218, "CopyMDISelect", 0}, {17222, "CopyMDItoPictureFile", 0},
    {17221, "CopyWMFtoClipBoard", 0}, {12200, "AddPage", 0}, {12201, "DeletePage", 0}, {17502, "Model", 0},
    {17207, "Step", 0}, {17208, "Mirror", 0}, {17209, "Rotate", 0}, {17210, "FlipX", 0},
    {17211, "FlipY", 0}, {17212, "AttDisplay", 0}, {17220, "Details", 0}, {15678, "CircuitDetails", 0},
    {17450, "Color", 0}, {17452, "Font", 0}, {17694, "Tofront", 0}, {17695, "Toback", 0},
    {17213, "Find", 0}, {17216, "Repeat", 0}, {17215, "F3", 0}, {17217, "Replace", 0},
    {42000, "Components", 0}, {17308, "FindComponent", 0}, {17350, "LastComp", 0}, {17301, "Cascade", 0},
    {17302, "TileV", 0}, {17303, "TileH", 0}, {17304, "ArrangeIcon", 0}, {17305, "MakeMax", 0},
    {17504, "ZoomIn", 0}, {17505, "ZoomOut", 0}, {17669, "Toggletext", 0}, {17507, "SplitCirTextH", 0},
    {17503, "SplitCirTextV", 0}, {17501, "NormalCir", 0}, {17306, "ComponentEditor", 0}, {12913, "Model", 0},
    {17309, "ShapeEditor", 0}, {17312, "Calculator", 0}, {10185, "Tooledit", 0}, {17539, "Tools", 0},
    {17540, "Stbar", 0}, {17561, "Select", 0}, {17562, "Component", 0}, {17563, "Text", 0},
    {17564, "Wire", 0}, {17577, "WireD", 0}, {17566, "Line", 0}, {17568, "Rectangle", 0},
    {17569, "Diam", 0}, {17567, "Ellipse", 0}, {17570, "Arc", 0}, {17575, "Pie", 0},
    {17576, "Flag", 0}, {17571, "Scale", 0}, {17572, "Cursor", 0}, {17573, "TextAbs", 0},
    {17574, "TextRel", 0}, {17581, "Tag", 0}, {17579, "MeasureH", 0}, {17580, "MeasureV", 0},
    {17565, "Help", 0}, {17578, "Info", 0}, {17582, "Digtrace", 0}, {17583, "Digtrace2", 0},
    {17584, "Graphic", 0}, {17585, "Picture", 0}, {17400, "Comptext", 0}, {17402, "Text", 0},
    {17401, "Command", 0}, {17403, "Node", 0}, {17404, "Nodev", 0}, {17405, "Pin", 0},
    {17409, "Grid", 0}, {17408, "Cross", 0}, {17406, "Border", 0}, {17407, "Title", 0},
    {17453, "Digalllist", 0}, {17454, "RenameComponents", 0}, {17455, "RenameDefines", 0}, {18410, "Preferences", 0},
    {18408, "GlobalSettings", 0}, {18411, "USERDEF", 0}, {18409, "TitleBlock", 0}, {17541, "Tools1", 0},
    {17542, "Tools2", 0}, {17543, "Tools3", 0}, {17544, "Tools4", 0}, {17545, "Tools5", 0},
    {17546, "Tools6", 0}, {17547, "Tools7", 0}, {17547, "Tools7", 0}, {17548, "Tools8", 0},
    {17600, "Transient", 0}, {17601, "AC", 0}, {17602, "DC", 0}, {17603, "TransientProbe", 0},
    {17604, "ACProbe", 0}, {17605, "DCProbe", 0}, {17800, "HelpContents", 0}, {17801, "HelpSearch", 0},
    {17802, "HelpSupport", 0}, {17804, "About", 0}, {17806, "Demo", 0}, {16059, "Run", 0},
    {16058, "Pause", 0}, {18613, "Stop", 0}, {16060, "Limits", 0}, {17150, "Stepping", 0},
    {17152, "Analysisgraph", 0}, {15679, "AnalysisDetail", 0}, {14603, "Graph3D", 0}, {14600, "Graph3DAdd", 0},
    {14601, "Graph3DChange", 0}, {14602, "Graph3DDel", 0}, {14573, "Performance", 0}, {14570, "PerformanceAdd", 0},
    {14571, "PerformanceChange", 0}, {14572, "PerformanceDel", 0}, {17151, "Analysisoutput", 0}, {17153, "StateVar", 0},
    {17154, "DSP", 0}, {17155, "ReduceDataPoints", 0}, {17156, "ExitAnalysis", 0}, {17158, "MCOptions", 0},
    {17371, "MC", 0}, {17157, "MCAdd", 0}, {17163, "MCChange", 0}, {17181, "MCDel", 0},
    {17160, "MCOutput", 0}, {17166, "RemoveAllText", 0}, {17167, "AutoScale", 0}, {17632, "Home", 0},
    {18400, "DataPoints", 0}, {18401, "Ruler", 0}, {18402, "Tokens", 0}, {18403, "XAxis", 0},
    {18404, "YAxis", 0}, {18405, "MinorLog", 0}, {18406, "BaseLine", 0}, {18670, "Next", 0},
    {18671, "Peak", 0}, {18672, "Valley", 0}, {18673, "High", 0}, {18674, "Low", 0},
    {18675, "Inflection", 0}, {0, "SingleStep", 0}, {17182, "GotoX", 0}, {17183, "GotoY", 0},
    {17184, "AddLeft", 0}, {17185, "AddRight", 0}, {17186, "AddDeltah", 0}, {17187, "AddDeltav", 0},
    {17188, "AlignCursors", 0}, {17189, "SameYScales", 0}, {16000, "ProbeNewRun", 0}, {16001, "ProbeRemove", 0},
    {16002, "ProbeRemoveAll", 0}, {16003, "ProbeSeparateAD", 0}, {16004, "ProbeOneTrace", 0}, {16005, "ProbeManyTraces", 0},
    {16006, "ProbeSaveAll", 0}, {16007, "ProbeSaveVI", 0}, {17190, "GotoPerformance", 0}, {1017, "Statistics", 0},
    {13401, "More", 0}, {13402, "DoStepping", 0}, {13403, "DoMonteCarlo", 0}, {13404, "HasSTBAR", 0},}};

struct Family {
    std::uint32_t first;
    std::uint32_t last;
};
constexpr Family kFamilies[] = {{17350, 17359}, {3892, 3899}, {14573, 14582}, {14603, 14612}, {17371, 17380}};
constexpr std::uint32_t kComponentMenuBase = 42000;

int NonNegative(int value) { return value < 0 ? 0 : value; }

}  // namespace

UsageState& Usage()
{
    static UsageState state{kCommandUseTable, {}};
    return state;
}

void ResetUsageForTests() { Usage() = UsageState{kCommandUseTable, {}}; }

void CountCommandUse(std::uint32_t id)
{
    if (Settings().demoRunning || Settings().batchRun) return;
    for (const Family& family : kFamilies) {
        if (id >= family.first && id <= family.last) {
            id = family.first;
            break;
        }
    }
    const int definitions = Usage().statistics.componentDefinitionCount;
    if (id >= kComponentMenuBase && id < kComponentMenuBase + static_cast<std::uint32_t>(NonNegative(definitions)))
        id = kComponentMenuBase;
    if (id == 0) return;
    for (CommandUseRow& row : Usage().rows) {
        if (row.id == id) {
            ++row.count;
            return;
        }
    }
}

std::uint32_t CommandUseCount(std::uint32_t id)
{
    for (const CommandUseRow& row : Usage().rows)
        if (row.id == id) return row.count;
    return 0;
}

std::uint32_t CommandUseCountOfKey(std::string_view key, int occurrence)
{
    for (const CommandUseRow& row : Usage().rows)
        if (EqualsNoCase(row.key, key) && --occurrence == 0) return row.count;
    return 0;
}

}  // namespace kq5
