#pragma once
// State of the analog kernel and its runs that other parts of the program read: the file units
// of the run (AnalogState) and the values the Newton engine works on during an analysis
// (AnalogSolverState): the vectors, time and step, integration order and method, the mode words
// that tell the device loads what kind of iteration runs, working copies of the tolerances, and
// the active sparse matrix with its stamp pool. One analysis of one circuit runs at a time, so
// there is one instance of each.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "analog/device_dispatch_tables.h"
#include "analog/sparse_matrix.h"
#include "core/batch_log.h"
#include "netlist/global_options.h"

namespace kq5 {

struct WindowRecord;

// Run phase: what the running solve is for.
enum RunPhase : int {
    kPhaseOperatingPoint = 1,  // an operating point (before a transient run, DC sweep points)
    kPhaseTimeSteps = 2,       // transient time points
    kPhaseAcBias = 3,          // bias point of an AC run without an operating-point pass
};

// Run kind: the analysis loop that runs.
enum RunKind : int {
    kRunKindAc = 1,
    kRunKindTransient = 2,
    kRunKindDcSweep = 3,
};

// Iteration mode: what the device loads do in the present load pass.
enum IterationMode : int {
    kModeNormal = 1,           // plain Newton iteration
    kModeInitJunctions = 2,    // first iteration of an operating point: junctions at start values
    kModeFixedInitial = 3,     // devices marked OFF held at zero
    kModeSmallSignal = 4,      // single load storing the bias (capacitances for AC)
    kModeFirstTimePoint = 5,   // first time point: charge histories start from the bias
    kModePredictor = 6,        // first iteration at a new time point
};

// Event state of a time point.
enum EventState : int {
    kEventAnalogPoint = 0,
    kEventDigitalPoint = 1,
    kEventInterfaceResolve = 2,
    kEventStopPopping = 3,
};

// The flags every load pass derives from the mode words before it loads (0 or 1 each).
struct LoadModeFlags {
    int capacitorLoad = 1;       // 0 when (phase 1 and mode 2) or (UIC and mode 5)
    int dynamic = 0;             // phase 2 or 3
    int transientWithIc = 0;     // run kind 2 and UIC
    int charge = 0;              // phase 2, run kind 2, or mode 4
    int icAtPreparation = 0;     // mode 5 and UIC: inductors and cores start from IC
    int prediction = 0;          // mode 5 or 6
    int chargeStorage = 0;       // dynamic or transient-with-IC or mode 4
};

// The step-factor requests the loads may lower below 1 to ask for a smaller next step (the next
// step candidate is factor times the present step).
enum StepFactorRequest : int {
    kStepFactorInductorCore = 0,
    kStepFactorTableSource = 1,
    kStepFactorDigitalInterface = 2,
};

// One stamp set: a sparse matrix and the pool of element references its set-up reserved, in
// reservation order. Each device keeps its own range of the pool (StampRange), so the loads of
// one device never depend on how many elements the devices before it took.
struct StampSet {
    std::unique_ptr<SparseMatrix> matrix;
    std::vector<MatrixElementRef> pool;
};

struct CapacitorDevice;

// A capacitor of the kept constant part, with what its loads at time points read, in one
// place: the walk over the device records is the slow part of a large circuit's load.
struct ConstantCapacitorEntry {
    CapacitorDevice* device = nullptr;
    double capacitance = 0.0;
    std::int32_t nodeA = 0;
    std::int32_t nodeB = 0;
    std::int32_t stateSlot = 0;
};

// While the matrix keeps the constant part of a transient time point, the other loads (when
// they are the lesser part of the pool) stamp into values of their own rather than into the
// matrix. Only when those differ from the values the matrix holds now is the matrix restored
// and given them; otherwise it is left untouched and its factors stay good (a linear circuit
// at a constant step).
struct VaryingStamps {
    SparseMatrix* matrix = nullptr;             // the matrix and pool this was made for
    std::vector<MatrixElementRef>* target = nullptr;
    std::vector<MatrixElementRef> pool;         // the target's own refs of the varying entries
    std::vector<MatrixElement> values;          // one per varying entry
    std::vector<std::int32_t> entries;          // the pool position of each varying entry
    std::vector<bool> constantEntries;          // per pool position: in the kept part
    std::vector<double> committed;              // the varying values the matrix holds now
    std::uint64_t committedLoad = 0;            // the matrix's load count at that time
    bool committedValid = false;
    bool redirected = false;                    // `pool` and `values` are in use
    bool active = false;                        // the present pass stamps into `values`
    bool pristine = false;                      // the matrix holds only the kept part
    bool nothingKept = false;                   // no entry is constant: a pass only clears
    std::uint64_t keptLoad = 0;                 // the matrix's load count when it was kept
};

// Services of the run loops, the digital simulator and the plots that the Newton engine calls.
// Each is optional: while a service is not installed the engine does without it (no key poll,
// no digital operating point, no status line).
// The core step bound while no core limits the step; every load starts from it.
inline constexpr double kNoCoreStepBound = 9.999999999999999e+29;

struct SolverRunHooks {
    // The run-key poll of the analysis window (it reads the keyboard every sixth call); the
    // last key, 27 (Esc) stopping the run.
    std::function<int()> pollRunKeys;
    // Re-prepares the run states (state variables, initial conditions, digital start) before
    // source stepping; 0 or a message id.
    std::function<int()> reinitializeRunStates;
    // The digital operating point (0 or a message id).
    std::function<int()> digitalOperatingPoint;
    // The digital evaluation at a digital event point: 0 or a message id; sets interfaceChanged
    // when any analog/digital interface counter changed.
    std::function<int(bool& interfaceChanged)> evaluateDigitalEvents;
    // Integration coefficients for the present method, order and step.
    std::function<void()> computeIntegrationCoefficients;
    // Converts the ADC inputs and drives their output bits; preparation load only.
    std::function<int()> updateAdcDevices;
    // True when the value is the stepped item of a stepping slot (its formula is not evaluated).
    std::function<bool(const void* item)> isSteppedItem;
    // Sets a digital node's present, previous and scheduled state (initial "D" rows).
    std::function<void(int node, std::uint16_t state)> setDigitalNodeState;
};

struct AnalogSolverState {
    // Sizes.
    int nodeCount = 0;        // analog nodes of the circuit (the first unknowns)
    int unknownCount = 0;     // nodes, inductor branch rows, then the other extra rows
    int vectorLength = 0;     // unknowns + 3: the entries of a real vector
    bool hasAnalogNodes = false;

