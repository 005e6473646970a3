// The compilers of the LOGIC, PINDELAY and CONSTRAINT texts: sections, items and the braced
// expressions, compiled against the part's own variables.
#include "digital/digital_programs.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <new>

#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/expr_symbols.h"
#include "core/digital_logic_tables.h"
#include "core/message_reporter.h"
#include "document/schematic_item.h"
#include "netlist/global_options.h"
#include "document/label_names.h"
#include "netlist/translate_common.h"

namespace kq5 {

namespace {

constexpr int kMsgExpecting = 11902;
constexpr int kMsgExpectingAfterValue = 13225;
constexpr int kMsgMustSpecifyLogic = 13221;
constexpr int kMsgAssignToInput = 13222;
constexpr int kMsgAssignExpression = 13223;
constexpr int kMsgIllegalVariable = 13226;
constexpr int kMsgUnknownFormat = 13227;
constexpr int kMsgTristateEnable = 13228;
constexpr int kMsgPinDelaySection = 13229;
constexpr int kMsgConstraintSection = 13230;
constexpr int kMsgMustBeInput = 13231;
constexpr int kMsgDataRange = 13232;
constexpr int kMsgAssignEnable = 13233;
constexpr int kMsgIllegalTemporary = 13243;
constexpr int kMsgIllegalEnable = 13244;
constexpr int kMsgIllegalOutput = 13245;
constexpr int kMsgIllegalNode = 13246;
constexpr int kMsgIllegalDataNode = 13247;
constexpr int kMsgIllegalBoolean = 13248;

// Compile and conversion masks of the three sorts of expression.
constexpr std::uint32_t kConvertLogic = 64;
constexpr std::uint32_t kConvertDelay = 128;
constexpr std::uint32_t kConvertCondition = 32;

struct SectionKeyword {
    const char* word;
    int kind;
};
constexpr SectionKeyword kSectionKeywords[] = {
    {"BOOLEAN", kSectionBoolean}, {"SETUP_HOLD", kSectionSetupHold}, {"WIDTH", kSectionWidth},
    {"FREQ", kSectionFreq},       {"GENERAL", kSectionGeneral},       {"PINDLY", kSectionPinDelay},
    {"TRISTATE", kSectionTristate},
};

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'; }

// Upper case outside double quotes: keywords and names compare in upper case, messages keep
// the user's spelling.
std::string UpperOutsideQuotes(const std::string& text)
{
    std::string out = text;
    bool quoted = false;
    for (char& c : out) {
        if (c == '"') quoted = !quoted;
        else if (!quoted) c = ToUpperChar(c);
    }
    return out;
}

// One compilation: the cursor over the text, the record's variables and the first error.
class ProgramCompiler {
public:
    ProgramCompiler(const ProgramPart& part, ProgramRecord& record, const std::string& text)
        : part_(part), record_(record), text_(UpperOutsideQuotes(text))
    {
    }

    int error = 0;

    // The pins as variables, in pin order: inputs below the input count, the rest other pins.
    bool AddPinVariables()
    {
        for (int i = 0; i < static_cast<int>(part_.pinNames.size()); ++i) {
            const std::string& name = part_.pinNames[static_cast<std::size_t>(i)];
            if (HasIllegalLabelChar(name, 0)) return Fail(kMsgIllegalVariable, name);
            Append(name, i < record_.inputCount ? kVariableInput : kVariablePin);
        }
        return true;
    }

    void SkipBlanks()
    {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    }
    bool AtEnd()
    {
        SkipBlanks();
        return pos_ >= text_.size();
    }
    std::string Word()
    {
        SkipBlanks();
        const std::size_t start = pos_;
        while (pos_ < text_.size() && IsWordChar(text_[pos_])) ++pos_;
        return text_.substr(start, pos_ - start);
    }
    // The next word as a message shows what was found.
    std::string Found()
    {
        SkipBlanks();
        std::size_t end = pos_;
        if (end < text_.size() && IsWordChar(text_[end]))
            while (end < text_.size() && IsWordChar(text_[end])) ++end;
        else
            while (end < text_.size() && !std::isspace(static_cast<unsigned char>(text_[end]))) ++end;
        const std::string found = text_.substr(pos_, end - pos_);
        return found.empty() ? std::string("Nothing") : found;
    }
    bool Peek(char c)
    {
        SkipBlanks();
        return pos_ < text_.size() && text_[pos_] == c;
    }

