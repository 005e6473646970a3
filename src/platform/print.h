#pragma once
// Printing. The one printer is a PDF writer: a printer DC draws each page at a fixed 300 dots
// per inch into a page image (the printable area inside a quarter-inch margin), and EndPage puts
// the page into a PDF file made with Cairo. Paper and orientation come from the DEVMODE of the
// print set-up. The file name is asked for by AskPrintOutputFile or, when nothing asked before,
// by StartDoc; headless runs answer from a script.
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace win {

// DEVMODE fields.
constexpr DWORD DM_ORIENTATION = 0x00000001;
constexpr DWORD DM_PAPERSIZE = 0x00000002;
constexpr DWORD DM_PAPERLENGTH = 0x00000004;
constexpr DWORD DM_PAPERWIDTH = 0x00000008;
constexpr DWORD DM_COPIES = 0x00000100;
constexpr SHORT DMORIENT_PORTRAIT = 1;
constexpr SHORT DMORIENT_LANDSCAPE = 2;
constexpr SHORT DMPAPER_LETTER = 1;
constexpr SHORT DMPAPER_TABLOID = 3;
constexpr SHORT DMPAPER_LEGAL = 5;
constexpr SHORT DMPAPER_EXECUTIVE = 7;
constexpr SHORT DMPAPER_A3 = 8;
constexpr SHORT DMPAPER_A4 = 9;
constexpr SHORT DMPAPER_A5 = 11;
constexpr SHORT DMPAPER_B5 = 13;

// The printer's settings, as kept in a global block by the print set-up.
struct DEVMODE {
    WORD dmSize = sizeof(DEVMODE);
    DWORD dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES;
    SHORT dmOrientation = DMORIENT_PORTRAIT;
    SHORT dmPaperSize = DMPAPER_A4;
    SHORT dmPaperLength = 0;  // 0.1 mm, with DM_PAPERLENGTH, for a paper size of 0
    SHORT dmPaperWidth = 0;
    SHORT dmCopies = 1;
};

// The printer's names: the block holds this header and then the three zero-terminated names at
// the byte offsets it gives.
struct DEVNAMES {
    WORD wDriverOffset = 0;
    WORD wDeviceOffset = 0;
    WORD wOutputOffset = 0;
    WORD wDefault = 0;
};
constexpr WORD DN_DEFAULTPRN = 0x0001;

struct DevNamesText {
    std::string driver;
    std::string device;
    std::string output;
    WORD flags = 0;
};

// The printer this layer has.
constexpr const char* kPrinterDriver = "pdf";
constexpr const char* kPrinterDevice = "Print to PDF";
constexpr const char* kPrinterPort = "FILE:";
constexpr int kPrinterDpi = 300;
constexpr int kPrinterMarginPx = 75;  // a quarter inch on every side

HGLOBAL CreateDevNames(std::string_view driver, std::string_view device, std::string_view output, WORD flags);
// Null when the handle is not a well-formed DEVNAMES block.
std::optional<DevNamesText> ReadDevNames(HGLOBAL devNames);
// The default printer's set-up, each in a new global block: A4 portrait (Letter where
// /etc/papersize or $PAPERSIZE says so), one copy.
HGLOBAL CreateDefaultDevMode();
HGLOBAL CreateDefaultDevNames();
DEVMODE DefaultDevMode();

// Page geometry in printer pixels for a set-up.
struct PrinterPage {
    int paperWidth = 0;
    int paperHeight = 0;
    int printableWidth = 0;
    int printableHeight = 0;
    int offsetX = 0;
    int offsetY = 0;
};
PrinterPage PrinterPageFor(const DEVMODE& dm);

struct DOCINFO {
    int cbSize = sizeof(DOCINFO);
    std::string lpszDocName;
    std::string lpszOutput;  // a file name, or empty
    std::string lpszDatatype;
    DWORD fwType = 0;
};

using ABORTPROC = BOOL (*)(HDC, int);

constexpr int SP_ERROR = -1;
constexpr int SP_APPABORT = -2;
constexpr int SP_USERABORT = -3;
constexpr int SP_OUTOFDISK = -4;
constexpr int SP_OUTOFMEMORY = -5;

// Escapes.
constexpr int NEXTBAND = 3;
constexpr int QUERYESCSUPPORT = 8;

// A printer DC for our printer (device name compared case-blind; the driver is not looked at).
// output may name the PDF file; a port name such as "FILE:" leaves it to be asked. devMode may
// be null for the default set-up.
HDC CreateDC(const char* driver, const char* device, const char* output, const DEVMODE* devMode);
// The PDF file is created (beside its final name until EndDoc) with the document name as title.
// Returns a job number above 0, or SP_ERROR (also when the file name question is cancelled).
int StartDoc(HDC dc, const DOCINFO* info);
int StartPage(HDC dc);
// Puts the page into the PDF (as many times as the set-up's copies), then calls the abort
// procedure; when that returns FALSE the job is dropped and SP_APPABORT returned.
int EndPage(HDC dc);
// Finishes the PDF and gives it its name; SP_ERROR when the job failed or was dropped.
int EndDoc(HDC dc);
// Drops the job: no file is left behind.
int AbortDoc(HDC dc);
int SetAbortProc(HDC dc, ABORTPROC proc);
// NEXTBAND gives the whole printable area (out: RECT) for the first band of a page and an empty
// rectangle after it; QUERYESCSUPPORT (in: int) answers for the escapes here. Others give 0.
int Escape(HDC dc, int escape, int inCount, const void* in, void* out);

// The question for the PDF file name, for a program that asks in its own way. Without one the
// save dialog asks ("Print to File", starting from the document's name with ".pdf") when it
// would get an answer (scripted or shown); else the name is the document's name with ".pdf" in
// the current directory.
using PrintFileAsker = std::function<std::optional<std::string>(HWND owner, const std::string& suggested)>;
void SetPrintFileAsker(PrintFileAsker asker);
// What the print dialog calls when the user prints: asks for the file name (a scripted answer
// first, when one is queued), keeps it for the next StartDoc and returns it; nothing when
// cancelled.
std::optional<std::string> AskPrintOutputFile(HWND owner, const std::string& documentName);
// The question alone, for a job started without the dialog.
std::optional<std::string> AskForPrintFile(HWND owner, const std::string& documentName);
// Headless: queues the answer of the next question (nothing = cancel).
void ScriptPrintOutputFile(std::optional<std::string> answer);

struct PrintState {
    std::deque<std::optional<std::string>> scripted;
    PrintFileAsker asker;
    std::optional<std::string> pendingOutput;  // chosen in the print dialog, for the next job
    int nextJob = 1;
};
PrintState& Printing();
void ResetPrintStateForTests();

}  // namespace win
