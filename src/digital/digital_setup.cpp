// The digital set-up of a built circuit: one device per digital component, its models,
// strengths and delays, and the start of a transient run.
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <fstream>
#include <new>
#include <sstream>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/breakpoints.h"
#include "analog/device_dispatch.h"
#include "analog/transient_run.h"
#include "core/engineering_numbers.h"
#include "core/expr_digital.h"
#include "digital/digital_engine.h"
#include "digital/digital_checks.h"
#include "digital/digital_fuses.h"
#include "digital/digital_interfaces.h"
#include "core/digital_logic_tables.h"
#include "digital/digital_programs.h"
#include "digital/digital_stimulus.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/node_table.h"
#include "document/schematic_item.h"
#include "netlist/circuit_build.h"
#include "document/component_types.h"
#include "netlist/defines.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"
#include "netlist/spice_messages.h"
#include "netlist/subcircuit_nodes.h"
#include "netlist/translate_common.h"
#include "platform/system.h"
#include "ui/program_settings.h"
#include "ui/window_record.h"
#include "document/component_definition.h"
#include "document/component_library.h"

namespace kq5 {

namespace {

constexpr int kMsgNotSimulated = 13258;
constexpr int kMsgNotAvailable = 13396;

bool InRange(int type, int first, int last) { return type >= first && type <= last; }

// The families the event engine evaluates.
bool Simulated(int type)
{
    return InRange(type, kComponentBuf, kComponentNxor) || InRange(type, kComponentBuf3, kComponentNxor3) ||
           InRange(type, kComponentJkff, kComponentPlnxorc) || type == kComponentStim || type == kComponentFstim ||
           type == kComponentDigitalInput || type == kComponentDigitalOutput || type == kComponentAdc ||
           type == kComponentDac || InRange(type, kComponentAo, kComponentOai) || type == kComponentLogicExp ||
           type == kComponentPinDly || type == kComponentConstraint || type == kComponentDigitalSwitch ||
           type == kComponentDigitalState || InRange(type, kComponentBufA, kComponentNxorA) ||
           InRange(type, kComponentBuf3A, kComponentNxor3A);
}

// Memories and bidirectional transfer gates do nothing.
bool Inert(int type)
{
    return type == kComponentRom || type == kComponentRam || type == kComponentNbtg || type == kComponentPbtg;
}

// MNTYMXDLY or IO_LEVEL of the part, 0 or missing giving the option (itself at least 1).
int PartSetting(SchematicItem* item, int attribute, int option)
{
    int value = 0;
    const std::string text = ExpandAttributeDefines(item, attribute);
    if (!text.empty()) {
        const double number = ParseNumber(text);
        if (std::isfinite(number) && std::abs(number) < 1e9) value = static_cast<int>(std::trunc(number));
    }
    return value != 0 ? value : std::max(option, 1);
}

double IoValue(const EvaluatedModel* model, std::string_view name, double fallback)
{
    const double value = ModelParam(model, name, fallback);
    return std::isfinite(value) ? value : fallback;
}

// A message about a part's data file (stimulus or fuse file): it names the file and, when the
// fault is in the file's text, the line (1-based) there. Always 15055.
template <class... Args>
int ReportAtDataFile(SchematicItem* item, int id, const std::string& written, int line, Args&&... args)
{
    // The file as it lies on the disk (a netlist's text is read upper-cased).
    const std::string found = win::FindFileCaseBlind(written);
    const std::string& file = found.empty() ? written : found;
    if (line <= 0) {
        ReportMessage("WNME", CurrentRecord(), item, "Source:", file, id, std::forward<Args>(args)...);
        return kMsgAlreadyReported;
    }
    SetErrorSourceLine(file, line - 1);
    ReportNetlistMessage("WNE", CurrentRecord(), item, id, std::forward<Args>(args)...);
    ClearErrorSourceLine();
    return kMsgAlreadyReported;
}

// Where a part's data file (stimulus or fuse file) lies: a name that is not absolute is looked for
// beside the circuit's own file first, as an included file is, so that the circuit runs from any
// working folder; then as written (case-blind). A file found nowhere keeps the name as written.
std::string LocateDataFile(const std::string& written)
{
    std::string path = written;
    std::replace(path.begin(), path.end(), '\\', '/');
    if (!path.empty() && path[0] != '/') {
        const std::string circuit = GetRecordTitle(CurrentRecord());
        const std::size_t slash = circuit.find_last_of("/\\");
        if (slash != std::string::npos) {
            std::string beside = circuit.substr(0, slash + 1) + path;
            std::replace(beside.begin(), beside.end(), '\\', '/');
            if (std::string found = win::FindFileCaseBlind(beside); !found.empty()) return found;
        }
    }
    const std::string found = win::FindFileCaseBlind(written);
    return found.empty() ? written : found;
}

// One device per output row of a programmable array: its inputs are the pins whose fuses in
// that row are intact (a complement column reads the pin inverted). 0, 15055 or 1.
int AddProgrammableLogic(SchematicItem& item, int type, std::vector<DigitalDeviceSpec>& specs, int delayOption)
{
    const int pins = static_cast<int>(item.pinNodes.size());
    const int inputs = item.definition ? std::clamp<int>(item.definition->inputPinCount, 0, pins) : 0;
    const int outputs = pins - inputs;
    const bool complement = type >= kComponentPland + 6;
    const int columns = complement ? 2 : 1;
    auto record = std::make_unique<ProgrammableLogicRecord>();
    std::string file = ExpandAttributeDefines(&item, kAttrFile);
    file.erase(std::remove(file.begin(), file.end(), '"'), file.end());
    if (!file.empty()) file = LocateDataFile(file);
    FuseError error;
    const int count = FuseCount(inputs, outputs, complement);
    if (!file.empty()) {
        std::ifstream in(win::FindFileCaseBlind(file), std::ios::binary);
        if (!in) return ReportAtDataFile(&item, 16000 + (errno ? errno : ENOENT), file, 0);
        std::stringstream text;
        text << in.rdbuf();
        error = ReadFuseFile(text.str(), count, record->fuses);
    } else {
        error = ReadFuseData(ExpandAttributeDefines(&item, kAttrData), count, record->fuses);
        error.line = 0;
    }
    // Faults of a fuse file are shown at its line; those of the DATA attribute at the part.
    const int line = file.empty() ? 0 : std::max(error.line, 1);
    auto report = [&](auto... args) {
        return line ? ReportAtDataFile(&item, error.id, file, line, args...) : ReportComponentMessage(&item, error.id, args...);
    };
    if (error.id == 13249 || error.id == 13241) return report(error.number);
    if (error.id == 13235) return report(error.letter);
    if (error.id) return report();
    auto pin = [&](int k) { return std::max<std::int32_t>(item.pinNodes[static_cast<std::size_t>(k)], 0); };
    EvaluatedModel* timing = PartModel(&item, kAttrTimingModel);
    EvaluatedModel* io = PartModel(&item, kAttrIoModel);
    if (!timing || !io) return 1;
    record->firstDevice = static_cast<int>(specs.size()) + 1;
    for (int j = 0; j < outputs; ++j) {
        DigitalDeviceSpec spec;
        spec.primitive = type;
        spec.deviceClass = kClassProgrammable;
        spec.component = &item;
        for (int i = 0; i < inputs; ++i) {
            const std::size_t column = static_cast<std::size_t>(j * inputs * columns + i * columns);
            if (record->fuses[column]) spec.inputs.push_back(pin(i));
            else if (complement && record->fuses[column + 1]) spec.inputs.push_back(-pin(i));
        }
        spec.outputs.push_back(pin(inputs + j));
        spec.timingModel = timing;
        spec.ioModel = io;
        spec.drvh = IoValue(io, "DRVH", 50.0);
        spec.drvl = IoValue(io, "DRVL", 50.0);
        spec.inld = IoValue(io, "INLD", 0.0);
        spec.outld = IoValue(io, "OUTLD", 0.0);
        spec.delaySelect = PartSetting(&item, kAttrMntymxdly, delayOption);
        specs.push_back(std::move(spec));
    }
    // The devices of the part share one record: the first device keeps it.
    if (outputs > 0) specs[static_cast<std::size_t>(record->firstDevice - 1)].record = std::move(record);
    return 0;
}

// The part's pins as its program names them: a part read from a netlist names them by the
// nodes written on its line (a pin the build moved to an interface node by the node it was
// written on), a drawn one by its definition's pin names.
ProgramPart ProgramPinsOf(SchematicItem& item, int inputs)
{
    ProgramPart part;
    part.item = &item;
    const int pins = static_cast<int>(item.pinNodes.size());
    for (int k = 0; k < pins; ++k) {
        const std::int32_t node = std::max<std::int32_t>(item.pinNodes[static_cast<std::size_t>(k)], 0);
        std::string name;
        if (item.page < 0 && node > 0)
            name = NodeNameBeforeInterface(FindNodeName(CircuitNodeTable(), node, item.scope, kNodeDigital));
        if (name.empty() && item.definition) name = DefaultPinName(*item.definition, k);
        part.pinNames.push_back(name);
        const bool hasLetter = item.definition && static_cast<std::size_t>(k) < item.definition->pins.size() &&
                               item.definition->pins[static_cast<std::size_t>(k)].typeLetter != 0;
        part.pinLetters += hasLetter ? item.definition->pins[static_cast<std::size_t>(k)].typeLetter : (k < inputs ? 'i' : 'o');
        part.pinNodes.push_back(node);
    }
    part.inputCount = inputs;
    part.outputCount = pins - inputs;
    return part;
}

// Compiles the program of a LOGICEXP, PINDLY or CONSTRAINT part into the device's record.
int CompileProgramPart(SchematicItem& item, int type, int inputs, DigitalDeviceSpec& spec)
{
    const ProgramPart part = ProgramPinsOf(item, inputs);
    int rc = 0;
    if (type == kComponentLogicExp) {
        std::unique_ptr<LogicExpRecord> record;
        rc = CompileLogicExp(part, ExpandAttributeDefines(&item, kAttrLogic), record);
        spec.record = std::move(record);
    } else if (type == kComponentPinDly) {
        std::unique_ptr<PinDelayRecord> record;
        rc = CompilePinDelay(part, ExpandAttributeDefines(&item, kAttrPinDelay), record);
        spec.record = std::move(record);
    } else {
        std::unique_ptr<ConstraintRecord> record;
        rc = CompileConstraint(part, ExpandAttributeDefines(&item, kAttrConstraint), record);
        spec.record = std::move(record);
    }
    if (rc == 15002) ReportComponentMessage(&item, 15002);
    return rc ? 15055 : 0;
}

}  // namespace

int SetupDigitalDevices()
{
    DigitalDeviceTables& d = DigitalSimulator();
    const GlobalOptionValues& o = GlobalOptions().values;
    d.minTypScale = o.digmntyscale;
    d.typMaxScale = o.digtymxscale;
    CircuitDocument* document = CurrentDocument();
    std::vector<DigitalDeviceSpec> specs;
    int constraintCount = 0;
    try {
        if (document) {
            for (SchematicItem& item : ListRecords<SchematicItem>(document->itemList)) {
                if (!item.IsComponent()) continue;
                const int type = ItemComponentType(&item);
                const ComponentTypeRow* row = FindComponentTypeRow(type);
                if (!row || row->domain != kDomainDigital) continue;
                if (Inert(type)) {
                    ReportComponentMessage(&item, kMsgNotAvailable, GetAttributeText(&item, kAttrPart));
                    continue;
                }
                if (!Simulated(type)) {
                    ReportComponentMessage(&item, kMsgNotSimulated, GetAttributeText(&item, kAttrPart));
                    return 15055;
                }
                if (InRange(type, kComponentPland, kComponentPlnxorc)) {
                    const int rc = AddProgrammableLogic(item, type, specs, o.digmntymx);
                    if (rc) return rc;
                    continue;
                }
                DigitalDeviceSpec spec;
                spec.primitive = type;
                spec.deviceClass = row->modelType;
                // A gate array drawn in a schematic is one gate of its element type (as its SPICE
                // export writes it), so it is evaluated as that gate.
                if (row->flags & kTypeArrayPrimitive) {
                    spec.primitive = static_cast<int>(row->pinNames);
                    spec.deviceClass = FindComponentTypeRow(spec.primitive)->modelType;
                }
                spec.component = &item;
                const int pins = static_cast<int>(item.pinNodes.size());
                const int inputs = item.definition ? std::clamp<int>(item.definition->inputPinCount, 0, pins) : 0;
                auto pin = [&](int k) { return std::max<std::int32_t>(item.pinNodes[static_cast<std::size_t>(k)], 0); };
                if (type == kComponentDigitalInput || type == kComponentDigitalOutput) {
                    if (int rc = SetupInterfacePart(item, type, static_cast<int>(specs.size()) + 1, spec)) return rc;
                } else if (type == kComponentAdc) {
                    // The bit count is the part's size parameter: the data pins after the six.
                    if (int rc = SetupAdcPart(item, pins - 6, spec)) return rc;
                } else if (type == kComponentDac) {
                    if (int rc = SetupDacPart(item, pins - 3, spec)) return rc;
                } else if (spec.deviceClass == kClassEdgeFlipFlop || spec.deviceClass == kClassGatedFlipFlop) {
                    if (pins < 2) continue;
                    for (int k = 0; k < pins - 2; ++k) spec.inputs.push_back(pin(k));
                    // Q and Qbar swapped: Q is the last output pin, evaluated first.
                    spec.outputs = {pin(pins - 1), pin(pins - 2)};
                    auto record = std::make_unique<FlipFlopRecord>();
                    record->device = static_cast<int>(specs.size()) + 1;
                    spec.record = std::move(record);
                } else if (type == kComponentPullup || type == kComponentPulldn) {
                    for (int k = 0; k < pins; ++k) spec.outputs.push_back(pin(k));
                } else if (type == kComponentStim || type == kComponentDigitalSwitch || type == kComponentDigitalState) {
                    for (int k = 0; k < pins; ++k) spec.outputs.push_back(pin(k));
                    auto program = std::make_unique<StimulusProgram>();
                    // A switch and a state part are one-step stimuli: a level from the start.
                    std::string command, format = "1";
                    double timestep = 0.0;
                    if (type == kComponentStim) {
                        command = ExpandAttributeDefines(&item, kAttrCommand);
                        format = ExpandAttributeDefines(&item, kAttrFormat);
                        timestep = ParseNumber(ExpandAttributeDefines(&item, kAttrTimestep));
                        if (ParseError()) timestep = 0.0;
                    } else {
                        command = "0 " + (type == kComponentDigitalSwitch ? std::string("1")
                                                                         : ExpandAttributeDefines(&item, kAttrValue));
                    }
                    std::string detail;
                    const int id = CompileStimulus(*program, command, format, pins, timestep, detail);
                    if (id) {
                        if (detail.empty())
                            ReportComponentMessage(&item, id);
                        else
                            ReportComponentMessage(&item, id, detail);
                        return 15055;
                    }
                    spec.record = std::move(program);
                } else if (type == kComponentFstim) {
                    std::vector<std::string> pinNames;
                    for (int k = 0; k < pins; ++k) {
                        spec.outputs.push_back(pin(k));
                        pinNames.push_back(FindNodeName(CircuitNodeTable(), pin(k), item.scope, kNodeDigital));
                    }
                    auto program = std::make_unique<StimulusProgram>();
                    std::string file = ExpandAttributeDefines(&item, kAttrFile);
                    file.erase(std::remove(file.begin(), file.end(), '"'), file.end());
                    file = LocateDataFile(file);
                    std::vector<std::string> details;
                    int line = 0;
                    const int id = ReadStimFile(*program, file, ExpandAttributeDefines(&item, kAttrSigNames), pinNames,
                                                details, line);
                    if (id) {
                        // A file that cannot be opened is named; a fault in its text is shown at its line.
                        if (id > 16000) line = 0;
                        if (details.empty() || id > 16000)
                            ReportAtDataFile(&item, id, file, line);
                        else if (details.size() == 1)
                            ReportAtDataFile(&item, id, file, line, details[0]);
                        else
                            ReportAtDataFile(&item, id, file, line, details[0], details[1]);
                        return 15055;
                    }
                    spec.record = std::move(program);
                } else if (InRange(type, kComponentAo, kComponentOai)) {
                    // The inputs in gates of the first size each, then the size and gate count.
                    if (pins < 2) continue;
                    const int all = pins - 1;
                    const int size = item.definition && item.definition->sizeA >= 1 && item.definition->sizeA <= all
                                         ? item.definition->sizeA
                                         : all;
                    for (int k = 0; k < all; ++k) spec.inputs.push_back(pin(k));
                    spec.trailer = {size, (all + size - 1) / size};
                    spec.outputs.push_back(pin(all));
                } else if (type == kComponentLogicExp || type == kComponentPinDly || type == kComponentConstraint) {
                    const int programInputs = type == kComponentConstraint ? pins : inputs;
                    if (int rc = CompileProgramPart(item, type, programInputs, spec)) return rc;
                    for (int k = 0; k < programInputs; ++k) spec.inputs.push_back(pin(k));
                    // A CONSTRAINT drives a node of its own, numbered after the circuit's.
                    if (type == kComponentConstraint) spec.outputs.push_back(-(++constraintCount));
                    else
                        for (int k = programInputs; k < pins; ++k) spec.outputs.push_back(pin(k));
                } else {
                    for (int k = 0; k < inputs; ++k) spec.inputs.push_back(pin(k));
                    for (int k = inputs; k < pins; ++k) spec.outputs.push_back(pin(k));
                }
                if (spec.deviceClass >= 0 && type != kComponentDigitalInput && type != kComponentDigitalOutput) {
                    spec.timingModel = PartModel(&item, kAttrTimingModel);
                    if (!spec.timingModel) return 1;
                }
                spec.ioModel = PartModel(&item, kAttrIoModel);
                if (!spec.ioModel) return 1;
                spec.drvh = IoValue(spec.ioModel, "DRVH", 50.0);
                spec.drvl = IoValue(spec.ioModel, "DRVL", 50.0);
                spec.inld = IoValue(spec.ioModel, "INLD", 0.0);
                spec.outld = IoValue(spec.ioModel, "OUTLD", 0.0);
                spec.delaySelect = PartSetting(&item, kAttrMntymxdly, o.digmntymx);
                specs.push_back(std::move(spec));
            }
        }
    } catch (const std::bad_alloc&) {
        return 15002;
    }
    if (specs.empty()) {
        // No digital part: the node arrays stay empty, which is how the runs tell.
        d = DigitalDeviceTables();
        d.minTypScale = o.digmntyscale;
        d.typMaxScale = o.digtymxscale;
        return 0;
    }
    DigitalBuildOptions options;
    options.digdrvf = o.digdrvf;
    options.digdrvz = o.digdrvz;
    options.overdrive = o.digovrdrv;
    options.itl1 = o.itl1;
    options.initialState = o.diginitstate;
    options.reltol = o.reltol;
    // Text circuits number their digital nodes after the analog ones.
    const int circuitNodes = std::max(document ? document->nodeCount : 0, AnalogNodeCount() + DigitalNodeCount());
    for (DigitalDeviceSpec& spec : specs)
        if (spec.primitive == kComponentConstraint)
            for (std::int32_t& node : spec.outputs) node = circuitNodes - node;
    const int nodeCount = circuitNodes + constraintCount;
    for (std::size_t i = 0; i < specs.size(); ++i)
        if (auto* program = dynamic_cast<ProgramRecord*>(specs[i].record.get())) {
            program->device = static_cast<int>(i) + 1;
            if (specs[i].primitive == kComponentConstraint) program->pinNodes = specs[i].inputs;
        }
    const int rc = BuildDigitalTables(d, nodeCount, specs, options);
    if (rc == 0) MarkInterfaceNodes();
    d.programDevices.clear();
    for (int dev = 1; dev <= d.deviceCount; ++dev)
        if (dynamic_cast<ProgramRecord*>(d.record[static_cast<std::size_t>(dev)].get())) d.programDevices.push_back(dev);
    // The constant nodes, where the circuit has them.
    auto special = [&](const char* name) {
        const std::int32_t node = LookupNodeNumber(CircuitNodeTable(), name, 0, kNodeDigital);
        return node > 0 && node <= nodeCount ? node : 0;
    };
    d.nodeHigh = special("$D_HI");
    d.nodeLow = special("$D_LO");
    d.nodeUnknown = special("$D_X");
    d.inertialCancellation = (PreferencesOptionWord() & kOptionInertialCancellation) != 0;
    d.errorLimit = o.digerrlimit;
    d.noOutputMessages = o.nooutmsg != 0;
    return rc;
}

namespace {

// The decimal number a single-precision model parameter was written as: its shortest text.
double WrittenValue(float p)
{
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, p);
    if (ec != std::errc()) return static_cast<double>(p);
    double value = 0.0;
    const auto result = std::from_chars(text, end, value);
    return result.ec == std::errc() ? value : static_cast<double>(p);
}

}  // namespace