    bool Fail(int id) { return Fail(id, std::string()); }
    bool Fail(int id, const std::string& argument)
    {
        if (error) return false;
        if (argument.empty())
            ReportComponentMessage(part_.item, id);
        else
            ReportComponentMessage(part_.item, id, argument);
        error = 15055;
        return false;
    }
    bool ExpectKeyword(const std::string& expected, const char* value = nullptr)
    {
        if (error) return false;
        const std::string found = Found();
        if (value)
            ReportComponentMessage(part_.item, kMsgExpectingAfterValue, expected, found, std::string(value));
        else
            ReportComponentMessage(part_.item, kMsgExpecting, expected, found);
        error = 15055;
        return false;
    }
    bool Expect(char c, const char* value = nullptr)
    {
        if (Peek(c)) {
            ++pos_;
            return true;
        }
        return ExpectKeyword(std::string(1, c), value);
    }

    // A section keyword at the cursor ("SETUP_HOLD:"): its kind, the cursor after the ':'.
    int SectionAt(int lastKind)
    {
        SkipBlanks();
        const std::size_t save = pos_;
        const std::string word = Word();
        if (Peek(':')) {
            for (const SectionKeyword& k : kSectionKeywords) {
                if (word == k.word && k.kind <= lastKind) {
                    ++pos_;
                    return k.kind;
                }
            }
        }
        pos_ = save;
        return 0;
    }

    // "LOGIC:" at the start of the text.
    bool LogicHeader()
    {
        SkipBlanks();
        const std::size_t save = pos_;
        if (Word() == "LOGIC" && Peek(':')) {
            ++pos_;
            return true;
        }
        pos_ = save;
        return false;
    }

    // '=' '{' expression '}': the expression text, the cursor after the brace.
    bool BracedExpression(std::string& expression)
    {
        if (!Expect('=') || !Expect('{')) return false;
        const std::size_t close = text_.find('}', pos_);
        if (close == std::string::npos) {
            pos_ = text_.size();
            return ExpectKeyword("}");
        }
        expression = text_.substr(pos_, close - pos_);
        pos_ = close + 1;
        return true;
    }

    bool Compile(const std::string& expression, std::uint32_t allowed, std::uint32_t convert, std::vector<DigitalCode>& code)
    {
        const OutsideNameTable names = record_.variables.AsOutsideNames();
        CompiledExpression compiled;
        ExpressionRequest request;
        InitExpressionRecord(expression, &compiled, kContextTransient, allowed, request);
        request.quiet = true;
        request.subcircuitLevel = part_.item ? part_.item->scope : 0;
        SetExpressionNameTable(&names);
        int rc = CompileExpression(request);
        SetExpressionNameTable(nullptr);
        if (rc == 15002) {
            error = 15002;
            return false;
        }
        if (rc == 0) {
            int count = 0;
            rc = ConvertToDigitalCode(code, count, compiled, convert);
            FreeCompiledExpression(compiled);
            if (rc) error = rc;
            return rc == 0;
        }
        FreeCompiledExpression(compiled);
        if (rc == 15055) {
            error = 15055;
            return false;
        }
        if (request.quietTexts[1].empty() && request.quietTexts[0].empty()) return Fail(rc);
        ReportComponentMessage(part_.item, rc, request.quietTexts[0], request.quietTexts[1]);
        error = 15055;
        return false;
    }

    // The index of the name, added with the kind when absent (search off: always added).
    // An illegal name is reported with the message; -1 then.
    int FindOrAddVariable(const std::string& name, std::uint32_t kind, bool search, int message)
    {
        if (HasIllegalLabelChar(name, 0)) {
            Fail(message, name);
            return -1;
        }
        if (search) {
            const int found = record_.variables.Find(name);
            if (found >= 0) return found;
        }
        Append(CopyUpperCase(name), kind);
        return record_.variables.Count() - 1;
    }

    // '=' and a node name that must be one of the checked inputs.
    bool NodeAfterEquals(int& index)
    {
        if (!Expect('=')) return false;
        const std::string name = Word();
        index = FindOrAddVariable(name, kVariableTemporary, true, kMsgIllegalNode);
        if (index < 0) return false;
        if (index >= record_.inputCount) return Fail(kMsgMustBeInput, name);
        return true;
    }

    bool NumberAfterEquals(double& value)
    {
        if (!Expect('=')) return false;
        SkipBlanks();
        const std::size_t start = pos_;
        while (pos_ < text_.size() &&
               (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '.' ||
                ((text_[pos_] == '-' || text_[pos_] == '+') &&
                 (pos_ == start || text_[pos_ - 1] == 'E'))))
            ++pos_;
        const std::string number = text_.substr(start, pos_ - start);
        value = number.empty() ? 0.0 : ParseNumber(number);
        if (number.empty() || ParseError() || !std::isfinite(value)) {
            pos_ = start;
            return ExpectKeyword("value");
        }
        return true;
    }

