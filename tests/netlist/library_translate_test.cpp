// The library translation commands, both ways and round trip.
#include <cmath>

#include "library_test_support.h"
#include "netlist/library_translate.h"
#include "netlist/model_types.h"
#include "platform/backend.h"
#include "platform/message_box.h"

namespace kq5::testing {
namespace {

class LibraryTranslateTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        win::ResetPlatformForTests(800, 600);
    }

    // Translates the text window's statements into a new library; the library made.
    ModelLibrary* ToLibrary(const std::string& text, const std::string& name)
    {
        record_->title = PathOf("models.cir");
        record_->textArea = text;
        ModelLibrary* library = nullptr;
        EXPECT_EQ(TranslateTextToLibrary(record_, PathOf(name), &library), 0);
        return library;
    }

    static std::string WithoutHeader(std::string text)
    {
        // The header: "*****", the file line, an optional stamp line, "*****".
        const std::size_t end = text.find("*****", 5);
        return end == std::string::npos ? text : text.substr(text.find('\n', end) + 1);
    }
};

TEST_F(LibraryTranslateTest, TextStatementsBecomeEntries)
{
    ModelLibrary* library = ToLibrary(
        "models\n"
        ".SUBCKT HIDE A B\n.MODEL INSIDE D\n.ENDS\n"
        ".model d1 d (is=2n rs=1)\n"
        ".MODEL M8 NMOS (LEVEL=8 TOX=1E-8)\n"
        ".MODEL G1 UGATE (TPLHTY=5N)\n"
        ".MODEL A_VERY_LONG_MODEL_NAME_OF_30 NPN\n",
        "out.lbr");
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(library->entries.count, 4);
    const ModelLibraryEntry* d1 = FindNthModelOfType(*library, kModelDiode, 0);
    ASSERT_NE(d1, nullptr);
    EXPECT_EQ(d1->name, "D1");
    EXPECT_FLOAT_EQ(d1->params[static_cast<std::size_t>(FindModelParamIndex(kModelDiode, "IS"))], 2e-9f);
    const ModelLibraryEntry* m8 = FindNthModelOfType(*library, kModelNmos8, 0);
    ASSERT_NE(m8, nullptr);
    EXPECT_EQ(m8->params.size(), 373u);
    const ModelLibraryEntry* gate = FindNthModelOfType(*library, kModelUgate, 0);
    ASSERT_NE(gate, nullptr);
    EXPECT_EQ(gate->params.size(), 6u);
    EXPECT_EQ(FindNthModelOfType(*library, kModelNpn, 0)->name, "A_VERY_LONG_MODEL_NAME_");
    // Saved at once, and every statement was read by itself.
    EXPECT_FALSE(IsLibraryModified(*library));
    EXPECT_EQ(ModelStatementCount(), 0);
    ModelLibrary reread;
    ASSERT_EQ(LoadModelLibrary(reread, PathOf("out.lbr"), true), 0);
    EXPECT_EQ(reread.entries.count, 4);
}

TEST_F(LibraryTranslateTest, TextWithoutTopLevelModelsGivesAnEmptyFile)
{
    ASSERT_NE(ToLibrary("x\n.SUBCKT S A\n.MODEL ONLY D\n.ENDS S\n", "empty.lbr"), nullptr);
    EXPECT_EQ(ReadBytes("empty.lbr"), std::string("\x05\x00\x00\x00\x00\x00", 6));
    // Keywords in lower case and with a tab open and close blocks too; a stray .ends hides nothing.
    ModelLibrary* library =
        ToLibrary("x\n.ends\n.subckt\ts a\n.model only d\n.ends\ts\n.model after d\n", "lower.lbr");
    ASSERT_NE(library, nullptr);
    ASSERT_EQ(library->entries.count, 1);
    EXPECT_EQ(FindNthModelOfType(*library, kModelDiode, 0)->name, "AFTER");
}

