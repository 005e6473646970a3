// System queries: module path, clock, version and keyboard answers, memory, metrics, colours.
#include "platform/system.h"

#include <sys/sysinfo.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "platform/backend.h"
#include "platform/gdi_objects.h"
#include "platform/screen.h"
#include "platform/user_state.h"

struct win::InstanceObject {
    int unused = 0;
};

namespace win {

namespace {

InstanceObject gProgramInstance;

// Classic colours of the standard scheme.
constexpr COLORREF kDefaultColors[kSysColorCount] = {
    RGB(192, 192, 192),  // COLOR_SCROLLBAR
    RGB(0, 128, 128),    // COLOR_BACKGROUND
    RGB(0, 0, 128),      // COLOR_ACTIVECAPTION
    RGB(128, 128, 128),  // COLOR_INACTIVECAPTION
    RGB(192, 192, 192),  // COLOR_MENU
    RGB(255, 255, 255),  // COLOR_WINDOW
    RGB(0, 0, 0),        // COLOR_WINDOWFRAME
    RGB(0, 0, 0),        // COLOR_MENUTEXT
    RGB(0, 0, 0),        // COLOR_WINDOWTEXT
    RGB(255, 255, 255),  // COLOR_CAPTIONTEXT
    RGB(192, 192, 192),  // COLOR_ACTIVEBORDER
    RGB(192, 192, 192),  // COLOR_INACTIVEBORDER
    RGB(128, 128, 128),  // COLOR_APPWORKSPACE
    RGB(0, 0, 128),      // COLOR_HIGHLIGHT
    RGB(255, 255, 255),  // COLOR_HIGHLIGHTTEXT
    RGB(192, 192, 192),  // COLOR_BTNFACE
    RGB(128, 128, 128),  // COLOR_BTNSHADOW
    RGB(128, 128, 128),  // COLOR_GRAYTEXT
    RGB(0, 0, 0),        // COLOR_BTNTEXT
    RGB(192, 192, 192),  // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255),  // COLOR_BTNHIGHLIGHT
    RGB(0, 0, 0),        // COLOR_3DDKSHADOW
    RGB(223, 223, 223),  // COLOR_3DLIGHT
    RGB(0, 0, 0),        // COLOR_INFOTEXT
    RGB(255, 255, 225),  // COLOR_INFOBK
};

std::array<COLORREF, kSysColorCount>& Colors() { return User().sysColors; }

int FrameMetric() { return 4; }

}  // namespace

void LoadDefaultSysColors(std::array<COLORREF, kSysColorCount>& colors) {
    std::copy(std::begin(kDefaultColors), std::end(kDefaultColors), colors.begin());
}

std::string GetModuleFileName(HMODULE module) {
    std::string path(4096, '\0');
    ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0) return {};
    path.resize(static_cast<std::size_t>(n));
    return path;
}

HMODULE GetModuleHandle(const char* name) { return name ? nullptr : &gProgramInstance; }

DWORD GetTickCount() { return CurrentBackend().TickCount(); }

DWORD GetVersion() { return (1381u << 16) | 0x0004u; }

int GetKeyboardType(int typeFlag) {
    switch (typeFlag) {
    case 0: return 4;
    case 1: return 0;
    case 2: return 12;
    default: return 0;
    }
}

void GlobalMemoryStatus(MEMORYSTATUS* status) {
    if (!status) return;
    *status = MEMORYSTATUS{};
    struct sysinfo si {};
    if (sysinfo(&si) == 0) {
        status->dwTotalPhys = static_cast<std::size_t>(si.totalram) * si.mem_unit;
        status->dwAvailPhys = static_cast<std::size_t>(si.freeram) * si.mem_unit;
        status->dwTotalPageFile = static_cast<std::size_t>(si.totalswap) * si.mem_unit;
        status->dwAvailPageFile = static_cast<std::size_t>(si.freeswap) * si.mem_unit;
    }
    // MemAvailable counts reclaimable caches, which is what "available" means to a user.
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::size_t kb = 0;
    std::string unit;
    while (meminfo >> key >> kb) {
        std::getline(meminfo, unit);
        if (key == "MemAvailable:") status->dwAvailPhys = kb * 1024;
    }
    if (status->dwTotalPhys > 0)
        status->dwMemoryLoad = static_cast<DWORD>(100 - (status->dwAvailPhys * 100) / status->dwTotalPhys);
    status->dwTotalVirtual = static_cast<std::size_t>(1) << 47;
    status->dwAvailVirtual = status->dwTotalVirtual;
}

