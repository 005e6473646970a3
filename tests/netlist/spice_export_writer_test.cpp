// The SPICE export's netlist writer: title, sections, order, wrapping, options and control lines.
#include "spice_export_test_support.h"

namespace kq5::testing {
namespace {

const char* kDivider =
    "divider\n"
    "V1 1 0 DC 5\n"
    "R10 1 2 1k\n"
    "R2 2 0 1k\n"
    ".TRAN 1u 10u\n"
    ".END\n";

TEST_F(SpiceExportTest, ShowsTheWholeFile)
{
    std::printf("%s\n----\n", Export(kDivider, kSpiceDialectPspice).c_str());
    std::printf("%s\n----\n", Export(kDivider, kSpiceDialect2G).c_str());
    std::printf("%s\n", LastShownText().c_str());
}

}  // namespace
}  // namespace kq5::testing
namespace kq5::testing {
namespace {
TEST_F(SpiceExportTest, DebugOne)
{
    const char* file = std::getenv("KQ5_EXPORT_DEBUG");
    if (!file) return;
    std::string text = ReadText(file);
    record_->kind = kWindowTextCircuit;
    record_->textArea = text;
    record_->title = file;
    SpiceExport().dialect = static_cast<SpiceDialect>(std::atoi(std::getenv("KQ5_EXPORT_DIALECT") ? std::getenv("KQ5_EXPORT_DIALECT") : "101"));
    SpiceExport().analysisMask = 7;
    SpiceExport().expandSubcircuits = true;
    const int rc = ExportSpiceNetlist(record_, (dir_ / "out.ckt").string());
    std::printf("rc %d %s\n%s\n", rc, LastShownText().c_str(), ReadText(dir_ / "out.ckt").c_str());
}
}  // namespace
}  // namespace kq5::testing