TEST_F(LibraryTranslateTest, LibraryToTextWritesHeaderMemosAndChangedParameters)
{
    UserAndCompanyNamesSetting() = {"Ada", "Acme"};
    ModelLibrary* library = NewModelLibraryRecord(PathOf("src.lbr"));
    ASSERT_NE(library, nullptr);
    const ModelTypeRow& d = kModelTypeTable[kModelDiode];
    for (const char* name : {"DSAME", "DSAME", "DFAST"}) {
        ModelLibraryEntry* entry = NewLibraryEntry(*library, kModelDiode);
        entry->name = name;
        for (int i = 0; i < d.libraryCount; ++i) entry->params[static_cast<std::size_t>(i)] = d.params[i].defaultValue;
    }
    ModelLibraryEntry* fast = FindNthModelOfType(*library, kModelDiode, 2);
    fast->memo = "fast one";
    fast->params[static_cast<std::size_t>(FindModelParamIndex(kModelDiode, "TT"))] = 5e-9f;
    NewLibraryEntry(*library, kModelNpn);  // no name: not written

    ASSERT_EQ(TranslateLibraryToText(library->record, PathOf("out.lib")), 0);
    std::string text = ReadText("out.lib");
    EXPECT_EQ(text.rfind("*****\n* out.lib Ada Acme\n", 0), 0u) << text;
    text = WithoutHeader(text);
    EXPECT_EQ(text.find(".MODEL DSAME D ("), 0u) << text;
    EXPECT_NE(text.find(".MODEL DSAME D (", 10), std::string::npos);
    EXPECT_NE(text.find("*** fast one\n.MODEL DFAST D (TT="), std::string::npos) << text;
    EXPECT_EQ(text.find("IS="), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST_F(LibraryTranslateTest, BothDirectionsRoundTrip)
{
    const std::string source =
        "round trip\n"
        ".MODEL Q2 NPN (IS=1.5E-15 BF=220 VAF=80 CJE=4.5P TF=350P)\n"
        ".MODEL J2 PJF (VTO=1.8 BETA=2.5M LAMBDA=3M)\n"
        ".MODEL OP1 OPA (LEVEL=2 A=150K GBW=3MEG PM=55)\n"
        ".MODEL MB NMOS (LEVEL=8 TOX=4.1E-9 VTH0=0.45)\n";
    ModelLibrary* first = ToLibrary(source, "first.lbr");
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(TranslateLibraryToText(first->record, PathOf("middle.lib")), 0);
    ModelLibrary* second = ToLibrary(ReadText("middle.lib"), "second.lbr");
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(second->entries.count, first->entries.count);
    for (ModelLibraryEntry& entry : ListRecords<ModelLibraryEntry>(first->entries)) {
        SCOPED_TRACE(entry.name);
        const ModelLibraryEntry* again = FindNthModelOfType(*second, entry.type, FindModelOrdinal(*first, entry.type, entry.name));
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again->name, entry.name);
        ASSERT_EQ(again->params.size(), entry.params.size());
        for (std::size_t i = 0; i < entry.params.size(); ++i) {
            if (IsParamNotGiven(entry.params[i])) {
                EXPECT_TRUE(IsParamNotGiven(again->params[i])) << i;
            } else {
                EXPECT_NEAR(again->params[i], entry.params[i], std::fabs(entry.params[i]) * 1e-5) << i;
            }
        }
    }
}

TEST_F(LibraryTranslateTest, CancelledQuestionDoesNothing)
{
    ModelLibrary* library = NewModelLibraryRecord(PathOf("src.lbr"));
    EXPECT_EQ(TranslateLibraryToText(library->record), 0);
    ModelLibrary* created = nullptr;
    EXPECT_EQ(TranslateTextToLibrary(record_, {}, &created), 0);
    EXPECT_EQ(created, nullptr);
    // A scripted answer without an extension takes the default one.
    PushSaveFileNameAnswer(PathOf("answered"));
    EXPECT_EQ(TranslateLibraryToText(library->record), 0);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "answered.LIB"));
}

// A faulty statement is shown at its own line of the text it stands in. The messages used to name
// the library being written, at line 1, for every faulty statement of the text.
TEST_F(LibraryTranslateTest, FaultyStatementsAreShownAtTheirLinesOfTheText)
{
    win::ClearMessageBoxLog();
    ModelLibrary* library = ToLibrary(
        "* parts\n"
        ".MODEL DFAST D (IS=2N)\n"
        ".MODEL BADTYPE FOO (A=1)\n"
        ".MODEL DBAD D (IS=2N RS=)\n"
        ".MODEL QSMALL NPN (BF=200)\n",
        "parts.lbr");
    ASSERT_NE(library, nullptr);
    // The unknown type is skipped; the parameter without a value ends the reading.
    EXPECT_EQ(library->entries.count, 1);
    const auto& log = win::MessageBoxLog();
    ASSERT_EQ(log.size(), 2u);
    const std::string source = "Source:\t" + PathOf("models.cir");
    EXPECT_NE(log[0].text.find(source), std::string::npos) << log[0].text;
    EXPECT_NE(log[0].text.find("Line:\t3"), std::string::npos) << log[0].text;
    EXPECT_NE(log[1].text.find(source), std::string::npos) << log[1].text;
    EXPECT_NE(log[1].text.find("Line:\t4"), std::string::npos) << log[1].text;
}

}  // namespace
}  // namespace kq5::testing
