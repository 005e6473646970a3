#pragma once
// The printer set-up kept for the run and the print job: one job at a time, its "Printing" dialog
// with Cancel, its pages, and the PDF file it writes (the platform's printer).
#include <functional>
#include <string>

#include "platform/common_dialogs_print.h"
#include "platform/print.h"
#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

constexpr int kMsgUnableToPrint = 14092;
constexpr int kMsgNoPrinter = 14093;
constexpr int kPrintingDialog = 209;
constexpr int kPrintingTitleItem = 200;

// The set-up dialog: 1 when confirmed (the cached page size is dropped and the document windows
// redraw their page borders), 0 when cancelled (nothing changes).
int RunPrintSetup(win::HWND owner);
// Fetches the default printer once and writes the saved orientation into its settings.
void ApplyPrinterDefaults();
// The printer's settings as the next job uses them (paper, the saved orientation).
win::DEVMODE PrinterDevMode();
// A DC of the stored printer, or null.
win::HDC CreatePrinterDC();
// Frees the stored set-up (at shutdown and in tests).
void PrintFreeSetup();
// The print dialog's settings kept for the run, and the orientation chosen in it taken into the
// title block (after a confirmed printer dialog).
win::PRINTDLG& PrinterDialogSettings();
void ReadBackOrientation();
// Every window of a document redrawn (its page borders follow the printer).
void InvalidateDocumentWindows();

// Starts a job for the window: the printer DC of a started document, or null. The PDF is proposed
// next to the window's file under its name (or namedAfter's, when given); a cancelled file
// question ends the job silently.
win::HDC StartPrintJob(WindowRecord* record, WindowRecord* namedAfter = nullptr);
void EndPrintJob();
// True while the job runs and has not been cancelled.
bool PrintJobRunning();
// The "Printing" dialog of the running job (null when none) and the title it shows.
win::HWND PrintingDialog();
void ShowPrintingTitle(const std::string& title);
// One page of the job: the drawing between its start and end; a page the printer refuses ends
// the job. False then.
bool PrintJobPage(win::HDC dc, const std::function<void()>& draw);
// The printable area of the DC, in its device units.
win::RECT PrintableRect(win::HDC dc);

// The frame of a printed window: background (colour devices) and a black outline when asked.
void DrawPrintFrame(win::HDC dc, WindowRecord* record, const win::RECT& area, bool border);
bool IsTwoColorDC(win::HDC dc);

}  // namespace kq5
