#include "core/expr_compiler.h"

#include <cmath>
#include <cstdlib>
#include <new>

#include "core/analysis_state.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/expr_compiler_internal.h"
#include "core/expr_symbols.h"
#include "core/message_reporter.h"
#include "core/device_record_fields.h"
#include "core/digital_logic_tables.h"
#include "core/digital_node_states.h"

namespace kq5 {

namespace {

struct CompilerState {
    OutsideNameTable names;
    NodeNameLookup nodeLookup;
};

CompilerState& State()
{
    static CompilerState state;
    return state;
}

// AC node operands of ground read this.
const std::complex<double> kGroundPhasor{0.0, 0.0};

constexpr int kMaxFrames = 20;
constexpr int kMaxExponent = 300;
// Kind bits of frames whose arguments are node or device names.
constexpr std::uint32_t kNameArgumentKinds = kItemNodeName | kItemDeviceName | kItemPinPairDevice;
constexpr std::uint32_t kNumberKinds = kItemNumber | kItemPlainNumber;
constexpr std::uint32_t kCaseConditionKinds = 0x269 | kItemCaseDelay;


struct Frame {
    std::uint32_t allowed = 0;
    int row = -1;  // -1: the top level
    std::uint32_t deviceKinds = 0;
    int commas = 0;
    std::uint32_t flags = 0;
    int parenDepth = 0;
    bool nameArgs = false;
    bool curveArgument = false;  // a performance function: its first argument was compiled apart
    std::vector<std::string> names;
    std::size_t workStart = 0;  // the function's entry in the work array

    std::uint16_t Opcode() const { return row >= 0 ? kExpressionFunctionTable[row].opcode : 0; }
    const char* Name() const { return row >= 0 ? kExpressionFunctionTable[row].name : ""; }
};

bool IsNameChar(char c)
{
    return HasCharClass(c, kCharIdent) || c == '$' || c == '.';
}

// Node names run up to the next blank or delimiter of the expression language.
bool IsNodeNameChar(char c)
{
    return c != '\0' && !HasCharClass(c, kCharExprDelim | kCharSpace);
}

bool IsOperatorChar(char c)
{
    return HasCharClass(c, kCharOperator | kCharCompare);
}

class Scanner {
public:
    Scanner(ExpressionRequest& request, std::vector<WorkEntry>& work)
        : req_(request), target_(*request.target), work_(work)
    {
    }

    int Run();

private:
    // --- reporting --------------------------------------------------------------------
    int Error(int id, std::string_view first = {}, std::string_view second = {})
    {
        return ReportExpressionError(req_, id, first, second);
    }
    int ErrorWithText(int id, std::string_view first) { return Error(id, first, req_.text); }

    // --- frames and items ---------------------------------------------------------------
    Frame& Top() { return frames_.back(); }
    bool AtTopLevel() const { return frames_.size() == 1; }

    void RecordValueKind(std::uint32_t kinds)
    {
        if (!AtTopLevel()) return;
        kinds &= req_.allowedKinds;
        if (!kinds) return;
        std::uint32_t& word = target_.valueKinds;
        if (!word)
            word = kinds;
        else if (word & kinds)
            word &= kinds;
        else
            word |= kinds;
    }

    // An item of these kinds may stand here; else the error is reported.
    int AcceptKinds(std::uint32_t kinds, std::string_view token)
    {
        if (!(kinds & Top().allowed)) return ErrorWithText(kMsgCantUseHere, token);
        RecordValueKind(kinds);
        return 0;
    }

    void AddFlags(std::uint32_t flags)
    {
        target_.dependencies |= flags;
        Top().flags |= flags;
    }

    void Emit(WorkEntry e) { work_.push_back(std::move(e)); }

    void EmitOperand(std::uint16_t opcode, const WorkOperand& operand, std::string_view text)
    {
        WorkEntry e;
        e.type = WorkType::kOperand;
        e.opcode = opcode;
        e.operand = operand;
        e.text = std::string(text);
        Emit(std::move(e));
    }

    void EmitBracket(WorkType type)
    {
        WorkEntry e;
        e.type = type;
        e.inserted = true;
        e.text = type == WorkType::kOpen ? "(" : ")";
        Emit(std::move(e));
    }

    // A division the compiler writes itself: the "/" row with the instruction it needs.
    void EmitDivide(std::uint16_t opcode)
    {
        EmitOperator(FindExpressionSymbol("/"));
        work_.back().opcode = opcode;
    }

