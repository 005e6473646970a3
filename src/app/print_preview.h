#pragma once
// Print preview: a miniature of what Print would put on paper, with the schematic print scale
// (schematic preview), and the font, header and footer of text printouts (text preview).
#include <string>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

constexpr int kSchematicPreviewTemplate = 12511;
constexpr int kTextPreviewTemplate = 12514;
constexpr int kHeaderFooterTemplate = 158;
constexpr int kPreviewPageControl = 12328;
constexpr int kPreviewPageLabel = 100;
constexpr int kPreviewScaleField = 10;
constexpr int kPreviewAuto = 150;
constexpr int kPreviewUser = 151;
constexpr int kPreviewNextPage = 152;
constexpr int kPreviewPriorPage = 153;
constexpr int kPreviewPageField = 155;
constexpr int kPreviewApply = 26;
constexpr int kPreviewFont = 22;
constexpr int kPreviewHeader = 158;
constexpr int kPreviewClose = 23;
constexpr int kGraphicsPreviewTemplate = 12513;
constexpr int kPreviewTile = 17303;
constexpr int kPreviewAll = 157;
constexpr int kPreviewAutoTile = 150;
constexpr int kPreviewBackground = 19709;
constexpr int kPreviewBlackBorder = 156;
constexpr int kPreviewWindowList = 154;
constexpr int kHeaderField = 10;
constexpr int kFooterField = 205;

// The Preview command: 0 when a preview was shown, 1 when the window's kind has none here.
int RunPrintPreview(WindowRecord* record);

// The scale field as a print scale (100 / value, negative with "Auto"): 0, or 15055 after warning
// that the value is outside 1 to 600 (the scale is then left as it was).
int ReadPreviewScale(win::HWND dialog, double& scale);
void ShowPreviewPageNumber(win::HWND dialog, int page, int pageCount);

// The Header/Footer dialog: 1 when confirmed. The texts' "\n" pairs are shown as line breaks.
int RunHeaderFooterDialog(win::HWND owner);
std::string HeaderTextToEdit(const std::string& stored);
std::string HeaderTextFromEdit(const std::string& edited);

}  // namespace kq5
