// Resistors, capacitors and inductors: "value [TC=tc1[,tc2]]" and "value [IC=v]".
#include <new>
#include <utility>

#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "netlist/capacitor_device.h"
#include "netlist/inductor_device.h"
#include "netlist/resistor_device.h"
#include "document/component_attributes.h"
#include "netlist/build_errors.h"
#include "document/component_types.h"
#include "netlist/translate_common.h"
#include "netlist/translate_components.h"

namespace kq5 {

namespace {

constexpr int kMsgExpectingToFollow = 11901;
constexpr int kMsgUnknownIdentifier = 10847;
constexpr std::size_t kMaxWordLength = 50;

void SkipBlanks(std::string_view text, std::size_t& i)
{
    while (i < text.size() && HasCharClass(text[i], kCharSpace)) ++i;
}

// Evaluates one value at i at once; 0, or 15055 after reporting the evaluator's failure.
int EvalValueAt(SchematicItem* component, std::string_view text, std::size_t& i, double& value)
{
    std::string valueText;
    i = ScanValueText(text.substr(i), &valueText) + i;
    if (valueText.empty()) return ReportComponentMessage(component, kMsgExpectingToFollow, "<value>", "=");
    int error = 0;
    value = EvalNumberOrExpression(valueText, error);
    if (error == 0) return 0;
    if (error != kMsgAlreadyReported) ReportComponentMessage(component, error, valueText, std::string(text));
    FlagCircuitBuildError();
    return kMsgAlreadyReported;
}

// The grammar after the value: the keyword, '=', and one or two values.
int ParseValueSuffix(SchematicItem* component, std::string_view text, std::size_t i, const char* keyword,
                     double& first, std::int32_t& firstGiven, double* second, std::int32_t* secondGiven)
{
    SkipBlanks(text, i);
    if (i >= text.size()) return 0;
    std::string word;
    std::size_t j = i;
    while (j < text.size() && HasCharClass(text[j], kCharIdent) && word.size() < kMaxWordLength) word += text[j++];
    if (word != keyword) return ReportComponentMessage(component, kMsgUnknownIdentifier, word.empty() ? std::string(text.substr(i)) : word);
    i = j;
    SkipBlanks(text, i);
    if (i >= text.size() || text[i] != '=') return ReportComponentMessage(component, kMsgExpectingToFollow, "=", keyword);
    ++i;
    SkipBlanks(text, i);
    if (int rc = EvalValueAt(component, text, i, first)) return rc;
    firstGiven = 1;
    SkipBlanks(text, i);
    if (second && i < text.size() && text[i] == ',') {
        ++i;
        SkipBlanks(text, i);
        if (int rc = EvalValueAt(component, text, i, *second)) return rc;
        *secondGiven = 1;
        SkipBlanks(text, i);
    }
    if (i < text.size()) return ReportComponentMessage(component, kMsgUnknownIdentifier, std::string(text.substr(i)));
    return 0;
}

// The value expression of the main text; the position after it.
int TakeValue(SchematicItem* component, std::string_view text, DeviceExpression& value, DeviceExpression& ac,
              std::size_t& end)
{
    std::string valueText;
    end = ScanValueText(text, &valueText);
    if (valueText.empty()) {
        const std::string_view rest = text.substr(end);
        if (rest.empty()) return ReportComponentMessage(component, kMsgExpectingToFollow, "<value>", "VALUE");
        return ReportComponentMessage(component, kMsgUnknownIdentifier, std::string(rest));
    }
    if (int rc = AddValueExpression(valueText, component, value)) return rc;
    return AddAcExpression(component, ac);
}

}  // namespace

int TranslatePassive(SchematicItem* component, int typeCode)
{
    const std::int32_t a = PinNode(component, 0);
    const std::int32_t b = PinNode(component, 1);
    const std::string& text = CurrentMainText();
    const bool hasModel = !GetAttributeText(component, kAttrModel).empty();
    std::size_t end = 0;

    if (typeCode == kComponentResistor) {
        ResistorDevice* r = AppendResistorDevice(0.5, a, b, 1);
        if (!r) return kMsgAlreadyReported;
        // The extras are made only for a resistor that has one of them.
        ResistorExtras extras;
        if (hasModel && !(extras.model = PartModel(component))) return kMsgAlreadyReported;
        if (RegisterPartInstance(r, typeCode, component)) return kMsgAlreadyReported;
        int rc = TakeValue(component, text, r->valueExpression, extras.acExpression, end);
        if (rc == 0)
            rc = ParseValueSuffix(component, text, end, "TC", extras.tc1, extras.tc1Given, &extras.tc2,
                                  &extras.tc2Given);
        if (extras.model || extras.tc1Given || extras.tc2Given || !extras.acExpression.Empty()) {
            try {
                r->Extras() = std::move(extras);
            } catch (const std::bad_alloc&) {
                return FlagCircuitBuildOutOfMemory();
            }
        }
        return rc;
    }
    if (typeCode == kComponentCapacitor) {
        CapacitorDevice* c = AppendCapacitorDevice(1.0, a, b);
        if (!c) return kMsgAlreadyReported;
        // The extras are made only for a capacitor that has one of them.
        CapacitorExtras extras;
        if (hasModel && !(extras.model = PartModel(component))) return kMsgAlreadyReported;
        if (RegisterPartInstance(c, typeCode, component))
            return kMsgAlreadyReported;
        int rc = TakeValue(component, text, c->valueExpression, extras.acExpression, end);
        if (rc == 0)
            rc = ParseValueSuffix(component, text, end, "IC", c->initialCondition, extras.initialConditionGiven, nullptr,
                                  nullptr);
        if (extras.model || extras.initialConditionGiven || !extras.acExpression.Empty()) {
            try {
                c->Extras() = std::move(extras);
            } catch (const std::bad_alloc&) {
                return FlagCircuitBuildOutOfMemory();
            }
        }
        return rc;
    }
    auto* l = AppendDevice<InductorDevice>(kInductorDeviceList, kKindInductor);
    if (!l) return kMsgAlreadyReported;
    l->nodeA = a;
    l->nodeB = b;
    l->component = component;
    if (hasModel && !(l->model = PartModel(component))) return kMsgAlreadyReported;
    if (RegisterPartInstance(l, typeCode, component)) return kMsgAlreadyReported;
    if (int rc = TakeValue(component, text, l->valueExpression, l->acExpression, end)) return rc;
    return ParseValueSuffix(component, text, end, "IC", l->initialCondition, l->initialConditionGiven, nullptr,
                            nullptr);
}

}  // namespace kq5
