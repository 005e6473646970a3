// Drawn circuits whose answer is known in closed form, run as a user runs them: the schematic
// files of tests/circuits through the kq5 program's batch run, read back from the numeric output.
// A sample-and-hold holding a ramp, and an inverting amplifier of gain -10 for each op-amp LEVEL
// (DC gain, closed-loop bandwidth and slew rates).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../analog/program_output_support.h"
#include "../core/file_test_support.h"

namespace kq5 {
namespace {

constexpr double kR1 = 1e3, kR2 = 10e3, kA = 200e3, kGbw = 1e6, kSlew = 0.5e6;
// The inverting amplifier's gain with an open-loop gain A: -(R2/R1)/(1 + (1 + R2/R1)/A).
const double kGain = (kR2 / kR1) / (1.0 + (1.0 + kR2 / kR1) / kA);
// A single pole at GBW/A closes at GBW over the noise gain 1 + R2/R1.
const double kClosedLoopBandwidth = kGbw / (1.0 + kR2 / kR1);

class DrawnClosedFormTest : public test::ScratchDirTest {
protected:
    // Copies the drawn circuit into the scratch folder and runs it with the switches.
    void Run(const std::string& circuit, const std::string& switches)
    {
        ASSERT_FALSE(test::ProgramPath().empty()) << "the kq5 program is not built beside the tests";
        std::filesystem::copy_file(std::filesystem::path(KQ5_SOURCE_DIR) / "tests" / "circuits" / circuit,
                                   PathOf(circuit), std::filesystem::copy_options::overwrite_existing);
        WriteFile("jobs.txt", circuit + " " + switches + "\n");
        ASSERT_EQ(test::RunProgramOnCommandFile(PathOf(""), "jobs.txt"), 0) << ReadText("run.log");
    }

    // The one value table of the output file, every column in its base unit (a column without
    // a unit, such as a magnitude, as printed).
    test::ValueTable Table(const std::string& file)
    {
        const std::string text = ReadText(file);
        std::vector<test::ValueTable> tables = test::ValueTables(text);
        EXPECT_EQ(tables.size(), 1u) << text;
        if (tables.empty()) return {};
        test::ValueTable t = tables[0];
        for (std::vector<double>& row : t.rows)
            for (std::size_t c = 0; c < row.size() && c < t.units.size(); ++c) row[c] *= test::UnitFactor(t.units[c]);
        return t;
    }

