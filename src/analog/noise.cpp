#include "analog/noise.h"

#include <array>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "analog/unloadable_devices.h"
#include "core/device_lists.h"
#include "core/expr_compiler.h"
#include "netlist/source_device.h"
#include "netlist/standalone_element_devices.h"
#include "analog/stamp_ac.h"
#include "document/circuit_document.h"
#include "document/node_table.h"
#include "document/component_types.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"
#include "core/part_instance.h"
#include "netlist/token_patterns.h"
#include "netlist/translate_common.h"

namespace kq5 {

namespace {

constexpr int kMsgSourceNotFound = 13530;
constexpr int kMsgIllegalNodeName = 13561;

struct NoiseBuilders {
    std::array<NoiseBuilderFn, kNoiseBuilderCount> builders{};
    bool outOfMemory = false;
};

NoiseBuilders& Builders()
{
    static NoiseBuilders state;
    return state;
}

std::vector<NoiseSource>& Table() { return Analysis().noise.sources; }

int ListOfSlot(NoiseBuilderSlot slot)
{
    switch (slot) {
    case kNoiseResistors: return kResistorDeviceList;
    case kNoiseDiodes: return kDiodeDeviceList;
    case kNoiseBjts: return kBjtDeviceList;
    case kNoiseMosfets: return kMosfetDeviceList;
    case kNoiseJfets: return kJfetDeviceList;
    case kNoiseGaasfets: return kGaasfetDeviceList;
    default: return -3;
    }
}

// Generators a family can add per record.
int Capacity()
{
    auto n = [](int list) { return DeviceList(list).count; };
    return n(kResistorDeviceList) + 3 * n(kJfetDeviceList) + 5 * n(kMosfetDeviceList) +
           3 * n(kGaasfetDeviceList) + 5 * n(kBjtDeviceList) + 3 * n(kDiodeDeviceList) +
           n(kSwitchDeviceList) + n(kVoltageSwitchDeviceList) + n(kCurrentSwitchDeviceList) + 1;
}

}  // namespace

double ThermalNoiseDensity(double conductance, double celsius)
{
    return std::sqrt(std::abs(conductance) * kFourK * (celsius + kZeroCelsius));
}

int AllocateNoiseTable()
{
    Table().clear();
    if (!AcStamps().noiseMode) return 0;
    try {
        Table().reserve(static_cast<std::size_t>(Capacity()));
    } catch (const std::bad_alloc&) {
        return 15002;
    }
    return 0;
}

void FreeNoiseTable()
{
    Table().clear();
    Table().shrink_to_fit();
}

void AddNoiseSource(int a, int b, double density)
{
    if (a == b) return;
    try {
        Table().push_back({density, a > 0 ? a : 0, b > 0 ? b : 0});
    } catch (const std::bad_alloc&) {
        Builders().outOfMemory = true;
    }
}

void AddShotFlickerNoise(int a, int b, double a0, double kf, double x, double f)
{
    AddNoiseSource(a, b, std::sqrt(a0 + kf * x / f));
}

double ParallelFlickerPower(double current, double af, double m)
{
    return m * std::pow(current / m, af);
}

void RegisterNoiseBuilder(NoiseBuilderSlot slot, NoiseBuilderFn builder)
{
    if (slot >= 0 && slot < kNoiseBuilderCount) Builders().builders[static_cast<std::size_t>(slot)] = builder;
}

int BuildNoiseSources()
{
    if (!AcStamps().noiseMode) return 0;
    Table().clear();
    Builders().outOfMemory = false;
    const double f = AcStamps().frequency > 0.0 ? AcStamps().frequency : 1e-6;
    for (int slot = 0; slot < kNoiseBuilderCount; ++slot) {
        const NoiseBuilderFn fn = Builders().builders[static_cast<std::size_t>(slot)];
        if (!fn) {
            const int list = ListOfSlot(static_cast<NoiseBuilderSlot>(slot));
            if (list >= -2 && DeviceList(list).count > 0) return ReportUnloadableDevices(list);
            continue;
        }
        if (int rc = fn(f)) return rc;
    }
    return Builders().outOfMemory ? 15002 : 0;
}

int ReadNoiseInput(std::string_view name, const ListNode*& source, int& first, int& second)
{
    const PartInstanceRecord* part = FindPartByNameInScope(name, 0);
    const ListNode* device = part ? part->device : nullptr;
    source = device;
    if (device) {
        switch (part->typeCode) {
        case kComponentPulseSource: {
            const auto* s = static_cast<const PulseSourceDevice*>(device);
            first = s->nodePlus, second = s->nodeMinus;
            return 0;
        }
        case kComponentUserSource: {
            const auto* s = static_cast<const UserSourceDevice*>(device);
            first = s->nodePlus, second = s->nodeMinus;
            return 0;
        }
        case kComponentSineSource: {
            const auto* s = static_cast<const SineSourceDevice*>(device);
            first = s->nodePlus, second = s->nodeMinus;
            return 0;
        }
        case kComponentISpice:
        case kComponentVSpice: {
            const auto* s = static_cast<const IndependentSourceDevice*>(device);
            first = s->nodePlus, second = s->nodeMinus;
            return 0;
        }
        default:
            break;
        }
    }
    source = nullptr;
    ReportAnalysisFailure0(kFocusLimitsField, kLimitNInput, kMsgSourceNotFound);
    return 15055;
}

int LookupNoiseNode(std::string_view name)
{
    if (RunControl().failureReported) return -1;
    const int node = LookupNodeNumber(CircuitNodeTable(), name, 0, kNodeAnalog);
    // The limits are read before the operating point sizes the solver, so the bound is the
    // built circuit's node count, not the solver's.
    const CircuitDocument* document = CurrentDocument();
    const int nodeCount = document ? document->nodeCount : AnalogSolver().nodeCount;
    if (node < 0 || node > nodeCount) {
        const std::string text(name);
        ReportAnalysisFailure(kFocusLimitsField, kLimitNOutput, text.c_str(), kMsgIllegalNodeName);
        return -1;
    }
    return node;
}

int ReadNoiseOutput(std::string_view text, int& first, int& second)
{
    auto trim = [](std::string_view s) {
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
        return s;
    };
    const std::size_t comma = text.find(',');
    first = LookupNoiseNode(trim(text.substr(0, comma)));
    second = comma == std::string_view::npos ? 0 : LookupNoiseNode(trim(text.substr(comma + 1)));
    return first < 0 || second < 0 ? 15055 : 0;
}

}  // namespace kq5