void ComputeDigitalDelays()
{
    DigitalDeviceTables& d = DigitalSimulator();
    for (int dev = 1; dev <= d.deviceCount; ++dev) {
        const std::size_t i = static_cast<std::size_t>(dev);
        const EvaluatedModel* model = d.timingModel[i];
        if (!model) continue;
        const ModelTypeRow* row = FindModelTypeRow(model->row);
        const int count = row ? row->statementCount : 0;
        std::vector<std::int32_t>& delays = d.delays[i];
        delays.assign(static_cast<std::size_t>(std::max(count, 0)), 0);
        for (int g = 0; g + 2 < count && static_cast<std::size_t>(g + 2) < model->params.size(); g += 3) {
            // A width, setup or hold limit is met by two events exactly that far apart: it is
            // read as the number written (the model keeps it in single precision, some ticks
            // off in a long run) and taken down to its whole tick.
            const bool check = IsFlipFlopCheckGroup(d.deviceClass[i], g);
            double value[3];
            bool any = false;
            for (int k = 0; k < 3; ++k) {
                const float p = model->params[static_cast<std::size_t>(g + k)];
                // Timing parameters not given read -1.
                value[k] = IsParamNotGiven(p) || p < 0.0f ? -1.0 : check ? WrittenValue(p) : static_cast<double>(p);
                any = any || value[k] >= 0.0;
            }
            if (!any) continue;
            DelayTriple t;
            if (check) {
                const DelaySeconds s = CompleteMinTypMax(value[0], value[1], value[2]);
                auto ticks = [&](double seconds) {
                    return static_cast<std::int32_t>(
                        std::min<std::uint32_t>(LimitTicks(seconds, d.timeUnit, false), std::numeric_limits<std::int32_t>::max()));
                };
                t = {ticks(s.min), ticks(s.typ), ticks(s.max)};
            } else {
                t = ResolveMinTypMaxDelay(value[0], value[1], value[2]);
            }
            delays[static_cast<std::size_t>(g)] = t.min;
            delays[static_cast<std::size_t>(g + 1)] = t.typ;
            delays[static_cast<std::size_t>(g + 2)] = t.max;
        }
    }
    ComputeLoadingDelays();
    UpdateZeroDelayFlag(d);
    MarkTimingCheckedFlipFlops(d);
}

