#include "plots/user_waveform.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <new>

#include "analog/analog_state.h"
#include "analog/run_control.h"
#include "analog/transient_run.h"
#include "core/error_context.h"
#include "ui/window_record.h"
#include "core/device_lists.h"
#include "core/engineering_numbers.h"
#include "core/file_paths.h"
#include "core/file_units.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "analog/source_stamps.h"
#include "netlist/standalone_element_devices.h"
#include "document/file_names.h"
#include "results/curve_record.h"
#include "plots/plot_setup.h"

namespace kq5 {

namespace {

constexpr int kMsgDigitalUserWaveform = 13546;  // "Can't save digital waveform in a User file."
constexpr int kMsgExpressionNotInFile = 13547;  // "Can't find expression in %s."
constexpr int kMsgUserWaveformNeedsTime = 13548;
constexpr int kInitialCapacity = 1024;
constexpr int kOldFormPoints = 256;
constexpr std::size_t kFirstReadRoom = 65536;
constexpr const char* kVersionLine = "Version=1";
constexpr const char* kExtension = "USR";

PlotRecord* PlotOfWindow(WindowRecord* window) { return RunPlotOf(window); }

std::string Trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

bool EqualBlind(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

// Grows every history to hold index `need`, new room zeroed.
bool GrowHistories(UserWaveformState& state, int need)
{
    int capacity = std::max(state.capacity, kInitialCapacity);
    while (capacity <= need) capacity *= 2;
    try {
        for (SavedUserCurve& c : state.curves) {
            c.x.resize(static_cast<std::size_t>(capacity), 0.0);
            c.y.resize(static_cast<std::size_t>(capacity), 0.0);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    state.capacity = capacity;
    return true;
}

std::string UserWaveformPath(const WindowRecord* circuit)
{
    std::string path = circuit ? circuit->title : std::string();
    return ReplaceExtension(path, kExtension);
}

// Lines of a user waveform file, LF or CR LF.
class LineReader {
public:
    explicit LineReader(std::FILE* f) : f_(f) {}
    bool Next(std::string& line)
    {
        line.clear();
        int c = 0;
        bool any = false;
        while ((c = std::fgetc(f_)) != EOF) {
            any = true;
            if (c == '\n') break;
            line.push_back(static_cast<char>(c));
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return any;
    }

private:
    std::FILE* f_;
};

double LineValue(const std::string& line)
{
    const std::size_t first = line.find_first_not_of(" \t");
    return first == std::string::npos ? 0.0 : ParseNumber(std::string_view(line).substr(first));
}

// A short file: its values so far stay, the reading reports that data ran out.
int ShortFile(const std::string& path)
{
    SetPendingErrorText(path);
    return ErrnoToMessageId(ENODATA);
}

}  // namespace

UserWaveformState& UserWaveforms()
{
    static UserWaveformState state;
    return state;
}

void ResetUserWaveformsForTests() { UserWaveforms() = UserWaveformState{}; }

void ResetUserWaveformCurves()
{
    UserWaveformState& state = UserWaveforms();
    state.curves.clear();
    state.capacity = 0;
}

int AddUserWaveformCurve(WindowRecord* window, int rowIndex, int curveIndex)
{
    PlotRecord* plot = PlotOfWindow(window);
    if (!plot || curveIndex < 0 || curveIndex >= static_cast<int>(plot->curves.size())) return 0;
    const CurveRecord& curve = *plot->curves[static_cast<std::size_t>(curveIndex)];
    int failure = 0;
    if (curve.xLetter[kWaveformX] != 'T') failure = kMsgUserWaveformNeedsTime;
    else if (curve.digital) failure = kMsgDigitalUserWaveform;
    if (failure) {
        ReportAnalysisFailure0(kFocusExpressionRow, rowIndex, failure);
        return kMsgAlreadyReported;
    }
    UserWaveformState& state = UserWaveforms();
    try {
        SavedUserCurve& saved = state.curves.emplace_back();
        saved.curveIndex = curveIndex;
    } catch (const std::bad_alloc&) {
        ReportAnalysisOutOfMemory();
        return kMsgAlreadyReported;
    }
    if (!GrowHistories(state, state.capacity > 0 ? state.capacity - 1 : 0)) {
        ReportAnalysisOutOfMemory();
        return kMsgAlreadyReported;
    }
    return 0;
}

int AppendUserWaveformPoints(WindowRecord* window)
{
    UserWaveformState& state = UserWaveforms();
    if (state.curves.empty()) return 0;
    PlotRecord* plot = PlotOfWindow(window);
    const int index = PlotRun().acceptedPoints;
    if (!plot || index < 0) return 0;
    if (index >= state.capacity && !GrowHistories(state, index)) {
        ReportAnalysisOutOfMemory();
        return kMsgAlreadyReported;
    }
    for (SavedUserCurve& saved : state.curves) {
        if (saved.curveIndex >= static_cast<int>(plot->curves.size())) continue;
        const CurveRecord& curve = *plot->curves[static_cast<std::size_t>(saved.curveIndex)];
        saved.x[static_cast<std::size_t>(index)] = curve.currentValue[kWaveformX];
        saved.y[static_cast<std::size_t>(index)] = curve.currentValue[kWaveformY];
    }
    return 0;
}

int WriteUserWaveformText(const std::string& path, const std::vector<std::string>& names,
                          const std::vector<const SavedUserCurve*>& curves, int n)
{
    std::FILE* f = OpenResolvedFile(path, "wb");
    if (!f) return ErrnoToMessageId(errno);
    errno = 0;
    bool ok = std::fprintf(f, "%s\n%d\n%d\n", kVersionLine, n, static_cast<int>(curves.size())) > 0;
    for (std::size_t c = 0; ok && c < curves.size(); ++c) {
        ok = std::fprintf(f, "%s\n", names[c].c_str()) > 0;
        for (int i = 0; ok && i < n; ++i) {
            // Times and values keep 15 digits: with six, the close steps of a long run would
            // merge, and a small signal riding on a large level would come back in coarse steps.
            ok = std::fprintf(f, "%.15G\n%.15G\n", curves[c]->x[static_cast<std::size_t>(i)],
                              curves[c]->y[static_cast<std::size_t>(i)]) > 0;
        }
    }
    const int writeError = ok ? 0 : (errno ? errno : EIO);
    const int closeError = std::fclose(f) == 0 ? 0 : (errno ? errno : EIO);
    return ErrnoToMessageId(writeError ? writeError : closeError);
}

int WriteUserWaveformFile(WindowRecord* window)
{
    const UserWaveformState& state = UserWaveforms();
    PlotRecord* plot = PlotOfWindow(window);
    if (state.curves.empty() || !plot) return 0;
    const int n = std::min(PlotRun().acceptedPoints + 1, state.capacity);
    std::vector<std::string> names;
    std::vector<const SavedUserCurve*> curves;
    for (const SavedUserCurve& saved : state.curves) {
        if (saved.curveIndex >= static_cast<int>(plot->curves.size())) continue;
        names.push_back(plot->curves[static_cast<std::size_t>(saved.curveIndex)]->yExpressionText);
        curves.push_back(&saved);
    }
    const std::string path = UserWaveformPath(RunControl().circuitWindow ? RunControl().circuitWindow : window);
    const int rc = WriteUserWaveformText(path, names, curves, std::max(n, 0));
    if (rc != 0) {
        SetPendingErrorText(path);
        ReportMessage("E", rc);
    }
    return rc;
}

int ReadUserWaveformFile(const std::string& path, const std::string& expression, double firstTime,
                         double finalTime, UserSourcePoints& points)
{
    std::FILE* f = OpenResolvedFile(path, "rb");
    if (!f) {
        SetPendingErrorText(path);
        return ErrnoToMessageId(errno);
    }
    LineReader in(f);
    std::string line;
    int result = 0;
    bool taken = false;
    if (!in.Next(line)) {
        result = ShortFile(path);
    } else {
        const bool version = EqualBlind(Trimmed(line), kVersionLine);
        int n = kOldFormPoints;
        int curves = 1;
        bool firstLineIsValue = false;
        std::string countLine;
        if (version) {
            if (in.Next(countLine)) n = ParseIntNumber(Trimmed(countLine));
            else result = ShortFile(path);
            if (result == 0 && in.Next(countLine)) curves = ParseIntNumber(Trimmed(countLine));
            else if (result == 0) result = ShortFile(path);
        } else if (line.find('.') != std::string::npos) {
            firstLineIsValue = true;
        } else {
            n = ParseIntNumber(Trimmed(line));
        }
        if (n < 1) n = kOldFormPoints;
        // The count comes from the file: a damaged one must not claim gigabytes before a single
        // value is read, so the arrays start at a modest size and grow with the values taken.
        const auto full = static_cast<std::size_t>(n);
        const auto room = [&](std::size_t at) {
            if (at < points.x.size()) return true;
            const std::size_t size = std::min(full, std::max(at + 1, std::max(points.x.size() * 2, kFirstReadRoom)));
            try {
                points.x.resize(size, 0.0);
                points.y.resize(size, 0.0);
            } catch (const std::bad_alloc&) {
                return false;
            }
            return true;
        };
        points.x.clear();
        points.y.clear();
        if (!room(0)) {
            std::fclose(f);
            ReportMessage("E", kMsgInsufficientMemory);
            return kMsgAlreadyReported;
        }
        for (int c = 0; result == 0 && c < curves && !taken; ++c) {
            bool take = true;
            if (version) {
                std::string name;
                if (!in.Next(name)) {
                    result = ShortFile(path);
                    break;
                }
                take = expression.empty() || EqualBlind(Trimmed(name), Trimmed(expression));
            }
            for (int i = 0; i < n; ++i) {
                const auto at = static_cast<std::size_t>(i);
                if (take && !room(at)) {
                    std::fclose(f);
                    ReportMessage("E", kMsgInsufficientMemory);
                    return kMsgAlreadyReported;
                }
                std::string value;
                if (version) {
                    if (!in.Next(value)) {
                        result = ShortFile(path);
                        break;
                    }
                    if (take) points.x[at] = LineValue(value);
                } else {
                    // Spread evenly over the analysis; a lone point stands at its start.
                    points.x[at] = n > 1 ? firstTime + i * (finalTime - firstTime) / (n - 1) : firstTime;
                }
                if (i == 0 && firstLineIsValue) {
                    value = line;
                } else if (!in.Next(value)) {
                    result = ShortFile(path);
                    break;
                }
                if (take) points.y[at] = LineValue(value);
            }
            taken = take;
        }
    }
    if (std::fclose(f) != 0 && result == 0) result = ErrnoToMessageId(errno ? errno : EIO);
    if (result == 0 && !taken) {
        ReportMessage("E", kMsgExpressionNotInFile, path);
        return kMsgAlreadyReported;
    }
    return result;
}

int LoadUserSourceData()
{
    std::vector<UserSourceStamps>& stamps = AnalogSolver().devices.userSources;
    const WindowRecord* circuit = RunControl().circuitWindow;
    std::string directory = circuit ? circuit->title : std::string();
    const std::size_t slash = directory.find_last_of("/\\");
    directory = slash == std::string::npos ? std::string() : directory.substr(0, slash + 1);
    std::size_t k = 0;
    for (UserSourceDevice& device : ListRecords<UserSourceDevice>(DeviceList(kUserSourceDeviceList))) {
        if (k >= stamps.size()) break;
        UserSourceStamps& st = stamps[k++];
        std::string name = device.fileName;
        ReplaceExtension(name, kExtension);
        // Beside the circuit first, then where the program looks for its working files.
        std::string path;
        const bool bare = name.find_first_of("/\\") == std::string::npos;
        if (bare && !directory.empty() && CheckFileAccess(directory + name) == 0) path = directory + name;
        else if (LocateFile(path, name, kLocateWorkingData, false) != 0) path = name;
        UserSourcePoints points;
        const int rc = ReadUserWaveformFile(path, device.expression, TransientRun().tmin, TransientRun().tmax, points);
        st.times = std::move(points.x);
        st.values = std::move(points.y);
        if (rc != 0) {
            if (rc != kMsgAlreadyReported) {
                SetPendingErrorText(path);
                ReportMessage("E", rc);
            }
            RunControl().failureReported = 1;
            return kMsgAlreadyReported;
        }
    }
    return 0;
}

}  // namespace kq5
