#include "core/expr_evaluator.h"

#include <cfenv>
#include <cmath>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <new>

#include "core/analysis_state.h"
#include "core/engineering_numbers.h"
#include "core/expr_functions.h"
#include "core/expr_math_errors.h"
#include "core/expr_state_cells.h"
#include "core/expr_symbols.h"
#include "core/device_record_fields.h"
#include "core/digital_logic_tables.h"
#include "core/digital_node_states.h"

namespace kq5 {

namespace {

struct Cell {
    std::int32_t digital = 0;  // 1 for a digital state word
    Complex v;
    ExpressionInstruction* stateCell = nullptr;
};

struct EvaluatorState {
    std::vector<Cell> stack;
    std::vector<double> scratch;  // TABLE pairs, kept between calls
    bool running = false;         // an evaluation is using the stack
    bool randomFixed = false;
    int randomValue = 0;
};

EvaluatorState& State()
{
    static EvaluatorState state;
    return state;
}

enum class Mode { kNormal, kInitStates, kCollectSteps };

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPhaseTurnLimit = 57600.0;
constexpr double kMaxRandom = 32767.0;

bool IsSpectralOpcode(int op)
{
    return op >= kOpHarm && op <= kOpThd;
}

std::int32_t RoundToInt32(double x)
{
    return DoubleToIntClamped(std::round(x));
}

// The state index a digital operand reads as in the logic tables: X when its strength is 0.
int LogicIndex(const Cell& c)
{
    const auto word = static_cast<std::uint16_t>(RoundToInt32(c.v.real()));
    if ((word & kStrengthMask) == 0) return kStateX;
    return word & kStateIndexMask;
}

char StateLetter(const Cell& c)
{
    return DigitalStateChar(static_cast<std::uint16_t>(RoundToInt32(c.v.real())));
}

Complex Digital(int stateIndex)
{
    return {static_cast<double>(stateIndex | kFullStrength), 0.0};
}

Complex Real(double x)
{
    return {x, 0.0};
}

Complex Truth(bool b)
{
    return {b ? 1.0 : 0.0, 0.0};
}

// The output noise of the current AC point: the root of the sum of the squared weighted
// differences of the generators' node phasors.
double OutputNoise()
{
    const AnalysisState& a = Analysis();
    const auto& x = a.solution.complex;
    auto at = [&](int node) {
        return node > 0 && node < static_cast<int>(x.size()) ? x[node] : Complex(0.0, 0.0);
    };
    double sum = 0.0;
    for (const NoiseSource& s : a.noise.sources) {
        double d = s.weight * std::abs(at(s.nodeA) - at(s.nodeB));
        sum += d * d;
    }
    return sum > 0.0 ? std::sqrt(sum) : kTinyMagnitude;
}

double InputNoise()
{
    const AnalysisState& a = Analysis();
    const auto& x = a.solution.complex;
    const auto& e = a.noise.savedExcitation;
    Complex transfer;
    for (std::size_t i = 1; i < x.size() && i < e.size(); ++i) transfer += x[i] * e[i];
    double gain = std::abs(transfer);
    if (gain == 0.0) gain = 1e-30;
    return OutputNoise() / gain;
}

// The phase of z in degrees, continued from the previous point's phase when asked: an
// offset of a multiple of 180 degrees brings it closest to the previous phase once the two
// differ by more than 90 degrees.
double ContinuedPhase(const Complex& z, double previous, bool continuation)
{
    double phase = ExprPhaseDegrees(z);
    if (!continuation || std::abs(phase - previous) <= 90.0) return phase;
    double best = 0.0, bestDistance = 1e30;
    for (double m = 180.0; m <= kPhaseTurnLimit; m += 180.0) {
        for (double offset : {m, -m}) {
            double d = std::abs(phase + offset - previous);
            if (d < bestDistance) {
                bestDistance = d;
                best = offset;
            }
        }
    }
    return phase + best;
}

class Machine {
public:
    Machine(EvaluatorState& state, const EvaluationInputs& inputs, Mode mode, std::vector<double>* steps,
            SpectralWorkRecord* spectral)
        : cells_(state.stack), scratch_(state.scratch), in_(inputs), mode_(mode), steps_(steps), spectral_(spectral)
    {
    }

