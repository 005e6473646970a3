// The model library window over a library file: showing, editing and saving its models, and
// the commands Add, Delete, Copy, Pack, Merge, Go To and Find Model Name.
#include "model_library_test_support.h"

#include "../platform/control_test_support.h"
#include "ui/dialog_services.h"
#include "netlist/library_translate.h"
#include "platform/common_dialogs_file.h"
#include "platform/dialog.h"

namespace kq5::testing {
namespace {

using ModelWindow = ModelLibraryWindowTest;

const std::vector<ModelSpec> kTwoTransistorsAndADiode = {
    {"Q2N2222", kModelNpn, "general purpose", {{"BF", 200.0f}}},
    {"Q2N3904", kModelNpn, "", {{"BF", 300.0f}}},
    {"D1N4148", kModelDiode, "switching diode", {{"IS", 2.5e-9f}}},
};

TEST_F(ModelWindow, OpensAFileAndShowsTheModelsOfTheChosenType)
{
    WriteLibrary("parts.lbr", kTwoTransistorsAndADiode);
    WindowRecord* record = Open("parts.lbr");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->kind, kWindowModelLibrary);
    EXPECT_EQ(record->modified, 0);
    EXPECT_EQ(LibraryOf(record).entries.count, 3);
    // The first type (Opamp) has no models: no name controls.
    EXPECT_TRUE(NameList(record).empty());
    EXPECT_FALSE(Visible(record, kModelNameField));
    EXPECT_FALSE(Visible(record, kModelNameList));
    EXPECT_FALSE(win::IsWindowEnabled(Control(record, kModelDeleteButton)));

    SelectModelType(record, kModelNpn);
    EXPECT_EQ(NameList(record), (std::vector<std::string>{"Q2N2222", "Q2N3904"}));
    EXPECT_TRUE(Visible(record, kModelNameField));
    EXPECT_EQ(TextOf(record, kModelNameField), "Q2N2222");
    EXPECT_EQ(TextOf(record, kModelMemoField), "general purpose");
    const int row = RowOf(record, "BF");
    ASSERT_GE(row, 0);
    EXPECT_EQ(TextOf(record, kModelParamLabelBase + row), "BF");
    EXPECT_EQ(TextOf(record, kModelParamFieldBase + row), "200");

    SelectModelInList(record, 1);
    EXPECT_EQ(TextOf(record, kModelNameField), "Q2N3904");
    EXPECT_EQ(TextOf(record, kModelParamFieldBase + RowOf(record, "BF")), "300");