void ComputeLoadingDelays()
{
    DigitalDeviceTables& d = DigitalSimulator();
    const double tick = d.timeUnit;
    // A slow load past the tick range is held at the largest delay rather than wrapping.
    auto ticks = [&](double seconds) {
        const double t = std::trunc(seconds / tick);
        if (!(t > 0.0)) return 0;
        return t >= static_cast<double>(std::numeric_limits<std::int32_t>::max()) ? std::numeric_limits<std::int32_t>::max()
                                                                                  : static_cast<std::int32_t>(t);
    };
    for (int dev = 1; dev <= d.deviceCount; ++dev) {
        const std::size_t i = static_cast<std::size_t>(dev);
        const int outputs = DeviceOutputCount(d, dev);
        for (int k = 1; k <= outputs; ++k) {
            const int node = DeviceOutputNode(d, dev, k);
            double load = d.outld[i];
            if (node > 0) {
                const std::size_t n = static_cast<std::size_t>(node);
                for (int s = d.readerStart[n]; s < d.readerStart[n + 1]; ++s) {
                    const int reader = d.readers[static_cast<std::size_t>(s)];
                    if (reader <= 0) continue;
                    const int p = d.primitive[static_cast<std::size_t>(reader)];
                    if (p == kComponentLogicExp || p == kComponentPinDly || p == kComponentConstraint) continue;
                    load += d.inld[static_cast<std::size_t>(reader)];
                }
            }
            const std::size_t o = static_cast<std::size_t>(DeviceOutputIndex(d, dev, k));
            d.riseLoadDelay[o] = tick > 0.0 ? ticks(std::log(2.0) * d.drvh[i] * load) : 0;
            d.fallLoadDelay[o] = tick > 0.0 ? ticks(std::log(2.0) * d.drvl[i] * load) : 0;
        }
    }
}