    // Vectors (index 0 is ground). The present solution is Analysis().solution.real, which
    // compiled expressions read; these are sized 2 (unknowns + 3) doubles so that each also
    // holds a complex vector of (real, imaginary) pairs.
    std::vector<double> previousSolution;  // the iterate before the present one
    std::vector<double> savedSolution;     // the last accepted point (source stepping: last good)
    std::vector<double> olderSolution;     // the accepted point before it
    std::vector<double> backupSolution;    // copy kept by the operating point and run loops
    std::vector<double> rhs;               // right-hand side, overwritten by the solve
    std::vector<double> transientWork;     // work vector of the transient run

    // Integrated states: four slots per state (present, then three accepted points back).
    int integratedStateCount = 0;
    int plainStateSlots = 0;  // 4 x (C + L + D + 2 JFET + 3 GaAsFET): walked as plain states
    std::vector<double> chargeStates;
    std::vector<double> currentStates;

    // Time and integration.
    double time = 0.0;
    double step = 0.0;
    double lastAcceptedTime = 0.0;
    std::array<double, 7> stepHistory{};  // entry 0 the present step, k the step k points back
    double predictorRatio = 1.0;          // step / history entry 1
    double predictorScale = 2.0;          // ratio + 1
    int order = 1;
    int method = kMethodTrap;      // the METHOD option: kMethodGear or kMethodTrap
    std::array<double, 7> coefficients{};  // integration coefficients a0..a6
    double ag0 = 1.0;                      // copies of coefficients 0 and 1
    double ag1 = 2.0;
    // The weights of the truncation estimate's divided difference at orders 1 and 2, with the
    // step history they were made from: points at the same steps take them again.
    struct EstimateWeights {
        std::array<double, 4> history{};
        std::array<double, 4> weights{};
        bool valid = false;
    };
    std::array<EstimateWeights, 2> estimateWeights{};

    // Mode words.
    int runPhase = kPhaseOperatingPoint;
    int runKind = kRunKindTransient;
    int iterationMode = kModeFirstTimePoint;
    int useInitialConditions = 0;
    int setupDone = 0;
    int preparationLoad = 0;
    int operatingPointFlag = 0;  // 1 while an operating point is computed
    int noOperatingPoint = 0;    // transient run without a requested operating point
    int acComputesBias = 1;      // an AC run whose operating point is off clears it
    int eventState = kEventAnalogPoint;
    LoadModeFlags flags;
    // 1 when the present load pass began from the matrix's kept values, which already hold
    // the constant part of a transient time point (the resistors without a formula, and the
    // conductances of the linear capacitors at the integration coefficient below): those
    // loads are skipped, the capacitors add only their currents.
    int constantPartLoaded = 0;
    int formulaResistors = 0;  // counted by the load of the constant part
    // The integration the kept capacitor conductances were made with.
    double keptAg0 = 0.0;
    int keptMethod = -1;
    int keptOrder = -1;
    VaryingStamps varying;
    std::vector<ConstantCapacitorEntry> constantCapacitors;  // made with the constant part
    // Set by a load that left the charges and currents of the table's capacitors in the
    // states only; the end of the time points writes them into the records.
    bool capacitorRecordsBehind = false;
    int otherCapacitors = 0;  // capacitors that load in full (formulas, voltage coefficients)

