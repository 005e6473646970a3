// Compiling and playing the stimulus pattern language.
#include "digital/digital_stimulus.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <new>
#include <random>

#include "core/analysis_state.h"
#include "core/engineering_numbers.h"
#include "digital/digital_engine.h"
#include "core/digital_logic_tables.h"
#include "document/component_attributes.h"
#include "document/schematic_item.h"
#include "document/component_types.h"
#include "netlist/translate_common.h"
#include "platform/system.h"

namespace kq5 {

namespace {

constexpr int kMsgPinCount = 13181, kMsgEmptyLoop = 13182, kMsgNoLabel = 13183, kMsgUntil = 13184;
constexpr int kMsgExpectingAfterTime = 13185, kMsgIllegalGoto = 13186, kMsgIllegalDigit = 13190;
constexpr int kMsgTooManyLabels = 13191, kMsgInvalidValue = 13192, kMsgWidth = 13193, kMsgAscending = 13194;
constexpr int kMsgNesting = 13195, kMsgRepeatExpecting = 13196, kMsgIllegalRepeat = 13197;
constexpr int kMsgEndRepeat = 13198, kMsgOpenRepeat = 13199, kMsgMissingFormat = 13200, kMsgMissingBy = 13201;
constexpr int kMsgMissingTime = 13202, kMsgMissingLabel = 13203, kMsgLabelInRepeat = 13206;
constexpr int kMsgTimestep = 13207, kMsgExtraText = 11903, kMsgLoopWithoutTime = 13259;
constexpr int kMsgLoopInOneInstant = 13262;
constexpr int kMaxLabels = 50, kMaxNesting = 20, kMaxBits = 32;
// Jumps in a row that leave the time where it was before a loop is taken to be endless.
constexpr int kMaxJumpsWithoutTime = 100000;

std::string Upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::vector<std::string> Tokens(std::string_view text)
{
    std::vector<std::string> tokens;
    std::string word;
    auto flush = [&] {
        if (!word.empty()) tokens.push_back(word);
        word.clear();
    };
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) || c == ',') {
            flush();
        } else if (c == '=') {
            flush();
            tokens.emplace_back("=");
        } else {
            word += c;
        }
    }
    flush();
    return tokens;
}

const char* Alphabet(char digit)
{
    return digit == '1' ? "?01ZXRF" : digit == '3' ? "?01234567ZXRF" : "?0123456789ABCDEFZX";
}

// The value expanded to one character per bit; 0 or 13192.
int ExpandValue(const std::string& token, const std::string& format, std::string& bits)
{
    bits.clear();
    if (token == "RND") {
        for (char f : format) bits.append(static_cast<std::size_t>(f - '0'), '?');
        return 0;
    }
    if (token.size() != format.size()) return kMsgInvalidValue;
    for (std::size_t k = 0; k < token.size(); ++k) {
        const char c = token[k], f = format[k];
        if (!std::strchr(Alphabet(f), c)) return kMsgInvalidValue;
        const int width = f - '0';
        // F is a hex digit only in a hex group: in a binary or octal group it is the falling state.
        if (std::isdigit(static_cast<unsigned char>(c)) || (f == '4' && c >= 'A' && c <= 'F')) {
            const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : c - 'A' + 10;
            for (int b = width - 1; b >= 0; --b) bits += ((v >> b) & 1) ? '1' : '0';
        } else {
            bits.append(static_cast<std::size_t>(width), c);
        }
    }
    return 0;
}

bool LooksLikeValue(const std::string& token)
{
    return !token.empty() && std::all_of(token.begin(), token.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '?';
    });
}

// A value of definite bits as an unsigned number; false when a bit is not 0, 1 or ?.
bool Numeric(const std::string& bits, std::mt19937& random, std::uint64_t& number)
{
    number = 0;
    for (char c : bits) {
        int bit;
        if (c == '0' || c == '1') bit = c - '0';
        else if (c == '?') bit = (random() % 2 == 0) ? 1 : 0;
        else return false;
        number = (number << 1) | static_cast<std::uint64_t>(bit);
    }
    return true;
}

std::string Bits(std::uint64_t number, int width)
{
    std::string bits(static_cast<std::size_t>(width), '0');
    for (int b = 0; b < width; ++b)
        if ((number >> b) & 1) bits[static_cast<std::size_t>(width - 1 - b)] = '1';
    return bits;
}

}  // namespace