    // Runs the list; the pending error word says whether it failed.
    void Run(const LinkedList& list)
    {
        for (auto& ins : ListRecords<ExpressionInstruction>(list)) {
            current_ = &ins;
            if (ins.pushFlag)
                Push(ins);
            else
                Apply(ins);
            if (MathErrors().pendingError) return;
        }
    }

    Complex Top() const { return sp_ > 0 ? cells_[sp_ - 1].v : Complex(0.0, 0.0); }

private:
    void Fail() { SetPendingMathError(kEvalFailed); }

    void PushValue(const Complex& v, bool digital = false, ExpressionInstruction* cell = nullptr)
    {
        if (sp_ >= static_cast<int>(cells_.size())) {
            Fail();
            return;
        }
        cells_[sp_++] = Cell{digital ? 1 : 0, v, cell};
    }

    void Push(ExpressionInstruction& ins)
    {
        const AnalysisVariables& vars = Analysis().variables;
        switch (ins.opcode) {
        case kOpDigitalLiteral: PushValue(Digital(ins.index), true); break;
        case kOpDigitalWord: PushValue(Real(ins.stateAddress ? *ins.stateAddress : 0), true); break;
        case kOpReadDouble:
        case kOpImport: PushValue(Real(ins.realAddress ? *ins.realAddress : 0.0)); break;
        case kOpReadFloat: PushValue(Real(ins.floatAddress ? *ins.floatAddress : 0.0)); break;
        case kOpReadComplex: PushValue(ins.complexAddress ? *ins.complexAddress : Complex(0.0, 0.0)); break;
        case kOpConstant: PushValue(ins.value); break;
        case kOpNop: break;
        case kOpStateCell: PushValue(ins.value, false, &ins); break;
        case kOpCoreB:
        case kOpCoreH:
            PushValue(Real(ins.realAddress ? *ins.realAddress / kCoreFieldScale : 0.0));
            break;
        case kOpS:
            PushValue({Analysis().analysisKind == kAnalysisTransient ? vars.laplaceSigma : 0.0,
                       kTwoPi * vars.frequency});
            break;
        case kOpOnoise: PushValue(Real(OutputNoise())); break;
        case kOpInoise: PushValue(Real(InputNoise())); break;
        case kOpRnd: {
            EvaluatorState& s = State();
            int r = s.randomFixed ? s.randomValue : (std::rand() & 0x7FFF);
            PushValue(Real(r / kMaxRandom));
            break;
        }
        case kOpJ: PushValue({0.0, 1.0}); break;
        case kOpOutsideName:
        case kOpOutsideLogicPin:
            if (ins.index >= 0 && ins.index < static_cast<int>(in_.outsideValues.size()))
                PushValue(in_.outsideValues[ins.index], ins.opcode == kOpOutsideLogicPin);
            else
                Fail();
            break;
        default: Fail(); break;  // delay numbers, unbound device quantities, digital tests
        }
    }

    // The value kept in a state-cell argument.
    Complex& CellValue(int at)
    {
        static Complex scratch;
        ExpressionInstruction* cell = cells_[at].stateCell;
        if (!cell) {
            Fail();
            return scratch = Complex(0.0, 0.0);
        }
        return cell->value;
    }

    void StoreSpectral(int first, int n)
    {
        if (!spectral_) return;
        const int point = spectral_->pointIndex;
        const std::size_t page = static_cast<std::size_t>(point / kSpectralPagePoints);
        try {
            while (spectral_->buffers.size() < static_cast<std::size_t>(spectral_->bufferCount))
                spectral_->buffers.emplace_back();
            for (auto& level : spectral_->buffers)
                while (level.size() <= page) level.push_back(std::make_unique<SpectralPage>());
        } catch (const std::bad_alloc&) {
            SetPendingMathError(15002);
            return;
        }
        for (int level = first; level < first + n && level < spectral_->bufferCount; ++level) {
            const Complex& v = cells_[level].v;
            spectral_->buffers[level][page]->points[point % kSpectralPagePoints] = {
                static_cast<float>(ClampToFloatRange(v.real())), static_cast<float>(ClampToFloatRange(v.imag()))};
        }
    }

