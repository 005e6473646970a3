// Fuse maps of programmable arrays from fuse files and DATA attributes, their messages, and the
// devices the set-up makes of them.
#include <unistd.h>
#include <filesystem>
#include <fstream>

#include "digital_build_test_support.h"

#include "digital/digital_engine.h"
#include "digital/digital_fuses.h"

namespace kq5::testing {
namespace {

std::vector<std::uint8_t> File(const std::string& text, int count, int& id, int& number)
{
    std::vector<std::uint8_t> fuses;
    const FuseError e = ReadFuseFile(text, count, fuses);
    id = e.id;
    number = e.number;
    return fuses;
}

TEST(FuseData, FileFields)
{
    int id = 0, number = 0;
    EXPECT_EQ(File("QF4*L0 0101*", 4, id, number), (std::vector<std::uint8_t>{1, 0, 1, 0}));
    EXPECT_EQ(id, 0);
    EXPECT_EQ(File("QF4*F0*L0 1*", 4, id, number), (std::vector<std::uint8_t>{0, 1, 1, 1}));
    EXPECT_EQ(File("QF8* F1*\nK0 3C*\nC1234* N note*", 8, id, number), (std::vector<std::uint8_t>{1, 1, 0, 0, 0, 0, 1, 1}));
    File("QF4*F0*", 4, id, number);
    EXPECT_EQ(id, 13242);
    File("QF4*L0 01*", 4, id, number);
    EXPECT_EQ(id, 13241);
    EXPECT_EQ(number, 2);
    struct Case {
        const char* text;
        int id;
    } cases[] = {
        {"QF4*QF4*L0 0000*", 13239}, {"QF4*F2*L0 0000*", 13237}, {"L0 0000*QF4*", 13236},
        {"QF4*L*", 13238},            {"QF4*L-1 0000*", 13249},   {"QF4*L0 0020*", 13235},
        {"QF4*K0 G*", 13235},        {"QF4*L2 000*", 13240},
    };
    for (const Case& c : cases) {
        File(c.text, 4, id, number);
        EXPECT_EQ(id, c.id) << c.text;
    }
}

TEST(FuseData, QfMustMatchThePartAndDataStaysInTheArray)
{
    int id = 0, number = 0;
    // A QF below the part's count would leave rows unread; one above would write past them.
    File("QF2*L0 00*", 4, id, number);
    EXPECT_EQ(id, 13241);
    EXPECT_EQ(number, 2);
    File("QF8*L0 00000000*", 4, id, number);
    EXPECT_EQ(id, 13240);
    std::vector<std::uint8_t> fuses;
    EXPECT_EQ(ReadFuseData("X$F$", 4, fuses).id, 0);
    EXPECT_EQ(fuses, (std::vector<std::uint8_t>{1, 1, 1, 1}));
    EXPECT_EQ(ReadFuseData("X$FF$", 4, fuses).id, 13240);
    EXPECT_EQ(ReadFuseData("O$7$", 4, fuses).id, 0);
    EXPECT_EQ(fuses, (std::vector<std::uint8_t>{1, 1, 1, 0}));
    EXPECT_EQ(ReadFuseData("H$1$", 4, fuses).id, 13234);
    const FuseError e = ReadFuseData("B$12$", 4, fuses);
    EXPECT_EQ(e.id, 13235);
    EXPECT_EQ(e.letter, '2');
}

using ProgrammableSetupTest = DigitalBuildTest;

TEST_F(ProgrammableSetupTest, OneDevicePerOutputWithTheIntactInputs)
{
    ASSERT_EQ(BuildText("arrays\n"
                        "U1 PLANDC(2,2) $G_DPWR $G_DGND A B Y Z PLD IO_STM DATA=B$10100110$\n"
                        ".MODEL PLD UPLD (TPLHTY=5N TPHLTY=5N)\n.MODEL IO_STM UIO (DRVH=50 DRVL=50)\n"
                        ".TRAN 1N 1U\n.END\n"),
              0)
        << LastShownText();
    const DigitalDeviceTables& d = DigitalSimulator();
    ASSERT_EQ(d.deviceCount, 2);
    const std::int32_t a = LookupNodeNumber(CircuitNodeTable(), "A", 0, kNodeDigital);
    const std::int32_t b = LookupNodeNumber(CircuitNodeTable(), "B", 0, kNodeDigital);
    // Row 0: A true and B true; row 1: A complement and B true.
    EXPECT_EQ(DeviceInputCount(d, 1), 2);
    EXPECT_EQ(DeviceInput(d, 1, 0), a);
    EXPECT_EQ(DeviceInput(d, 1, 1), b);
    EXPECT_EQ(DeviceInput(d, 2, 0), -a);
    EXPECT_EQ(DeviceInput(d, 2, 1), b);
    EXPECT_EQ(d.deviceClass[1], kClassProgrammable);
}

TEST_F(ProgrammableSetupTest, FuseErrorsNameThePart)
{
    EXPECT_NE(BuildText("arrays\nU7 PLAND(2,1) $G_DPWR $G_DGND A B Y PLD IO_STM DATA=X$FF$\n"
                        ".MODEL PLD UPLD (TPLHTY=5N)\n.MODEL IO_STM UIO (DRVH=50 DRVL=50)\n.TRAN 1N 1U\n.END\n"),
              0);
    EXPECT_NE(LastShownText().find("Too many fuses."), std::string::npos) << LastShownText();
}

TEST_F(ProgrammableSetupTest, FuseFileFaultsAreShownAtTheFileAndItsLine)
{
    const std::filesystem::path file = std::filesystem::temp_directory_path() / ("kq5fz" + std::to_string(::getpid()) + ".jed");
    std::ofstream(file, std::ios::binary) << "QF2*\nF0*\nL0\n 0Q*\n";
    const std::string netlist = "arrays\nU7 PLAND(2,1) $G_DPWR $G_DGND A B Y PLD IO_STM FILE=" + file.string() +
                                "\n.MODEL PLD UPLD (TPLHTY=5N)\n.MODEL IO_STM UIO (DRVH=50 DRVL=50)\n.TRAN 1N 1U\n.END\n";
    EXPECT_NE(BuildText(netlist), 0);
    std::string shown = LastShownText();
    EXPECT_NE(shown.find("Illegal value 'Q' in program data."), std::string::npos) << shown;
    EXPECT_NE(CopyUpperCase(shown).find(CopyUpperCase("Source:\t" + file.string())), std::string::npos) << shown;
    EXPECT_NE(shown.find("Line:\t3"), std::string::npos) << shown;
    // A file that is not there is named.
    std::filesystem::remove(file);
    EXPECT_NE(BuildText(netlist), 0);
    shown = LastShownText();
    EXPECT_NE(CopyUpperCase(shown).find(CopyUpperCase("Source:\t" + file.string())), std::string::npos) << shown;
}

// A circuit run from another working folder still finds the data files that lie beside it.
TEST_F(ProgrammableSetupTest, DataFilesNamedWithoutAFolderAreFoundBesideTheCircuit)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("kq5beside" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "data");
    std::ofstream(folder / "Fuses.jed", std::ios::binary) << "QF2*\nL0 10*\n";
    std::ofstream(folder / "data" / "in.stm", std::ios::binary) << "A B\n\n0 01\n";
    SetRecordTitle(record_, (folder / "arrays.cir").string());
    // The netlist's text is read upper-cased, as a user's circuit is.
    const int rc = BuildText("arrays\n"
                             "U1 FSTIM(2) $G_DPWR $G_DGND A B IO_STM FILE=DATA\\IN.STM\n"
                             "U2 PLAND(2,1) $G_DPWR $G_DGND A B Y PLD IO_STM FILE=FUSES.JED\n"
                             ".MODEL PLD UPLD (TPLHTY=5N)\n.MODEL IO_STM UIO (DRVH=50 DRVL=50)\n.TRAN 1N 1U\n.END\n");
    std::filesystem::remove_all(folder);
    ASSERT_EQ(rc, 0) << LastShownText();
    // Fuse 0 blown, fuse 1 intact: the array's one device reads B alone.
    const DigitalDeviceTables& d = DigitalSimulator();
    const int device = d.deviceCount;
    ASSERT_EQ(DeviceInputCount(d, device), 1);
    EXPECT_EQ(DeviceInput(d, device, 0), LookupNodeNumber(CircuitNodeTable(), "B", 0, kNodeDigital));
}

}  // namespace
}  // namespace kq5::testing