int FormatBitWidth(std::string_view format)
{
    int width = 0;
    for (char c : format) {
        if (c != '1' && c != '3' && c != '4') return -1;
        width += c - '0';
    }
    return width;
}

int CompileStimulus(StimulusProgram& program, std::string_view command, std::string_view formatText, int pins,
                    double timestep, std::string& detail)
{
    detail.clear();
    std::string format;
    for (char c : formatText)
        if (!std::isspace(static_cast<unsigned char>(c))) format += c;
    if (format.empty()) return kMsgMissingFormat;
    const int width = FormatBitWidth(format);
    if (width < 0) return kMsgIllegalDigit;
    if (width > kMaxBits) return kMsgWidth;
    if (width != pins) return kMsgPinCount;
    program.format = format;
    program.width = width;
    program.bitOrder.resize(static_cast<std::size_t>(width));
    for (int i = 0; i < width; ++i) program.bitOrder[static_cast<std::size_t>(i)] = i;
    program.steps.clear();

    const std::vector<std::string> tokens = Tokens(command);
    std::map<std::string, int> labels;
    std::vector<int> repeats;
    bool labelPending = false;
    auto token = [&](std::size_t i) { return i < tokens.size() ? Upper(tokens[i]) : std::string(); };
    auto number = [&](const std::string& text, double& value) {
        value = ParseNumber(text);
        return !ParseError() && std::isfinite(value);
    };
    for (std::size_t i = 0; i < tokens.size();) {
        if (!labelPending) program.steps.emplace_back();
        labelPending = false;
        const int index = static_cast<int>(program.steps.size()) - 1;
        StimulusStep& step = program.steps.back();
        const std::string word = token(i);
        if (word == "LABEL") {
            if (!repeats.empty()) return kMsgLabelInRepeat;
            ++i;
            if (token(i) == "=") ++i;
            if (token(i).empty()) return kMsgMissingLabel;
            if (static_cast<int>(labels.size()) >= kMaxLabels) return kMsgTooManyLabels;
            labels[token(i)] = index;
            labelPending = true;
            ++i;
            continue;
        }
        if (word == "REPEAT") {
            if (static_cast<int>(repeats.size()) >= kMaxNesting) return kMsgNesting;
            ++i;
            const std::string what = token(i);
            double n = 0.0;
            if (what == "FOREVER") {
                step.count = -1;
                ++i;
            } else if (what.empty()) {
                return kMsgRepeatExpecting;
            } else if (number(what, n) && token(i + 1) == "TIMES") {
                step.count = static_cast<int>(std::clamp(std::trunc(n), -1.0, 2e9));
                i += 2;
            } else {
                return kMsgIllegalRepeat;
            }
            step.flags |= kStepRepeat;
            repeats.push_back(index);
            continue;
        }
        if (word == "ENDREPEAT") {
            if (repeats.empty()) return kMsgEndRepeat;
            step.flags |= kStepEndRepeat;
            step.target = repeats.back();
            program.steps[static_cast<std::size_t>(repeats.back())].target = index;
            repeats.pop_back();
            ++i;
            continue;
        }
        // A time: +t relative, t absolute; C counts clock cycles of TIMESTEP.
        std::string timeText;
        if (word[0] == '+') {
            step.flags |= kStepRelative;
            timeText = word.substr(1);
            if (timeText.empty()) timeText = token(++i);
            if (timeText.empty()) return kMsgMissingTime;
        } else if (std::isdigit(static_cast<unsigned char>(word[0])) || word[0] == '.') {
            step.flags |= kStepAbsolute;
            timeText = word;
        } else {
            detail = tokens[i];
            return kMsgExtraText;
        }
        // C straight after the digits counts cycles (5C); after a scale it is part of a unit
        // (80NSEC is 80 ns).
        if (!number(timeText, step.time)) return kMsgMissingTime;
        if (ParseCycles()) {
            if (!(timestep > 0.0)) return kMsgTimestep;
            step.time *= timestep;
        }
        ++i;
        const std::string next = token(i);
        if (next.empty()) return kMsgExpectingAfterTime;
        if (next == "GOTO") {
            ++i;
            auto label = labels.find(token(i));
            if (label == labels.end()) return kMsgNoLabel;
            if (label->second == index) return kMsgEmptyLoop;
            step.target = label->second;
            step.flags |= kStepGoto;
            ++i;
            double n = 0.0;
            if (token(i) == "UNTIL") {
                static const std::map<std::string, std::uint16_t> ops = {
                    {"GT", kStepUntilGt}, {"GE", kStepUntilGe}, {"LT", kStepUntilLt}, {"LE", kStepUntilLe}};
                auto op = ops.find(token(i + 1));
                if (op == ops.end()) return kMsgUntil;
                step.flags |= op->second;
                i += 2;
                if (int rc = ExpandValue(token(i), format, step.value)) return detail = tokens.size() > i ? tokens[i] : "", rc;
                ++i;
            } else if (number(token(i), n) && token(i + 1) == "TIMES") {
                step.count = static_cast<int>(std::clamp(std::trunc(n), -1.0, 2e9));
                i += 2;
            } else {
                return kMsgIllegalGoto;
            }
        } else if (next == "INCR" || next == "DECR") {
            step.flags |= next == "INCR" ? kStepIncrBy : kStepDecrBy;
            if (token(++i) != "BY") return kMsgMissingBy;
            ++i;
            if (int rc = ExpandValue(token(i), format, step.value)) return detail = tokens.size() > i ? tokens[i] : "", rc;
            ++i;
        } else if (LooksLikeValue(next)) {
            if (int rc = ExpandValue(next, format, step.value)) return detail = tokens[i], rc;
            ++i;
        } else {
            detail = tokens[i];
            return kMsgExtraText;
        }
    }
    if (!repeats.empty()) return kMsgOpenRepeat;
    if (labelPending) program.steps.pop_back();
    return 0;
}