int GetSystemMetrics(int index) {
    SIZE screen = ScreenSize();
    RECT work = GetWorkArea();
    int frame = FrameMetric();
    switch (index) {
    case SM_CXSCREEN: return screen.cx;
    case SM_CYSCREEN: return screen.cy;
    case SM_CXVSCROLL: case SM_CYHSCROLL: case SM_CYVSCROLL: case SM_CXHSCROLL: return 16;
    case SM_CYVTHUMB: case SM_CXHTHUMB: return 16;
    case SM_CYCAPTION: return 19;
    case SM_CXBORDER: case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME: case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME: case SM_CYFRAME: return frame;
    case SM_CXEDGE: case SM_CYEDGE: return 2;
    case SM_CXICON: case SM_CYICON: case SM_CXCURSOR: case SM_CYCURSOR: return 32;
    case SM_CYMENU: return 19;
    case SM_CXFULLSCREEN: return work.right - work.left;
    case SM_CYFULLSCREEN: return work.bottom - work.top - 19;
    case SM_MOUSEPRESENT: return 1;
    case SM_CMOUSEBUTTONS: return 3;
    case SM_CXMIN: case SM_CXMINTRACK: return 112;
    case SM_CYMIN: case SM_CYMINTRACK: return 27;
    case SM_CXSIZE: case SM_CYSIZE: return 18;
    case SM_CXMENUSIZE: case SM_CYMENUSIZE: return 18;
    case SM_CXDOUBLECLK: case SM_CYDOUBLECLK: return 4;
    case SM_CXICONSPACING: case SM_CYICONSPACING: return 75;
    case SM_CXMINSPACING: return 160;
    case SM_CYMINSPACING: return 24;
    case SM_CXMINIMIZED: return 160;
    case SM_CYMINIMIZED: return 24;
    case SM_CXSMICON: case SM_CYSMICON: return 16;
    case SM_CYSMCAPTION: return 15;
    case SM_CXSMSIZE: case SM_CYSMSIZE: return 13;
    case SM_CXMAXTRACK: return screen.cx + 2 * frame;
    case SM_CYMAXTRACK: return screen.cy + 2 * frame;
    case SM_CXMAXIMIZED: return work.right - work.left + 2 * frame;
    case SM_CYMAXIMIZED: return work.bottom - work.top + 2 * frame;
    case SM_CXDRAG: case SM_CYDRAG: return 4;
    case SM_CXMENUCHECK: case SM_CYMENUCHECK: return 13;
    case SM_NETWORK: return 1;
    default: return 0;
    }
}

DWORD GetSysColor(int index) {
    if (index < 0 || index >= kSysColorCount) return 0;
    return Colors()[index];
}

HBRUSH GetSysColorBrush(int index) {
    if (index < 0 || index >= kSysColorCount) return nullptr;
    auto& u = User();
    HBRUSH& b = u.sysBrushes[index];
    if (!b || !IsValidGdiObject(b)) {
        b = CreateSolidBrush(GetSysColor(index));
        if (b) b->stock = true;  // shared: DeleteObject leaves it alone
    }
    return b;
}

BOOL SetSysColors(int count, const int* indexes, const COLORREF* colors) {
    if (count < 0 || !indexes || !colors) return FALSE;
    auto& c = Colors();
    for (int i = 0; i < count; ++i) {
        if (indexes[i] < 0 || indexes[i] >= kSysColorCount) continue;
        c[indexes[i]] = colors[i];
        HBRUSH b = User().sysBrushes[indexes[i]];
        if (auto* brush = GdiCast<BrushObject>(b, GdiKind::Brush)) brush->log.lbColor = colors[i];
    }
    SendMessage(reinterpret_cast<HWND>(0xFFFF), WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}

BOOL SystemParametersInfo(UINT action, UINT uiParam, void* param, UINT winIni) {
    switch (action) {
    case SPI_GETWORKAREA:
        if (!param) return FALSE;
        *static_cast<RECT*>(param) = GetWorkArea();
        return TRUE;
    case SPI_SETWORKAREA: {
        auto& u = User();
        if (param) {
            u.workArea = *static_cast<const RECT*>(param);
            u.workAreaSet = true;
        } else {
            u.workAreaSet = false;
        }
        return TRUE;
    }
    case SPI_GETBEEP:
        if (param) *static_cast<BOOL*>(param) = TRUE;
        return TRUE;
    case SPI_GETBORDER:
        if (param) *static_cast<int*>(param) = 1;
        return TRUE;
    case SPI_GETKEYBOARDDELAY:
        if (param) *static_cast<int*>(param) = 1;
        return TRUE;
    case SPI_GETKEYBOARDSPEED:
        if (param) *static_cast<DWORD*>(param) = 31;
        return TRUE;
    case SPI_GETSCREENSAVEACTIVE:
        if (param) *static_cast<BOOL*>(param) = FALSE;
        return TRUE;
    default:
        return FALSE;
    }
}

HMODULE LoadLibrary(const char* name) { return nullptr; }
BOOL FreeLibrary(HMODULE module) { return FALSE; }
FARPROC GetProcAddress(HMODULE module, const char* name) { return nullptr; }

}  // namespace win
