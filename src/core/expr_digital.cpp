#include "core/expr_digital.h"

#include <cmath>
#include <limits>
#include <new>

#include "core/expr_symbols.h"
#include "core/digital_logic_tables.h"

namespace kq5 {

namespace {

constexpr std::int32_t kNotExecutable = 15055;

std::int32_t RoundClamped(double x)
{
    if (std::isnan(x)) return 0;
    const double r = std::round(x);
    if (r >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (r <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(r);
}

// Time units of a delay in seconds; an unusable time unit gives no delay.
std::int32_t ToTimeUnits(double seconds, double unit)
{
    if (!(seconds > 0.0) || !(unit > 0.0)) return 0;
    return RoundClamped(seconds / unit);
}

// A scale factor divides only when it is usable; otherwise the value stands as it is.
double DivideByScale(double value, double scale)
{
    return scale > 0.0 && std::isfinite(scale) ? value / scale : value;
}

bool Matches(int code, int oldState, int newState)
{
    switch (code) {
    case kOpTrnLH: return oldState == kState0 && newState == kState1;
    case kOpTrnLZ: return oldState == kState0 && newState == kStateZ;
    case kOpTrnLAny: return oldState == kState0;
    case kOpTrnHL: return oldState == kState1 && newState == kState0;
    case kOpTrnHZ: return oldState == kState1 && newState == kStateZ;
    case kOpTrnHAny: return oldState == kState1;
    case kOpTrnZL: return oldState == kStateZ && newState == kState0;
    case kOpTrnZH: return oldState == kStateZ && newState == kState1;
    case kOpTrnZAny: return oldState == kStateZ;
    case kOpTrnAnyL: return newState == kState0;
    case kOpTrnAnyH: return newState == kState1;
    default: return newState == kStateZ;  // TRN_$Z
    }
}

bool IsTransitionCode(int code)
{
    switch (code) {
    case kOpTrnLH:
    case kOpTrnLZ:
    case kOpTrnLAny:
    case kOpTrnHL:
    case kOpTrnHZ:
    case kOpTrnHAny:
    case kOpTrnZL:
    case kOpTrnZH:
    case kOpTrnZAny:
    case kOpTrnAnyL:
    case kOpTrnAnyH:
    case kOpTrnAnyZ: return true;
    default: return false;
    }
}

int StateOf(std::uint16_t word, int programKind)
{
    if (programKind == kDigitalProgramKindStrength && (word & kStrengthMask) == 0) return kStateZ;
    return word & kStateIndexMask;
}

// A transition from or to X counts as a full swing against the settled level on the other side.
void SettleTransition(int& oldState, int& newState)
{
    oldState = SettledLevel(oldState);
    newState = SettledLevel(newState);
    if (oldState == kStateX && newState == kState0)
        oldState = kState1;
    else if (oldState == kStateX && newState == kState1)
        oldState = kState0;
    else if (oldState == kState0 && newState == kStateX)
        newState = kState1;
    else if (oldState == kState1 && newState == kStateX)
        newState = kState0;
}

}  // namespace

int ConvertToDigitalCode(std::vector<DigitalCode>& destination, int& count, const CompiledExpression& expression,
                         std::uint32_t kindMask)
{
    std::vector<DigitalCode> codes;
    try {
        codes.reserve(static_cast<std::size_t>(expression.instructions.count));
    } catch (const std::bad_alloc&) {
        return 15002;
    }
    for (const auto& ins : ListRecords<ExpressionInstruction>(expression.instructions)) {
        DigitalCode c;
        c.code = ins.opcode;
        c.operand = ins.index;
        switch (ins.opcode) {
        case kOpConstant:
            c.code = kOpIntConstant;
            c.value = ins.value.real();
            c.operand = kindMask == kDigitalDelayKinds ? 0 : RoundClamped(c.value);
            break;
        case kOpDelayNumber: c.value = ins.value.real(); break;
        default: break;
        }
        codes.push_back(c);
    }
    destination = std::move(codes);
    count = static_cast<int>(destination.size());
    return 0;
}

DelaySeconds CompleteMinTypMax(double min, double typ, double max)
{
    const DigitalSimulatorState& d = DigitalSimulator();
    const double mnty = d.minTypScale, tymx = d.typMaxScale;
    const bool hasMin = min >= 0.0, hasTyp = typ >= 0.0, hasMax = max >= 0.0;
    if (hasTyp) {
        if (!hasMin) min = typ * mnty;
        if (!hasMax) max = typ * tymx;
    } else if (hasMin && hasMax) {
        typ = (min + max) * 0.5;
    } else if (hasMin) {
        typ = DivideByScale(min, mnty);
        max = typ * tymx;
    } else {
        typ = DivideByScale(max, tymx);
        min = typ * mnty;
    }
    return {min, typ, max};
}

DelayTriple ResolveMinTypMaxDelay(double min, double typ, double max)
{
    const DelaySeconds s = CompleteMinTypMax(min, typ, max);
    const double unit = DigitalTimeUnit();
    return {ToTimeUnits(s.min, unit), ToTimeUnits(s.typ, unit), ToTimeUnits(s.max, unit)};
}

void ResolveDelayConstants(std::vector<DigitalCode>& program)
{
    for (std::size_t i = 0; i < program.size(); ++i) {
        DigitalCode& c = program[i];
        if (c.code == kOpIntConstant) {
            c.operand = RoundClamped(c.value);
        } else if (c.code == kOpDelayNumber && i + 2 < program.size() && program[i + 1].code == kOpDelayNumber &&
                   program[i + 2].code == kOpDelayNumber) {
            DelayTriple t = ResolveMinTypMaxDelay(c.value, program[i + 1].value, program[i + 2].value);
            program[i].operand = t.min;
            program[i + 1].operand = t.typ;
            program[i + 2].operand = t.max;
            i += 2;
        }
    }
}

int EvalDigitalExpression(const DigitalProgramContext& context, std::uint16_t oldState, std::uint16_t newState,
                          DigitalResult& result)
{
    if (context.codes.empty()) {
        result.words = {kState1, 0, 0};
        return 0;
    }
    int before = StateOf(oldState, context.programKind);
    int after = StateOf(newState, context.programKind);
    SettleTransition(before, after);

    const DigitalPrimitiveInstance* inst = context.instance;
    auto pinState = [&](int pin) -> std::int32_t {
        return inst && pin >= 0 && pin < static_cast<int>(inst->pinStates.size()) ? inst->pinStates[pin] : static_cast<std::int32_t>(kStateX);
    };
    std::vector<std::int32_t> stack;
    std::vector<std::int32_t> pinOf;  // the pin whose state a stack entry holds, -1 otherwise
    auto push = [&](std::int32_t v, std::int32_t pin = -1) {
        stack.push_back(v);
        pinOf.push_back(pin);
    };
    auto pop = [&]() {
        std::int32_t v = stack.back();
        stack.pop_back();
        pinOf.pop_back();
        return v;
    };
    auto topThree = [&](std::size_t below) {
        const std::size_t n = stack.size();
        return std::array<std::int32_t, 3>{stack[n - 3 - below], stack[n - 2 - below], stack[n - 1 - below]};
    };
    std::array<std::int32_t, 3> delay{};
    bool delaySet = false;

    for (const DigitalCode& c : context.codes) {
        const int code = c.code;
        if (code == kOpDigitalLiteral || code == kOpIntConstant || code == kOpDelayNumber) {
            push(c.operand);
        } else if (code == kOpOutsideName || code == kOpOutsideLogicPin) {
            push(pinState(c.operand), c.operand);
        } else if (IsTransitionCode(code)) {
            push(Matches(code, before, after) ? 1 : 0);
        } else if (code == kOpBitNot || code == kOpStateInvert) {
            if (stack.empty()) return kNotExecutable;
            const std::int32_t v = pop();
            push(code == kOpBitNot ? ~v : (v == 0 ? 1 : 0));
        } else if (code == kOpEqual || code == kOpNotEqual || code == kOpBitAnd || code == kOpBitXor ||
                   code == kOpBitOr) {
            if (stack.size() < 2) return kNotExecutable;
            const std::int32_t b = pop(), a = pop();
            switch (code) {
            case kOpEqual: push(a == b ? 1 : 0); break;
            case kOpNotEqual: push(a != b ? 1 : 0); break;
            case kOpBitAnd: push(a & b); break;
            case kOpBitXor: push(a ^ b); break;
            default: push(a | b); break;
            }
        } else if (code == kOpChanged || code == kOpChangedLH || code == kOpChangedHL) {
            if (stack.size() < 2) return kNotExecutable;
            const auto window = static_cast<std::uint32_t>(pop());
            const std::int32_t pin = pinOf.back();
            const std::int32_t current = pop();
            auto want = [&](int state) {
                return code == kOpChanged ? state != kStateX : state == (code == kOpChangedLH ? kStateR : kStateF);
            };
            bool changed = false;
            const bool records = inst && pin >= 0 && pin < static_cast<int>(inst->pinChanges.size());
            if (window == 0 && records) {
                // A zero window asks whether the pin changes at this very time; the record keeps
                // the transition of its last change (R a rise, F a fall).
                const DigitalPinChange& ch = inst->pinChanges[pin];
                changed = ch.changeTime == ch.currentTime && want(ch.previousState);
            } else if (window == 0) {
                changed = want(current);
            } else if (inst && pin >= 0 && pin < static_cast<int>(inst->pinChanges.size())) {
                const DigitalPinChange& ch = inst->pinChanges[pin];
                changed = ch.currentTime - ch.changeTime < window && want(ch.previousState);
            }
            push(changed ? 1 : 0);
        } else if (code == kOpDelay) {
            if (stack.size() < 3) return kNotExecutable;
            delay = topThree(0);
            delaySet = true;
        } else if (code == kOpResult) {
            if (stack.size() < 3) return kNotExecutable;
            result.words = topThree(0);
            return 0;
        } else if (code == kOpConditionalResult) {
            if (stack.size() < 4) return kNotExecutable;
            if (stack.back() != 0) {
                result.words = topThree(1);
                return 0;
            }
            for (int k = 0; k < 4; ++k) pop();
        } else {
            return kNotExecutable;
        }
    }
    if (delaySet)
        result.words = delay;
    else if (!stack.empty())
        result.words = {stack.back(), 0, 0};
    return 0;
}

int EvalDigitalCondition(const DigitalProgramContext& context, std::uint8_t& resultState)
{
    DigitalResult r;
    const std::uint16_t x = kStateX | kFullStrength;
    const int rc = EvalDigitalExpression(context, x, x, r);
    if (rc == 0) resultState = static_cast<std::uint8_t>(r.words[0] & 0xFF);
    return rc;
}

int EvalDigitalLogic(std::span<const DigitalCode> program, std::span<const std::uint16_t> pinStates)
{
    std::vector<std::uint8_t> stack;
    stack.reserve(program.size());
    for (const DigitalCode& c : program) {
        switch (c.code) {
        case kOpDigitalLiteral:
        case kOpIntConstant: stack.push_back(static_cast<std::uint8_t>(c.operand & 0x7)); break;
        case kOpOutsideName:
        case kOpOutsideLogicPin:
            stack.push_back(c.operand >= 0 && c.operand < static_cast<int>(pinStates.size())
                                ? static_cast<std::uint8_t>(pinStates[c.operand] & 0x7)
                                : static_cast<std::uint8_t>(kStateX));
            break;
        case kOpBitNot:
            if (stack.empty()) return kStateX;
            stack.back() = static_cast<std::uint8_t>(LogicInvert(stack.back()));
            break;
        case kOpBitAnd:
        case kOpBitXor:
        case kOpBitOr: {
            if (stack.size() < 2) return kStateX;
            const int b = stack.back();
            stack.pop_back();
            const int a = stack.back();
            stack.back() = static_cast<std::uint8_t>(
                c.code == kOpBitAnd ? LogicAnd(a, b) : (c.code == kOpBitOr ? LogicOr(a, b) : LogicXor(a, b)));
            break;
        }
        default: break;
        }
    }
    return stack.empty() ? static_cast<int>(kStateX) : stack.back();
}

}  // namespace kq5