    void EmitOperator(int row)
    {
        const ExpressionSymbol& s = kExpressionFunctionTable[row];
        WorkEntry e;
        e.type = WorkType::kOperator;
        e.opcode = s.opcode;
        e.bindingClass = s.bindingClass;
        e.row = row;
        e.argCount = 2;
        e.text = s.name;
        Emit(std::move(e));
    }

    // --- scanning -----------------------------------------------------------------------
    void SkipBlanks()
    {
        while (pos_ < src_.size() && HasCharClass(src_[pos_], kCharSpace)) ++pos_;
    }
    char At(std::size_t i) const { return i < src_.size() ? src_[i] : '\0'; }
    // Delay numbers and plain-number arguments are literals, so a sign belongs to the number
    // (DELAY(-1, 2N, -1)); elsewhere a sign is an operator, which keeps -2**2 = -(2**2).
    bool SignedLiteralsOnly()
    {
        const std::uint32_t allowed = Top().allowed;
        return Top().Opcode() == kOpDelay || ((allowed & kItemPlainNumber) && !(allowed & kItemNumber));
    }
    bool ExpectOperand() const
    {
        return work_.empty() || work_.back().type == WorkType::kOperator ||
               work_.back().type == WorkType::kOpen || work_.back().type == WorkType::kSeparator;
    }

    int ScanNumber();
    int ScanStateLiteral();
    int ScanOperator();
    int ScanName();
    int OpenParen();
    int Comma();
    int CloseParen();
    int AcceptRow(int row, const std::string& token);
    int OpenFunction(int row, const std::string& token);
    int CompileCurveArgument(Frame& frame);
    int ResolveModelParameter(const std::string& token, bool& done);

    // --- binding of node and device arguments --------------------------------------------
    int BindNameArguments(Frame& frame);
    int NodeNumber(const std::string& name, NodeDomain domain, int& node);
    void EmitNodeValue(int node, std::string_view text);
    void EmitNodeDifference(int plus, int minus, std::string_view text);
    int BindDevice(const Frame& frame, const DeviceRecordFields& device);
    int FindDevice(const Frame& frame, const DeviceRecordFields*& device);

    int FinishValueKinds();

