// The printer's set-up blocks (DEVMODE, DEVNAMES), paper sizes, and the question for the
// output file.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/common_dialogs_file.h"
#include "platform/common_dialogs_print.h"
#include "platform/global_memory.h"
#include "platform/module_state.h"
#include "platform/print.h"

namespace win {

namespace {

struct Paper {
    SHORT id;
    int width;   // 0.1 mm
    int height;
};

constexpr Paper kPapers[] = {
    {DMPAPER_LETTER, 2159, 2794}, {DMPAPER_TABLOID, 2794, 4318}, {DMPAPER_LEGAL, 2159, 3556},
    {DMPAPER_EXECUTIVE, 1842, 2667}, {DMPAPER_A3, 2970, 4200}, {DMPAPER_A4, 2100, 2970},
    {DMPAPER_A5, 1480, 2100}, {DMPAPER_B5, 1820, 2570},
};

int TenthsMmToPixels(int tenths) { return static_cast<int>(std::lround(tenths * kPrinterDpi / 254.0)); }

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The system's paper: $PAPERSIZE, else the first word of /etc/papersize.
SHORT SystemPaper() {
    std::string name;
    if (const char* env = std::getenv("PAPERSIZE"); env != nullptr) name = env;
    if (name.empty()) {
        std::ifstream in("/etc/papersize");
        std::string line;
        while (name.empty() && std::getline(in, line)) {
            if (!line.empty() && line[0] != '#') name = line.substr(0, line.find_first_of(" \t\r"));
        }
    }
    name = Lower(name);
    if (name == "letter") return DMPAPER_LETTER;
    if (name == "legal") return DMPAPER_LEGAL;
    if (name == "a3") return DMPAPER_A3;
    if (name == "a5") return DMPAPER_A5;
    return DMPAPER_A4;
}

// A file name made from a document name: its last path part without extension, with ".pdf".
std::string DefaultOutputName(const std::string& documentName) {
    std::string base = documentName.substr(documentName.find_last_of("/\\:") + 1);
    if (auto dot = base.rfind('.'); dot != std::string::npos && dot > 0) base.resize(dot);
    for (char& c : base) {
        if (std::strchr("*?\"<>|", c) != nullptr || static_cast<unsigned char>(c) < 32) c = '_';
    }
    if (base.empty()) base = "print";
    return base + ".pdf";
}

}  // namespace

PrintState& Printing() { return ModuleState<PrintState>(); }

void ResetPrintStateForTests() { ResetModuleState<PrintState>(); }

HGLOBAL CreateDevNames(std::string_view driver, std::string_view device, std::string_view output, WORD flags) {
    const std::size_t header = sizeof(DEVNAMES);
    const std::size_t total = header + driver.size() + device.size() + output.size() + 3;
    if (total > 0xFFFF) return nullptr;
    HGLOBAL mem = GlobalAlloc(GHND, total);
    if (mem == nullptr) return nullptr;
    auto* bytes = reinterpret_cast<char*>(GlobalBytes(mem).data());
    DEVNAMES dn;
    dn.wDriverOffset = static_cast<WORD>(header);
    dn.wDeviceOffset = static_cast<WORD>(dn.wDriverOffset + driver.size() + 1);
    dn.wOutputOffset = static_cast<WORD>(dn.wDeviceOffset + device.size() + 1);
    dn.wDefault = flags;
    std::memcpy(bytes, &dn, header);
    std::memcpy(bytes + dn.wDriverOffset, driver.data(), driver.size());
    std::memcpy(bytes + dn.wDeviceOffset, device.data(), device.size());
    std::memcpy(bytes + dn.wOutputOffset, output.data(), output.size());
    return mem;
}

std::optional<DevNamesText> ReadDevNames(HGLOBAL devNames) {
    std::span<std::byte> b = GlobalBytes(devNames);
    if (b.size() < sizeof(DEVNAMES)) return std::nullopt;
    DEVNAMES dn;
    std::memcpy(&dn, b.data(), sizeof dn);
    const char* base = reinterpret_cast<const char*>(b.data());
    auto text = [&](WORD offset, std::string& out) {
        if (offset < sizeof(DEVNAMES) || offset >= b.size()) return false;
        std::size_t n = strnlen(base + offset, b.size() - offset);
        if (offset + n >= b.size()) return false;  // no terminating zero inside the block
        out.assign(base + offset, n);
        return true;
    };
    DevNamesText t;
    t.flags = dn.wDefault;
    if (!text(dn.wDriverOffset, t.driver) || !text(dn.wDeviceOffset, t.device) || !text(dn.wOutputOffset, t.output)) {
        return std::nullopt;
    }
    return t;
}

DEVMODE DefaultDevMode() {
    DEVMODE dm;
    dm.dmPaperSize = SystemPaper();
    return dm;
}

HGLOBAL CreateDefaultDevMode() {
    DEVMODE dm = DefaultDevMode();
    return GlobalAllocCopy(std::as_bytes(std::span<const DEVMODE>(&dm, 1)));
}

HGLOBAL CreateDefaultDevNames() { return CreateDevNames(kPrinterDriver, kPrinterDevice, kPrinterPort, DN_DEFAULTPRN); }

PrinterPage PrinterPageFor(const DEVMODE& dm) {
    int width = 0, height = 0;
    const bool custom = (dm.dmFields & (DM_PAPERWIDTH | DM_PAPERLENGTH)) == (DM_PAPERWIDTH | DM_PAPERLENGTH) &&
                        dm.dmPaperWidth > 0 && dm.dmPaperLength > 0;
    if (custom) {
        width = dm.dmPaperWidth;
        height = dm.dmPaperLength;
    } else {
        auto it = std::find_if(std::begin(kPapers), std::end(kPapers), [&](const Paper& p) { return p.id == dm.dmPaperSize; });
        const Paper& paper = it != std::end(kPapers) ? *it : kPapers[5];
        width = paper.width;
        height = paper.height;
    }
    // A paper too small for the margins is taken as one inch square at least.
    PrinterPage page;
    page.paperWidth = std::max(TenthsMmToPixels(width), kPrinterDpi);
    page.paperHeight = std::max(TenthsMmToPixels(height), kPrinterDpi);
    if (dm.dmOrientation == DMORIENT_LANDSCAPE) std::swap(page.paperWidth, page.paperHeight);
    page.offsetX = kPrinterMarginPx;
    page.offsetY = kPrinterMarginPx;
    page.printableWidth = page.paperWidth - 2 * kPrinterMarginPx;
    page.printableHeight = page.paperHeight - 2 * kPrinterMarginPx;
    return page;
}

void SetPrintFileAsker(PrintFileAsker asker) { Printing().asker = std::move(asker); }

void ScriptPrintOutputFile(std::optional<std::string> answer) { Printing().scripted.push_back(std::move(answer)); }

std::optional<std::string> AskForPrintFile(HWND owner, const std::string& documentName) {
    PrintState& s = Printing();
    std::optional<std::string> answer;
    if (!s.scripted.empty()) {
        answer = std::move(s.scripted.front());
        s.scripted.pop_front();
    } else if (s.asker) {
        answer = s.asker(owner, DefaultOutputName(documentName));
    } else if (FileDialogWouldAsk()) {
        answer = AskPdfFileName(owner, DefaultOutputName(documentName));
    } else {
        answer = DefaultOutputName(documentName);
    }
    if (answer && answer->empty()) answer.reset();
    return answer;
}

std::optional<std::string> AskPrintOutputFile(HWND owner, const std::string& documentName) {
    std::optional<std::string> answer = AskForPrintFile(owner, documentName);
    Printing().pendingOutput = answer;
    return answer;
}

}  // namespace win
