// Independent sources: "[DC] v [AC mag [phase]] [PULSE|SIN|EXP|SFFM (p...)] [PWL ...]", and
// the pulse and sine source parts, which take their waveform from a model.
#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <vector>

#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "netlist/resistor_device.h"
#include "netlist/source_device.h"
#include "netlist/build_errors.h"
#include "document/component_types.h"
#include "netlist/model_statements.h"
#include "netlist/translate_common.h"
#include "netlist/translate_components.h"

namespace kq5 {

namespace {

struct SourceFunctionRow {
    const char* name;
    std::int32_t id;
    int parameters;  // -1 any
};

constexpr SourceFunctionRow kSourceFunctionTable[] = {
    {"PULSE", kSourcePulse, 7}, {"SIN", kSourceSin, 6}, {"EXP", kSourceExp, 6},
    {"PWL", kSourcePwl, -1},    {"SFFM", kSourceSffm, 5},
};

constexpr int kMsgNeedTwoValues = 10622;
constexpr int kMsgStimulus = 10623;
constexpr int kMsgMissingFor = 10624;
constexpr int kMsgExpectingForForever = 10625;
constexpr int kMsgEndRepeatFirst = 10626;
constexpr int kMsgMissingEndRepeat = 10627;
constexpr int kMsgFileInPwl = 10628;
constexpr int kMsgMissingTimeScale = 10629;
constexpr int kMsgMissingValueScale = 10630;
constexpr int kMsgEmptyRepeat = 10632;
constexpr int kMsgMissingPwlValue = 10621;
constexpr int kMsgAlreadyDc = 10839;
constexpr int kMsgNotNegative = 14072;
constexpr int kMsgTooManyParameters = 10420;
constexpr int kMsgExpectingToFollow = 11901;
constexpr int kMsgExtraText = 11903;

const SourceFunctionRow* FindSourceFunction(const std::string& word)
{
    for (const SourceFunctionRow& row : kSourceFunctionTable)
        if (word == row.name) return &row;
    return nullptr;
}

bool IsValueToken(const std::string& token)
{
    return !token.empty() && (HasCharClass(token[0], kCharNumberStart) || token[0] == '{');
}

// The tokens of the text, split as SPICE lines are (a braced group is one token).
std::vector<std::string> SplitSourceTokens(std::string text)
{
    std::vector<std::string> tokens;
    for (char* token = NextToken(text.data(), kTokenSpice); token; token = NextToken(nullptr, kTokenSpice))
        tokens.emplace_back(token);
    return tokens;
}

class SourceParser {
public:
    SourceParser(SchematicItem* component, IndependentSourceDevice& source, std::vector<std::string> tokens)
        : component_(component), source_(source), tokens_(std::move(tokens))
    {
    }

    int Run()
    {
        bool haveDc = false;
        bool haveFunction = false;
        while (i_ < tokens_.size()) {
            const std::string& token = tokens_[i_];
            if (token == "DC") {
                if (i_ + 1 >= tokens_.size() || !IsValueToken(tokens_[i_ + 1]))
                    return Report(kMsgExpectingToFollow, "<value>", "DC");
                ++i_;
                if (int rc = TakeDc(haveDc)) return rc;
            } else if (IsValueToken(token)) {
                if (int rc = TakeDc(haveDc)) return rc;
            } else if (token == "AC") {
                if (i_ + 1 >= tokens_.size() || !IsValueToken(tokens_[i_ + 1]))
                    return Report(kMsgExpectingToFollow, "<value>", "AC");
                ++i_;
                if (int rc = Evaluate(tokens_[i_++], source_.acMagnitude)) return rc;
                if (i_ < tokens_.size() && IsValueToken(tokens_[i_]))
                    if (int rc = Evaluate(tokens_[i_++], source_.acPhase)) return rc;
            } else if (token == "STIMULUS") {
                ReportComponentMessage(component_, kMsgStimulus);
                i_ += 2;
            } else if (const SourceFunctionRow* row = FindSourceFunction(token); row && !haveFunction) {
                haveFunction = true;
                source_.function = row->id;
                ++i_;
                if (int rc = row->id == kSourcePwl ? ReadPwl() : ReadParameters(*row)) return rc;
            } else {
                return Report(kMsgExtraText, token);
            }
        }
        source_.dcWorking = source_.dcValue;
        return 0;
    }

private:
    template <class... Args>
    int Report(int id, Args&&... args)
    {
        return ReportComponentMessage(component_, id, std::forward<Args>(args)...);
    }