    ExpressionRequest& req_;
    CompiledExpression& target_;
    std::vector<WorkEntry>& work_;
    std::string src_;
    std::size_t pos_ = 0;
    int depth_ = 0;
    std::vector<Frame> frames_;
};

int Scanner::Run()
{
    // The compile works on an upper-case copy without braces.
    src_ = CopyUpperCase(req_.text);
    for (char& c : src_)
        if (c == '{' || c == '}') c = ' ';
    SkipBlanks();
    if (pos_ >= src_.size()) return Error(kMsgMissingExpression, req_.text);
    if (src_[pos_] == '+') ++pos_;

    Frame top;
    top.allowed = req_.allowedKinds;
    frames_.push_back(top);

    for (;;) {
        SkipBlanks();
        if (pos_ >= src_.size()) break;
        const char c = src_[pos_];
        int rc = 0;
        if (Top().nameArgs && c != ',' && c != ')') {
            if (c == '(' || !IsNodeNameChar(c)) return ErrorWithText(kMsgExpressionNotAllowed, Top().Name());
            rc = ScanName();
        } else if (HasCharClass(c, kCharDigit) || (c == '.' && HasCharClass(At(pos_ + 1), kCharDigit))) {
            rc = ScanNumber();
        } else if ((c == '+' || c == '-') && ExpectOperand() && SignedLiteralsOnly() &&
                   (HasCharClass(At(pos_ + 1), kCharDigit) || At(pos_ + 1) == '.')) {
            rc = ScanNumber();
        } else if (c == '\'') {
            rc = ScanStateLiteral();
        } else if (c == '(') {
            rc = OpenParen();
        } else if (c == ',') {
            rc = Comma();
        } else if (c == ')') {
            rc = CloseParen();
        } else if (IsOperatorChar(c)) {
            rc = ScanOperator();
        } else if (IsNameChar(c)) {
            rc = ScanName();
        } else {
            return ErrorWithText(kMsgUnknownIdentifier, std::string(1, c));
        }
        if (rc) return rc;
    }
    // An unclosed bracket is left to the validation of the infix sequence.
    return FinishValueKinds();
}

int Scanner::ScanNumber()
{
    const std::size_t start = pos_;
    if (src_[pos_] == '+' || src_[pos_] == '-') ++pos_;
    while (HasCharClass(At(pos_), kCharDigit) || At(pos_) == '.') ++pos_;
    const std::size_t mantissaEnd = pos_;
    if (At(pos_) == 'E' && (HasCharClass(At(pos_ + 1), kCharDigit) || At(pos_ + 1) == '+' || At(pos_ + 1) == '-' ||
                            !HasCharClass(At(pos_ + 1), kCharLetter))) {
        ++pos_;
        if (At(pos_) == '+' || At(pos_) == '-') ++pos_;
        const std::size_t digits = pos_;
        long exponent = 0;
        while (HasCharClass(At(pos_), kCharDigit)) {
            if (exponent < 100000) exponent = exponent * 10 + (At(pos_) - '0');
            ++pos_;
        }
        if (pos_ == digits || exponent >= kMaxExponent)
            return ErrorWithText(kMsgIllegalConstant, src_.substr(start, pos_ - start));
    }
    const std::size_t numericEnd = pos_;
    while (HasCharClass(At(pos_), kCharLetter) || At(pos_) == '_') ++pos_;
    // A hexadecimal numeral (0x10) is no number here: the whole of it is refused, not its
    // digits taken for a name.
    if (numericEnd == mantissaEnd && pos_ == numericEnd + 1 && At(numericEnd) == 'X' &&
        src_.compare(start, numericEnd - start, "0") == 0)
        while (HasCharClass(At(pos_), kCharIdent)) ++pos_;
    const std::string token = src_.substr(start, pos_ - start);

    double value = 0.0;
    if (pos_ == numericEnd) {
        char* end = nullptr;
        value = std::strtod(token.c_str(), &end);
        // A numeral of hundreds of digits is as far beyond the range as 1E400.
        if (end != token.c_str() + token.size() || mantissaEnd == start || !std::isfinite(value))
            return ErrorWithText(kMsgIllegalConstant, token);
    } else {
        value = ParseNumber(token);
        if (ParseError()) return ErrorWithText(kMsgIllegalConstant, token);
    }

    const bool inDelay = Top().Opcode() == kOpDelay;
    if (!(Top().allowed & (kNumberKinds | (inDelay ? kItemDelayValue : 0))))
        return ErrorWithText(kMsgCantUseHere, token);
    RecordValueKind(kItemNumber);
    WorkOperand operand;
    operand.value = {value, 0.0};
    EmitOperand(inDelay ? kOpDelayNumber : kOpConstant, operand, token);
    return 0;
}

int Scanner::ScanStateLiteral()
{
    const char stateChar = At(pos_ + 1);
    const int index = DigitalStateIndex(stateChar);
    if (index < 0 || !(Top().allowed & kItemDigitalState))
        return ErrorWithText(kMsgUnknownIdentifier, src_.substr(pos_, stateChar ? 2 : 1));
    pos_ += 2;
    RecordValueKind(kItemDigitalState);
    target_.dependencies |= kDependsStateLiteralMark;
    WorkOperand operand;
    operand.index = index;
    EmitOperand(kOpDigitalLiteral, operand, src_.substr(pos_ - 2, 2));
    return 0;
}

int Scanner::ScanOperator()
{
    std::size_t length = 1;
    const std::string two = src_.substr(pos_, 2);
    if (two == "**" || two == ">=" || two == "<=" || two == "!=" || two == "<>" || two == "==") length = 2;
    const std::string token = src_.substr(pos_, length);
    const int row = FindExpressionSymbol(token);
    if (row < 0) return ErrorWithText(kMsgUnknownIdentifier, token);
    pos_ += length;
    return AcceptRow(row, token);
}

int Scanner::ScanName()
{
    const std::size_t start = pos_;
    if (Top().nameArgs) {
        while (IsNodeNameChar(At(pos_))) ++pos_;
        Frame& f = Top();
        if (f.names.size() > static_cast<std::size_t>(f.commas))
            return Error(kMsgOperatorExpected, req_.text);
        f.names.push_back(src_.substr(start, pos_ - start));
        return 0;
    }
    while (IsNameChar(At(pos_))) ++pos_;
    const std::string token = src_.substr(start, pos_ - start);

    // Names the caller made known come first.
    const OutsideNameTable& outside = State().names;
    for (std::size_t i = 0; i < outside.names.size(); ++i) {
        if (outside.names[i] != token) continue;
        const std::uint32_t kinds = i < outside.kinds.size() ? outside.kinds[i] : 0;
        if (!(kinds & Top().allowed)) break;
        RecordValueKind(kinds);
        WorkOperand operand;
        operand.index = static_cast<std::int32_t>(i);
        const bool logicPin = kinds == kItemPinLogic && (Top().allowed & kItemLogic);
        EmitOperand(logicPin ? kOpOutsideLogicPin : kOpOutsideName, operand, token);
        return 0;
    }

    // Then the language's own names. With no analysis a name of the wrong analysis is
    // passed over, so that a later row of the same spelling can still be found.
    for (int row = FindExpressionSymbol(token); row >= 0; row = FindExpressionSymbol(token, row + 1)) {
        const ExpressionSymbol& s = kExpressionFunctionTable[row];
        if ((s.contexts & kContextLimitsDialog) && !(req_.contextMask & kContextLimitsDialog))
            return Error(kMsgLimitsDialogOnly, token);
        if (!(s.contexts & req_.contextMask)) {
            if (req_.contextMask == kContextNumberField) return ErrorWithText(kMsgNotInField, token);
            switch (Analysis().analysisKind) {
            case kAnalysisTransient: return Error(kMsgNotInTransient, token);
            case kAnalysisAc: return Error(kMsgNotInAc, token);
            case kAnalysisDc: return Error(kMsgNotInDc, token);
            default: continue;
            }
        }
        return AcceptRow(row, token);
    }

    bool done = false;
    if (int rc = ResolveModelParameter(token, done); rc || done) return rc;
    return ErrorWithText(kMsgUnknownIdentifier, token);
}

int Scanner::AcceptRow(int row, const std::string& token)
{
    const ExpressionSymbol& s = kExpressionFunctionTable[row];
    if (s.bindingClass == kClassFunction) {
        std::size_t after = pos_;
        while (after < src_.size() && HasCharClass(src_[after], kCharSpace)) ++after;
        if (At(after) != '(') return ErrorWithText(kMsgExpectingParen, token);
    }
    if (int rc = AcceptKinds(s.kinds, token)) return rc;
    AddFlags(s.flags);

    if (s.bindingClass == kClassFunction) return OpenFunction(row, token);
    if (s.bindingClass != kClassOperand) {
        EmitOperator(row);
        return 0;
    }
    WorkOperand operand;
    if (s.argumentKinds == kSymbolConstant) {
        operand.value = {s.constant, 0.0};
        EmitOperand(kOpConstant, operand, token);
    } else if (s.opcode == kOpImport) {
        const int n = req_.importCount++;
        if (n >= static_cast<int>(req_.imports.size())) return ErrorWithText(kMsgUnknownIdentifier, token);
        operand.realAddress = &req_.imports[n].value;
        EmitOperand(kOpReadDouble, operand, token);
    } else if (s.argumentKinds == kSymbolBound) {
        operand.realAddress = &(Analysis().variables.*(s.bound));
        EmitOperand(kOpReadDouble, operand, token);
    } else {
        EmitOperand(s.opcode, operand, token);
    }
    return 0;
}

int Scanner::OpenFunction(int row, const std::string& token)
{
    const ExpressionSymbol& s = kExpressionFunctionTable[row];
    if (static_cast<int>(frames_.size()) >= kMaxFrames) return ErrorWithText(kMsgTooComplex, req_.text);
    if (s.opcode == kOpCase) {
        for (const Frame& f : frames_)
            if (f.Opcode() == kOpCase) return Error(kMsgCantNestCase);
    }
    WorkEntry e;
    e.type = WorkType::kFunction;
    e.opcode = s.opcode;
    e.bindingClass = kClassFunction;
    e.row = row;
    e.text = token;
    const std::size_t workStart = work_.size();
    Emit(std::move(e));

    SkipBlanks();
    ++pos_;  // the "(" checked by AcceptRow
    ++depth_;
    Frame f;
    f.row = row;
    // A row that opens no argument frame of its own (STP, IMPULSE) takes its argument in
    // the place where it stands.
    f.allowed = (s.argumentKinds & kOpensFrameMask) ? s.argumentKinds : Top().allowed;
    f.deviceKinds = s.deviceKinds;
    f.parenDepth = depth_;
    f.workStart = workStart;
    f.nameArgs = (s.argumentKinds & kNameArgumentKinds) && !(s.argumentKinds & kNumberKinds) && s.opcode != kOpCase;
    if (s.opcode == kOpCase) f.allowed = kCaseConditionKinds;
    frames_.push_back(std::move(f));
    if (frames_.back().nameArgs) return 0;
    EmitBracket(WorkType::kOpen);
    work_.back().inserted = false;
    if (s.opcode >= kOpFirstPerformance && s.opcode <= kOpLastPerformance) return CompileCurveArgument(frames_.back());
    return 0;
}

// The curve of a performance function is an expression of its own: it is compiled apart and
// the function's instruction refers to it.
int Scanner::CompileCurveArgument(Frame& frame)
{
    std::size_t end = pos_;
    int nesting = 0;
    for (; end < src_.size(); ++end) {
        const char c = src_[end];
        if (c == '(') ++nesting;
        if (c == ')' && nesting-- == 0) break;
        if (c == ',' && nesting == 0) break;
    }
    std::unique_ptr<CompiledExpression> curve;
    try {
        curve = std::make_unique<CompiledExpression>();
        target_.subExpressions.push_back(nullptr);
    } catch (const std::bad_alloc&) {
        return Error(kMsgInsufficientMemory);
    }
    ExpressionRequest sub;
    InitExpressionRecord(src_.substr(pos_, end - pos_), curve.get(), kContextTransient, kItemNumber, sub);
    sub.window = req_.window;
    sub.lineNumber = req_.lineNumber;
    sub.textObject = req_.textObject;
    sub.quiet = req_.quiet;
    sub.subcircuitLevel = req_.subcircuitLevel;
    const int rc = CompileExpression(sub);
    target_.subExpressions.back() = std::move(curve);
    if (rc) {
        if (req_.quiet) req_.quietTexts = sub.quietTexts;
        return rc;
    }
    work_[frame.workStart].operand.subExpression = target_.subExpressions.back().get();
    frame.curveArgument = true;
    frame.allowed = kItemNumber;
    pos_ = end;
    if (At(pos_) == ',') {
        ++pos_;
        ++frame.commas;
    }
    return 0;
}

int Scanner::OpenParen()
{
    ++pos_;
    if (++depth_ > 199) return Error(kMsgNestingTooDeep);
    EmitBracket(WorkType::kOpen);
    work_.back().inserted = false;
    return 0;
}

int Scanner::Comma()
{
    Frame& f = Top();
    if (f.row < 0 || f.parenDepth != depth_) return Error(kMsgInvalidExpression);
    const ExpressionSymbol& s = kExpressionFunctionTable[f.row];
    ++pos_;
    if (f.commas + 1 >= s.maxArgs) return ErrorWithText(kMsgTooManyParameters, s.name);
    ++f.commas;
    if (f.nameArgs) return 0;
    const int nextArgument = f.commas;  // index of the argument that starts now
    if ((s.opcode == kOpDifa || s.opcode == kOpDifd) && nextArgument == 2) f.allowed = kItemPlainNumber;
    if (s.opcode == kOpCase) f.allowed = nextArgument % 2 == 0 ? kCaseConditionKinds : kItemCaseDelay;
    WorkEntry e;
    e.type = WorkType::kSeparator;
    e.bindingClass = -1;
    e.text = ",";
    Emit(std::move(e));
    return 0;
}

int Scanner::CloseParen()
{
    if (depth_ == 0) return Error(kMsgUnexpectedParen, req_.text);
    ++pos_;
    Frame& f = Top();
    if (f.row < 0 || f.parenDepth != depth_) {
        --depth_;
        EmitBracket(WorkType::kClose);
        work_.back().inserted = false;
        return 0;
    }
    const ExpressionSymbol& s = kExpressionFunctionTable[f.row];
    const int count = f.nameArgs ? static_cast<int>(f.names.size()) : f.commas + 1;
    if (f.nameArgs && count != f.commas + 1) return Error(kMsgOperandExpected, req_.text);
    if (count < s.minArgs) return ErrorWithText(kMsgNotEnoughParameters, s.name);
    if (count > s.maxArgs) return ErrorWithText(kMsgTooManyParameters, s.name);
    if (s.opcode == kOpTable && count % 2 == 0) return Error(kMsgTableMissingY);
    work_[f.workStart].argCount = count;
    if (f.nameArgs) {
        if (int rc = BindNameArguments(f)) return rc;
    } else {
        EmitBracket(WorkType::kClose);
        work_.back().inserted = false;
    }
    --depth_;
    const std::uint32_t flags = f.flags;
    frames_.pop_back();
    Top().flags |= flags;
    return 0;
}

int Scanner::ResolveModelParameter(const std::string& token, bool& done)
{
    const std::size_t dot = token.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 >= token.size() || !(Top().allowed & kItemNumber)) return 0;
    const DeviceRecordFields* device = FindDeviceByLabel(token.substr(0, dot), ~0u);
    if (!device) return 0;
    const DeviceModelParam* param = FindDeviceModelParam(*device, token.substr(dot + 1));
    if (!param || !param->value) return 0;
    done = true;
    RecordValueKind(kItemNumber);
    WorkOperand read;
    read.floatAddress = param->value;
    if (!param->reciprocal) {
        EmitOperand(kOpReadFloat, read, token);
        return 0;
    }
    // The model keeps the reciprocal of what the user gave: 1/(value), 0 for a zero value.
    EmitBracket(WorkType::kOpen);
    WorkOperand one;
    one.value = {1.0, 0.0};
    EmitOperand(kOpConstant, one, "1");
    EmitDivide(kOpSafeDivide);
    EmitOperand(kOpReadFloat, read, token);
    EmitBracket(WorkType::kClose);
    return 0;
}


int Scanner::NodeNumber(const std::string& name, NodeDomain domain, int& node)
{
    const NodeNameLookup& lookup = State().nodeLookup;
    node = name == "0" ? 0 : (lookup ? lookup(name, req_.subcircuitLevel, domain) : -1);
    if (node < 0) return Error(kMsgIllegalNode, name, req_.text);
    return 0;
}

void Scanner::EmitNodeValue(int node, std::string_view text)
{
    WorkOperand operand;
    const SolutionVectors& solution = Analysis().solution;
    if (Analysis().analysisKind == kAnalysisAc) {
        if (node == 0)
            operand.complexAddress = &kGroundPhasor;
        else if (node > 0 && node < static_cast<int>(solution.complex.size()))
            operand.complexAddress = &solution.complex[node];
        EmitOperand(kOpReadComplex, operand, text);
        return;
    }
    if (node >= 0 && node < static_cast<int>(solution.real.size())) operand.realAddress = &solution.real[node];
    EmitOperand(kOpReadDouble, operand, text);
}

void Scanner::EmitNodeDifference(int plus, int minus, std::string_view text)
{
    if (minus == 0) {
        EmitNodeValue(plus, text);
        return;
    }
    EmitBracket(WorkType::kOpen);
    EmitNodeValue(plus, text);
    EmitOperator(FindExpressionSymbol("-"));
    EmitNodeValue(minus, text);
    EmitBracket(WorkType::kClose);
}

int Scanner::FindDevice(const Frame& frame, const DeviceRecordFields*& device)
{
    const ExpressionSymbol& s = kExpressionFunctionTable[frame.row];
    if (frame.names.size() == 1) {
        const std::string& label = frame.names[0];
        device = IsReservedExpressionName(label, false) ? nullptr : FindDeviceByLabel(label, s.deviceKinds);
        if (!device) return Error(kMsgLabelNotFound, label, s.name);
        return 0;
    }
    int a = 0, b = 0;
    if (int rc = NodeNumber(frame.names[0], kNodeAnalog, a)) return rc;
    if (int rc = NodeNumber(frame.names[1], kNodeAnalog, b)) return rc;
    const std::vector<const DeviceRecordFields*> found = FindDevicesBetweenNodes(a, b, s.deviceKinds);
    if (found.empty()) return Error(kMsgNoDeviceBetween, frame.names[0], frame.names[1]);
    if (found.size() > 1) return Error(kMsgManyDevicesBetween, frame.names[0], frame.names[1]);
    device = found[0];
    return 0;
}

int Scanner::BindDevice(const Frame& frame, const DeviceRecordFields& device)
{
    const ExpressionSymbol& s = kExpressionFunctionTable[frame.row];
    const std::string label = device.label.empty() ? frame.names[0] : device.label;
    WorkOperand operand;
    if (s.opcode == kOpV) {
        // A pin voltage by the letters after the V; a plain V is the voltage across.
        if (s.name[1] == '\0') {
            if (!device.twoTerminal) return Error(kMsgIllegalDeviceUse, s.name, label);
            EmitNodeDifference(device.nodes[0], device.nodes[1], s.name);
            return 0;
        }
        const DevicePinVoltage* pins = FindDevicePinVoltage(device, s.name + 1);
        if (!pins) return Error(kMsgIllegalDeviceUse, s.name, label);
        EmitNodeDifference(pins->plusNode, pins->minusNode, s.name);
        return 0;
    }
    if (s.opcode == kOpCoreB || s.opcode == kOpCoreH) {
        operand.realAddress = FindDeviceField(device, s.opcode == kOpCoreB ? "B" : "H");
        if (!operand.realAddress) return Error(kMsgIllegalDeviceUse, s.name, label);
        EmitOperand(s.opcode, operand, s.name);
        return 0;
    }
    // In AC a current is the small-signal one that the current pass leaves, not the
    // operating point's: a two-terminal device's I, a transistor's terminal currents.
    if (Analysis().analysisKind == kAnalysisAc && s.opcode == kOpI) {
        operand.complexAddress = s.name[1] == '\0' ? FindDeviceAcCurrent(device) : FindDeviceAcField(device, s.name);
        if (operand.complexAddress) {
            EmitOperand(kOpReadComplex, operand, s.name);
            return 0;
        }
    }
    operand.realAddress = FindDeviceField(device, s.name);
    if (operand.realAddress) {
        EmitOperand(kOpReadDouble, operand, s.name);
        return 0;
    }
    const double* resistance = s.opcode == kOpI && s.name[1] == '\0' ? FindDeviceField(device, "R") : nullptr;
    if (!resistance || !device.twoTerminal) return Error(kMsgIllegalDeviceUse, s.name, label);
    // A resistor keeps no current: it is the voltage across divided by the resistance.
    EmitBracket(WorkType::kOpen);
    EmitNodeDifference(device.nodes[0], device.nodes[1], s.name);
    EmitDivide(kOpDivide);
    operand.realAddress = resistance;
    EmitOperand(kOpReadDouble, operand, "R");
    EmitBracket(WorkType::kClose);
    return 0;
}

int Scanner::BindNameArguments(Frame& frame)
{
    const ExpressionSymbol& s = kExpressionFunctionTable[frame.row];
    if (s.opcode == kOpBus) {
        EmitBracket(WorkType::kOpen);
        for (std::size_t i = 0; i < frame.names.size(); ++i) {
            int node = 0;
            if (int rc = NodeNumber(frame.names[i], kNodeDigital, node)) return rc;
            if (i > 0) {
                WorkEntry separator;
                separator.type = WorkType::kSeparator;
                separator.bindingClass = -1;
                Emit(std::move(separator));
            }
            WorkOperand operand;
            const auto& states = DigitalSimulator().current;
            if (node < static_cast<int>(states.size())) operand.stateAddress = &states[node];
            EmitOperand(kOpDigitalWord, operand, frame.names[i]);
        }
        EmitBracket(WorkType::kClose);
        return 0;
    }
    // Every other name function becomes a value: drop its entry and emit what it reads.
    work_.resize(frame.workStart);
    if (s.opcode == kOpDigitalNode) {
        int node = 0;
        if (int rc = NodeNumber(frame.names[0], kNodeDigital, node)) return rc;
        WorkOperand operand;
        const auto& states = DigitalSimulator().current;
        if (node < static_cast<int>(states.size())) operand.stateAddress = &states[node];
        EmitOperand(kOpDigitalWord, operand, frame.names[0]);
        return 0;
    }
    if (s.opcode == kOpV && s.name[1] == '\0') {
        int a = 0, b = 0;
        const NodeNameLookup& lookup = State().nodeLookup;
        const std::string& first = frame.names[0];
        const bool firstIsNode = first == "0" || (lookup && lookup(first, req_.subcircuitLevel, kNodeAnalog) >= 0);
        if (frame.names.size() == 1 && !firstIsNode) {
            const DeviceRecordFields* device =
                IsReservedExpressionName(first, false) ? nullptr : FindDeviceByLabel(first, s.deviceKinds);
            if (!device) return Error(kMsgIllegalNode, first, req_.text);
            return BindDevice(frame, *device);
        }
        if (int rc = NodeNumber(first, kNodeAnalog, a)) return rc;
        if (frame.names.size() == 2)
            if (int rc = NodeNumber(frame.names[1], kNodeAnalog, b)) return rc;
        EmitNodeDifference(a, b, s.name);
        return 0;
    }
    const DeviceRecordFields* device = nullptr;
    if (int rc = FindDevice(frame, device)) return rc;
    return BindDevice(frame, *device);
}

int Scanner::FinishValueKinds()
{
    static constexpr struct {
        std::uint32_t bit;
        const char* name;
    } kNamedKinds[] = {
        {kItemLogic, "'2 State' "}, {kItemDigitalState, "'5 State' "}, {kItemCaseDelay, "'PinDly' "},
        {kItemTransition, "'TRN' "},  {kItemNumber, "'Analog' "},         {kItemBin, "'BIN' "},
        {kItemOct, "'OCT' "},          {kItemDec, "'DEC' "},                {kItemHex, "'HEX' "},
        {kItemDifference, "'DIF[A|D]' "},
    };
    std::uint32_t& word = target_.valueKinds;
    if ((word & kItemLogic) && (word & kItemDigitalState)) word &= ~kItemLogic;
    int count = 0;
    std::string list;
    for (const auto& k : kNamedKinds) {
        if (!(word & k.bit)) continue;
        list = count++ ? list + "," + k.name : std::string(k.name);
    }
    if (count > 1) return Error(kMsgCantMix, list);
    return 0;
}

}  // namespace