    // Rows past the type's parameters stay hidden.
    SelectModelType(record, kModelDiode);
    const ModelEditorData* data = GetModelEditorData(record);
    ASSERT_NE(data, nullptr);
    const int count = FindModelTypeRow(kModelDiode)->libraryCount;
    EXPECT_LE(data->visibleRows, kModelParamRows);
    for (int r = 0; r < kModelParamRows; ++r) {
        const int index = data->scrollPos * data->columns + r;
        EXPECT_EQ(Visible(record, kModelParamFieldBase + r), r < data->visibleRows && index < count) << r;
    }
}

TEST_F(ModelWindow, ValuesAreCheckedStoredAndSavedForTheReader)
{
    WriteLibrary("parts.lbr", kTwoTransistorsAndADiode);
    WindowRecord* record = Open("parts.lbr");
    ASSERT_NE(record, nullptr);
    SelectModelType(record, kModelNpn);
    ModelLibraryEntry* q1 = CurrentModelEntry(record);
    ASSERT_NE(q1, nullptr);

    EXPECT_EQ(EnterValue(record, "BF", "150"), 0);
    EXPECT_FLOAT_EQ(ValueOf(*q1, kModelNpn, "BF"), 150.0f);
    EXPECT_EQ(record->modified, 1);

    // BF must be greater than zero: reported, the old value stays.
    win::ClearMessageBoxLog();
    EXPECT_NE(EnterValue(record, "BF", "0"), 0);
    EXPECT_TRUE(Shown(14071));
    EXPECT_FLOAT_EQ(ValueOf(*q1, kModelNpn, "BF"), 150.0f);
    EXPECT_EQ(TextOf(record, kModelParamFieldBase + RowOf(record, "BF")), "150");

    // "undefined" is no value of a parameter with a numeric default, and no number either.
    EXPECT_NE(EnterValue(record, "BF", "undefined"), 0);
    EXPECT_FALSE(IsParamNotGiven(ValueOf(*q1, kModelNpn, "BF")));
    EXPECT_FLOAT_EQ(ValueOf(*q1, kModelNpn, "BF"), 150.0f);
    // Text that is no number is not stored as 0.
    EXPECT_NE(EnterValue(record, "BF", "abc"), 0);
    EXPECT_FLOAT_EQ(ValueOf(*q1, kModelNpn, "BF"), 150.0f);
    // Engineering suffixes, and values beyond float range kept within it.
    EXPECT_EQ(EnterValue(record, "IS", "2.5f"), 0);
    EXPECT_FLOAT_EQ(ValueOf(*q1, kModelNpn, "IS"), 2.5e-15f);
    EXPECT_EQ(EnterValue(record, "VAF", "1e300"), 0);
    EXPECT_TRUE(std::isfinite(ValueOf(*q1, kModelNpn, "VAF")));

    // Name and memo: at most 23 and 41 characters; typing past the limit is refused.
    win::HWND name = Control(record, kModelNameField);
    win::SetFocus(name);
    win::SendMessage(name, win::EM_SETSEL, 0, -1);
    win::headless::TypeText("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    win::headless::RunUntilIdle();
    EXPECT_EQ(win::GetWindowText(name), "ABCDEFGHIJKLMNOPQRSTUVW");
    win::SetFocus(Control(record, kModelMemoField));
    win::headless::RunUntilIdle();
    EXPECT_EQ(q1->name, "ABCDEFGHIJKLMNOPQRSTUVW");
    EXPECT_EQ(NameList(record)[0], "ABCDEFGHIJKLMNOPQRSTUVW");
    win::SetWindowText(Control(record, kModelMemoField), std::string(60, 'm').c_str());
    StoreFocusedModelField(record);
    EXPECT_EQ(q1->memo.size(), kLibraryMemoMax);

    // A value typed and not yet left is saved too.
    const int row = RowOf(record, "BR");
    win::SetWindowText(Control(record, kModelParamFieldBase + row), "7");
    ASSERT_EQ(SaveDocumentWindow(record, GetRecordTitle(record), 0), 0);
    EXPECT_EQ(record->modified, 0);

    ModelLibrary readBack;
    ASSERT_EQ(LoadModelLibrary(readBack, PathOf("parts.lbr"), true), 0);
    const ModelLibraryEntry* saved = FindLibraryEntry(readBack, kModelNpn, "ABCDEFGHIJKLMNOPQRSTUVW");
    ASSERT_NE(saved, nullptr);
    EXPECT_FLOAT_EQ(ValueOf(*saved, kModelNpn, "BF"), 150.0f);
    EXPECT_FLOAT_EQ(ValueOf(*saved, kModelNpn, "BR"), 7.0f);
    EXPECT_FLOAT_EQ(ValueOf(*saved, kModelNpn, "IS"), 2.5e-15f);
    EXPECT_EQ(saved->memo, std::string(kLibraryMemoMax, 'm'));
    EXPECT_EQ(readBack.entries.count, 3);
    ReleaseModelLibrary(readBack);
}

TEST_F(ModelWindow, GoToFindsAParameterByItsBeginningAndScrollsItIntoView)
{
    WriteLibrary("parts.lbr", kTwoTransistorsAndADiode);
    WindowRecord* record = Open("parts.lbr");
    ASSERT_NE(record, nullptr);
    SelectModelType(record, kModelNpn);
    ASSERT_LT(FindModelParamIndex(kModelNpn, "VJ"), 0);
    const int vje = FindModelParamIndex(kModelNpn, "VJE");
    EXPECT_EQ(GoToModelParameter(record, "vj"), vje);
    const ModelEditorData* data = GetModelEditorData(record);
    const int id = win::GetDlgCtrlID(win::GetFocus());
    EXPECT_EQ(TextOf(record, kModelParamLabelBase + (id - kModelParamFieldBase)), "VJE");
    EXPECT_EQ(data->scrollPos * data->columns + (id - kModelParamFieldBase), vje);

    // The last parameter is reached by scrolling.
    const int last = FindModelTypeRow(kModelNpn)->libraryCount - 1;
    const std::string lastName = GetModelParamName(kModelNpn, last);
    EXPECT_EQ(GoToModelParameter(record, lastName), last);
    const int lastRow = win::GetDlgCtrlID(win::GetFocus()) - kModelParamFieldBase;
    EXPECT_EQ(TextOf(record, kModelParamLabelBase + lastRow), lastName);

    // No such parameter: a beep, nothing moves.
    win::HWND before = win::GetFocus();
    EXPECT_EQ(GoToModelParameter(record, "NOSUCH"), -1);
    EXPECT_EQ(win::GetFocus(), before);
}

TEST_F(ModelWindow, AddAndDeleteChangeTheListAndTheFile)
{
    WriteLibrary("parts.lbr", kTwoTransistorsAndADiode);
    WindowRecord* record = Open("parts.lbr");
    ASSERT_NE(record, nullptr);
    // A type without models gets one "New" model with the type's defaults.
    SelectModelType(record, kModelNjf);
    EXPECT_FALSE(Visible(record, kModelNameField));
    ModelLibraryEntry* added = AddModelEntry(record);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(NameList(record), std::vector<std::string>{"New"});
    EXPECT_TRUE(Visible(record, kModelNameField));
    EXPECT_FLOAT_EQ(ValueOf(*added, kModelNjf, "BETA"), FindModelParamDesc(kModelNjf, FindModelParamIndex(kModelNjf, "BETA"))->defaultValue);
    EXPECT_EQ(record->modified, 1);

    // Delete asks first; Cancel keeps the model.
    SelectModelType(record, kModelNpn);
    SelectModelInList(record, 1);
    win::PushMessageBoxAnswer(win::IDCANCEL);
    ModelEditorCommand(record, kModelDeleteButton);
    EXPECT_EQ(NameList(record).size(), 2u);
    win::PushMessageBoxAnswer(win::IDOK);
    ModelEditorCommand(record, kModelDeleteButton);
    EXPECT_EQ(NameList(record), std::vector<std::string>{"Q2N2222"});
    EXPECT_EQ(TextOf(record, kModelNameField), "Q2N2222");
    EXPECT_FLOAT_EQ(ValueOf(*CurrentModelEntry(record), kModelNpn, "BF"), 200.0f);
    // A value typed into the model being deleted does not land in the model shown next.
    AddModelEntry(record);
    SelectModelInList(record, 0);
    win::SetFocus(Control(record, kModelParamFieldBase + RowOf(record, "BF")));
    win::SetWindowText(win::GetFocus(), "55");
    DeleteCurrentModel(record);
    ASSERT_EQ(NameList(record), std::vector<std::string>{"New"});
    EXPECT_FLOAT_EQ(ValueOf(*CurrentModelEntry(record), kModelNpn, "BF"), 100.0f);
    ASSERT_EQ(SaveDocumentWindow(record, GetRecordTitle(record), 0), 0);

    ModelLibrary readBack;
    ASSERT_EQ(LoadModelLibrary(readBack, PathOf("parts.lbr"), true), 0);
    EXPECT_EQ(Names(readBack, kModelNpn), std::vector<std::string>{""});
    EXPECT_EQ(Names(readBack, kModelNjf), std::vector<std::string>{""});
    ReleaseModelLibrary(readBack);
}

TEST_F(ModelWindow, CopyWithinTheLibraryAlwaysMakesAUniqueNameWithin23Characters)
{
    const std::string longName = "ABCDEFGHIJKLMNOPQRSTUVW";  // 23 characters
    WriteLibrary("parts.lbr", {{"Q1", kModelNpn, "", {}}, {longName, kModelNpn, "", {{"BF", 42.0f}}}});
    WindowRecord* record = Open("parts.lbr");
    ASSERT_NE(record, nullptr);
    SelectModelType(record, kModelNpn);
    const std::string self = GetRecordTitle(record);
    ASSERT_EQ(CopyModelToLibrary(record, "Q1", self), 0);
    ASSERT_EQ(CopyModelToLibrary(record, "Q1", self), 0);
    EXPECT_EQ(Names(LibraryOf(record), kModelNpn), (std::vector<std::string>{"Q1", longName, "Q1_copy", "Q1_copy1"}));

    // A name as long as names may be: "_copy" does not fit, and every copy still differs.
    for (int i = 0; i < 12; ++i) ASSERT_EQ(CopyModelToLibrary(record, longName, self), 0);
    const std::vector<std::string> names = Names(LibraryOf(record), kModelNpn);
    ASSERT_EQ(names.size(), 16u);
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_LE(names[i].size(), kLibraryNameMax) << names[i];
        for (std::size_t j = i + 1; j < names.size(); ++j) EXPECT_FALSE(EqualsNoCase(names[i], names[j])) << names[i];
    }
    EXPECT_EQ(names[4], "ABCDEFGHIJKLMNOPQRSTUV1");
    EXPECT_EQ(names[15], "ABCDEFGHIJKLMNOPQRSTU12");
    EXPECT_FLOAT_EQ(ValueOf(*FindLibraryEntry(LibraryOf(record), kModelNpn, names[15]), kModelNpn, "BF"), 42.0f);
    // Pack keeps every copy.
    PackModelEditorLibrary(record);
    EXPECT_EQ(Names(LibraryOf(record), kModelNpn).size(), 16u);
    EXPECT_EQ(MakeUniqueModelName(LibraryOf(record), kModelNpn, "q1_COPY", false), "q1_COPY2");
}

TEST_F(ModelWindow, CopyToAnotherFileWritesItAndANameTakenThereGetsANumber)
{
    WriteLibrary("parts.lbr", kTwoTransistorsAndADiode);
    WriteLibrary("other.lbr", {{"Q2N2222", kModelNpn, "", {}}});
    WindowRecord* record = Open("parts.lbr");
    ASSERT_NE(record, nullptr);
    SelectModelType(record, kModelNpn);
    ASSERT_EQ(CopyModelToLibrary(record, "", PathOf("other.lbr")), 0);
    ModelLibrary other;
    ASSERT_EQ(LoadModelLibrary(other, PathOf("other.lbr"), true), 0);
    EXPECT_EQ(Names(other, kModelNpn), (std::vector<std::string>{"Q2N2222", "Q2N22221"}));
    EXPECT_FLOAT_EQ(ValueOf(*FindLibraryEntry(other, kModelNpn, "Q2N22221"), kModelNpn, "BF"), 200.0f);
    EXPECT_EQ(FindLibraryEntry(other, kModelNpn, "Q2N22221")->memo, "general purpose");
    ReleaseModelLibrary(other);
    EXPECT_EQ(record->modified, 0);  // the source did not change

    // A file that cannot be read gets nothing, and says why.
    win::ClearMessageBoxLog();
    EXPECT_NE(CopyModelToLibrary(record, "", PathOf("missing.lbr")), 0);
    EXPECT_FALSE(win::MessageBoxLog().empty());
    EXPECT_FALSE(std::filesystem::exists(dir_ / "missing.lbr"));

    // Through the dialog, into an open window of the target, which shows the copy.
    WindowRecord* target = Open("other.lbr");
    ASSERT_NE(target, nullptr);
    SelectModelType(target, kModelNpn);
    win::testing::InputScript script;
    script.Then([&] {
        win::SetDlgItemText(CurrentDialog(), 10, "Q2N3904");
        win::SetDlgItemText(CurrentDialog(), 205, PathOf("other.lbr").c_str());
    }).Then([] { win::SendMessage(CurrentDialog(), win::WM_COMMAND, win::IDOK, 0); });
    script.Install();
    ModelEditorCommand(record, kModelCopyButton);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(NameList(target), (std::vector<std::string>{"Q2N2222", "Q2N22221", "Q2N3904"}));
    EXPECT_EQ(target->modified, 1);
}

TEST_F(ModelWindow, PackDropsUnnamedAndRepeatedModelsAndSortsTheRest)
{
    WriteLibrary("parts.lbr", {{"Q10", kModelNpn, "", {}},
                               {"Q1", kModelNpn, "", {{"BF", 1.0f}}},
                               {"q1", kModelNpn, "", {{"BF", 2.0f}}},
                               {"", kModelNpn, "", {}},
                               {"Q2", kModelNpn, "", {}},
                               {"Q1", kModelPnp, "", {}}});
    WindowRecord* record = Open("parts.lbr");
    ASSERT_NE(record, nullptr);
    SelectModelType(record, kModelNpn);
    ModelEditorCommand(record, kModelPackButton);
    EXPECT_EQ(NameList(record), (std::vector<std::string>{"Q1", "Q2", "Q10"}));
    EXPECT_FLOAT_EQ(ValueOf(*FindLibraryEntry(LibraryOf(record), kModelNpn, "Q1"), kModelNpn, "BF"), 1.0f);
    EXPECT_EQ(Names(LibraryOf(record), kModelPnp), std::vector<std::string>{"Q1"});
    EXPECT_EQ(record->modified, 1);
}

TEST_F(ModelWindow, MergeAppendsAnotherFileAndAFailedMergeKeepsTheLibrary)
{
    WriteLibrary("parts.lbr", kTwoTransistorsAndADiode);
    WriteLibrary("more.lbr", {{"Q2N2907", kModelPnp, "", {}}, {"Q2N4401", kModelNpn, "", {}}});
    WindowRecord* record = Open("parts.lbr");
    ASSERT_NE(record, nullptr);
    SelectModelType(record, kModelNpn);
    // Through the button and its file question.
    win::ScriptFileDialogAnswer(PathOf("more.lbr"));
    ModelEditorCommand(record, kModelMergeButton);
    EXPECT_EQ(NameList(record), (std::vector<std::string>{"Q2N2222", "Q2N3904", "Q2N4401"}));
    EXPECT_EQ(LibraryOf(record).entries.count, 5);
    EXPECT_EQ(record->modified, 1);

    WriteFile("bad.lbr", LibraryHeader(3, 0));
    win::ClearMessageBoxLog();
    EXPECT_NE(MergeModelLibrary(record, PathOf("bad.lbr")), 0);
    EXPECT_TRUE(Shown(kMsgLibraryWrongVersion));
    EXPECT_EQ(LibraryOf(record).entries.count, 5);
    EXPECT_EQ(NameList(record).size(), 3u);
}

TEST_F(ModelWindow, FindMatchesWildcardsInTheTypeThenTheLibrary)
{
    WriteLibrary("parts.lbr", kTwoTransistorsAndADiode);
    WindowRecord* record = Open("parts.lbr");
    ASSERT_NE(record, nullptr);
    SelectModelType(record, kModelNpn);
    EXPECT_TRUE(FindModelName(record, "  q2n39* ", kSearchCurrentType));
    EXPECT_EQ(TextOf(record, kModelNameField), "Q2N3904");
    EXPECT_TRUE(FindModelName(record, "q2n????", kSearchCurrentType));
    EXPECT_EQ(TextOf(record, kModelNameField), "Q2N2222");
    // The diode is not of the current type ...
    win::ClearMessageBoxLog();
    EXPECT_FALSE(FindModelName(record, "D1N*", kSearchCurrentType));
    EXPECT_TRUE(Shown(15049));
    // ... but is in the library: its type is selected with it.
    EXPECT_TRUE(FindModelName(record, "d1n*", kSearchCurrentLibrary));
    EXPECT_EQ(GetModelEditorData(record)->type, kModelDiode);
    EXPECT_EQ(TextOf(record, kModelNameField), "D1N4148");

    // Through the frame's Find command and its dialog, which remembers its choices.
    win::testing::InputScript script;
    script.Then([] {
        win::SetDlgItemText(CurrentDialog(), 10, "Q2N3*");
        win::CheckRadioButton(CurrentDialog(), kSearchCurrentType, kSearchDisk, kSearchCurrentLibrary);
    }).Then([] { win::SendMessage(CurrentDialog(), win::WM_COMMAND, win::IDOK, 0); });
    script.Install();
    FindModelNameCommand(record);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(GetModelEditorData(record)->type, kModelNpn);
    EXPECT_EQ(TextOf(record, kModelNameField), "Q2N3904");
}

TEST_F(ModelWindow, SearchDiskOpensTheLibraryThatHoldsTheModel)
{
    WriteLibrary("parts.lbr", kTwoTransistorsAndADiode);
    WriteLibrary("zener.lbr", {{"D1", kModelDiode, "", {}}, {"BZX55C5V1", kModelDiode, "zener", {}}});
    WindowRecord* record = Open("parts.lbr");
    ASSERT_NE(record, nullptr);
    // Whole names, ignoring case; first the open window itself.
    EXPECT_TRUE(FindModelName(record, "q2n3904", kSearchDisk));
    EXPECT_EQ(TextOf(record, kModelNameField), "Q2N3904");
    EXPECT_TRUE(FindModelName(record, "bzx55c5v1", kSearchDisk));
    WindowRecord* opened = FindRecordByTitle(PathOf("zener.lbr"));
    ASSERT_NE(opened, nullptr);
    ASSERT_NE(opened, record);
    EXPECT_EQ(GetModelEditorData(opened)->type, kModelDiode);
    EXPECT_EQ(TextOf(opened, kModelNameField), "BZX55C5V1");
    win::ClearMessageBoxLog();
    EXPECT_FALSE(FindModelName(record, "BZX*", kSearchDisk));
    EXPECT_TRUE(Shown(15049));
}

TEST_F(ModelWindow, AnOlderFileIsConvertedAndLeftForTheUserToSave)
{
    std::vector<float> npn(40, 0.0f);
    npn[0] = 123.0f;  // BF
    WriteFile("old.lbr", LibraryHeader(4, 1) + LibraryRecord4("QOLD", 2, "pnp part", npn));
    const std::string before = ReadBytes("old.lbr");
    WindowRecord* record = Open("old.lbr");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->modified, 1);
    EXPECT_EQ(ReadBytes("old.lbr"), before);
    SelectModelType(record, kModelPnp);
    EXPECT_EQ(NameList(record), std::vector<std::string>{"QOLD"});
    ASSERT_EQ(SaveDocumentWindow(record, GetRecordTitle(record), 0), 0);
    EXPECT_TRUE(IsBinaryModelLibrary(PathOf("old.lbr")));
    EXPECT_EQ(ReadBytes("old.lbr").substr(0, 2), std::string("\x05\x00", 2));
}

