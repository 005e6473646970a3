// The compiler's passes after the scan: validation of the infix sequence, the spectral mix
// check, postfix conversion, the digital comparison check and constant folding.
#include <algorithm>
#include <new>

#include "core/expr_compiler_internal.h"
#include "core/expr_functions.h"
#include "core/expr_math_errors.h"
#include "core/expr_state_cells.h"
#include "core/message_reporter.h"

namespace kq5 {

namespace {


constexpr int kMaxNesting = 199;

bool IsPrefixOpcode(int op)
{
    return op == kOpNot || op == kOpBitNot;
}

bool IsSpectralOpcode(int op)
{
    return op >= kOpHarm && op <= kOpThd;
}

bool IsConstant(const WorkEntry& e)
{
    return e.type == WorkType::kOperand && e.opcode == kOpConstant;
}

bool IsComparison(const WorkEntry& e)
{
    return e.type == WorkType::kOperator && (e.opcode == kOpEqual || e.opcode == kOpNotEqual);
}

int SpectralVariant(int op)
{
    switch (op) {
    case kOpRe: return kOpSpectralRe;
    case kOpIm: return kOpSpectralIm;
    case kOpMag: return kOpSpectralMag;
    case kOpPh: return kOpSpectralPh;
    case kOpSum: return kOpSpectralSum;
    case kOpDel: return kOpSpectralDel;
    case kOpRms: return kOpSpectralRms;
    case kOpAvg: return kOpSpectralAvg;
    default: return 0;
    }
}

bool IsPerformanceOpcode(int op)
{
    return op >= kOpFirstPerformance && op <= kOpLastPerformance;
}

WorkEntry Operand(std::uint16_t opcode)
{
    WorkEntry e;
    e.type = WorkType::kOperand;
    e.opcode = opcode;
    return e;
}

WorkEntry Control(std::uint16_t opcode, int pops)
{
    WorkEntry e;
    e.type = WorkType::kFunction;
    e.opcode = opcode;
    e.bindingClass = kClassFunction;
    e.argCount = pops;
    return e;
}

class Converter {
public:
    explicit Converter(ConversionContext& context) : cx_(context), req_(*context.request) {}

    int Run(std::vector<WorkEntry>& infix)
    {
        if (int rc = Validate(infix)) return rc;
        if (int rc = CheckSpectralMix(infix)) return rc;
        if (int rc = ToPostfix(infix)) return rc;
        if (int rc = CheckStackDepth()) return rc;
        if (int rc = CheckDigitalComparisons()) return rc;
        if (int rc = FoldConstants()) return rc;
        if (int rc = SizeSpectralBuffers()) return rc;
        return BuildList();
    }

private:
    int Error(int id, std::string_view first = {}) { return ReportExpressionError(req_, id, first); }

    int Validate(std::vector<WorkEntry>& in)
    {
        bool expect = true;
        int depth = 0;
        for (WorkEntry& e : in) {
            switch (e.type) {
            case WorkType::kOperand:
                if (!expect) return Error(kMsgOperatorExpected, req_.text);
                expect = false;
                break;
            case WorkType::kFunction:
                if (!expect) return Error(kMsgOperatorExpected, req_.text);
                break;
            case WorkType::kOpen:
                if (!expect) return Error(kMsgOperatorExpected, req_.text);
                ++depth;
                break;
            case WorkType::kClose:
                if (expect) return Error(kMsgOperandExpected, req_.text);
                if (--depth < 0) return Error(kMsgUnexpectedParen, req_.text);
                break;
            case WorkType::kSeparator:
                if (expect) return Error(kMsgOperandExpected, req_.text);
                expect = true;
                break;
            case WorkType::kOperator:
                if (expect) {
                    if (e.opcode == kOpSubtract) {
                        e.opcode = kOpNegate;
                        e.bindingClass = kClassUnary;
                    } else if (!IsPrefixOpcode(e.opcode)) {
                        return Error(kMsgOperandExpected, req_.text);
                    }
                    e.prefix = true;
                    e.argCount = 1;
                } else {
                    if (IsPrefixOpcode(e.opcode)) return Error(kMsgOperatorExpected, req_.text);
                    expect = true;
                }
                break;
            }
        }
        if (expect) return Error(kMsgOperandExpected, req_.text);
        if (depth != 0) return Error(kMsgMissingParen, req_.text);
        return 0;
    }