void InitExpressionRecord(std::string_view text, CompiledExpression* target, std::uint32_t contextMask,
                          std::uint32_t allowedKinds, ExpressionRequest& request)
{
    request = ExpressionRequest();
    request.text = std::string(text);
    request.target = target;
    request.contextMask = contextMask;
    request.allowedKinds = allowedKinds;
}

void SetExpressionNameTable(const OutsideNameTable* table)
{
    State().names = table ? *table : OutsideNameTable();
}

void SetNodeNameLookup(NodeNameLookup lookup)
{
    State().nodeLookup = std::move(lookup);
}

void FreeCompiledExpression(CompiledExpression& expression)
{
    ListClear(expression.instructions);
    expression.reserved = 0;
    expression.dependencies = 0;
    expression.valueKinds = 0;
    expression.stateDepth = 0;
    expression.subExpressions.clear();
    expression.spectral = nullptr;
}

int ReportExpressionError(ExpressionRequest& request, int messageId, std::string_view first, std::string_view second)
{
    if (request.quiet) {
        request.quietTexts = {std::string(first), std::string(second)};
        return messageId;
    }
    if (request.textObject)
        ReportMessage("WTE", request.window, request.textObject, messageId, first, second);
    else
        ReportMessage("WLE", request.window, request.lineNumber, messageId, first, second);
    return kMsgAlreadyReported;
}

