// SPICE export of the two digital parts a user sets by hand: the DIGITAL STATE becomes a
// one-bit stimulus holding its value from time 0; the DIGITAL SWITCH, which only the running
// simulation can toggle, has no SPICE form and says so in the netlist.
#include "spice_export_test_support.h"

namespace kq5::testing {
namespace {

TEST_F(SpiceExportTest, DigitalStateIsAOneBitStimulusFromTimeZero)
{
    Part(kComponentDigitalState, "U1", {1}, {{kAttrValue, "1"}});
    Part(kComponentDigitalState, "U2", {2},
         {{kAttrValue, "0"}, {kAttrIoModel, "IO_LS"}, {kAttrIoLevel, "2"}, {kAttrPowerNode, "VCC5"},
          {kAttrGroundNode, "GND5"}});
    const std::string text = WriteParts(kSpiceDialectPspice);
    EXPECT_NE(text.find("U1 STIM(1,1) $G_DPWR $G_DGND\n+ D1\n+ IO_STD\n+ 0 1 \n"), std::string::npos) << text;
    EXPECT_NE(text.find("U2 STIM(1,1) VCC5 GND5\n+ D2\n+ IO_LS IO_LEVEL=2\n+ 0 0 \n"), std::string::npos) << text;

    // Without a value there is no time-value pair, only the line's end.
    Fresh();
    Part(kComponentDigitalState, "U3", {1});
    const std::string bare = WriteParts(kSpiceDialectSpice3);
    EXPECT_NE(bare.find("U3 STIM(1,1) $G_DPWR $G_DGND\n+ D1\n+ IO_STD\n\n"), std::string::npos) << bare;

    // SPICE 2G has no digital primitives.
    EXPECT_NE(WriteParts(kSpiceDialect2G).find("* ERROR: DIGITAL STATE U3 NOT SUPPORTED BY SPICE\n"), std::string::npos);
}

TEST_F(SpiceExportTest, AStimulusFileWithSignalNamesReadsBack)
{
    const std::filesystem::path file = dir_ / "signals.stm";
    std::ofstream(file, std::ios::binary) << "CK A3\n\n0 00\n10n 10\n";
    const std::string netlist = "fstim\nU3 FSTIM(2) $G_DPWR $G_DGND P Q IO_STM FILE=" + file.string() +
                                " SIGNAMES=CK A3\nU4 BUF $G_DPWR $G_DGND Q Y G1 IO_STM\n"
                                ".MODEL G1 UGATE (TPLHTY=5N)\n.MODEL IO_STM UIO (DRVH=50 DRVL=50)\n.TRAN 1N 100N\n.END\n";
    const std::string text = Export(netlist, kSpiceDialectPspice);
    EXPECT_NE(text.find("SIGNAMES=CK A3 \n"), std::string::npos) << text;
    record_->textArea = text;
    EXPECT_EQ(PrepareCircuit(record_, nullptr, kPrepareRebuildNetlist), 0) << LastShownText() << text;
    FreeBuiltCircuit(0xFF);
}

TEST_F(SpiceExportTest, DigitalSwitchHasNoSpiceFormAndSaysSo)
{
    Part(kComponentDigitalSwitch, "U4", {1}, {{kAttrValue, "1"}});
    Part(kComponentInv, "U5", {1, 2});
    for (SpiceDialect dialect : {kSpiceDialectPspice, kSpiceDialectSpice3}) {
        const std::string text = WriteParts(dialect);
        EXPECT_NE(text.find("* Error: DIGITAL SWITCH U4 not supported by SPICE\n"), std::string::npos) << text;
        // Nothing of it as a device, and no empty line standing for it.
        EXPECT_EQ(text.find("\nU4 "), std::string::npos) << text;
        EXPECT_EQ(text.find("NULL string"), std::string::npos) << text;
        // The gate it drives is written as usual.
        EXPECT_NE(text.find("U5 INV $G_DPWR $G_DGND\n+ D1 D2\n"), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace kq5::testing
