// The schematic and text previews and the Header/Footer dialog, driven headless.
#include <string>

#include "../app/settings_dialog_test_support.h"
#include "app/print_preview.h"
#include "app/printing.h"
#include "document/circuit_document.h"
#include "document/document_windows.h"
#include "document/schematic_item.h"
#include "platform/print.h"
#include "document/page_array.h"

namespace kq5::testing {
namespace {

using win::testing::InputScript;

void AddWire(WindowRecord* record, int x1, int y1, int x2, int y2)
{
    SchematicItem* wire = NewSchematicItem(record);
    wire->itemKind = kItemWire;
    wire->x1 = x1;
    wire->y1 = y1;
    wire->x2 = x2;
    wire->y2 = y2;
}

class PrintPreview : public SettingsDialogTest {
protected:
    void SetUp() override
    {
        SettingsDialogTest::SetUp();
        win::ResetPrintStateForTests();
        PrintFreeSetup();
        SetTitleBlockDefaults();
    }
    void TearDown() override
    {
        PrintFreeSetup();
        win::ResetPrintStateForTests();
        SettingsDialogTest::TearDown();
    }
    WindowRecord* Schematic()
    {
        WindowRecord* record = NewWindowRecord(frame_, kWindowSchematic, true);
        CircuitDocument& document = *record->document;
        document.backgroundColor = 15;
        document.wireFont.color = 2;
        document.viewOptions |= kViewBorder | kViewTitle;
        EXPECT_EQ(ResizePageArray(record, 2), 0);
        AddWire(record, 2, 2, 120, 2);
        AddWire(record, 120, 2, 120, 60);
        return record;
    }
    static std::string Label() { return win::GetDlgItemText(Dialog(), kPreviewPageLabel); }
};

TEST_F(PrintPreview, TheSchematicPreviewSetsTheScaleAndPages)
{
    WindowRecord* record = Schematic();
    record->document->printerScale = 1.0;
    std::string first, second;
    bool userChecked = false;
    double typed = 0.0, afterBadValue = 0.0, automatic = 0.0;
    std::size_t warnings = 0;
    InputScript script;
    script.Then([&] {
              first = Label();
              userChecked = win::IsDlgButtonChecked(Dialog(), kPreviewUser) == win::BST_CHECKED;
              SaveScreen("print_preview_schematic");
              Type(kPreviewScaleField, "50");
          })
        .Then([&] { Click(kPreviewApply); })
        .Then([&] {
            typed = record->document->printerScale;
            Type(kPreviewScaleField, "601");
        })
        .Then([&] { Click(kPreviewApply); })
        .Then([&] {
            afterBadValue = record->document->printerScale;
            warnings = win::MessageBoxLog().size();
            Type(kPreviewScaleField, "50");
        })
        .Then([&] { Click(kPreviewAuto); })
        .Then([&] {
            automatic = record->document->printerScale;
            Click(kPreviewNextPage);
        })
        .Then([&] {
            second = Label();
            SaveScreen("print_preview_schematic_auto");
            Click(win::IDOK);
        });
    script.Install();
    EXPECT_EQ(RunPrintPreview(record), 0);
    EXPECT_EQ(first, "Page 1 of 2");
    EXPECT_TRUE(userChecked);
    EXPECT_DOUBLE_EQ(typed, 2.0);
    EXPECT_DOUBLE_EQ(afterBadValue, 2.0);
    ASSERT_GE(warnings, 1u);
    EXPECT_NE(win::MessageBoxLog().back().text.find("Scale Range Must be in the range of 1 to 600."), std::string::npos);
    EXPECT_LT(automatic, 0.0);
    EXPECT_EQ(second, "Page 2 of 2");
    // OK keeps the new scale and marks the document changed.
    EXPECT_LT(record->document->printerScale, 0.0);
    EXPECT_EQ(record->modified, 1);
}

TEST_F(PrintPreview, CancelPutsTheOpeningScaleBack)
{
    WindowRecord* record = Schematic();
    record->document->printerScale = 1.0;
    InputScript script;
    double applied = 0.0;
    script.Then([&] { Type(kPreviewScaleField, "25"); })
        .Then([&] { Click(kPreviewApply); })
        .Then([&] {
            applied = record->document->printerScale;
            Click(win::IDCANCEL);
        });
    script.Install();
    RunPrintPreview(record);
    EXPECT_DOUBLE_EQ(applied, 4.0);
    EXPECT_DOUBLE_EQ(record->document->printerScale, 1.0);
    EXPECT_EQ(record->modified, 0);
}

TEST_F(PrintPreview, TheTextPreviewPagesThroughAndEditsTheHeader)
{
    WindowRecord* record = NewWindowRecord(frame_, kWindowTextCircuit, true);
    record->document->textBackgroundColor = 15;
    record->document->textCommentColor = 12;
    for (int i = 1; i <= 150; ++i) record->textArea += "R" + std::to_string(i) + " 1 0 1K ; load\r\n";
    std::string first, last, headerShown;
    bool nextAtLast = true, priorAtFirst = true;
    InputScript script;
    script.Then([&] {
              first = Label();
              priorAtFirst = win::IsWindowEnabled(Item(kPreviewPriorPage)) != 0;
              SaveScreen("print_preview_text");
              Click(kPreviewNextPage);
          })
        .Then([&] { Click(kPreviewNextPage); })
        .Then([&] {
            last = Label();
            nextAtLast = win::IsWindowEnabled(Item(kPreviewNextPage)) != 0;
            Click(kPreviewHeader);
        })
        .Then([&] {
            headerShown = win::GetDlgItemText(Dialog(), kHeaderField);
            win::SetDlgItemText(Dialog(), kHeaderField, "$<Left\r\n$>Right $page");
            SaveScreen("print_header_footer");
            Click(win::IDOK);
        })
        .Then([&] { Click(kPreviewClose); });
    script.Install();
    EXPECT_EQ(RunPrintPreview(record), 0);
    EXPECT_EQ(first, "Page 1 of 3");
    EXPECT_FALSE(priorAtFirst);
    EXPECT_EQ(last, "Page 3 of 3");
    EXPECT_FALSE(nextAtLast);
    EXPECT_EQ(headerShown, "$|Page $Page");
    EXPECT_EQ(TitleBlockFields().printHeader, "$<Left\\n$>Right $page");
}

TEST_F(PrintPreview, HeaderLineBreaksRoundTrip)
{
    EXPECT_EQ(HeaderTextToEdit("$<$user\\n$company"), "$<$user\r\n$company");
    EXPECT_EQ(HeaderTextFromEdit("$<$user\r\n$company"), "$<$user\\n$company");
    EXPECT_EQ(HeaderTextFromEdit("a\nb\r\n"), "a\\nb\\n");
    EXPECT_EQ(HeaderTextToEdit(HeaderTextFromEdit("one\r\ntwo")), "one\r\ntwo");
}

}  // namespace
}  // namespace kq5::testing