    // Whole-curve functions and point values cannot be mixed within one bracket level. The second
    // argument of THD (its fundamental frequency) and of a whole-curve SUM (the variable it runs
    // along) is a plain value beside the curve.
    int CheckSpectralMix(const std::vector<WorkEntry>& in)
    {
        struct Level {
            bool spectral = false;
            bool ordinary = false;
            bool plainSecond = false;
            bool inSecond = false;
        };
        std::vector<Level> levels(1);
        for (std::size_t i = 0; i < in.size(); ++i) {
            const WorkEntry& e = in[i];
            if (e.type == WorkType::kOpen) {
                levels.emplace_back();
                levels.back().plainSecond = i > 0 && in[i - 1].type == WorkType::kFunction &&
                                            (in[i - 1].opcode == kOpThd || in[i - 1].opcode == kOpSum);
                if (static_cast<int>(levels.size()) > kMaxNesting) return Error(kMsgNestingTooDeep);
                continue;
            }
            if (e.type == WorkType::kClose) {
                levels.pop_back();
                continue;
            }
            if (e.type == WorkType::kSeparator && levels.back().plainSecond) levels.back().inSecond = true;
            if (e.type == WorkType::kFunction && IsSpectralOpcode(e.opcode)) levels.back().spectral = true;
            if (e.type == WorkType::kOperand && !levels.back().inSecond) levels.back().ordinary = true;
            if (levels.back().spectral && levels.back().ordinary) return Error(kMsgSpectralMix);
        }
        return 0;
    }

    struct Call {
        std::size_t entry;        // the function's index in the infix sequence
        std::size_t outputStart;  // where its arguments begin in the output
        std::vector<std::size_t> argStarts;
        bool stateful;
    };

    int ToPostfix(std::vector<WorkEntry>& in)
    {
        out_.reserve(in.size() + 16);
        std::vector<std::size_t> ops;
        std::vector<Call> calls;
        int chain = 0, deepest = 0;
        for (std::size_t i = 0; i < in.size(); ++i) {
            WorkEntry& e = in[i];
            switch (e.type) {
            case WorkType::kOperand: out_.push_back(e); break;
            case WorkType::kFunction: ops.push_back(i); break;
            case WorkType::kOpen:
                ops.push_back(i);
                if (i > 0 && in[i - 1].type == WorkType::kFunction) {
                    const bool stateful = StateCellCount(in[i - 1].opcode) > 0;
                    if (stateful) deepest = std::max(deepest, ++chain);
                    calls.push_back({i - 1, out_.size(), {out_.size()}, stateful});
                }
                break;
            case WorkType::kSeparator:
                while (!ops.empty() && in[ops.back()].type != WorkType::kOpen) {
                    out_.push_back(in[ops.back()]);
                    ops.pop_back();
                }
                if (!calls.empty()) calls.back().argStarts.push_back(out_.size());
                break;
            case WorkType::kClose:
                while (!ops.empty() && in[ops.back()].type != WorkType::kOpen) {
                    out_.push_back(in[ops.back()]);
                    ops.pop_back();
                }
                if (!ops.empty()) ops.pop_back();
                if (!ops.empty() && in[ops.back()].type == WorkType::kFunction) {
                    ops.pop_back();
                    Call call = std::move(calls.back());
                    calls.pop_back();
                    if (call.stateful) --chain;
                    FinishCall(in[call.entry], call);
                }
                break;
            case WorkType::kOperator:
                // A prefix operator stands where an operand is expected: nothing before it is
                // complete, so it pops nothing (a**-b is a**(-b)). Binary operators pop
                // what binds as tight or tighter, so all of them associate to the left.
                if (!e.prefix) {
                    while (!ops.empty()) {
                        const WorkEntry& top = in[ops.back()];
                        if (top.type != WorkType::kOperator || top.bindingClass < e.bindingClass) break;
                        out_.push_back(top);
                        ops.pop_back();
                    }
                }
                ops.push_back(i);
                if (static_cast<int>(ops.size()) > kMaxNesting) return Error(kMsgNestingTooDeep);
                break;
            }
        }
        while (!ops.empty()) {
            out_.push_back(in[ops.back()]);
            ops.pop_back();
        }
        cx_.target->stateDepth = deepest ? static_cast<std::uint32_t>(deepest + 1) : 0;
        return 0;
    }

