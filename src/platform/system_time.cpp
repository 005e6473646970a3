// Clock time, date and time formatting and locale answers for the C locale.
#include <chrono>
#include <ctime>
#include <algorithm>

#include "platform/system.h"

namespace win {

namespace {

const char* const kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};

void FromTm(const std::tm& t, int ms, SYSTEMTIME* st) {
    st->wYear = static_cast<WORD>(t.tm_year + 1900);
    st->wMonth = static_cast<WORD>(t.tm_mon + 1);
    st->wDayOfWeek = static_cast<WORD>(t.tm_wday);
    st->wDay = static_cast<WORD>(t.tm_mday);
    st->wHour = static_cast<WORD>(t.tm_hour);
    st->wMinute = static_cast<WORD>(t.tm_min);
    st->wSecond = static_cast<WORD>(t.tm_sec);
    st->wMilliseconds = static_cast<WORD>(ms);
}

void Now(SYSTEMTIME* st, bool local) {
    auto now = std::chrono::system_clock::now();
    std::time_t secs = std::chrono::system_clock::to_time_t(now);
    int ms = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm t{};
    if (local)
        localtime_r(&secs, &t);
    else
        gmtime_r(&secs, &t);
    FromTm(t, ms, st);
}

std::string Number(int v, int width) {
    std::string s = std::to_string(v);
    while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
    return s;
}

// Expands a picture; fields are runs of the same letter, 'quoted' text is literal.
template <typename Field>
std::string Expand(const std::string& picture, const std::string& letters, Field field) {
    std::string out;
    for (std::size_t i = 0; i < picture.size();) {
        char c = picture[i];
        if (c == '\'') {
            ++i;
            while (i < picture.size()) {
                if (picture[i] == '\'') {
                    if (i + 1 < picture.size() && picture[i + 1] == '\'') {
                        out += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                out += picture[i++];
            }
            continue;
        }
        if (letters.find(c) == std::string::npos) {
            out += c;
            ++i;
            continue;
        }
        std::size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c) ++run;
        out += field(c, static_cast<int>(run));
        i += run;
    }
    return out;
}

}  // namespace

void GetLocalTime(SYSTEMTIME* st) {
    if (st) Now(st, true);
}

void GetSystemTime(SYSTEMTIME* st) {
    if (st) Now(st, false);
}

std::string GetDateFormat(DWORD locale, DWORD flags, const SYSTEMTIME* date, const char* picture) {
    SYSTEMTIME st;
    if (date)
        st = *date;
    else
        GetLocalTime(&st);
    std::string pic = picture ? picture : (flags & DATE_LONGDATE) ? "dddd, MMMM dd, yyyy" : "MM/dd/yy";
    int month = std::max(1, std::min<int>(12, st.wMonth));
    return Expand(pic, "dMy", [&](char c, int n) -> std::string {
        switch (c) {
        case 'd':
            if (n == 1) return std::to_string(st.wDay);
            if (n == 2) return Number(st.wDay, 2);
            if (n == 3) return std::string(kDayNames[st.wDayOfWeek % 7]).substr(0, 3);
            return kDayNames[st.wDayOfWeek % 7];
        case 'M':
            if (n == 1) return std::to_string(month);
            if (n == 2) return Number(month, 2);
            if (n == 3) return std::string(kMonthNames[month - 1]).substr(0, 3);
            return kMonthNames[month - 1];
        default:
            if (n == 1) return std::to_string(st.wYear % 100);
            if (n == 2) return Number(st.wYear % 100, 2);
            return Number(st.wYear, 4);
        }
    });
}

std::string GetTimeFormat(DWORD locale, DWORD flags, const SYSTEMTIME* time, const char* picture) {
    SYSTEMTIME st;
    if (time)
        st = *time;
    else
        GetLocalTime(&st);
    std::string pic = picture ? picture : "HH:mm:ss";
    if (flags & TIME_NOSECONDS) {
        // Drop the seconds field with the separator before it.
        auto pos = pic.find('s');
        if (pos != std::string::npos) {
            auto end = pic.find_first_not_of('s', pos);
            auto start = pos;
            while (start > 0 && pic[start - 1] != 'm' && pic[start - 1] != 'h' && pic[start - 1] != 'H') --start;
            pic.erase(start, (end == std::string::npos ? pic.size() : end) - start);
        }
    }
    bool force24 = (flags & TIME_FORCE24HOURFORMAT) != 0;
    std::string out = Expand(pic, "hHmst", [&](char c, int n) -> std::string {
        switch (c) {
        case 'h':
            if (!force24) {
                int h12 = st.wHour % 12 == 0 ? 12 : st.wHour % 12;
                return n == 1 ? std::to_string(h12) : Number(h12, 2);
            }
            [[fallthrough]];
        case 'H':
            return n == 1 ? std::to_string(st.wHour) : Number(st.wHour, 2);
        case 'm':
            return n == 1 ? std::to_string(st.wMinute) : Number(st.wMinute, 2);
        case 's':
            return n == 1 ? std::to_string(st.wSecond) : Number(st.wSecond, 2);
        default:
            if (flags & TIME_NOTIMEMARKER) return {};
            return n == 1 ? std::string(st.wHour < 12 ? "A" : "P") : std::string(st.wHour < 12 ? "AM" : "PM");
        }
    });
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string GetLocaleInfo(DWORD locale, DWORD type) {
    switch (type) {
    case LOCALE_ILANGUAGE: return "0409";
    case LOCALE_SLANGUAGE: return "English (United States)";
    case LOCALE_SENGLANGUAGE: return "English";
    case LOCALE_SABBREVLANGNAME: return "ENU";
    case LOCALE_ICOUNTRY: return "1";
    case LOCALE_SCOUNTRY: return "United States";
    case LOCALE_SENGCOUNTRY: return "United States";
    case LOCALE_IDEFAULTANSICODEPAGE: return "1252";
    case LOCALE_SDECIMAL: return ".";
    case LOCALE_STHOUSAND: return ",";
    case LOCALE_SLIST: return ",";
    case LOCALE_SDATE: return "/";
    case LOCALE_STIME: return ":";
    case LOCALE_SSHORTDATE: return "MM/dd/yy";
    case LOCALE_SLONGDATE: return "dddd, MMMM dd, yyyy";
    default: return {};
    }
}

}  // namespace win
