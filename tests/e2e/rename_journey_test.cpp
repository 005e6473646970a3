// Renaming in a user's hands: a schematic written by a script or an editor that ends its lines
// with LF alone, its parts numbered out of order, renamed with Edit > Change > Rename Components
// and saved.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "journey.h"

namespace kq5::journey {
namespace {

// Edit > Change and its Rename Components line, where the program draws them.
constexpr int kChangeX = 67, kChangeY = 210, kRenameComponentsX = 290;
// Edit > Undo, the tool bar's resistor button, an empty place in the drawing and the attribute
// dialog's OK.
constexpr int kUndoX = 60, kUndoY = 50;
constexpr int kResistorButtonX = 581, kButtonY = 48;
constexpr int kEmptyX = 600, kEmptyY = 500;
constexpr int kAttributeOkX = 720, kAttributeOkY = 375;

using Attributes = std::vector<std::pair<std::string, std::string>>;

std::string Component(const std::string& name, int x, int y, const Attributes& attributes = {})
{
    std::ostringstream out;
    out << "[Comp]\nName=" << name << "\nGrid=" << x << ',' << y << "\n\n";
    int row = 0;
    for (const auto& [key, value] : attributes)
        out << "[Attr]\nONV=8," << 8 + 14 * row++ << ',' << key << ',' << value << "\nStyle=8192\n\n";
    return out.str();
}

// A divider drawn with its parts numbered as they were added: R7 right of R3 on the top row,
// V5 below them, R1 at the bottom; the text area refers to R7 and R1 by name.
std::string Divider()
{
    const std::string area = "* divider\n.DEFINE VIN 5\n.PARAM P1={R7*2}\n.PARAM P2={R1/2}\n";
    std::ostringstream out;
    out << "[Main]\nFileType=CIR\nVersion=5.20\nProgram=Kestrion V\nScreen=1264,976\nKQ5Version=2.1.2\n\n"
        << Component("Battery", 10, 20, {{"PART", "V5"}, {"VALUE", "VIN"}})
        << Component("Resistor", 30, 10, {{"PART", "R7"}, {"VALUE", "{P2}"}})
        << Component("Resistor", 14, 10, {{"PART", "R3"}, {"VALUE", "1K"}})
        << Component("Resistor", 22, 30, {{"PART", "R1"}, {"VALUE", "2K"}}) << Component("Ground", 10, 26)
        << "[Schematic]\nPage 0=0\nTabSize 0=320\n\n[Page]\nIndex=0\nName=Page 1\nGrid=0,0\n\n[Text Area]\nLen="
        << area.size() << '\n'
        << area << '\n';
    return out.str();
}

// The text area as the saved file holds it, line ends as written.
std::string SavedTextArea(const std::string& file)
{
    const std::size_t section = file.find("[Text Area]");
    if (section == std::string::npos) return {};
    const std::size_t len = file.find("Len=", section);
    if (len == std::string::npos) return {};
    const std::size_t start = file.find('\n', len);
    if (start == std::string::npos) return {};
    const std::size_t length = std::stoul(file.substr(len + 4, start - len - 4));
    return file.substr(start + 1, length);
}

// Edit > Change > Rename Components.
void RenameComponentsFromMenu(Journey& journey)
{
    journey.Key("alt+e");
    journey.Settle();
    journey.Click(kChangeX, kChangeY);
    journey.Settle();
    journey.Click(kRenameComponentsX, kChangeY);
    journey.Settle();
}

// Save (Ctrl+S) of DIVIDER.CIR; the file once written again, empty when it was not.
std::string SaveDivider(Journey& journey)
{
    const std::filesystem::path path = journey.Root() / "DIVIDER.CIR";
    const std::string before = ReadAll(path);
    journey.Key("ctrl+s");
    return journey.WaitUntil([&] { return ReadAll(path) != before; }, 10) ? ReadAll(path) : std::string();
}

// Rename Components numbers the parts in reading order (R3 becomes R1, R7 R2, R1 R3) and the
// text area's references follow, each statement still on a line of its own: before, a text
// area read with LF line ends came back from the rename as one comment line, and the circuit
// lost its .DEFINE and .PARAM statements.
TEST(RenameJourney, RenamingKeepsTheLinesOfATextAreaWrittenWithLineFeeds)
{
    Journey journey("rename_lf_text_area");
    std::ofstream(journey.Root() / "DIVIDER.CIR", std::ios::binary) << Divider();
    ASSERT_TRUE(journey.Start({"DIVIDER.CIR"})) << journey.Output();
    journey.Settle();
    RenameComponentsFromMenu(journey);
    journey.Capture("rename_components_done");
    const std::string saved = SaveDivider(journey);
    ASSERT_FALSE(saved.empty()) << "not saved";
    EXPECT_NE(saved.find("PART,R1\r\n"), std::string::npos);
    std::string area = SavedTextArea(saved);
    std::erase(area, '\r');
    EXPECT_EQ(area, "* divider\n.DEFINE VIN 5\n.PARAM P1={R2*2}\n.PARAM P2={R3/2}\n");
}

// Rename Components undone gives back the names and the numbering with them: a resistor placed
// next continues after R7 as before the rename. Before, it took the renamed circuit's next
// number, and the fourth resistor placed was a second R7.
TEST(RenameJourney, APartPlacedAfterAnUndoneRenameTakesAFreeName)
{
    Journey journey("rename_undo_numbers");
    std::ofstream(journey.Root() / "DIVIDER.CIR", std::ios::binary) << Divider();
    ASSERT_TRUE(journey.Start({"DIVIDER.CIR"})) << journey.Output();
    journey.Settle();
    RenameComponentsFromMenu(journey);
    journey.Key("alt+e");
    journey.Settle();
    journey.Click(kUndoX, kUndoY);
    journey.Settle();
    journey.Click(kResistorButtonX, kButtonY);
    journey.Click(kEmptyX, kEmptyY);
    journey.Settle();
    journey.Capture("rename_undo_place");
    journey.Click(kAttributeOkX, kAttributeOkY);
    journey.Settle();
    const std::string saved = SaveDivider(journey);
    ASSERT_FALSE(saved.empty()) << "not saved";
    for (const char* name : {"R7", "R3", "R1", "R8"})
        EXPECT_NE(saved.find(std::string("PART,") + name + "\r\n"), std::string::npos) << name << " missing:\n" << saved;
    EXPECT_EQ(saved.find("PART,R4\r\n"), std::string::npos) << saved;
}

}  // namespace
}  // namespace kq5::journey