    void Apply(const ExpressionInstruction& ins)
    {
        const int op = ins.opcode;
        const int n = ins.index;
        if (n < 0 || n > sp_) {
            Fail();
            return;
        }
        const int base = sp_ - n;
        if (IsSpectralOpcode(op)) StoreSpectral(base, n);
        Complex result;
        bool digital = false;
        if (!Compute(op, base, n, result, digital)) return;
        sp_ = base;
        PushValue(result, digital);
    }

    double RealArg(int base, int i) const { return cells_[base + i].v.real(); }
    const Complex& Arg(int base, int i) const { return cells_[base + i].v; }

    bool Compute(int op, int base, int n, Complex& r, bool& digital)
    {
        const Complex& a = Arg(base, 0);
        if (n == 0 && !(op >= kOpFirstPerformance && op <= kOpLastPerformance)) {
            Fail();
            return false;
        }
        switch (op) {
        case kOpRe: r = Real(a.real()); return true;
        case kOpIm: r = Real(a.imag()); return true;
        case kOpMag:
        case kOpAbs: r = Real(ExprMagnitude(a)); return true;
        case kOpDb: r = Real(ExprDecibels(a)); return true;
        case kOpSgn: r = Real(ExprSign(a.real())); return true;
        case kOpSin: r = Real(ExprSin(a.real())); return true;
        case kOpCos: r = Real(ExprCos(a.real())); return true;
        case kOpTan: r = Real(ExprTan(a.real())); return true;
        case kOpLn: r = ExprLog(a, false); return true;
        case kOpLog: r = ExprLog(a, true); return true;
        case kOpExp: r = ExprExp(a); return true;
        case kOpSqrt: r = ExprSqrt(a); return true;
        case kOpAtn: r = ExprAtan(a); return true;
        case kOpAtanh: r = ExprAtanh(a); return true;
        case kOpAcosh: r = ExprAcosh(a); return true;
        case kOpAsinh: r = ExprAsinh(a); return true;
        case kOpAcos: r = ExprAcos(a); return true;
        case kOpAsin: r = ExprAsin(a); return true;
        case kOpCosh: r = ExprCosh(a); return true;
        case kOpSinh: r = ExprSinh(a); return true;
        case kOpTanh: r = ExprTanh(a); return true;
        case kOpCoth: r = ExprCoth(a); return true;
        case kOpJ0: r = Real(ExprBesselJ(0, a.real())); return true;
        case kOpJ1: r = Real(ExprBesselJ(1, a.real())); return true;
        case kOpY0: r = Real(ExprBesselY(0, a.real())); return true;
        case kOpY1: r = Real(ExprBesselY(1, a.real())); return true;
        case kOpJn: r = Real(ExprBesselJ(a.real(), RealArg(base, 1))); return true;
        case kOpYn: r = Real(ExprBesselY(a.real(), RealArg(base, 1))); return true;
        case kOpFact: r = Real(ExprFactorial(a.real())); return true;
        case kOpNegate: r = ExprNegate(a); return true;
        case kOpStp:
            if (mode_ == Mode::kCollectSteps) steps_->push_back(Analysis().variables.time - a.real());
            r = Real(ExprStep(a.real()));
            return true;
        case kOpImpulse:
            if (mode_ == Mode::kCollectSteps) {
                double w = ExprImpulseWidth(a.real());
                steps_->insert(steps_->end(), {0.0, 0.5 * w, w});
            }
            r = Real(ExprImpulse(Analysis().variables.time, a.real()));
            return true;
        case kOpNot: r = Truth(a.real() == 0.0 && a.imag() == 0.0); return true;
        case kOpBitNot:
        case kOpStateInvert:
            if (cells_[base].digital) {
                r = Digital(LogicInvert(LogicIndex(cells_[base])));
                digital = true;
            } else if (op == kOpStateInvert) {
                r = Truth(a.real() == 0.0);
            } else {
                r = Real(~RoundToInt32(a.real()));
            }
            return true;
        default: break;
        }
        if (n >= 2) {
            const Complex& b = Arg(base, 1);
            switch (op) {
            case kOpAdd: r = a + b; return true;
            case kOpSubtract: r = a - b; return true;
            case kOpMultiply: r = ExprMultiply(a, b); return true;
            case kOpDivide: r = ExprDivide(a, b); return true;
            case kOpSafeDivide: r = ExprSafeDivide(a, b); return true;
            case kOpPow:
            case kOpPwr: r = ExprPower(a, b); return true;
            case kOpPwrs: r = Real(ExprSignedPower(a.real(), b.real())); return true;
            case kOpDiv: r = Real(ExprDivTruncated(a.real(), b.real())); return true;
            case kOpMod: r = Real(ExprModulo(a.real(), b.real())); return true;
            case kOpAtan2: r = Real(std::atan2(a.real(), b.real())); return true;
            case kOpMin: r = Real(std::min(a.real(), b.real())); return true;
            case kOpMax: r = Real(std::max(a.real(), b.real())); return true;
            case kOpBitAnd:
            case kOpBitXor:
            case kOpBitOr: BitOperation(op, base, r, digital); return true;
            case kOpLess:
            case kOpGreater:
            case kOpGreaterEqual:
            case kOpLessEqual:
            case kOpEqual:
            case kOpNotEqual:
            case kOpAnd:
            case kOpOr:
            case kOpXor:
            case kOpNand:
            case kOpNor: r = Logic(op, base); return true;
            case kOpDifa: {
                double tol = n >= 3 ? RealArg(base, 2) : 0.0;
                r = Truth(std::abs(a - b) > tol);
                return true;
            }
            case kOpDifd: {
                const Cell& ca = cells_[base];
                const Cell& cb = cells_[base + 1];
                bool same = StateLetter(ca) == StateLetter(cb) || StateLetter(ca) == 'Z' || StateLetter(cb) == 'Z';
                r = Digital(same ? kState0 : kState1);
                digital = true;
                return true;
            }
            default: break;
            }
        }
        return ComputeMore(op, base, n, r, digital);
    }