int ReadStimFile(StimulusProgram& program, const std::string& fileName, std::string_view signalNames,
                 const std::vector<std::string>& pinNames, std::vector<std::string>& details, int& line)
{
    constexpr int kMsgExpectingFollow = 11901, kMsgMissingSignal = 13252, kMsgTimescaleLine = 13253;
    constexpr int kMsgValueCount = 13254, kMsgNodeNotFound = 13255, kMsgTooManySignals = 13256;
    constexpr int kMsgTimescaleEquals = 13257, kMsgIllegalNumber = 10922, kMaxSignals = 256;
    details.clear();
    line = 0;
    program.steps.clear();
    std::ifstream in(win::FindFileCaseBlind(fileName), std::ios::binary);
    if (!in) {
        details = {fileName};
        return 16000 + (errno ? errno : ENOENT);
    }
    double timescale = 1.0;
    std::vector<std::string> names;
    std::string format;
    bool header = true;
    // The end of the header: the format and each pin's signal.
    auto endHeader = [&]() {
        header = false;
        program.format = format;
        program.width = static_cast<int>(names.size());
        program.bitOrder.clear();
        // The names as a netlist writes them, SIGNAMES="A B", or as the attribute holds them.
        std::string unquoted(signalNames);
        unquoted.erase(std::remove(unquoted.begin(), unquoted.end(), '"'), unquoted.end());
        std::vector<std::string> chosen = Tokens(unquoted);
        for (std::size_t pin = 0; pin < pinNames.size(); ++pin) {
            const std::string name = Upper(pin < chosen.size() ? chosen[pin] : pinNames[pin]);
            auto at = std::find(names.begin(), names.end(), name);
            if (at == names.end()) {
                details = {name, fileName};
                return kMsgNodeNotFound;
            }
            program.bitOrder.push_back(static_cast<int>(at - names.begin()));
        }
        return 0;
    };
    double fileTime = 0.0;  // the time of the last data line
    // The time of a data line (its first word, '+' for relative), or NaN when it is none.
    auto lineTime = [](const std::string& word) {
        const std::string number = word[0] == '+' ? word.substr(1) : word;
        if (number.empty() || !(std::isdigit(static_cast<unsigned char>(number[0])) || number[0] == '.' ||
                                number[0] == '-'))
            return std::nan("");
        const double time = ParseNumber(number);
        return ParseError() || !std::isfinite(time) ? std::nan("") : time;
    };
    // The values of a data line: every word after its time, blanks dropped.
    auto lineValue = [](const std::vector<std::string>& words) {
        std::string value;
        for (std::size_t i = 1; i < words.size(); ++i) value += words[i];
        return value;
    };
    std::string text;
    while (std::getline(in, text)) {
        ++line;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        const std::size_t cut = text.find_first_of(";*");
        if (cut != std::string::npos) text.erase(cut);
        // "HEX(" and "OCT(" are read as words of their own.
        std::string spaced;
        for (char c : text) {
            if (c == '(' || c == ')' || c == '=') spaced += std::string(" ") + c + " ";
            else spaced += c;
        }
        const std::vector<std::string> words = Tokens(spaced);
        std::vector<std::string> upper;
        for (const std::string& w : words) upper.push_back(w == "=" ? w : Upper(w));
        if (header) {
            if (words.empty()) {
                if (names.empty()) continue;  // blank lines before the header
                if (int id = endHeader()) return id;
                continue;
            }
            // A line that reads as a time with one value for each group so far is the first
            // data line of a file whose header has no blank line after it: taken as signal
            // names, its words would leave every pin at its initial value without a word.
            std::string bits;
            const std::string value = lineValue(upper);
            if (!names.empty() && !std::isnan(lineTime(upper[0])) && value.size() == format.size() &&
                ExpandValue(value, format, bits) == 0) {
                if (int id = endHeader()) return id;
            }
        }
        if (header) {
            if (upper[0] == "TIMESCALE") {
                if (upper.size() < 2 || upper[1] != "=") return kMsgTimescaleEquals;
                const std::string number = upper.size() > 2 ? upper[2] : std::string();
                const double value = ParseNumber(number);
                // A scale that is no number would leave every time of the file wrong.
                if (ParseError() || !std::isfinite(value) || !(value > 0.0)) {
                    details = {number};
                    return kMsgIllegalNumber;
                }
                timescale = value;
                if (upper.size() > 3) return kMsgTimescaleLine;
                continue;
            }
            for (std::size_t i = 0; i < upper.size(); ++i) {
                const std::string& w = upper[i];
                int count = 0;
                if (w == "HEX") count = 4;
                if (w == "OCT") count = 3;
                if (count == 0) {
                    names.push_back(w);
                    format += '1';
                } else {
                    if (i + 1 >= upper.size() || upper[i + 1] != "(") {
                        details = {"(", words[i]};
                        return kMsgExpectingFollow;
                    }
                    i += 2;
                    for (int k = 0; k < count; ++k, ++i) {
                        if (i >= upper.size() || upper[i] == ")") {
                            details = {w};
                            return kMsgMissingSignal;
                        }
                        names.push_back(upper[i]);
                    }
                    if (i >= upper.size() || upper[i] != ")") {
                        details = {")", w};
                        return kMsgExpectingFollow;
                    }
                    format += count == 4 ? '4' : '3';
                }
                if (static_cast<int>(names.size()) > kMaxSignals) {
                    details = {std::to_string(kMaxSignals)};
                    return kMsgTooManySignals;
                }
            }
            continue;
        }
        if (words.empty()) continue;
        StimulusStep step;
        step.flags = upper[0][0] == '+' ? kStepRelative : kStepAbsolute;
        const double time = lineTime(upper[0]);
        if (std::isnan(time)) return kMsgMissingTime;
        step.time = time * timescale;
        // Times that go back (or before the run's start) are refused here, at their line, rather
        // than when the run plays them.
        const double at = step.flags == kStepRelative ? fileTime + step.time : step.time;
        if (at < fileTime || (!program.steps.empty() && at == fileTime && step.flags == kStepAbsolute))
            return kMsgAscending;
        fileTime = at;
        const std::string value = lineValue(upper);
        if (value.size() != format.size()) {
            details = {value};
            return kMsgValueCount;
        }
        if (ExpandValue(value, format, step.value)) {
            details = {value};
            return kMsgInvalidValue;
        }
        program.steps.push_back(std::move(step));
    }
    // A file that ends in its header (or is empty) has no steps, but its pins are still to be
    // found among its signals: a pin it does not name is no silent X.
    if (header) {
        if (int id = endHeader()) return id;
    }
    return 0;
}