    bool TimeAfterEquals(ConstraintTime& slot)
    {
        double value = 0.0;
        if (!NumberAfterEquals(value)) return false;
        slot.seconds = value;
        return true;
    }

    // Items every check section takes: WHEN, MESSAGE, ERRORLIMIT.
    bool CommonItem(const std::string& item, ConstraintSection& section)
    {
        if (item == "WHEN") {
            std::string expression;
            return BracedExpression(expression) &&
                   Compile(expression, kDigitalConditionKinds, kConvertCondition, section.code);
        }
        if (item == "MESSAGE") {
            if (!Expect('=', "MESSAGE") || !Expect('"', "MESSAGE")) return false;
            const std::size_t close = text_.find('"', pos_);
            if (close == std::string::npos) {
                pos_ = text_.size();
                return ExpectKeyword("\"", "MESSAGE");
            }
            section.message = text_.substr(pos_, close - pos_);
            pos_ = close + 1;
            return true;
        }
        if (item == "ERRORLIMIT") {
            double value = 0.0;
            if (!NumberAfterEquals(value)) return false;
            const double n = std::trunc(value);
            section.errorLimit = n == 0.0 || n >= INT_MAX ? INT_MAX : n <= 0.0 ? 1 : static_cast<std::int32_t>(n);
            return true;
        }
        return Fail(kMsgUnknownFormat, item);
    }

    bool BooleanItem(const std::string& name, ConstraintSection& section)
    {
        std::string expression;
        if (!BracedExpression(expression) ||
            !Compile(expression, kDigitalConditionKinds, kConvertCondition, section.code))
            return false;
        const int index = FindOrAddVariable(name, kVariableTemporary, true, kMsgIllegalBoolean);
        if (index < 0) return false;
        if (index < record_.inputCount) return Fail(kMsgAssignToInput, name);
        section.target = index;
        return true;
    }

    bool SetupHoldItem(const std::string& item, ConstraintSection& section)
    {
        if (item == "CLOCK") {
            const std::string edge = Word();
            if (edge == "LH") section.clockEdge = 1;
            else if (edge == "HL") section.clockEdge = 0;
            else {
                pos_ -= edge.size();
                return ExpectKeyword("LH or HL");
            }
            return NodeAfterEquals(section.target);
        }
        if (item == "DATA") {
            if (!Expect('(')) return false;
            SkipBlanks();
            const std::size_t start = pos_;
            if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
            while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) ++pos_;
            const std::string digits = text_.substr(start, pos_ - start);
            long long n = 0;
            for (char c : digits)
                if (std::isdigit(static_cast<unsigned char>(c)) && n < 1000000000) n = n * 10 + (c - '0');
            if (!digits.empty() && digits[0] == '-') n = -n;
            if (!Expect(')')) return false;
            // More data nodes than the part has inputs cannot name distinct inputs.
            if (n < 1 || n > record_.inputCount) return Fail(kMsgDataRange, digits);
            if (!Expect('=')) return false;
            section.data.clear();
            for (long long k = 0; k < n; ++k) {
                const std::string name = Word();
                if (name.empty()) return ExpectKeyword("values");
                const int index = record_.variables.Find(name);
                if (index < 0) return Fail(kMsgIllegalDataNode, name);
                if (index >= record_.inputCount) return Fail(kMsgMustBeInput, name);
                section.data.push_back(index);
            }
            return true;
        }
        static const char* const kSlots[] = {"SETUPTIME",   "SETUPTIME_HI", "SETUPTIME_LO",   "HOLDTIME",      "HOLDTIME_HI",
                                             "HOLDTIME_LO", "RELEASETIME",  "RELEASETIME_LH", "RELEASETIME_HL"};
        for (int s = 0; s < 9; ++s)
            if (item == kSlots[s]) return TimeAfterEquals(section.slots[static_cast<std::size_t>(s)]);
        return CommonItem(item, section);
    }

    bool WidthItem(const std::string& item, ConstraintSection& section)
    {
        if (item == "NODE") return NodeAfterEquals(section.target);
        if (item == "MIN_HI") return TimeAfterEquals(section.slots[kSlotMinHi]);
        if (item == "MIN_LO") return TimeAfterEquals(section.slots[kSlotMinLo]);
        return CommonItem(item, section);
    }