    int Evaluate(const std::string& text, double& value)
    {
        // A compile error is reported here, with the part, so that the user is shown its line.
        int error = 0;
        std::array<std::string, 2> texts;
        value = EvalNumberOrExpressionQuiet(text, error, texts);
        if (error == 0) return 0;
        if (error != kMsgAlreadyReported) {
            if (texts[0].empty() && texts[1].empty()) Report(error, text, std::string());
            else Report(error, texts[0], texts[1]);
        }
        FlagCircuitBuildError();
        return kMsgAlreadyReported;
    }

    int TakeDc(bool& haveDc)
    {
        if (haveDc) return Report(kMsgAlreadyDc);
        haveDc = true;
        return Evaluate(tokens_[i_++], source_.dcValue);
    }

    int ReadParameters(const SourceFunctionRow& row)
    {
        int count = 0;
        while (count < row.parameters && i_ < tokens_.size() && IsValueToken(tokens_[i_])) {
            if (int rc = Evaluate(tokens_[i_++], source_.params[static_cast<std::size_t>(count)])) return rc;
            ++count;
        }
        if (count < 2) return Report(kMsgNeedTwoValues, row.name);
        // A value beyond the function's list would be taken as the DC value, or refused as a
        // second one: other simulators' extra parameters (the pulse count of PULSE) mean
        // something this source does not do.
        if (count == row.parameters && i_ < tokens_.size() && IsValueToken(tokens_[i_])) {
            std::string text = std::string(row.name) + "(";
            for (std::size_t k = i_ - static_cast<std::size_t>(count); k <= i_; ++k)
                text += tokens_[k] + (k < i_ ? " " : ")");
            return Report(kMsgTooManyParameters, text);
        }
        // The rise, fall and width of a pulse are spans of time: a negative one would fold the
        // pulse back on itself and drive corners in the wrong order.
        if (row.id == kSourcePulse) {
            static constexpr const char* kSpanNames[] = {"TR", "TF", "PW"};
            for (int k = 3; k <= 5 && k < count; ++k)
                if (const double span = source_.params[static_cast<std::size_t>(k)]; span < 0.0)
                    return Report(kMsgNotNegative, kSpanNames[k - 3], span);
        }
        source_.lastParam = count;
        return 0;
    }

