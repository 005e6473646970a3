// The component library file: the built library, the reader's version and revision rules, pin
// texts, the look-up by name, the changed-on-disk question and damaged files.
#include <random>

#include "core/file_units.h"
#include "document/component_types.h"
#include "document/binary_io.h"
#include "document/shape_data.h"
#include "shape_test_support.h"

namespace kq5::testing {
namespace {

void Counted(ByteWriter& out, std::string_view text)
{
    out.U16(static_cast<std::uint16_t>(text.size()));
    out.Bytes(text);
}

struct DefinitionSpec {
    int type;
    std::string name;
    int pins = 0;
    std::vector<std::string> pinTexts = {};  // written only for named-pin types
    int flags = 0;
};

// A library file with a root group holding one child, the slot names given and the definitions.
std::string ComponentFile(int version, int revision, const std::vector<std::string>& slots,
                          const std::vector<DefinitionSpec>& definitions, int depth = 1)
{
    ByteWriter out;
    out.U16(static_cast<std::uint16_t>(version));
    out.U16(static_cast<std::uint16_t>(revision));
    for (int level = 0; level < depth; ++level) {
        Counted(out, level == 0 ? "Root" : "Group");
        out.U16(static_cast<std::uint16_t>(level));
        out.U16(level + 1 < depth ? 1 : 0);
    }
    out.U16(static_cast<std::uint16_t>(slots.size()));
    for (const std::string& slot : slots) Counted(out, slot);
    out.U16(static_cast<std::uint16_t>(definitions.size()));
    for (const DefinitionSpec& d : definitions) {
        for (int word : {1, d.type, d.flags, 0, 0, 0}) out.U16(static_cast<std::uint16_t>(word));
        Counted(out, "");
        for (int i = 0; i < 4; ++i) out.I16(0);
        out.U16(static_cast<std::uint16_t>(d.pins));
        Counted(out, d.name);
        for (int i = 0; i < d.pins; ++i) {
            out.I16(static_cast<std::int16_t>(i));
            out.I16(0);
        }
        for (int i = 0; i < d.pins; ++i) {
            out.I16(0);
            out.I16(0);
        }
        for (const std::string& text : d.pinTexts) Counted(out, text);
    }
    return out.Take();
}

const std::vector<std::string> kTenSlots{"Main", "Analog", "", "", "", "", "", "", "", ""};

using ComponentLibraryFile = LibraryTest;

TEST_F(ComponentLibraryFile, TheBuiltLibraryCoversEveryTypeAndWritesBackByteForByte)
{
    LoadBuiltLibraries();
    const std::string original = ReadBytes(BuiltLibrary("comp.kq5"));
    EXPECT_EQ(SerializeComponentLibrary(ComponentLibrary()), original);
    // The tool bar's default components, found by name; every shape drawn exists.
    for (const char* name : {"GROUND", "RESISTOR", "CAPACITOR", "DIODE", "NPN", "INVERTER", "BATTERY", "PULSE SOURCE"}) {
        const ComponentDefinition* d = FindComponentDefinition(name);
        ASSERT_NE(d, nullptr) << name;
        EXPECT_NE(FindShape(d->shapeIndex), nullptr) << name;
    }
    std::vector<bool> covered(kComponentTypeCount, false);
    for (const ComponentDefinition& d : ListRecords<ComponentDefinition>(ComponentLibrary().definitions)) {
        covered[d.type] = true;
        EXPECT_NE(FindShape(d.shapeIndex), nullptr) << d.name;
        EXPECT_EQ(TypePinCount(d), ComponentPinCount(d)) << d.name;
        EXPECT_NE(GroupOfDefinition(d), nullptr) << d.name;
    }
    for (int code = 1; code < kComponentTypeCount; ++code) {
        if (FindComponentTypeRow(code)->name[0] != '\0') {
            EXPECT_TRUE(covered[static_cast<std::size_t>(code)]) << code;
        }
    }
    // Gates come per input count, each knowing its leading inputs.
    const ComponentDefinition* and3 = FindComponentDefinition("3 Input AND");
    ASSERT_NE(and3, nullptr);
    EXPECT_EQ(ComponentPinCount(*and3), 4);
    EXPECT_EQ(and3->inputPinCount, 3);
    // Saving writes the same bytes.
    const std::filesystem::path copy = dir_ / "comp.kq5";
    WriteBytes(copy, original);
    ComponentLibrary().path = copy.string();
    ComponentLibrary().fileTime = FileTimeOf(copy.string());
    ASSERT_EQ(WriteComponentLibrary(ComponentLibrary()), 0);
    EXPECT_EQ(ReadBytes(copy), original);
}

TEST_F(ComponentLibraryFile, VersionRevisionAndSlotNames)
{
    ComponentLibraryState& library = ComponentLibrary();
    const std::vector<DefinitionSpec> defs{{kComponentResistor, "R", 2}, {kComponentMacro, "M", 1, {"aIN"}}};
    ASSERT_EQ(ParseComponentLibrary(ComponentFile(13, 9, kTenSlots, defs), library, true), 0);
    const std::string as13 = SerializeComponentLibrary(library);
    ASSERT_EQ(ParseComponentLibrary(ComponentFile(14, 9, kTenSlots, defs), library, true), 0);
    EXPECT_EQ(SerializeComponentLibrary(library), as13);
    EXPECT_EQ(library.definitions.count, 2);
    EXPECT_EQ(library.root.name, "Root");
    // An empty slot name reads as the slot number.
    EXPECT_EQ(library.slotNames[1], "Analog");
    EXPECT_EQ(library.slotNames[4], "4");
    // Revision 8 shows the pin texts of the named-pin types; revision 9 keeps the stored flag.
    EXPECT_EQ(FindComponentDefinition("M")->placementFlags & kDefShowPinText, 0);
    ASSERT_EQ(ParseComponentLibrary(ComponentFile(14, 8, kTenSlots, defs), library, true), 0);
    EXPECT_NE(FindComponentDefinition("M")->placementFlags & kDefShowPinText, 0);
    EXPECT_EQ(FindComponentDefinition("R")->placementFlags & kDefShowPinText, 0);
    EXPECT_EQ(FindComponentDefinition("M")->pins[0].name, "IN");
    // Slot names are read past when not wanted.
    ASSERT_EQ(ParseComponentLibrary(ComponentFile(14, 9, {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"}, defs), library, false), 0);
    EXPECT_EQ(library.slotNames[1], "Analog");
    // More than ten names: the ten are kept, the rest read past.
    std::vector<std::string> eleven = kTenSlots;
    eleven.push_back("Eleventh");
    ASSERT_EQ(ParseComponentLibrary(ComponentFile(14, 9, eleven, defs), library, true), 0);
    EXPECT_EQ(library.definitions.count, 2);
}

TEST_F(ComponentLibraryFile, PinTextsAreStoredOnlyForNamedPinTypes)
{
    ComponentLibraryState& library = ComponentLibrary();
    library.root.name = "Root";
    for (int i = 0; i < kComponentSlotCount; ++i) library.slotNames[static_cast<std::size_t>(i)] = std::to_string(i);
    ComponentDefinition* resistor = AddComponentDefinition("R", kComponentResistor, 1);
    resistor->pins.resize(2);
    resistor->pins[1].dx = 4;
    ComponentDefinition* macro = AddComponentDefinition("M", kComponentMacro, 1);
    macro->pins.resize(1);
    SetDefinitionPin(*macro, 0, 'A', "IN", "X");
    EXPECT_EQ(macro->pins[0].typeLetter, 'A');
    EXPECT_EQ(PinTextLength(*macro, macro->pins[0]), 5);  // "AIN", NUL, "X"
    EXPECT_TRUE(IsMacroPinUpperType(*macro, 0));
    ComponentDefinition* empty = AddComponentDefinition("E", kComponentGround, 1);
    const std::string bytes = SerializeComponentLibrary(library);
    EXPECT_NE(bytes.find(std::string("\x05\x00" "AIN\0X", 7)), std::string::npos);
    ComponentLibraryState read;
    ASSERT_EQ(ParseComponentLibrary(bytes, read, true), 0);
    EXPECT_EQ(SerializeComponentLibrary(read), bytes);
    const ComponentDefinition& m = *std::next(ListRecords<ComponentDefinition>(read.definitions).begin());
    EXPECT_EQ(m.pins[0].secondText, "X");
    EXPECT_TRUE(empty->pins.empty());
    // Letters are fixed by type: a subckt takes '?', a Macro does not; LOGICEXP takes i and o.
    SetDefinitionPin(*macro, 0, '?', "P", "");
    EXPECT_EQ(macro->pins[0].typeLetter, 'a');
    macro->type = kComponentLogicExp;
    SetDefinitionPin(*macro, 0, 'x', "P", "");
    EXPECT_EQ(macro->pins[0].typeLetter, 'i');
}

TEST_F(ComponentLibraryFile, FindPrefersAnExactMatchAnywhere)
{
    ComponentDefinition* lower = AddComponentDefinition("resistor", kComponentResistor, 1);
    ComponentDefinition* exact = AddComponentDefinition("Resistor", kComponentResistor, 1);
    ComponentDefinition* shortOne = AddComponentDefinition("Wire", kComponentShort, 1);
    EXPECT_EQ(FindComponentDefinition("Resistor"), exact);
    EXPECT_EQ(FindComponentDefinition("RESISTOR"), lower);
    EXPECT_EQ(FindComponentDefinition("Resistor", exact), lower);
    EXPECT_EQ(FindComponentDefinition("wire"), shortOne);
    EXPECT_EQ(FindComponentDefinition("wire", nullptr, true), nullptr);
    EXPECT_EQ(FindComponentDefinition(""), nullptr);
}

TEST_F(ComponentLibraryFile, AFileChangedOnDiskIsKeptWhenTheUserSaysNo)
{
    const std::filesystem::path path = dir_ / "comp.kq5";
    WriteBytes(path, ComponentFile(14, 9, kTenSlots, {{kComponentResistor, "R", 2}}));
    ComponentLibraryState& library = ComponentLibrary();
    library.path = path.string();
    ASSERT_EQ(ReadComponentLibrary(library.path, library, true), 0);
    const std::string other = ComponentFile(14, 9, kTenSlots, {{kComponentCapacitor, "C", 2}});
    WriteBytes(path, other);
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(5));
    win::PushMessageBoxAnswer(win::IDNO);
    EXPECT_EQ(WriteComponentLibrary(library), 0);
    EXPECT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_EQ(ReadBytes(path), other);
    // A write that cannot be made reports 16000 plus the error and leaves nothing behind.
    library.path = (dir_ / "missing" / "comp.kq5").string();
    library.fileTime = 0;
    EXPECT_EQ(SaveComponentLibrary(), 16000 + ENOENT);
    EXPECT_FALSE(std::filesystem::exists(library.path));
}

TEST_F(ComponentLibraryFile, DamagedFilesGiveAMessage)
{
    ComponentLibraryState& library = ComponentLibrary();
    const std::vector<DefinitionSpec> defs{{kComponentResistor, "R", 2}};
    EXPECT_EQ(ParseComponentLibrary(ComponentFile(12, 9, kTenSlots, defs), library, true), kMsgCantReadComponentVersion);
    EXPECT_EQ(ParseComponentLibrary("", library, true), kMsgCantReadComponentVersion);
    // A type outside the table.
    EXPECT_EQ(ParseComponentLibrary(ComponentFile(14, 9, kTenSlots, {{200, "X", 0}}), library, true), kMsgBadFormatInFile);
    // Groups nested past any tree a user makes.
    EXPECT_EQ(ParseComponentLibrary(ComponentFile(14, 9, kTenSlots, defs, 200), library, true), kMsgBadFormatInFile);
    EXPECT_EQ(ParseComponentLibrary(ComponentFile(14, 9, kTenSlots, defs, 10), library, true), 0);
    // Counts beyond what the file holds: no allocation is made for them.
    std::string file = ComponentFile(14, 9, kTenSlots, defs);
    const std::size_t pinCountAt = file.size() - 2 * 4 - 2 * 4 - 3 - 2;
    PutU16(file, pinCountAt, 0xFFFF);
    EXPECT_EQ(ParseComponentLibrary(file, library, true), kMsgBadFormatInFile);
    // Bytes after the last definition.
    EXPECT_EQ(ParseComponentLibrary(ComponentFile(14, 9, kTenSlots, defs) + "x", library, true), kMsgBadFormatInFile);
    // A failed read leaves the library it had.
    EXPECT_EQ(library.definitions.count, 1);
}

TEST_F(ComponentLibraryFile, CutAndMutatedCopiesOfTheBuiltLibraryNeverFault)
{
    const std::string original = ReadBytes(BuiltLibrary("comp.kq5"));
    ASSERT_FALSE(original.empty());
    ComponentLibraryState& library = ComponentLibrary();
    for (std::size_t length = 0; length < original.size(); length += (length < 300 ? 1 : 29))
        EXPECT_NE(ParseComponentLibrary(original.substr(0, length), library, true), 0) << length;
    std::mt19937 random(16);
    for (int round = 0; round < 2000; ++round) {
        std::string damaged = original;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i) damaged[random() % damaged.size()] ^= static_cast<char>(1 + random() % 255);
        const int status = ParseComponentLibrary(damaged, library, true);
        ASSERT_TRUE(status == 0 || status == kMsgCantReadComponentVersion || status == kMsgBadFormatInFile) << status;
        if (status == 0) {
            ComponentLibraryState again;
            EXPECT_EQ(ParseComponentLibrary(SerializeComponentLibrary(library), again, true), 0);
        }
    }
}

}  // namespace
}  // namespace kq5::testing