namespace {

// The node levels a run starts from, kept through the resets of the run's start, and the
// outputs that drive them. The constant nodes keep their own levels.
void RestoreNodeStates(DigitalDeviceTables& d, const std::vector<std::uint16_t>& kept)
{
    auto keptState = [&](int node, std::uint16_t& state) {
        if (node <= 0 || static_cast<std::size_t>(node) >= kept.size() || node == d.nodeHigh || node == d.nodeLow ||
            node == d.nodeUnknown)
            return false;
        state = kept[static_cast<std::size_t>(node)];
        return true;
    };
    std::uint16_t state = 0;
    for (int node = 1; node <= d.nodeCount; ++node)
        if (keptState(node, state)) {
            const std::size_t n = static_cast<std::size_t>(node);
            if (n < d.current.size() && n < d.previous.size() && n < d.scheduled.size())
                d.current[n] = d.previous[n] = d.scheduled[n] = state;
        }
    for (int dev = 1; dev <= d.deviceCount; ++dev)
        for (int k = 1; k <= DeviceOutputCount(d, dev); ++k)
            if (keptState(DeviceOutputNode(d, dev, k), state)) {
                const std::size_t o = static_cast<std::size_t>(DeviceOutputIndex(d, dev, k));
                d.outputCurrent[o] = d.outputScheduled[o] = state;
            }
}

}  // namespace