    bool OutputHasSpectral(std::size_t from) const
    {
        for (std::size_t k = from; k < out_.size(); ++k)
            if (out_[k].type == WorkType::kFunction && IsSpectralOpcode(out_[k].opcode)) return true;
        return false;
    }

    void FinishCall(WorkEntry f, const Call& call)
    {
        if (f.opcode == kOpCase) {
            FinishCase(call);
            return;
        }
        int args = f.argCount;
        if (IsPerformanceOpcode(f.opcode)) --args;  // the curve is an operand of the instruction
        if (cx_.spectralCompile && OutputHasSpectral(call.outputStart)) {
            if (int variant = SpectralVariant(f.opcode)) {
                if (f.opcode == kOpSum) ++spectralSums_;
                f.opcode = static_cast<std::uint16_t>(variant);
            }
        }
        if (f.opcode == kOpDdt || f.opcode == kOpSdt) {
            WorkEntry time = Operand(kOpReadDouble);
            time.operand.realAddress = cx_.timeAddress;
            out_.push_back(time);
            ++args;
        }
        if (f.opcode == kOpTable || f.opcode == kOpBus) {
            WorkEntry count = Operand(kOpConstant);
            count.operand.value = {static_cast<double>(args), 0.0};
            out_.push_back(count);
            ++args;
        }
        for (int k = StateCellCount(f.opcode); k > 0; --k) {
            out_.push_back(Operand(kOpStateCell));
            ++args;
        }
        f.argCount = args;
        out_.push_back(f);
    }

    // CASE (condition, value, ..., default): each pair becomes value, condition and a
    // conditional result, so the first true condition gives its value; an unpaired last
    // argument is the default result.
    void FinishCase(const Call& call)
    {
        std::vector<std::vector<WorkEntry>> segments;
        for (std::size_t j = 0; j < call.argStarts.size(); ++j) {
            const std::size_t end = j + 1 < call.argStarts.size() ? call.argStarts[j + 1] : out_.size();
            segments.emplace_back(out_.begin() + call.argStarts[j], out_.begin() + end);
        }
        out_.resize(call.outputStart);
        std::size_t j = 0;
        for (; j + 1 < segments.size(); j += 2) {
            out_.insert(out_.end(), segments[j + 1].begin(), segments[j + 1].end());
            out_.insert(out_.end(), segments[j].begin(), segments[j].end());
            out_.push_back(Control(kOpConditionalResult, 4));
        }
        if (j < segments.size()) {
            out_.insert(out_.end(), segments[j].begin(), segments[j].end());
            out_.push_back(Control(kOpResult, 3));
        }
    }

    int CheckStackDepth()
    {
        int depth = 0, deepest = 0;
        for (const WorkEntry& e : out_) {
            depth += e.type == WorkType::kOperand ? 1 : 1 - e.argCount;
            deepest = std::max(deepest, depth);
        }
        if (deepest > kEvaluationStackCells) return Error(kMsgTooComplex, req_.text);
        return 0;
    }

