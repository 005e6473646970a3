// Transmission lines (ideal or lossy, decided by the model and the value text) and the three
// switch parts.
#include <cctype>
#include <map>
#include <new>

#include "netlist/numeric_helpers.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "netlist/inductor_device.h"
#include "netlist/line_switch_devices.h"
#include "document/component_attributes.h"
#include "netlist/build_errors.h"
#include "document/component_types.h"
#include "netlist/defines.h"
#include "netlist/model_statements.h"
#include "core/part_instance.h"
#include "netlist/token_patterns.h"
#include "netlist/translate_common.h"
#include "netlist/translate_components.h"

namespace kq5 {

namespace {

constexpr int kMsgCantFindSource = 10799;
constexpr int kMsgIllegalSwitch = 10835;
constexpr int kMsgMissingWSource = 10854;
constexpr int kMsgIllegalLine = 10859;

// TRN parameters by position.
enum TrnParam { kTrnZo = 0, kTrnTd = 1, kTrnF = 2, kTrnNl = 3, kTrnR = 4, kTrnL = 5, kTrnG = 6, kTrnC = 7, kTrnLen = 8 };
constexpr int kTrnChainParam = 21;

float& TrnSlot(EvaluatedModel* model, int index) { return model->params[static_cast<std::size_t>(index)]; }

// "ZO" written with the letter O reads as Z0.
std::string NormalizeZo(std::string text)
{
    for (std::size_t at = text.find("ZO"); at != std::string::npos; at = text.find("ZO", at + 2)) {
        const bool starts = at == 0 || !HasCharClass(text[at - 1], kCharIdent);
        const bool ends = at + 2 >= text.size() || !HasCharClass(text[at + 2], kCharIdent);
        if (starts && ends) text[at + 1] = '0';
    }
    return text;
}

bool ShownMismatch(SchematicItem* component, int rc)
{
    if (rc == 0) return false;
    ShowErrorLocation(component);
    return true;
}

int TranslateIdealLine(SchematicItem* component, EvaluatedModel* model, const std::string& text)
{
    if (!text.empty()) {
        const int rc = text.find("TD") != std::string::npos
                           ? MatchTokenPattern(component, text, "<[Z0=%f][TD=%f]>",
                                               {&TrnSlot(model, kTrnZo), &TrnSlot(model, kTrnTd)})
                           : MatchTokenPattern(component, text, "<[Z0=%f][F=%f][NL=%f]>",
                                               {&TrnSlot(model, kTrnZo), &TrnSlot(model, kTrnF), &TrnSlot(model, kTrnNl)});
        if (ShownMismatch(component, rc)) return kMsgAlreadyReported;
    }
    const bool zo = !IsParamNotGiven(TrnSlot(model, kTrnZo));
    const bool td = !IsParamNotGiven(TrnSlot(model, kTrnTd));
    const bool f = !IsParamNotGiven(TrnSlot(model, kTrnF));
    if (!zo || !(td || f)) return ReportComponentMessage(component, kMsgIllegalLine);
    if (!td) {
        const double frequency = TrnSlot(model, kTrnF);
        TrnSlot(model, kTrnTd) = frequency == 0.0 ? 0.0f : static_cast<float>(TrnSlot(model, kTrnNl) / frequency);
    }
    // A line without delay would hold the run's largest step at zero; one without a positive
    // impedance has no waves to carry.
    if (!(TrnSlot(model, kTrnTd) > 0.0f) || !(TrnSlot(model, kTrnZo) > 0.0f))
        return ReportComponentMessage(component, kMsgIllegalLine);
    auto* line = AppendDevice<IdealLineDevice>(kIdealLineDeviceList, kKindIdealLine);
    if (!line) return kMsgAlreadyReported;
    line->model = model;
    line->port1Plus = PinNode(component, 0);
    line->port1Minus = PinNode(component, 1);
    line->port2Plus = PinNode(component, 2);
    line->port2Minus = PinNode(component, 3);
    line->internal1 = NewAnalogNode();
    line->internal2 = NewAnalogNode();
    line->delay = TrnSlot(model, kTrnTd);
    if (RegisterPartInstance(line, kComponentTline, component)) return kMsgAlreadyReported;
    return 0;
}

int TranslateLossyLine(SchematicItem* component, EvaluatedModel* model, std::string text)
{
    auto* line = AppendDevice<LossyLineDevice>(kLossyLineDeviceList, kKindLossyLine);
    if (!line) return kMsgAlreadyReported;
    line->model = model;
    line->component = component;
    // A leading number is the length.
    std::string length;
    const std::size_t end = ScanValueText(text, &length);
    if (!length.empty()) {
        TrnSlot(model, kTrnLen) = static_cast<float>(EvalNumber(length));
        text.erase(0, end);
    }
    if (ShownMismatch(component, MatchTokenPattern(component, text, "<[LEN=%f][R=%f][L=%f][G=%f][C=%f]>",
                                                   {&TrnSlot(model, kTrnLen), &TrnSlot(model, kTrnR),
                                                    &TrnSlot(model, kTrnL), &TrnSlot(model, kTrnG),
                                                    &TrnSlot(model, kTrnC)})))
        return kMsgAlreadyReported;
    line->port1Plus = PinNode(component, 0);
    line->port1Minus = PinNode(component, 1);
    line->port2Plus = PinNode(component, 2);
    line->port2Minus = PinNode(component, 3);
    if (RegisterPartInstance(line, kComponentTline, component)) return kMsgAlreadyReported;
    return 0;
}

// Whether the (upper-cased) value text has an F of its own: one that does not follow a digit,
// a decimal point or a scale letter.
bool NamesFrequency(const std::string& text)
{
    for (std::size_t at = text.find('F'); at != std::string::npos; at = text.find('F', at + 1))
        if (at == 0 || !(std::isalnum(static_cast<unsigned char>(text[at - 1])) || text[at - 1] == '.')) return true;
    return false;
}

}  // namespace

int TranslateTransmissionLine(SchematicItem* component)
{
    const bool named = !GetAttributeText(component, kAttrModel).empty();
    EvaluatedModel* model = named ? PartModel(component) : FindModelEx(kModelTrn, -1, false, true);
    if (!model) {
        FlagCircuitBuildError();
        return kMsgAlreadyReported;
    }
    if (model->params.size() <= static_cast<std::size_t>(kTrnLen)) return FlagCircuitBuildOutOfMemory();
    const std::string text = NormalizeZo(CopyUpperCase(CurrentMainText()));
    // The statement's own parameters decide; defaults (NL has one) do not make a line ideal.
    bool ideal = false;
    if (named)
        for (int p : {kTrnZo, kTrnTd, kTrnF, kTrnNl}) ideal = ideal || IsModelParamGiven(component, p) != 0;
    // Z0 belongs to the ideal line alone, like TD, F and NL. An F that ends a number is a
    // unit (C=100PF, C=1F per unit length of a lossy line), not the frequency.
    ideal = ideal || NamesFrequency(text) || text.find("TD") != std::string::npos ||
            text.find("NL") != std::string::npos || text.find("Z0") != std::string::npos;
    return ideal ? TranslateIdealLine(component, model, text) : TranslateLossyLine(component, model, text);
}

void ChainLossyLines()
{
    std::map<const EvaluatedModel*, LossyLineDevice*> last;
    for (LossyLineDevice& line : ListRecords<LossyLineDevice>(DeviceList(kLossyLineDeviceList))) {
        line.nextSharingModel = nullptr;
        if (!line.model || line.model->params.size() <= static_cast<std::size_t>(kTrnChainParam) ||
            line.model->Param(kTrnChainParam) != 0.0f)
            continue;
        auto [at, first] = last.try_emplace(line.model, &line);
        if (!first) {
            at->second->nextSharingModel = &line;
            at->second = &line;
        }
    }
}

int TranslateSwitch(SchematicItem* component)
{
    const std::string& text = CurrentMainText();
    const char mode = text.empty() ? '\0' : ToUpperChar(text[0]);
    auto refuse = [&] {
        ReportComponentMessage(component, kMsgIllegalSwitch, text);
        ShowErrorLocation(component);
        return kMsgAlreadyReported;
    };
    if (mode != 'T' && mode != 'V' && mode != 'I') return refuse();
    auto* s = AppendDevice<SwitchDevice>(kSwitchDeviceList);
    if (!s) return kMsgAlreadyReported;
    s->mode = mode == 'T' ? kSwitchTime : mode == 'V' ? kSwitchVoltage : kSwitchCurrent;
    std::size_t at = 1;
    while (at < text.size() && (text[at] == ',' || HasCharClass(text[at], kCharSpace))) ++at;
    const std::string rest = text.substr(at);
    ValueList values{};
    if (int rc = ParseValueListLenient(rest, 4, values)) {
        if (rc != kMsgAlreadyReported) ReportComponentMessage(component, rc, rest, std::string());
        FlagCircuitBuildError();
        return kMsgAlreadyReported;
    }
    s->threshold1 = values[0];
    s->threshold2 = rest.find(',') == std::string::npos ? 1e30 : values[1];
    if (s->threshold1 == s->threshold2) return refuse();
    const double ron = values[2] == 0.0 ? 0.001 : values[2];
    const double roff = values[3] == 0.0 ? 1e9 : values[3];
    s->onConductance = 1.0 / ron;
    s->offConductance = 1.0 / roff;
    s->controlA = PinNode(component, 3);
    s->controlB = PinNode(component, 2);
    s->outputA = PinNode(component, 0);
    s->outputB = PinNode(component, 1);
    s->component = component;
    return 0;
}

int ResolveSwitchInductors()
{
    for (SwitchDevice& s : ListRecords<SwitchDevice>(DeviceList(kSwitchDeviceList))) {
        if (s.mode != kSwitchCurrent) continue;
        s.controlInductor = nullptr;
        for (InductorDevice& l : ListRecords<InductorDevice>(DeviceList(kInductorDeviceList))) {
            if ((l.nodeA == s.controlA && l.nodeB == s.controlB) || (l.nodeA == s.controlB && l.nodeB == s.controlA)) {
                s.controlInductor = &l;
                break;
            }
        }
        // After a failure the search still links what it can, but reports nothing more.
        if (!s.controlInductor && !CircuitBuildFailed()) {
            ReportComponentMessage(s.component, kMsgIllegalSwitch, std::string());
            return kMsgAlreadyReported;
        }
    }
    return 0;
}

int TranslateVoltageSwitch(SchematicItem* component)
{
    auto* s = AppendDevice<VoltageSwitchDevice>(kVoltageSwitchDeviceList);
    if (!s) return kMsgAlreadyReported;
    s->outputPlus = PinNode(component, 0);
    s->outputMinus = PinNode(component, 1);
    s->controlPlus = PinNode(component, 2);
    s->controlMinus = PinNode(component, 3);
    if (!(s->model = PartModel(component))) return kMsgAlreadyReported;
    if (RegisterPartInstance(s, kComponentS, component)) return kMsgAlreadyReported;
    return 0;
}

int TranslateCurrentSwitch(SchematicItem* component)
{
    auto* w = AppendDevice<CurrentSwitchDevice>(kCurrentSwitchDeviceList);
    if (!w) return kMsgAlreadyReported;
    w->outputPlus = PinNode(component, 0);
    w->outputMinus = PinNode(component, 1);
    w->component = component;
    if (!(w->model = PartModel(component))) return kMsgAlreadyReported;
    if (RegisterPartInstance(w, kComponentW, component)) return kMsgAlreadyReported;
    return 0;
}

int ResolveCurrentSwitchSources()
{
    for (CurrentSwitchDevice& w : ListRecords<CurrentSwitchDevice>(DeviceList(kCurrentSwitchDeviceList))) {
        const std::string name = ExpandAttributeDefines(w.component, kAttrRef);
        if (CircuitBuildFailed()) return kMsgAlreadyReported;
        if (name.empty()) return ReportComponentMessage(w.component, kMsgMissingWSource);
        const PartInstanceRecord* part = FindPartByNameInScope(name, w.component->scope);
        const bool source = part && (part->typeCode == kComponentVSpice || part->typeCode == kComponentPulseSource ||
                                     part->typeCode == kComponentSineSource);
        if (!source || !part->device) return ReportComponentMessage(w.component, kMsgCantFindSource, name);
        w.controllingSource = part->device;
    }
    return 0;
}

}  // namespace kq5