    // The PWL list up to the first word it does not know.
    int ReadPwl()
    {
        PwlData& pwl = source_.pwl;
        std::vector<std::size_t> open;  // entry index of each open REPEAT
        while (i_ < tokens_.size()) {
            const std::string& word = tokens_[i_];
            if (word == "TIME_SCALE_FACTOR" || word == "VALUE_SCALE_FACTOR") {
                const bool time = word[0] == 'T';
                if (i_ + 1 >= tokens_.size() || !IsValueToken(tokens_[i_ + 1])) {
                    ++i_;
                    if (time) {
                        Report(kMsgMissingTimeScale);
                        continue;
                    }
                    return Report(kMsgMissingValueScale);
                }
                if (int rc = Evaluate(tokens_[i_ + 1], time ? pwl.timeScale : pwl.valueScale)) return rc;
                i_ += 2;
            } else if (word == "REPEAT") {
                PwlEntry entry;
                entry.kind = kPwlRepeat;
                const std::string next = i_ + 1 < tokens_.size() ? tokens_[i_ + 1] : std::string();
                if (next == "FOREVER") {
                    entry.repeatCount = kPwlForever;
                    i_ += 2;
                } else if (next == "FOR") {
                    if (i_ + 2 >= tokens_.size() || !IsValueToken(tokens_[i_ + 2])) return Report(kMsgMissingFor);
                    double count = 0.0;
                    if (int rc = Evaluate(tokens_[i_ + 2], count)) return rc;
                    entry.repeatCount = DoubleToIntClamped(count);
                    i_ += 3;
                } else {
                    return Report(kMsgExpectingForForever);
                }
                open.push_back(pwl.entries.size());
                pwl.entries.push_back(std::move(entry));
                pwl.deepestNesting = std::max(pwl.deepestNesting, static_cast<std::int32_t>(open.size()));
            } else if (word == "ENDREPEAT") {
                if (open.empty()) return Report(kMsgEndRepeatFirst);
                if (open.back() + 1 == pwl.entries.size()) return Report(kMsgEmptyRepeat);
                open.pop_back();
                PwlEntry entry;
                entry.kind = kPwlEndRepeat;
                pwl.entries.push_back(std::move(entry));
                ++i_;
            } else if (word == "FILE") {
                Report(kMsgFileInPwl);
                i_ += 2;
            } else if (IsValueToken(word)) {
                if (i_ + 1 >= tokens_.size() || !IsValueToken(tokens_[i_ + 1])) return Report(kMsgMissingPwlValue);
                PwlEntry entry;
                entry.kind = kPwlPoint;
                if (int rc = Evaluate(word, entry.time)) return rc;
                entry.value = tokens_[i_ + 1];
                pwl.entries.push_back(std::move(entry));
                i_ += 2;
            } else {
                break;
            }
        }
        if (!open.empty()) return Report(kMsgMissingEndRepeat);
        pwl.entryCount = static_cast<std::int32_t>(pwl.entries.size());
        const auto levels = static_cast<std::size_t>(pwl.deepestNesting);
        pwl.repeatStart.assign(levels, 0);
        pwl.repeatLeft.assign(levels, 0);
        pwl.repeatTimeOffset.assign(levels, 0.0);
        return 0;
    }

    SchematicItem* component_;
    IndependentSourceDevice& source_;
    std::vector<std::string> tokens_;
    std::size_t i_ = 0;
};

}  // namespace

int TranslateIndependentSource(SchematicItem* component, int typeCode, std::int32_t plus, std::int32_t minus,
                               std::int32_t sourceType)
{
    IndependentSourceDevice* source = AppendVoltageSourceDevice(sourceType, 0.0, plus, minus);
    if (!source) return kMsgAlreadyReported;
    source->component = component;
    if (RegisterPartInstance(source, typeCode, component)) return kMsgAlreadyReported;
    try {
        std::string text = CurrentMainText();
        while (!text.empty() && HasCharClass(text.back(), kCharSpace)) text.pop_back();
        SourceParser parser(component, *source, SplitSourceTokens(std::move(text)));
        return parser.Run();
    } catch (const std::bad_alloc&) {
        return FlagCircuitBuildOutOfMemory();
    }
}

int TranslatePulseSource(SchematicItem* component)
{
    auto* source = AppendDevice<PulseSourceDevice>(kPulseSourceDeviceList);
    if (!source) return kMsgAlreadyReported;
    source->nodePlus = PinNode(component, 0);
    source->nodeMinus = PinNode(component, 1);
    if (!(source->model = PartModel(component))) return kMsgAlreadyReported;
    if (RegisterPartInstance(source, kComponentPulseSource, component))
        return kMsgAlreadyReported;
    return 0;
}

int TranslateSineSource(SchematicItem* component)
{
    auto* source = AppendDevice<SineSourceDevice>(kSineSourceDeviceList);
    if (!source) return kMsgAlreadyReported;
    source->nodePlus = PinNode(component, 0);
    source->nodeMinus = PinNode(component, 1);
    source->internalPlus = source->nodePlus;
    if (!(source->model = PartModel(component))) return kMsgAlreadyReported;
    const double rs = ModelParam(source->model, "RS");
    if (rs != 0.0) {
        source->internalPlus = MakeInternalNode(component, rs, "_plus", source->nodePlus);
        if (!AppendResistorDevice(rs, source->nodePlus, source->internalPlus, 0)) return kMsgAlreadyReported;
    }
    if (RegisterPartInstance(source, kComponentSineSource, component))
        return kMsgAlreadyReported;
    return 0;
}

}  // namespace kq5