    bool ComputeMore(int op, int base, int n, Complex& r, bool& digital)
    {
        const Complex& a = Arg(base, 0);
        switch (op) {
        case kOpIf:
            if (n < 3) break;
            r = a.real() != 0.0 ? Arg(base, 1) : Arg(base, 2);
            return true;
        case kOpLimit: {
            if (n < 3) break;
            double lo = RealArg(base, 1), hi = RealArg(base, 2);
            if (hi < lo) std::swap(lo, hi);
            r = Real(std::clamp(a.real(), lo, hi));
            return true;
        }
        case kOpTable: {
            std::vector<double>& pairs = scratch_;
            pairs.clear();
            for (int i = 1; i + 1 < n; ++i) pairs.push_back(RealArg(base, i));
            r = Real(ExprTable(a.real(), pairs));
            return true;
        }
        case kOpBus: {
            long long value = 0;
            for (int i = 0; i + 1 < n; ++i) {
                const auto word = static_cast<std::uint16_t>(RoundToInt32(RealArg(base, i)));
                const bool zero = (word & kStrengthMask) != 0 && (word & kStateIndexMask) == kState0;
                value = (value << 1) | (zero ? 0 : 1);
            }
            r = Real(static_cast<double>(value));
            return true;
        }
        case kOpPh:
        case kOpSpectralPh:
            return Phase(base, n, r, false);
        case kOpGd: return Phase(base, n, r, true);
        case kOpDel:
        case kOpSpectralDel: return Delta(base, n, r);
        case kOpSum:
        case kOpSpectralSum:
        case kOpSdt:
        case kOpDdt: return Running(op, base, n, r);
        case kOpAvg:
        case kOpRms:
        case kOpSpectralAvg:
        case kOpSpectralRms: return Mean(op == kOpRms || op == kOpSpectralRms, base, n, r);
        default: break;
        }
        if (IsSpectralOpcode(op)) {
            // The whole-curve work happens in the pass after the run; per point the operand
            // passes through.
            r = a;
            digital = cells_[base].digital != 0;
            return true;
        }
        if (op >= kOpFirstPerformance && op <= kOpLastPerformance) return Performance(op, base, n, r);
        Fail();
        return false;
    }