int StartDigitalRun(double tmin)
{
    DigitalDeviceTables& d = DigitalSimulator();
    if (d.deviceCount == 0) return 0;
    InitDigitalTimeScale(tmin, Breakpoints().tick);
    ComputeDigitalDelays();
    ResetProgramChecks();
    // A transient that starts from the state a run ended in (read from the state variables
    // file, or left as the State Variables editor shows it) starts from its digital levels too.
    const bool keepStates =
        Analysis().analysisKind == kAnalysisTransient && TransientRun().stateVariables != kStateVariablesZero;
    std::vector<std::uint16_t> kept;
    if (keepStates) kept = d.current;
    InitDigitalNodeStates(true);
    // Again with the constant nodes set: a flip-flop whose preset and clear are held at $D_HI
    // has no output without delay.
    UpdateZeroDelayFlag(d);
    InitFlipFlopStates();
    if (keepStates) RestoreNodeStates(d, kept);
    ResetDigitalChangeLog();
    d.runFlag = true;
    d.operatingPoint = false;
    d.acceptedPoints = 0;
    d.pendingWarnings.clear();
    d.flipFlopLog.clear();
    if (int rc = InitInterfaces()) return rc;
    // AC and DC analyses have no time axis: a stimulus is walked only as far as its start.
    const int kind = Analysis().analysisKind;
    const double end = kind == kAnalysisAc || kind == kAnalysisDc ? tmin : tmin + static_cast<double>(d.endTime) * d.timeUnit;
    if (int rc = StepStimulusDevices(tmin, end)) return rc;
    if (int rc = QueueStimulusEvents()) return rc;
    // A stimulus's value at time 0 is where its nodes stand at the operating point, not a
    // change after it: a gate it feeds starts from the driven level, and a clock that starts
    // at a level gives its flip-flops no edge at the start. The events at time 0 stay queued
    // and change nothing. A run without an operating point has nothing that would read them:
    // there they stay changes at time 0, so that a clear held low from the start clears.
    if (kind == kAnalysisTransient && TransientRun().operatingPoint) SetStimulusStartingStates();
    HoldInitialDigitalStates();
    return 0;
}