namespace {

// Plays one program into its device's changes. 0, or the message id of a failure.
// inPlace: a jump came back at the time of the one before it, so the loop's steps fall at one
// instant.
int PlayProgram(DigitalDeviceTables& d, int device, StimulusProgram& p, double start, double end, std::mt19937& random,
                bool& inPlace)
{
    inPlace = false;
    p.events.clear();
    const std::size_t dev = static_cast<std::size_t>(device);
    const int outputs = DeviceOutputCount(d, device);
    for (StimulusStep& s : p.steps) s.remaining = s.count;
    double current = start, offset = 0.0;
    std::string value(static_cast<std::size_t>(p.width), '0');
    std::vector<int> last(static_cast<std::size_t>(std::max<int>(outputs, p.width)), -1);
    const std::uint32_t nowTick = 0;
    std::int64_t previousTick = -1;
    bool jumped = false;
    int jumpsWithoutTime = 0;
    auto tickOf = [&](double t) { return std::llround((t - d.origin) / d.timeUnit); };
    // The tick at which each jump (an ENDREPEAT or a GOTO) was last taken: a loop runs in place
    // when its own jump comes back at the same tick, also when its steps add a time too small
    // for the run's tick. Such passes are counted over the whole walk: a loop that creeps on by
    // less than a tick per pass would take more passes than any run can hold before its end.
    // The jumps of nested loops that end together fall at one instant without any loop being
    // empty.
    std::vector<std::int64_t> tickAtLastJump(p.steps.size(), std::numeric_limits<std::int64_t>::min());
    auto jumpInPlace = [&](std::size_t step) {
        const std::int64_t tick = tickOf(current);
        if (tick == tickAtLastJump[step]) {
            inPlace = true;
            return ++jumpsWithoutTime > kMaxJumpsWithoutTime;
        }
        tickAtLastJump[step] = tick;
        return false;
    };
    // A switch's one step drives the level its lever shows, not the one it was compiled with.
    const SchematicItem* lever = d.primitive[dev] == kComponentDigitalSwitch ? d.component[dev] : nullptr;
    std::vector<bool> passStarted(p.steps.size(), false);
    for (std::size_t i = 0; i < p.steps.size();) {
        StimulusStep& s = p.steps[i];
        if (s.flags & kStepRepeat) {
            if (s.remaining == 0) {
                s.remaining = s.count;
                passStarted[i] = false;
                offset = 0.0;
                i = static_cast<std::size_t>(s.target) + 1;
                continue;
            }
            if (s.remaining > 0) --s.remaining;
            if (passStarted[i]) offset = current;
            passStarted[i] = true;
            ++i;
            continue;
        }
        if (s.flags & kStepEndRepeat) {
            if (jumpInPlace(i)) return kMsgLoopWithoutTime;
            i = static_cast<std::size_t>(s.target);
            continue;
        }
        const bool arrived = jumped;
        if (jumped) {
            // The loop comes round again from its label's step, now at the time of the jump:
            // the absolute times in it move on by as much as that step did, on top of what
            // they had moved before (the step's time of the last pass already holds that).
            offset += current - s.resolved;
            jumped = false;
        } else if (s.flags & kStepRelative) {
            current += s.time;
        } else if (s.flags & kStepAbsolute) {
            current = s.time + offset;
        }
        if (current > end) return 0;
        s.resolved = current;
        const std::int64_t tick = tickOf(current);
        // A step that a jump came back to runs at the jump's own time.
        if (tick < previousTick ||
            (tick == previousTick && (s.flags & kStepAbsolute) && !(s.flags & kStepGoto) && !arrived))
            return kMsgAscending;
        previousTick = tick;
        if (tick > static_cast<std::int64_t>(d.endTime)) return 0;
        if (s.flags & kStepGoto) {
            bool take;
            if (s.flags & (kStepUntilGt | kStepUntilGe | kStepUntilLt | kStepUntilLe)) {
                std::uint64_t a = 0, b = 0;
                Numeric(value, random, a);
                Numeric(s.value, random, b);
                take = (s.flags & kStepUntilGt) ? a <= b : (s.flags & kStepUntilGe) ? a < b
                       : (s.flags & kStepUntilLt) ? a >= b : a > b;
            } else if (s.remaining == 0) {
                s.remaining = s.count;
                take = false;
            } else {
                if (s.remaining > 0) --s.remaining;
                take = true;
            }
            if (take) {
                if (jumpInPlace(i)) return kMsgLoopWithoutTime;
                i = static_cast<std::size_t>(s.target);
                jumped = true;
                continue;
            }
            ++i;
            continue;
        }
        if (s.flags & (kStepIncrBy | kStepDecrBy)) {
            std::uint64_t a = 0, b = 0;
            if (Numeric(value, random, a) && Numeric(s.value, random, b)) {
                const std::uint64_t mask = p.width >= 64 ? ~0ull : ((1ull << p.width) - 1);
                value = Bits(((s.flags & kStepIncrBy) ? a + b : a - b) & mask, p.width);
            }
        } else {
            value = lever ? std::string(lever->switchOn ? "1" : "0") : s.value;
            for (char& c : value)
                if (c == '?') c = (random() % 2 == 0) ? '1' : '0';
        }
        const int pins = std::min<int>(static_cast<int>(p.bitOrder.size()), outputs);
        for (int pin = 0; pin < pins; ++pin) {
            const char c = value[static_cast<std::size_t>(p.bitOrder[static_cast<std::size_t>(pin)])];
            const int level = d.stateCharIndex[static_cast<unsigned char>(c)];
            if (level > kStateUnknown) continue;
            const int strength = level == kStateZ ? 0 : SettledLevel(level) == kState1 ? d.workHighStrength[dev]
                                                                                        : d.workLowStrength[dev];
            const int state = MakeDigitalState(level == kStateZ ? kStateX : level, strength);
            if (state == last[static_cast<std::size_t>(pin)]) continue;
            // A pin's first value holds from the start of the run, whenever its step comes.
            std::int64_t at = last[static_cast<std::size_t>(pin)] < 0 ? static_cast<std::int64_t>(nowTick) : tick;
            if (last[static_cast<std::size_t>(pin)] >= 0 && tick != static_cast<std::int64_t>(nowTick)) {
                const std::size_t o = static_cast<std::size_t>(DeviceOutputIndex(d, device, outputs - pin));
                at += SettledLevel(level) == kState1 ? d.riseLoadDelay[o] : d.fallLoadDelay[o];
            }
            last[static_cast<std::size_t>(pin)] = state;
            p.events.push_back({static_cast<std::uint32_t>(std::min<std::int64_t>(at, 0xFFFFFFFFll)),
                                static_cast<std::int16_t>(pin), static_cast<std::uint16_t>(state), true});
        }
        ++i;
    }
    return 0;
}

}  // namespace