    void BitOperation(int op, int base, Complex& r, bool& digital)
    {
        const Cell& ca = cells_[base];
        const Cell& cb = cells_[base + 1];
        if (ca.digital && cb.digital) {
            int x = LogicIndex(ca), y = LogicIndex(cb);
            int s = op == kOpBitAnd ? LogicAnd(x, y) : (op == kOpBitOr ? LogicOr(x, y) : LogicXor(x, y));
            r = Digital(s);
            digital = true;
            return;
        }
        std::int32_t x = RoundToInt32(ca.v.real()), y = RoundToInt32(cb.v.real());
        r = Real(op == kOpBitAnd ? (x & y) : (op == kOpBitOr ? (x | y) : (x ^ y)));
    }

    Complex Logic(int op, int base) const
    {
        const Cell& ca = cells_[base];
        const Cell& cb = cells_[base + 1];
        if (ca.digital && cb.digital && (op == kOpEqual || op == kOpNotEqual))
            return Truth((StateLetter(ca) == StateLetter(cb)) == (op == kOpEqual));
        double x, y;
        ReduceToReals(ca.v, cb.v, x, y);
        switch (op) {
        case kOpLess: return Truth(x < y);
        case kOpGreater: return Truth(x > y);
        case kOpGreaterEqual: return Truth(x >= y);
        case kOpLessEqual: return Truth(x <= y);
        case kOpEqual: return Truth(x == y);
        case kOpNotEqual: return Truth(x != y);
        case kOpAnd: return Truth(x != 0.0 && y != 0.0);
        case kOpOr: return Truth(x != 0.0 || y != 0.0);
        case kOpXor: return Truth((x != 0.0) != (y != 0.0));
        case kOpNand: return Truth(!(x != 0.0 && y != 0.0));
        default: return Truth(!(x != 0.0 || y != 0.0));  // NOR
        }
    }

    // PH (x, current, previous) and GD (x, current, previous). The cells keep the phase in
    // the real part and, for GD, the frequency of that phase in the imaginary part.
    bool Phase(int base, int n, Complex& r, bool groupDelay)
    {
        if (n < 1 + kPhaseCells) {
            Fail();
            return false;
        }
        Complex& current = CellValue(base + 1);
        Complex& previous = CellValue(base + 2);
        const double phase = ContinuedPhase(Arg(base, 0), previous.real(),
                                            (in_.options & kEvalPhaseContinuation) != 0);
        const double f = Analysis().variables.frequency;
        if (groupDelay) {
            const double df = f - previous.imag();
            r = Real(df == 0.0 ? kTinyMagnitude
                               : -((phase - previous.real()) / kDegreesPerRadian * kInverseTwoPi) / df);
        } else {
            r = Real(phase);
        }
        current = {phase, groupDelay ? f : 0.0};
        if (mode_ == Mode::kInitStates) current = previous = {1.0, groupDelay ? f : 0.0};
        return true;
    }

    // DEL (y, current, previous).
    bool Delta(int base, int n, Complex& r)
    {
        if (n < 1 + kDelCells) {
            Fail();
            return false;
        }
        Complex& current = CellValue(base + 1);
        Complex& previous = CellValue(base + 2);
        const Complex y = Arg(base, 0);
        r = y - previous;
        current = y;
        if (mode_ == Mode::kInitStates) current = previous = Real(1.0);
        return true;
    }

    // SUM and SDT: the trapezoidal running integral of y over x; DDT: the derivative of y
    // over x from the previous point. Cells: y, x, value, then their previous copies.
    bool Running(int op, int base, int n, Complex& r)
    {
        if (n < 2 + kRunningCells) {
            Fail();
            return false;
        }
        const Complex y = Arg(base, 0);
        const double x = RealArg(base, 1);
        Complex* c[kRunningCells];
        for (int i = 0; i < kRunningCells; ++i) c[i] = &CellValue(base + 2 + i);
        if (mode_ == Mode::kInitStates) {
            *c[0] = *c[3] = y;
            *c[1] = *c[4] = Real(x);
            *c[2] = *c[5] = Real(0.0);
            r = Real(0.0);
            return true;
        }
        const Complex yPrev = *c[3];
        const double xPrev = c[4]->real();
        if (op == kOpDdt) {
            r = x == xPrev ? *c[5] : (y - yPrev) / (x - xPrev);
        } else {
            r = *c[5] + (x - xPrev) * (y + yPrev) * 0.5;
        }
        *c[0] = y;
        *c[1] = Real(x);
        *c[2] = r;
        return true;
    }

