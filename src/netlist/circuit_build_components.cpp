// The component pass of the circuit build: every component of the document, drawn or read from
// SPICE text, is handed to the translator of its type, with progress for large circuits.
#include <array>
#include <new>
#include <string>

#include "core/analysis_state.h"
#include "ui/status_text.h"
#include "core/format.h"
#include "platform/string_table.h"
#include "netlist/source_device.h"
#include "document/circuit_document.h"
#include "document/connectivity.h"
#include "document/schematic_item.h"
#include "netlist/build_errors.h"
#include "netlist/circuit_build.h"
#include "document/component_types.h"
#include "netlist/defines.h"
#include "netlist/opamp_expansion.h"
#include "netlist/poly_source.h"
#include "netlist/spice_reader_state.h"
#include "netlist/translate_common.h"
#include "netlist/translate_components.h"

namespace kq5 {

namespace {

constexpr int kProgressTextId = 17893;  // "Processing Component %d of %d %d%%"
constexpr int kProgressItemThreshold = 1000;

bool SteppingOrMonteCarloRunning()
{
    const CircuitDocument* document = CurrentDocument();
    if (!document) return false;
    const int kind = Analysis().analysisKind;
    if (kind >= 0 && kind < kAnalysisKindCount &&
        (document->monteCarlo[static_cast<std::size_t>(kind)].options & kMonteCarloOn))
        return true;
    for (const SteppingSlot& slot : document->stepping)
        if (slot.flags & kStepOn) return true;
    return false;
}

void ShowProgress(int counter, int count)
{
    CircuitBuildState& build = CircuitBuild();
    if (!StatusBarShown() || count <= kProgressItemThreshold) return;
    const int every = count / 100;
    if (every <= 0 || counter % every != 0) return;
    const std::optional<std::string_view> format = FindStringTableText(kProgressTextId);
    if (!format) return;
    const int percent = static_cast<int>(static_cast<double>(counter) / count * 100.0);
    std::string text = StrPrintf(std::string(*format).c_str(), counter, count, percent);
    if (text == build.lastProgressText) return;
    build.lastProgressText = text;
    SetStatusText(build.lastProgressText);
}

int TranslateOpamp(SchematicItem* component)
{
    std::array<std::int32_t, 5> pins{};
    for (int pin = 0; pin < 5; ++pin) pins[static_cast<std::size_t>(pin)] = PinNode(component, pin);
    if (ExpandOpampPart(pins, component) != 0) {
        FlagCircuitBuildError();
        return kMsgAlreadyReported;
    }
    return 0;
}

}  // namespace

void TranslateComponent(SchematicItem* component, int type)
{
    const std::int32_t a = PinNode(component, 0);
    const std::int32_t b = PinNode(component, 1);
    switch (type) {
    case kComponentBattery: TranslateIndependentSource(component, type, a, b, kSourceVoltage); return;
    case kComponentAnalogState:
        SetGroundFound();
        TranslateIndependentSource(component, type, a, 0, kSourceVoltage);
        return;
    case kComponentISpice: case kComponentIsource:
        TranslateIndependentSource(component, type, a, b, kSourceCurrent);
        return;
    case kComponentVSpice: TranslateIndependentSource(component, type, a, b, kSourceVoltage); return;
    case kComponentResistor: case kComponentInductor: case kComponentCapacitor: TranslatePassive(component, type); return;
    case kComponentPulseSource: TranslatePulseSource(component); return;
    case kComponentSineSource: TranslateSineSource(component); return;
    case kComponentDiode: TranslateDiode(component); return;
    case kComponentNpn: case kComponentPnp: case kComponentNpn4: case kComponentPnp4: TranslateBjt(component, type); return;
    case kComponentPmos: case kComponentNmos: TranslateMosfet(component, type); return;
    case kComponentPjfet: case kComponentNjfet: TranslateJfet(component, type); return;
    case kComponentGaAsFet: TranslateGaasfet(component); return;
    case kComponentTransformer: TranslateTransformer(component); return;
    case kComponentSwitch: TranslateSwitch(component); return;
    case kComponentS: TranslateVoltageSwitch(component); return;
    case kComponentW: TranslateCurrentSwitch(component); return;
    case kComponentTline: TranslateTransmissionLine(component); return;
    case kComponentUserSource: TranslateUserSource(component); return;
    case kComponentOpamp: TranslateOpamp(component); return;
    case kComponentNFI: case kComponentNFV: TranslateFormulaSource(component, type); return;
    case kComponentK: TranslateCoupling(component); return;
    case kComponentDigitalLed: case kComponentSevenSegment: TranslateDisplayElement(component, type); return;
    case kComponentSampleAndHold: TranslateSampleHold(component); return;
    case kComponentGround: SetGroundFound(); return;
    case kComponentMacro: case kComponentSubckt: RegisterPartInstance(nullptr, type, component); return;
    default: break;
    }
    if (type >= kComponentIofV && type <= kComponentVofI) {
        TranslateLinearSource(component, type);
    } else if (type >= kComponentLFIofV && type <= kComponentLFVofI) {
        TranslateLaplaceSource(component, type);
    } else if (type >= kComponentZLFIofV && type <= kComponentZLFVofI) {
        TranslateZLaplaceSource(component, type);
    } else if (type >= kComponentNTIofV && type <= kComponentNTVofI) {
        TranslateTableSource(component, type);
    } else if (type >= kComponentLTIofV && type <= kComponentLTVofI) {
        TranslateFreqTableSource(component, type);
    } else if (type >= kComponentGIofV && type <= kComponentHVofI) {
        if (ParsePolySource(component, CurrentMainText()) != 0) FlagCircuitBuildError();
    }
}

void RunComponentPass()
{
    CircuitBuildState& build = CircuitBuild();
    CircuitDocument* document = CurrentDocument();
    if (!document) return;
    const int count = document->itemList.count;
    std::string savedStatus;
    const bool progress = StatusBarShown() && count > kProgressItemThreshold;
    if (progress) savedStatus = GetStatusText();
    build.lastProgressText.clear();
    const bool sweeping = SteppingOrMonteCarloRunning();

    int counter = 0;
    for (SchematicItem& item : ListRecords<SchematicItem>(document->itemList)) {
        ++counter;
        if (!item.IsComponent()) continue;
        ShowProgress(counter, count);
        const int type = ItemComponentType(&item);
        const ComponentTypeRow* row = FindComponentTypeRow(type);
        if (!row) continue;
        if (row->pinNames != kPinNamesConnection && type != kComponentNull && type != kComponentBlank &&
            item.scope == 0)
            ++build.realComponentCount;
        if (!sweeping) ++build.typeUsage[static_cast<std::size_t>(type)];
        if (row->domain == kDomainDigital) continue;
        std::string mainText;
        if (row->mainAttribute != 0) {
            try {
                const bool netlistFormula = (type == kComponentNFV || type == kComponentNFI) && HasElementOrigin(&item);
                mainText = netlistFormula ? ExpandFormulaDefines(&item, static_cast<int>(row->mainAttribute))
                                          : ExpandAttributeDefines(&item, static_cast<int>(row->mainAttribute));
            } catch (const std::bad_alloc&) {
                FlagCircuitBuildOutOfMemory();
                break;
            }
            if (CircuitBuildFailed()) break;
        }
        SetCurrentComponent(&item, std::move(mainText));
        ++build.componentCounter;
        TranslateComponent(&item, type);
        ClearCurrentComponent();
        if (CircuitBuildFailed()) break;
    }
    if (progress) SetStatusText(savedStatus);
}

}  // namespace kq5