int ScheduleSwitchLevel(const SchematicItem* item)
{
    DigitalDeviceTables& d = DigitalSimulator();
    if (!item) return 0;
    for (int dev = 1; dev <= d.deviceCount; ++dev) {
        const std::size_t i = static_cast<std::size_t>(dev);
        if (d.component[i] != item || d.primitive[i] != kComponentDigitalSwitch) continue;
        const int outputs = DeviceOutputCount(d, dev);
        if (outputs < 1 || d.now == 0xFFFFFFFFu) return 0;
        const int node = DeviceOutputNode(d, dev, outputs);
        // The tick in hand has had its events applied; the next one is the earliest the time
        // loop can still land on, so the readers see the click there and not at a later step.
        return QueueNodeEvent(d.now + 1, d.workLowStrength[i], d.workHighStrength[i], node, dev,
                              item->switchOn ? kState163 : kState063);
    }
    return 0;
}

int StepStimulusDevices(double start, double end)
{
    DigitalDeviceTables& d = DigitalSimulator();
    // Seeded per run, so that RND values repeat from run to run.
    std::mt19937 random(1);
    for (int dev = 1; dev <= d.deviceCount; ++dev) {
        auto* program = dynamic_cast<StimulusProgram*>(d.record[static_cast<std::size_t>(dev)].get());
        if (!program) continue;
        int rc;
        bool inPlace = false;
        try {
            rc = PlayProgram(d, dev, *program, start, end, random, inPlace);
        } catch (const std::bad_alloc&) {
            return 15002;
        }
        SchematicItem* part = d.component[static_cast<std::size_t>(dev)];
        // A jump takes no time, so a loop whose steps add none runs all its passes at one
        // instant; that is seldom what was meant (a counter meant to count in cycles).
        if (inPlace && !rc)
            ReportComponentMessage(part, kMsgLoopInOneInstant, part ? GetAttributeText(part, kAttrPart) : std::string());
        if (rc) {
            if (rc == kMsgLoopWithoutTime)
                ReportComponentMessage(part, rc, part ? GetAttributeText(part, kAttrPart) : std::string());
            else
                ReportComponentMessage(part, rc);
            return 15055;
        }
    }
    return 0;
}

}  // namespace kq5