    // Tolerance copies, stored by the preparation.
    double reltol = 1e-3;
    double abstol = 1e-12;
    double vntol = 1e-6;
    double reltolMilli = 1e-6;     // 0.001 x RELTOL
    double coreTolerance = 0.05;   // 0.4 x 2^log10(RELTOL)

    // Newton bookkeeping.
    int nonConvergedCount = 0;
    int iterationCount = 0;        // loads of the present solve
    int iterationTotal = 0;        // loads of the run (kept by the run loops)
    int notConverged = 0;          // a solve ended at its iteration limit
    int modeChangeLatch = 0;
    int diodeBjtLoadFlag = 1;
    // Devices whose voltages and predicted currents have settled may keep their stored values:
    // set by the Newton loop from the third iteration on, never for a predictor iteration.
    int bypassAllowed = 0;
    // The tests after a solve judge a solution whose move the node test has judged: that of a
    // time point's load that found every device settled (the point may end with it).
    int judgingSettledLoad = 0;
    // Set while the operating point's fallbacks run their second round: bipolar junctions driven
    // into reverse bias are limited too (see LimitReverseJunctionVoltage).
    int limitReverseJunctions = 0;
    int suppressIterationStatus = 0;
    // The last load left a value that is not a number (or an infinite one) in the matrix or the
    // right-hand side: a device evaluated outside its domain, and that iterate is of no use.
    int loadNotFinite = 0;
    // A conductance from every node to ground, added after each load while the operating point
    // is reached by stepping it down (0 otherwise), and the node diagonals it goes into.
    double shuntConductance = 0.0;
    std::vector<MatrixElement*> shuntElements;
    // The voltage each shunt pulls its node towards, (node, volts) of each element: 0 for gmin
    // stepping, the node's previous voltage while a time point is reached by continuation.
    std::vector<std::pair<int, double>> shuntAnchors;
    // Set during that continuation and during gmin stepping: each solve's equations differ
    // from the last solve's, so its first load never counts as converged.
    int solveFirst = 0;
    int stopFlag = 0;
    int acceptedPointCount = 0;
    double sourceFactor = 1.0;     // every independent source is multiplied by it
    std::array<double, 3> stepFactors{1e30, 1e30, 1e30};

    // Magnetic cores: the step bound and failure flag their solve leaves for the step control.
    double coreStepBound = kNoCoreStepBound;
    int coreFailed = 0;

    // Stamp sets: the active one (installed by PrepareAnalogSolver), and the two the run loops
    // hold (the operating point's, and the time steps' or the AC run's complex one).
    SparseMatrix* matrix = nullptr;
    std::vector<MatrixElementRef>* pool = nullptr;
    StampSet operatingPointSet;
    StampSet timeStepSet;

    // Per-device values of the solver (element ranges, rows, state slots, working values).
    DeviceSolverTables devices;

    // Where the reservations of ground entries point instead of the matrix's one discard
    // element: spread over several, the adds of consecutive devices into ground do not wait
    // for each other. Their values are never read; every load pass clears them.
    std::array<MatrixElement, 8> groundSinks{};
    std::size_t nextGroundSink = 0;

    SolverRunHooks hooks;
};

// Inline: the loads ask for it many times in every Newton iteration.
inline AnalogSolverState& AnalogSolver()
{
    static AnalogSolverState state;
    return state;
}
void ResetAnalogSolverStateForTests();

// The present Newton iterate: the solution vector that expressions read.
std::vector<double>& SolutionVector();
// V(a) - V(b) of the present solution, node 0 being ground.
double SolutionDifference(int a, int b);

// Sizes every solver vector for the unknown count (2 (unknowns + 3) doubles each, cleared) and
// the state vectors for the integrated-state count (4 slots per state); the present solution
// is grown when it is shorter than unknowns + 3. 0, or 15002.
// The integrated states the devices of the built circuit need (each takes four slots of the
// state tables), and those of the two-terminal kinds and FETs among them.
int IntegratedStateCount();
int PlainStateCount();
// Entries of each solver vector: unknowns + 3, twice that with room for complex values.
std::size_t SolverVectorLength(int unknowns, bool complexRoom);
int SizeSolverVectors(int unknowns, int integratedStates, bool complexRoom = false);

// Readies the state for a run on the caller's stamp set and makes the first load (which runs
// the set-up pass and fills the stamp pool). 0 or a message id. An AC run asks for complex
// room in the solver vectors.
int PrepareAnalogSolver(bool fresh, StampSet& set, bool complexRoom = false);

// Makes the set the active one without a new preparation.
void InstallStampSet(StampSet& set);

}  // namespace kq5