TEST_F(ModelWindow, AFileThatIsNoLibraryOpensNoWindow)
{
    WriteFile("bad.lbr", LibraryHeader(3, 0));
    EXPECT_EQ(Open("bad.lbr"), nullptr);
    EXPECT_TRUE(Shown(kMsgLibraryWrongVersion));
    EXPECT_TRUE(Libraries().windows.empty());
}

TEST_F(ModelWindow, TheOpenLibraryTranslatesToText)
{
    WriteLibrary("parts.lbr", kTwoTransistorsAndADiode);
    WindowRecord* record = Open("parts.lbr");
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(TranslateLibraryToText(record, PathOf("parts.lib")), 0);
    const std::string text = ReadText("parts.lib");
    EXPECT_NE(text.find("*** general purpose\n.MODEL Q2N2222 NPN"), std::string::npos) << text;
    EXPECT_NE(text.find(".MODEL D1N4148 D"), std::string::npos) << text;
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

TEST_F(ModelLibraryWindowTest, UpDownAndPageKeysWalkTheValueFieldsAndScrollThePanel)
{
    WriteLibrary("parts.lbr", {{"Q1", kModelNpn, "", {}}});
    WindowRecord* record = Open("parts.lbr");
    ASSERT_NE(record, nullptr);
    win::MoveWindow(record->window, 0, 0, 560, 260, 1);
    SelectModelType(record, kModelNpn);
    const ModelEditorData* data = GetModelEditorData(record);
    ASSERT_LT(data->visibleRows, FindModelTypeRow(kModelNpn)->libraryCount);
    const auto focusedIndex = [&] {
        return data->scrollPos * data->columns + win::GetDlgCtrlID(win::GetFocus()) - kModelParamFieldBase;
    };
    ASSERT_EQ(GoToModelParameter(record, "IS"), 0);
    win::SendMessage(win::GetFocus(), win::WM_KEYDOWN, win::VK_DOWN, 0);
    EXPECT_EQ(focusedIndex(), data->columns);
    // A typed value is stored on the way.
    win::SetWindowText(win::GetFocus(), "9");
    const int typedAt = focusedIndex();
    for (int i = 0; i < 20; ++i) win::SendMessage(win::GetFocus(), win::WM_KEYDOWN, win::VK_NEXT, 0);
    EXPECT_EQ(focusedIndex(), FindModelTypeRow(kModelNpn)->libraryCount - 1);
    EXPECT_GT(data->scrollPos, 0);
    EXPECT_FLOAT_EQ(CurrentModelEntry(record)->params[static_cast<std::size_t>(typedAt)], 9.0f);
    for (int i = 0; i < 20; ++i) win::SendMessage(win::GetFocus(), win::WM_KEYDOWN, win::VK_PRIOR, 0);
    EXPECT_EQ(data->scrollPos, 0);
    EXPECT_LT(focusedIndex(), data->columns);
}

TEST_F(ModelLibraryWindowTest, ClosingAChangedLibraryAsksAndSavesIt)
{
    WriteLibrary("parts.lbr", {{"Q1", kModelNpn, "", {}}});
    WindowRecord* record = Open("parts.lbr");
    ASSERT_NE(record, nullptr);
    SelectModelType(record, kModelNpn);
    win::HWND window = record->window;
    // Typed and not yet left, then the window is closed.
    const int row = RowOf(record, "BF");
    win::SetWindowText(Control(record, kModelParamFieldBase + row), "77");
    win::PushMessageBoxAnswer(win::IDCANCEL);
    win::SendMessage(window, win::WM_CLOSE, 0, 0);
    ASSERT_TRUE(win::IsWindow(window));
    win::PushMessageBoxAnswer(win::IDYES);
    win::SendMessage(window, win::WM_CLOSE, 0, 0);
    EXPECT_FALSE(win::IsWindow(window));
    EXPECT_TRUE(Libraries().windows.empty());
    ModelLibrary readBack;
    ASSERT_EQ(LoadModelLibrary(readBack, PathOf("parts.lbr"), true), 0);
    EXPECT_FLOAT_EQ(ValueOf(*FindLibraryEntry(readBack, kModelNpn, "Q1"), kModelNpn, "BF"), 77.0f);
    ReleaseModelLibrary(readBack);
}

TEST_F(ModelLibraryWindowTest, RevertReadsTheFileAgainIntoTheSameWindow)
{
    WriteLibrary("parts.lbr", {{"Q1", kModelNpn, "", {}}});
    WindowRecord* record = Open("parts.lbr");
    ASSERT_NE(record, nullptr);
    SelectModelType(record, kModelNpn);
    AddModelEntry(record);
    ASSERT_EQ(NameList(record).size(), 2u);
    win::PushMessageBoxAnswer(win::IDYES);
    RevertToSaved(record);
    ASSERT_EQ(ModelLibraryOf(record), &LibraryOf(record));
    EXPECT_EQ(LibraryOf(record).entries.count, 1);
    EXPECT_EQ(NameList(record), std::vector<std::string>{"Q1"});
    EXPECT_EQ(record->modified, 0);
}

// Revert to a file damaged since it was saved: the library says what is wrong with the file and
// the window keeps the library it shows, changes and all. It used to close the window.
TEST_F(ModelLibraryWindowTest, RevertToADamagedFileKeepsTheWindowAndItsLibrary)
{
    WriteLibrary("parts.lbr", {{"Q1", kModelNpn, "", {}}, {"Q2", kModelNpn, "", {}}});
    const std::string path = PathOf("parts.lbr");
    std::string whole;
    {
        std::ifstream in(path, std::ios::binary);
        whole.assign(std::istreambuf_iterator<char>(in), {});
    }
    WindowRecord* record = Open("parts.lbr");
    ASSERT_NE(record, nullptr);
    SelectModelType(record, kModelNpn);
    AddModelEntry(record);
    ASSERT_EQ(NameList(record).size(), 3u);
    const win::HWND window = record->window;
    for (const std::string& damage : {whole.substr(0, whole.size() - 7), std::string("\x09\x00\x01\x00", 4)}) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << damage;
        win::ClearMessageBoxLog();
        win::PushMessageBoxAnswer(win::IDYES);
        RevertToSaved(record);
        ASSERT_EQ(win::MessageBoxLog().size(), 2u) << "the question and one error";
        EXPECT_EQ(win::MessageBoxLog()[1].caption.rfind("Error", 0), 0u) << win::MessageBoxLog()[1].caption;
        ASSERT_TRUE(win::IsWindow(window));
        ASSERT_EQ(ModelLibraryOf(record), &LibraryOf(record));
        EXPECT_EQ(NameList(record).size(), 3u);
        EXPECT_NE(record->modified, 0);
    }
}

}  // namespace
}  // namespace kq5::testing