int CompileExpression(ExpressionRequest& request)
{
    if (!request.target) return ReportExpressionError(request, kMsgInvalidExpression);
    CompiledExpression& target = *request.target;
    FreeCompiledExpression(target);
    try {
        std::vector<WorkEntry> work;
        Scanner scanner(request, work);
        if (int rc = scanner.Run()) return rc;
        ConversionContext context;
        context.request = &request;
        context.target = &target;
        context.spectralCompile = request.spectral != nullptr;
        context.timeAddress = &Analysis().variables.time;
        return ConvertToInstructions(context, work);
    } catch (const std::bad_alloc&) {
        return ReportExpressionError(request, kMsgInsufficientMemory);
    }
}

void FoldRepeatedSigns(std::string& text)
{
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    auto isSign = [](char c) { return c == '+' || c == '-'; };
    std::size_t b = 0;
    while (b < text.size() && isBlank(text[b])) ++b;
    text.erase(0, b);
    for (bool changed = true; changed;) {
        changed = false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (!isSign(text[i])) continue;
            std::size_t j = i + 1;
            while (j < text.size() && isBlank(text[j])) ++j;
            if (j >= text.size() || !isSign(text[j])) continue;
            text[i] = text[i] == text[j] ? '+' : '-';
            text.erase(i + 1, j - i);
            changed = true;
        }
    }
    while (!text.empty() && isBlank(text.back())) text.pop_back();
    std::string collapsed;
    for (char c : text) {
        if (isBlank(c) && !collapsed.empty() && isBlank(collapsed.back())) continue;
        collapsed += c;
    }
    text = std::move(collapsed);
}

}  // namespace kq5