    bool FreqItem(const std::string& item, ConstraintSection& section)
    {
        if (item == "NODE") return NodeAfterEquals(section.target);
        if (item == "MINFREQ" || item == "MAXFREQ") {
            const bool minimum = item == "MINFREQ";
            ConstraintTime& slot = section.slots[minimum ? kSlotMinFreq : kSlotMaxFreq];
            if (!TimeAfterEquals(slot)) return false;
            if (slot.seconds > 0.0) section.slots[minimum ? kSlotMaxPeriod : kSlotMinPeriod].seconds = 1.0 / slot.seconds;
            return true;
        }
        return CommonItem(item, section);
    }

    // One item of a check section: its name, then what the section kind takes.
    bool CheckItem(ConstraintSection& section)
    {
        const std::string item = Word();
        if (item.empty()) return Fail(kMsgUnknownFormat, Found());
        switch (section.kind) {
        case kSectionBoolean: return BooleanItem(item, section);
        case kSectionSetupHold: return SetupHoldItem(item, section);
        case kSectionWidth: return WidthItem(item, section);
        case kSectionFreq: return FreqItem(item, section);
        default: return CommonItem(item, section);
        }
    }

    ConstraintSection& OpenSection(int kind)
    {
        ConstraintSection section;
        section.kind = kind;
        section.errorLimit = GlobalOptions().values.digerrdefault;
        if (section.errorLimit <= 0) section.errorLimit = INT_MAX;
        record_.sections.push_back(std::move(section));
        return record_.sections.back();
    }

    // "ENABLE HI = name" or "ENABLE LO = name" after TRISTATE:.
    bool TristateEnable(ConstraintSection& section, int outputCount, int enableCount)
    {
        const std::size_t save = pos_;
        const std::string enable = Word();
        const std::string polarity = enable == "ENABLE" ? Word() : std::string();
        if (polarity != "HI" && polarity != "LO") {
            pos_ = save;
            return Fail(kMsgTristateEnable);
        }
        section.enablePolarity = polarity == "HI" ? 1 : 2;
        if (!Expect('=')) return false;
        const std::string name = Word();
        const int index = FindOrAddVariable(name, kVariableTemporary, true, kMsgIllegalEnable);
        if (index < 0) return false;
        if (index < outputCount || index >= outputCount + enableCount) return Fail(kMsgAssignEnable, name);
        section.enable = index;
        return true;
    }

    // "name name ... = { delay }" of a PINDLY: or TRISTATE: section.
    bool DelayStatement(ConstraintSection& section)
    {
        std::vector<std::string> names;
        while (!AtEnd() && !Peek('=')) {
            const std::string name = Word();
            if (name.empty()) break;
            names.push_back(name);
        }
        std::string expression;
        if (!BracedExpression(expression) || !Compile(expression, kDigitalDelayKinds, kConvertDelay, section.code))
            return false;
        for (const std::string& name : names) {
            const int index = HasIllegalLabelChar(name, 0) ? -1 : record_.variables.Find(name);
            if (index < 0) return Fail(kMsgIllegalOutput, name);
            if (record_.variables.kinds[static_cast<std::size_t>(index)] != kVariablePin) return Fail(kMsgAssignExpression, name);
            section.outputs.push_back(index);
        }
        return true;
    }

    // LOGIC: assignments in text order.
    int LogicBody(LogicExpRecord& record)
    {
        if (!LogicHeader()) {
            Fail(kMsgMustSpecifyLogic);
            return error;
        }
        while (!AtEnd()) {
            const std::string target = Word();
            std::string expression;
            if (!BracedExpression(expression)) return error;
            LogicAssignment assignment;
            if (!Compile(expression, kDigitalLogicKinds, kConvertLogic, assignment.code)) return error;
            const int index = FindOrAddVariable(target, kVariableTemporary, true, kMsgIllegalTemporary);
            if (index < 0) return error;
            if (index < record.inputCount) {
                Fail(kMsgAssignToInput, target);
                return error;
            }
            assignment.target = index;
            record.assignments.push_back(std::move(assignment));
        }
        return 0;
    }

