#pragma once
// Whole builds of text circuits that stand in a scratch directory as files: subcircuits are read
// back from the circuit's file, and the default library (which a brace makes the build read) is
// an empty one there.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "build_test_support.h"
#include "analog/analysis_start.h"
#include "analyses/analysis_install.h"
#include "analog/run_control.h"
#include "document/text_editor.h"

namespace kq5::testing {

class ScratchBuildTest : public BuildTest {
protected:
    void SetUp() override
    {
        BuildTest::SetUp();
        std::string pattern = (std::filesystem::temp_directory_path() / "kq5-build-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        std::ofstream(dir_ / "NOM.LIB") << "* default library of the tests\n";
        ::setenv("KQ5DATA", dir_.c_str(), 1);
    }
    void TearDown() override
    {
        BuildTest::TearDown();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    // Makes the text circuit window of the netlist, saved under the name in the directory.
    void PutCircuit(const std::string& netlist, const std::string& name)
    {
        record_->kind = kWindowTextCircuit;
        record_->title = (dir_ / name).string();
        record_->textArea = netlist;
        std::ofstream(record_->title, std::ios::binary) << netlist;
    }

    std::filesystem::path dir_;
};

// Whole analyses started on circuit windows, with their text editors.
class AnalysisBuildTest : public ScratchBuildTest {
protected:
    void SetUp() override
    {
        ScratchBuildTest::SetUp();
        ResetRunControlForTests();
        ResetTextEditorsForTests();
        InstallAnalysisKindHandlers();
    }
    void TearDown() override
    {
        ExitAnalysis();
        ResetRunControlForTests();
        ResetTextEditorsForTests();
        ScratchBuildTest::TearDown();
    }
};

}  // namespace kq5::testing