    // AVG and RMS over the analysis axis, weighted from the axis start on. Cells: value,
    // previous value, previous x.
    bool Mean(bool rms, int base, int n, Complex& r)
    {
        if (n < 1 + kMeanCells) {
            Fail();
            return false;
        }
        Complex& current = CellValue(base + 1);
        Complex& previous = CellValue(base + 2);
        Complex& previousX = CellValue(base + 3);
        const AxisRecord axis = CurrentAxis();
        if (mode_ == Mode::kInitStates) {
            current = previous = Real(0.0);
            previousX = Real(axis.current);
            r = Real(0.0);
            return true;
        }
        const Complex y = Arg(base, 0);
        const double x = axis.current, x0 = axis.start, xp = previousX.real();
        if (x == x0) {
            r = Real(0.0);
        } else if (rms) {
            const double prev = std::abs(previous);
            if (x == xp) {
                r = Real(prev);
            } else {
                const double m = std::norm(y);
                r = Real(std::sqrt(std::max(0.0, (prev * prev * (xp - x0) + (x - xp) * m) / (x - x0))));
            }
        } else {
            r = (previous * (xp - x0) + (x - xp) * y) / (x - x0);
        }
        current = r;
        return true;
    }

    bool Performance(int op, int base, int n, Complex& r)
    {
        const ExpressionInstruction* ins = current_;
        if (!in_.performance || !*in_.performance || !ins || !ins->subExpression) {
            Fail();
            return false;
        }
        // The measurement may evaluate expressions of its own: its arguments live here.
        std::array<double, 8> args{};
        const int count = std::min(n, static_cast<int>(args.size()));
        for (int i = 0; i < count; ++i) args[i] = RealArg(base, i);
        double value = 0.0;
        if (int code = (*in_.performance)(*ins->subExpression, op - kOpFirstPerformance,
                                          std::span<const double>(args.data(), count), value)) {
            SetPendingMathError(code);
            return false;
        }
        r = Real(value);
        return true;
    }

    std::vector<Cell>& cells_;
    std::vector<double>& scratch_;
    int sp_ = 0;
    const EvaluationInputs& in_;
    Mode mode_;
    std::vector<double>* steps_;
    SpectralWorkRecord* spectral_;
    const ExpressionInstruction* current_ = nullptr;  // performance functions read their curve here
};

int Evaluate(CompiledExpression& expression, Complex& result, const EvaluationInputs& inputs, Mode mode,
             std::vector<double>* steps)
{
    MathErrors().pendingError = 0;
    const LinkedList& list = expression.instructions;
    // A lone variable (every curve's T, V(node), D(node)) is read without arithmetic, so it
    // needs no guard of the floating-point status: at every point of a run this is most calls.
    if (mode == Mode::kNormal && list.count == 1) {
        const auto* only = static_cast<const ExpressionInstruction*>(list.head);
        if (only->opcode == kOpReadDouble) {
            result = Real(only->realAddress ? *only->realAddress : 0.0);
            return 0;
        }
        if (only->opcode == kOpDigitalWord) {
            result = Real(only->stateAddress ? *only->stateAddress : 0);
            return 0;
        }
    }
    // The evaluation answers for the faults of its own arithmetic only: what the solver or a
    // device raised before it is put aside and given back afterwards, untouched.
    FloatingPointStatusScope ownFaults;
    EvaluatorState& shared = State();
    // An evaluation started from inside another (a performance measurement that evaluates
    // its curve) gets a stack of its own, so the outer one's values stay intact.
    std::unique_ptr<EvaluatorState> nested;
    try {
        if (shared.running) nested = std::make_unique<EvaluatorState>();
        EvaluatorState& s = nested ? *nested : shared;
        if (s.stack.empty()) s.stack.resize(kEvaluationStackCells);
    } catch (const std::bad_alloc&) {
        result = Real(1.0);
        return 15002;
    }
    EvaluatorState& s = nested ? *nested : shared;
    Machine machine(s, inputs, mode, steps, mode == Mode::kNormal ? expression.spectral : nullptr);
    s.running = true;
    machine.Run(list);
    s.running = false;
    if (expression.spectral && mode == Mode::kNormal) ++expression.spectral->pointIndex;
    const int code = ReportMathError();
    if (code != 0) {
        result = Real(1.0);
        return code;
    }
    result = machine.Top();
    return 0;
}

}  // namespace

int EvaluateExpression(CompiledExpression& expression, std::complex<double>& result, std::uint32_t options)
{
    EvaluationInputs inputs;
    inputs.options = options;
    return Evaluate(expression, result, inputs, Mode::kNormal, nullptr);
}

int EvaluateExpression(CompiledExpression& expression, std::complex<double>& result, const EvaluationInputs& inputs)
{
    return Evaluate(expression, result, inputs, Mode::kNormal, nullptr);
}

}  // namespace kq5