    // The first time after start where the column crosses the level, by linear interpolation.
    static double Crossing(const test::ValueTable& t, std::size_t column, double level, double start)
    {
        for (std::size_t i = 1; i < t.rows.size(); ++i) {
            const double t0 = t.rows[i - 1][0], t1 = t.rows[i][0];
            const double v0 = t.rows[i - 1][column], v1 = t.rows[i][column];
            if (t0 < start || (v0 - level) * (v1 - level) > 0.0 || v0 == v1) continue;
            return t0 + (t1 - t0) * (level - v0) / (v1 - v0);
        }
        return NAN;
    }
};

// A ramp of 1 V/ms sampled every 0.1 ms: halfway between two samples the output holds the ramp's
// value at the last one, 0.1 V times the whole periods gone.
TEST_F(DrawnClosedFormTest, ASampleAndHoldHoldsARampAtItsLastSample)
{
    Run("sample_hold_ramp.cir", "/T");
    const test::ValueTable t = Table("sample_hold_ramp.TNO");
    ASSERT_EQ(t.rows.size(), 21u);
    ASSERT_EQ(t.names.size(), 3u);
    for (std::size_t i = 1; i < t.rows.size(); i += 2) {
        const double time = t.rows[i][0];
        const double periods = std::floor(time / 0.1e-3 + 1e-6);
        EXPECT_NEAR(t.rows[i][1], time * 1e3, 1e-5) << "input at " << time;
        EXPECT_NEAR(t.rows[i][2], 0.1 * periods, 1e-5) << "held at " << time;
    }
}

// The gain, bandwidth and step response of -R2/R1 = -10 at each LEVEL: LEVEL 1 has no pole and
// follows its input at once, LEVEL 2 and 3 close at GBW/(1 + R2/R1) (their second pole and the
// 10 kohm load move it by a few per cent) and slew at SRP going up and SRN going down.
TEST_F(DrawnClosedFormTest, AnInvertingAmplifierAtEachOpampLevel)
{
    Run("opamp_inverting_levels.cir", "/T /A");

    const test::ValueTable ac = Table("opamp_inverting_levels.ANO");
    ASSERT_EQ(ac.names.size(), 4u);
    ASSERT_GE(ac.rows.size(), 40u);
    EXPECT_NEAR(ac.rows.front()[0], 1e3, 1e-6);
    for (const std::vector<double>& row : ac.rows)
        EXPECT_NEAR(row[1], kGain, 1e-4 * kGain) << "LEVEL 1 at " << row[0] << " Hz";
    for (std::size_t level : {2u, 3u}) {
        EXPECT_NEAR(ac.rows.front()[level], kGain, 1e-3 * kGain) << "LEVEL " << level << " at 1 kHz";
        // The -3 dB frequency, interpolated in log f.
        double f3 = NAN;
        for (std::size_t i = 1; i < ac.rows.size() && std::isnan(f3); ++i) {
            const double a = ac.rows[i - 1][level], b = ac.rows[i][level], level3 = kGain / std::sqrt(2.0);
            if (a >= level3 && b < level3)
                f3 = ac.rows[i - 1][0] * std::pow(ac.rows[i][0] / ac.rows[i - 1][0], (a - level3) / (a - b));
        }
        EXPECT_NEAR(f3, kClosedLoopBandwidth, 0.06 * kClosedLoopBandwidth) << "LEVEL " << level;
    }

    // The input steps to -1 V at 10 us and back to 0 at 200 us.
    const test::ValueTable tr = Table("opamp_inverting_levels.TNO");
    ASSERT_EQ(tr.names.size(), 4u);
    ASSERT_GE(tr.rows.size(), 400u);
    for (const std::vector<double>& row : tr.rows) {
        const double t = row[0];
        if (t > 11e-6 && t < 200e-6) { EXPECT_NEAR(row[1], kGain, 1e-4 * kGain) << "LEVEL 1 at " << t; }
        if (t > 150e-6 && t < 200e-6) {
            EXPECT_NEAR(row[2], kGain, 1e-3 * kGain) << "LEVEL 2 at " << t;
            EXPECT_NEAR(row[3], kGain, 1e-3 * kGain) << "LEVEL 3 at " << t;
        }
    }
    // LEVEL 2 limits the current of its first stage and LEVEL 3 that of its input pair: both slew,
    // from 20 % to 80 % of the swing at SRP, and back at SRN.
    for (std::size_t level : {2u, 3u}) {
        const double up =
            0.6 * kGain / (Crossing(tr, level, 0.8 * kGain, 10e-6) - Crossing(tr, level, 0.2 * kGain, 10e-6));
        const double down =
            0.6 * kGain / (Crossing(tr, level, 0.2 * kGain, 200e-6) - Crossing(tr, level, 0.8 * kGain, 200e-6));
        EXPECT_NEAR(up, kSlew, 0.05 * kSlew) << "LEVEL " << level;
        EXPECT_NEAR(down, kSlew, 0.05 * kSlew) << "LEVEL " << level;
    }
}

// A voltage follower on 1 V for every op-amp of the default library, each into 10 kohm: the
// output follows within the model's offset, whatever its input stage (NPN, PNP or JFET).
TEST_F(DrawnClosedFormTest, EveryLibraryOpampFollowsItsInput)
{
    const std::vector<std::string> models = {"LM741", "OP07", "LM358", "LM324", "LF411", "TL081"};
    std::string drawing = "[Main]\nFileType=CIR\nVersion=5.20\nProgram=Kestrion V\nKQ5Version=2.1.2\n\n";
    const auto part = [&](const std::string& type, int x, int y, const std::string& name, const std::string& key,
                          const std::string& value) {
        drawing += "[Comp]\nName=" + type + "\nGrid=" + std::to_string(x) + "," + std::to_string(y) + "\n\n";
        drawing += "[Attr]\nONV=0,0,PART," + name + "\n\n[Attr]\nONV=0,0," + key + "," + value + "\n\n";
    };
    const auto ground = [&](int x, int y) {
        drawing += "[Comp]\nName=Ground\nGrid=" + std::to_string(x) + "," + std::to_string(y) + "\n\n";
    };
    const auto label = [&](const std::string& text, int x, int y) {
        drawing += "[Grid Text]\nText=" + text + "\nGrid=" + std::to_string(x) + "," + std::to_string(y) + "\n\n";
    };
    // The supplies and the input: a V source's pins are (0,0) and (0,6).
    part("V", 4, 6, "VCC", "VALUE", "15");
    label("VP", 4, 6);
    ground(4, 12);
    part("V", 12, 6, "VEE", "VALUE", "15");
    ground(12, 6);
    label("VN", 12, 12);
    part("V", 20, 6, "VIN", "VALUE", "1");
    label("IN", 20, 6);
    ground(20, 12);
    // Op-amp pins: + (0,2), - (0,-2), VEE (3,3), output (7,0), VCC (3,-3).
    for (std::size_t i = 0; i < models.size(); ++i) {
        const int x = 10 + 16 * static_cast<int>(i);
        const std::string out = "OUT" + std::to_string(i + 1);
        part("Opamp", x, 30, "X" + std::to_string(i + 1), "MODEL", models[i]);
        label("IN", x, 32);
        label(out, x, 28);
        label("VN", x + 3, 33);
        label(out, x + 7, 30);
        label("VP", x + 3, 27);
        part("Resistor", x + 8, 40, "R" + std::to_string(i + 1), "VALUE", "10K");
        label(out, x + 8, 40);
        ground(x + 14, 40);
    }
    drawing += "[Page]\nIndex=0\nName=Page 1\nGrid=0,0\n\n";
    drawing += "[Limits]\nAnalysis=Transient\nTRange=10u\nTStep=0\nNPts=11\nTemp=27\nOPT=120\n\n";
    for (std::size_t i = 0; i < models.size(); ++i)
        drawing += "[WaveForm]\nAnalysis=Transient\nOptions=OUTPUT,LINEARX,LINEARY\nPlt=1\nXExp=T\nYExp=v(OUT" +
                   std::to_string(i + 1) + ")\nXRng=Auto\nYRng=Auto\nVFmtX=9.6\nVFmtY=9.6\n\n";
    WriteFile("followers.cir", drawing);
    WriteFile("jobs.txt", "followers.cir /T\n");
    ASSERT_EQ(test::RunProgramOnCommandFile(PathOf(""), "jobs.txt"), 0) << ReadText("run.log") << ReadText("followers.DOC");

    const test::ValueTable t = Table("followers.TNO");
    ASSERT_EQ(t.names.size(), models.size() + 1);
    ASSERT_FALSE(t.rows.empty());
    for (std::size_t i = 0; i < models.size(); ++i)
        EXPECT_NEAR(t.rows.back()[i + 1], 1.0, 0.01) << models[i];
}

}  // namespace
}  // namespace kq5