    // The sections of a PINDLY (all seven kinds) or a CONSTRAINT (the first five).
    int SectionBody(bool pinDelay, int outputCount, int enableCount)
    {
        const int lastKind = pinDelay ? kSectionTristate : kSectionGeneral;
        ConstraintSection* open = nullptr;
        bool statementSeen = false;
        while (!AtEnd()) {
            if (const int kind = SectionAt(lastKind)) {
                open = &OpenSection(kind);
                statementSeen = false;
                if (kind == kSectionTristate && !TristateEnable(*open, outputCount, enableCount)) return error;
                continue;
            }
            if (!open) {
                Fail(pinDelay ? kMsgPinDelaySection : kMsgConstraintSection);
                return error;
            }
            if (open->kind == kSectionPinDelay || open->kind == kSectionTristate) {
                // Each statement keeps its own delay: a further one opens a section of its own.
                if (statementSeen) {
                    ConstraintSection copy;
                    copy.kind = open->kind;
                    copy.enablePolarity = open->enablePolarity;
                    copy.enable = open->enable;
                    copy.errorLimit = open->errorLimit;
                    record_.sections.push_back(std::move(copy));
                    open = &record_.sections.back();
                }
                if (!DelayStatement(*open)) return error;
                statementSeen = true;
                continue;
            }
            if (open->kind == kSectionBoolean && statementSeen) {
                // Each boolean keeps its own target and expression.
                ConstraintSection copy;
                copy.kind = kSectionBoolean;
                copy.errorLimit = open->errorLimit;
                record_.sections.push_back(std::move(copy));
                open = &record_.sections.back();
            }
            if (!CheckItem(*open)) return error;
            statementSeen = true;
        }
        return 0;
    }

private:
    void Append(const std::string& name, std::uint32_t kind)
    {
        record_.variables.names.push_back(CopyUpperCase(name));
        record_.variables.kinds.push_back(kind);
        record_.variables.spare.push_back(0);
    }

    const ProgramPart& part_;
    ProgramRecord& record_;
    std::string text_;
    std::size_t pos_ = 0;
};

void InitRecord(const ProgramPart& part, ProgramRecord& record)
{
    record.pinCount = static_cast<int>(part.pinNames.size());
    record.inputCount = part.inputCount;
    record.pinNodes = part.pinNodes;
    record.pinNodes.resize(part.pinNames.size(), 0);
}

template <class Record, class Body>
int CompileRecord(const ProgramPart& part, const std::string& text, std::unique_ptr<Record>& out, Body body)
{
    try {
        auto record = std::make_unique<Record>();
        InitRecord(part, *record);
        ProgramCompiler compiler(part, *record, text);
        if (!compiler.AddPinVariables()) return compiler.error;
        const int rc = body(compiler, *record);
        if (rc) return rc;
        record->values.assign(static_cast<std::size_t>(record->variables.Count()), kStateX);
        out = std::move(record);
        return 0;
    } catch (const std::bad_alloc&) {
        SetExpressionNameTable(nullptr);
        return 15002;
    }
}

}  // namespace

OutsideNameTable VariableTable::AsOutsideNames() const
{
    OutsideNameTable table;
    table.names = names;
    table.kinds = kinds;
    return table;
}

int VariableTable::Find(const std::string& name) const
{
    int other = -1;
    for (int i = 0; i < Count(); ++i) {
        if (!EqualsNoCase(names[static_cast<std::size_t>(i)], name)) continue;
        const std::uint32_t kind = kinds[static_cast<std::size_t>(i)] & 0xFF;
        if (kind == kVariablePin || kind == kVariableTemporary) return i;
        other = i;
    }
    return other;
}

int CompileLogicExp(const ProgramPart& part, const std::string& text, std::unique_ptr<LogicExpRecord>& record)
{
    return CompileRecord(part, text, record, [](ProgramCompiler& c, LogicExpRecord& r) { return c.LogicBody(r); });
}

int CompilePinDelay(const ProgramPart& part, const std::string& text, std::unique_ptr<PinDelayRecord>& record)
{
    return CompileRecord(part, text, record, [&](ProgramCompiler& c, PinDelayRecord& r) {
        r.outputCount = part.outputCount;
        for (char letter : part.pinLetters) {
            if (letter == 'e') ++r.enableCount;
            if (letter == 'e' || letter == 'r') ++r.refEnableCount;
        }
        const std::size_t n = static_cast<std::size_t>(std::max(r.outputCount, 0));
        r.outputState.assign(n, 0);
        r.outputLow.assign(n, 0);
        r.outputHigh.assign(n, 0);
        r.outputDelay.assign(n, {});
        return c.SectionBody(true, r.outputCount, r.enableCount);
    });
}

int CompileConstraint(const ProgramPart& part, const std::string& text, std::unique_ptr<ConstraintRecord>& record)
{
    ProgramPart all = part;
    // Every pin of a CONSTRAINT is one of its checked inputs.
    all.inputCount = static_cast<int>(part.pinNames.size());
    return CompileRecord(all, text, record, [](ProgramCompiler& c, ConstraintRecord&) { return c.SectionBody(false, 0, 0); });
}

}  // namespace kq5