void InstallDigitalSimulator()
{
    CircuitBuild().digitalDeviceTables = [] { return SetupDigitalDevices(); };
    RegisterDeviceKindHandlers(kSlotDigitalToAnalog, nullptr, LoadDtoAInterfaces);
    RegisterDeviceKindHandlers(kSlotAdcNodes, nullptr, CheckAtoDCrossings);
    AnalogSolver().hooks.digitalOperatingPoint = [] {
        return DigitalSimulator().deviceCount > 0 ? SolveDigitalOperatingPoint() : 0;
    };
    AnalogSolver().hooks.setDigitalNodeState = HoldDigitalNodeState;
    DigitalRunServicesState& run = DigitalRunServices();
    run.startRun = StartDigitalRun;
    run.processEvents = [](double time, std::uint32_t tick) {
        SetDacOutputs(time, false);
        return ProcessDigitalEventsAt(tick);
    };
    run.acceptPoint = [](double time, bool operatingPoint, std::uint32_t tick) {
        int rc = ReleaseHeldDigitalNodes(tick);
        if (rc == 0) rc = UpdateDacDevices(time, operatingPoint);
        if (rc == 0) rc = UpdateDtoAInterfaces(time, operatingPoint);
        if (rc == 0) rc = UpdateAtoDInterfaces(time, tick);
        if (rc == 0) rc = UpdateAdcDevices(tick);
        AcceptDigitalPoint();
        return rc;
    };
    run.acceptChangedStates = [] { return DigitalSimulator().acceptChangedStates; };
    run.rejectPoint = RejectDigitalPoint;
    run.resetChangeLog = [] { ResetDigitalChangeLog(); };
    run.showWarningCount = ShowDigitalWarningCount;
}

}  // namespace kq5
