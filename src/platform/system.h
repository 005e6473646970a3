#pragma once
// System services: module path, tick count (a test clock when headless), version and keyboard
// type answers, memory status, system metrics and colours, work area, date and time formats,
// profile files, starting another program, and run-time linking (which finds nothing here).
#include <string>
#include <vector>

#include "platform/win_styles.h"
#include "platform/win_types.h"

namespace win {

std::string GetModuleFileName(HMODULE module);  // absolute path of the executable
HMODULE GetModuleHandle(const char* name);       // the program's instance for a null name
DWORD GetTickCount();
// 0x80000000 clear (an NT kind), major 4, minor 0, build 1381 in the high word.
DWORD GetVersion();
int GetKeyboardType(int typeFlag);  // 0: 4 (enhanced 101/102 keys), 1: 0, 2: 12 function keys

struct MEMORYSTATUS {
    DWORD dwLength = 32;
    DWORD dwMemoryLoad = 0;
    std::size_t dwTotalPhys = 0;
    std::size_t dwAvailPhys = 0;
    std::size_t dwTotalPageFile = 0;
    std::size_t dwAvailPageFile = 0;
    std::size_t dwTotalVirtual = 0;
    std::size_t dwAvailVirtual = 0;
};
void GlobalMemoryStatus(MEMORYSTATUS* status);

int GetSystemMetrics(int index);
DWORD GetSysColor(int index);
HBRUSH GetSysColorBrush(int index);  // shared brushes, never deleted by the caller
BOOL SetSysColors(int count, const int* indexes, const COLORREF* colors);
// SPI_GETWORKAREA fills a RECT at param; other actions answer 0 / FALSE values.
BOOL SystemParametersInfo(UINT action, UINT uiParam, void* param, UINT winIni);

struct SYSTEMTIME {
    WORD wYear = 0;
    WORD wMonth = 0;
    WORD wDayOfWeek = 0;
    WORD wDay = 0;
    WORD wHour = 0;
    WORD wMinute = 0;
    WORD wSecond = 0;
    WORD wMilliseconds = 0;
};
void GetLocalTime(SYSTEMTIME* st);
void GetSystemTime(SYSTEMTIME* st);

// Date and time formats. Without a picture the C locale's forms are used: "MM/dd/yy" (long:
// "dddd, MMMM dd, yyyy") and "HH:mm:ss" (or "HH:mm" with TIME_NOSECONDS). Pictures understand d dd ddd dddd M MM MMM MMMM y yy yyyy, h hh H HH m mm s ss
// t tt and quoted literals. A null time means now.
constexpr DWORD DATE_SHORTDATE = 0x00000001;
constexpr DWORD DATE_LONGDATE = 0x00000002;
constexpr DWORD TIME_NOSECONDS = 0x00000002;
constexpr DWORD TIME_NOTIMEMARKER = 0x00000004;
constexpr DWORD TIME_FORCE24HOURFORMAT = 0x00000008;
constexpr DWORD LOCALE_USER_DEFAULT = 0x0400;
constexpr DWORD LOCALE_SYSTEM_DEFAULT = 0x0800;
std::string GetDateFormat(DWORD locale, DWORD flags, const SYSTEMTIME* date, const char* picture);
std::string GetTimeFormat(DWORD locale, DWORD flags, const SYSTEMTIME* time, const char* picture);
// LOCALE_* queries answered for the C locale (English, United States, code page 1252).
constexpr DWORD LOCALE_ILANGUAGE = 0x0001;
constexpr DWORD LOCALE_SLANGUAGE = 0x0002;
constexpr DWORD LOCALE_SENGLANGUAGE = 0x1001;
constexpr DWORD LOCALE_SABBREVLANGNAME = 0x0003;
constexpr DWORD LOCALE_ICOUNTRY = 0x0005;
constexpr DWORD LOCALE_SCOUNTRY = 0x0006;
constexpr DWORD LOCALE_SENGCOUNTRY = 0x1002;
constexpr DWORD LOCALE_IDEFAULTANSICODEPAGE = 0x1004;
constexpr DWORD LOCALE_SDECIMAL = 0x000E;
constexpr DWORD LOCALE_STHOUSAND = 0x000F;
constexpr DWORD LOCALE_SLIST = 0x000C;
constexpr DWORD LOCALE_SDATE = 0x001D;
constexpr DWORD LOCALE_STIME = 0x001E;
constexpr DWORD LOCALE_SSHORTDATE = 0x001F;
constexpr DWORD LOCALE_SLONGDATE = 0x0020;
std::string GetLocaleInfo(DWORD locale, DWORD type);

// Reads key of section from an INI-style file (case-blind section and key, LF or CR LF lines).
// A file not found as written is looked up case-blind in its directory; a relative name is taken
// from the program's directory. The default is returned when anything is missing.
std::string GetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                    const char* fileName);
UINT GetPrivateProfileInt(const char* section, const char* key, int defaultValue, const char* fileName);

// The path of an existing file: as written (with '\\' taken as '/'), else the first entry of
// its directory that matches the name case-blind (each directory level likewise). Empty when
// there is none. The path found is the file system's (UTF-8, see disk_file_names.h).
std::string FindFileCaseBlind(const std::string& path);

// Starts a program from a command line split into words (double quotes group words; no shell).
// Returns a value above 31 on success, 2 when the program file is missing, 0 on other failures.
UINT WinExec(const char* commandLine, UINT cmdShow);
// WinExec with the words already apart: no word is split again at blanks or quotes.
UINT ExecArgv(std::vector<std::string> argv, UINT cmdShow);

// Run-time linking: no library is found, no procedure is exported.
using FARPROC = void (*)();
HMODULE LoadLibrary(const char* name);
BOOL FreeLibrary(HMODULE module);
FARPROC GetProcAddress(HMODULE module, const char* name);

}  // namespace win