    // A digital literal or logic pin may only meet one other operand before == or !=; a ~
    // right after such a comparison inverts a state.
    int CheckDigitalComparisons()
    {
        for (std::size_t i = 0; i < out_.size(); ++i) {
            const WorkEntry& e = out_[i];
            if (e.type != WorkType::kOperand || (e.opcode != kOpDigitalLiteral && e.opcode != kOpOutsideLogicPin))
                continue;
            std::size_t compare = i + 1;
            if (compare < out_.size() && out_[compare].type == WorkType::kOperand) ++compare;
            if (compare >= out_.size() || !IsComparison(out_[compare])) return Error(kMsgInvalidExpression);
            if (compare + 1 < out_.size() && out_[compare + 1].opcode == kOpBitNot &&
                out_[compare + 1].type == WorkType::kOperator)
                out_[compare + 1].opcode = kOpStateInvert;
        }
        return 0;
    }

    // Evaluates every operator whose operands are all constants. The output is compacted in
    // place as a stack in one pass: an operator meets its operands on top of what was kept so
    // far (never more entries than were read), so a chain of any length folds in linear time.
    int FoldConstants()
    {
        ResetMathErrors();
        std::size_t kept = 0;
        for (std::size_t read = 0; read < out_.size(); ++read) {
            const WorkEntry& e = out_[read];
            if (kept >= 1 && IsConstant(out_[kept - 1])) {
                Complex& top = out_[kept - 1].operand.value;
                if (e.type == WorkType::kFunction && e.opcode == kOpSqrt && e.argCount == 1) {
                    top = ExprSqrt(top);
                    continue;
                }
                if (e.type == WorkType::kOperator && e.opcode == kOpNegate) {
                    top = ExprNegate(top);
                    continue;
                }
                if (e.type == WorkType::kOperator && e.argCount == 2 && kept >= 2 && IsConstant(out_[kept - 2]) &&
                    e.opcode >= kOpMultiply && e.opcode <= kOpSubtract) {
                    Complex& left = out_[kept - 2].operand.value;
                    switch (e.opcode) {
                    case kOpMultiply: left = ExprMultiply(left, top); break;
                    case kOpDivide: left = ExprDivide(left, top); break;
                    case kOpAdd: left = left + top; break;
                    default: left = left - top; break;
                    }
                    --kept;
                    continue;
                }
            }
            if (kept != read) out_[kept] = std::move(out_[read]);
            ++kept;
        }
        out_.resize(kept);
        if (int code = ReportMathError()) return ReportExpressionError(req_, code);
        return 0;
    }

    int SizeSpectralBuffers()
    {
        if (!cx_.spectralCompile) return 0;
        int count = 1 + spectralSums_;
        for (const WorkEntry& e : out_)
            if (e.type == WorkType::kFunction &&
                (e.opcode == kOpCmul || e.opcode == kOpCs || e.opcode == kOpCc || e.opcode == kOpThd || e.opcode == kOpCoh))
                ++count;
        SpectralWorkRecord& s = *req_.spectral;
        s.bufferCount = count;
        s.pointIndex = 0;
        s.buffers.clear();
        s.buffers.resize(static_cast<std::size_t>(count));
        cx_.target->spectral = &s;
        return 0;
    }

    int BuildList()
    {
        CompiledExpression& t = *cx_.target;
        for (const WorkEntry& e : out_) {
            auto* ins = ListAppendAs<ExpressionInstruction>(t.instructions, 0);
            if (!ins) return ReportExpressionError(req_, kMsgInsufficientMemory);
            ins->opcode = e.opcode;
            const bool push = e.type == WorkType::kOperand;
            ins->pushFlag = push ? 1 : 0;
            ins->value = e.operand.value;
            ins->realAddress = e.operand.realAddress;
            ins->floatAddress = e.operand.floatAddress;
            ins->complexAddress = e.operand.complexAddress;
            ins->stateAddress = e.operand.stateAddress;
            ins->index = push ? e.operand.index : e.argCount;
            ins->subExpression = e.operand.subExpression;
        }
        return 0;
    }

    ConversionContext& cx_;
    ExpressionRequest& req_;
    std::vector<WorkEntry> out_;
    int spectralSums_ = 0;
};

}  // namespace

int ConvertToInstructions(ConversionContext& context, std::vector<WorkEntry>& infix)
{
    Converter converter(context);
    return converter.Run(infix);
}

}  // namespace kq5