namespace kq5 {

AxisRecord CurrentAxis()
{
    const AnalysisState& a = Analysis();
    const AnalysisVariables& v = a.variables;
    switch (a.analysisKind) {
    case kAnalysisTransient: return {v.tmin, v.time};
    case kAnalysisAc: return {v.fmin, v.frequency};
    case kAnalysisDc: return {v.dcStart, v.dcValue};
    default: return {};
    }
}

void UpdateExpressionStates(CompiledExpression& expression, bool runStart, std::uint32_t options)
{
    if (runStart) {
        // One evaluation in the initialising mode seeds every cell from the arguments of its
        // function, nested functions included. Its value and any error are of no use.
        EvaluationInputs inputs;
        inputs.options = options;
        Complex ignored;
        const int pending = MathErrors().pendingError;
        FloatingPointStatusScope keepStatus;
        Evaluate(expression, ignored, inputs, Mode::kInitStates, nullptr);
        MathErrors().pendingError = pending;
        return;
    }
    // The cells of a function are the instructions right before it.
    std::vector<ExpressionInstruction*> run;
    const double x = CurrentAxis().current;
    for (auto& ins : ListRecords<ExpressionInstruction>(expression.instructions)) {
        if (ins.opcode == kOpStateCell) {
            run.push_back(&ins);
            continue;
        }
        const int k = ins.pushFlag ? 0 : StateCellCount(ins.opcode);
        if (k > 0 && static_cast<int>(run.size()) >= k) {
            ExpressionInstruction** c = run.data() + run.size() - k;
            if (k == kRunningCells) {
                for (int i = 0; i < 3; ++i) c[i + 3]->value = c[i]->value;
            } else {
                c[1]->value = c[0]->value;
                if (k == kMeanCells) c[2]->value = Real(x);
            }
        }
        run.clear();
    }
}

int AddExpressionStepBreakpoints(std::span<CompiledExpression* const> given)
{
    std::vector<CompiledExpression*> expressions;
    auto consider = [&](CompiledExpression& e) {
        if (e.dependencies & (kDependsStep | kDependsImpulse)) expressions.push_back(&e);
    };
    for (CompiledExpression* e : given) consider(*e);
    for (CompiledExpression* e : Devices().expressions)
        if (e) consider(*e);

    const AnalysisVariables& v = Analysis().variables;
    const double unit = DigitalTimeUnit();
    std::vector<double> times;
    for (CompiledExpression* e : expressions) {
        times.clear();
        EvaluationInputs inputs;
        Complex ignored;
        {
            FloatingPointStatusScope keepStatus;
            Evaluate(*e, ignored, inputs, Mode::kCollectSteps, &times);
        }
        for (double t : times) {
            if (!(t >= v.tmin) || !(unit > 0.0)) continue;
            // Rounded, so that an instant given in seconds is not cut a tick short.
            const double ticks = std::round((t - v.tmin) / unit);
            if (ticks > 4294967295.0) continue;
            if (int failed = AddTimeBreakpoint(static_cast<std::uint32_t>(ticks))) return failed;
        }
    }
    return 0;
}

void ResetDeviceHistory()
{
    ClearDeviceHistoryFields();
}

void FixRandomValue(int value)
{
    State().randomFixed = true;
    State().randomValue = value;
}

void ReleaseRandomValue()
{
    State().randomFixed = false;
}

void FreeEvaluationStack()
{
    std::vector<Cell>().swap(State().stack);
}

}  // namespace kq5
