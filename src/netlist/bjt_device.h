#pragma once
// Bipolar transistors (device list 34).
#include <array>
#include <complex>
#include <cstdint>

#include "core/device_lists.h"
#include "core/linked_list.h"

namespace kq5 {

struct EvaluatedModel;

struct BjtDevice : ListNode {
    std::int32_t modelType = 0;  // model type row of the model (NPN, PNP or LPNP)
    std::int32_t internalEmitter = 0;
    std::int32_t internalCollector = 0;
    std::int32_t internalBase = 0;
    std::int32_t substrate = 0;  // 4-pin types only
    std::int32_t emitter = 0;
    std::int32_t collector = 0;
    std::int32_t base = 0;
    double polarity = 1.0;  // +1 NPN, -1 PNP
    EvaluatedModel* model = nullptr;
    std::int32_t off = 0;
    double area = 1.0;
    std::int32_t initialConditionGiven = 0;
    double initialVbe = 0.0;
    double initialVce = 0.0;
    std::int32_t ordinal = 0;
    // Values that expressions read during a run: terminal currents, charges, capacitances.
    double ib = 0.0, ic = 0.0, ie = 0.0, is = 0.0;
    double qbe = 0.0, qbc = 0.0, qcs = 0.0;
    double cbe = 0.0, cbc = 0.0, ccs = 0.0;

    // The load's working values (device polarity frame), read by the next iteration, the AC
    // stamp and the operating-point report.
    double cb = 0.0, cc = 0.0;  // internal base and collector currents
    double vbe = 0.0, vbc = 0.0, vsub = 0.0;
    double gpi = 0.0, gmu = 0.0, gm = 0.0, go = 0.0, gx = 0.0;
    double geqcb = 0.0, gsub = 0.0, geqbx = 0.0;
    double capbe = 0.0, capbc = 0.0, capsub = 0.0, capbx = 0.0;
    double csub = 0.0, gsubDiode = 0.0;
    // AC terminal currents of the last AC solve: base, emitter, collector, substrate.
    std::array<std::complex<double>, 4> acCurrents{};

    // Per-run values at the device temperature, set before every run.
    double celsius = 27.0;
    double vtNf = 0.0, vtNr = 0.0, vtNs = 0.0, vtNe = 0.0, vtNc = 0.0;
    double vbeReverseKnee = 0.0, vbcReverseKnee = 0.0, vsubReverseKnee = 0.0;
    double vcritEmitter = 0.6, vcritCollector = 0.6, vcritSubstrate = 0.6;
    double isArea = 0.0, iseArea = 0.0, iscArea = 0.0, issArea = 0.0, irbArea = 0.0;
    double invIkfArea = 0.0, invIkrArea = 0.0;  // 0 when the knee current is not set
    double emitterConductance = 0.0, collectorConductance = 0.0;  // 0: no internal node
};

}  // namespace kq5
