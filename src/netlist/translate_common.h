#pragma once
// What every component translator of the circuit build shares: the component being translated
// and its main attribute text, its node numbers, its model, the value grammar of resistors,
// capacitors and inductors, internal nodes behind series resistances, and the records that
// several translators append.
#include <cstdint>
#include <string>
#include <string_view>

#include <utility>

#include "core/device_lists.h"
#include "core/linked_list.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "netlist/circuit_build_errors.h"
#include "netlist/spice_messages.h"

namespace kq5 {

struct SchematicItem;
struct CircuitDocument;
struct EvaluatedModel;
struct DeviceExpression;
struct ResistorDevice;
struct CapacitorDevice;
struct IndependentSourceDevice;

// The component being translated, and its main attribute text with defines expanded; set by
// the component pass before each dispatch.
SchematicItem* CurrentComponent();
const std::string& CurrentMainText();
void SetCurrentComponent(SchematicItem* component, std::string mainText);
void ClearCurrentComponent();

// The node of a pin of the component after the expansion numbered it; 0 (ground) for a pin the
// component does not have.
std::int32_t PinNode(const SchematicItem* component, int pin);

// The analog and digital node counts of the circuit being built.
std::int32_t AnalogNodeCount();
std::int32_t DigitalNodeCount();
void SetAnalogNodeCount(std::int32_t count);
void SetDigitalNodeCount(std::int32_t count);

// A new analog node without a name.
std::int32_t NewAnalogNode();

// The node behind a series resistance: the outer node when the resistance is zero, else a new
// analog node named after the part (scope-qualified) and the suffix ("%s_%d" of that name and a
// counter when the name is taken), entered in the node table.
std::int32_t MakeInternalNode(const SchematicItem* component, double resistance, std::string_view suffix,
                              std::int32_t outer);
// The same for the FET families, whose internal nodes get no name.
std::int32_t MakeUnnamedInternalNode(double resistance, std::int32_t outer);

// Appends a record of type T to device list `list` with the kind word; null after the
// out-of-memory exit of the build.
template <class T>
T* AppendDevice(int list, std::uint16_t kind = 0)
{
    T* record = ListAppendAs<T>(DeviceList(list), kind);
    if (!record) FlagCircuitBuildOutOfMemory();
    return record;
}

// The evaluated model that the component's MODEL attribute (or another model attribute) names;
// null when the lookup failed (it reported the missing model) and the build is failed.
EvaluatedModel* PartModel(SchematicItem* component, int attribute = 3);
// A model parameter by name, widened; `fallback` when the name is no parameter of the model's
// type (or there is no model).
double ModelParam(const EvaluatedModel* model, std::string_view name, double fallback = 0.0);
float* ModelParamSlot(EvaluatedModel* model, std::string_view name);
bool ModelParamGiven(const EvaluatedModel* model, std::string_view name);

// The length of one value at the start of the text: blanks, an optional sign, then a number
// with its exponent and suffix letters, or a bracket group ( ) or { } (nesting counted), or a
// function of the expression language with its argument group; an operator after a term joins
// the next term. `value` gets the value's text when given.
std::size_t ScanValueText(std::string_view text, std::string* value = nullptr);

// Stores the expression text with the component; 0, or 15055 after the out-of-memory exit.
int AddValueExpression(std::string_view text, SchematicItem* component, DeviceExpression& expression);
// In an AC analysis, the component's FREQ attribute (defines expanded) as the AC expression.
int AddAcExpression(SchematicItem* component, DeviceExpression& expression);

// "value%" is that percentage of the reference (0 for 0), any other text its value.
double EvalPercentValue(std::string_view text, double reference);

// Records every translator appends beside its own.
ResistorDevice* AppendResistorDevice(double value, std::int32_t nodeA, std::int32_t nodeB, int sourceFlag);
CapacitorDevice* AppendCapacitorDevice(double value, std::int32_t nodeA, std::int32_t nodeB);
IndependentSourceDevice* AppendVoltageSourceDevice(std::int32_t sourceType, double dcValue, std::int32_t plus,
                                                   std::int32_t minus);

// Registers a part that got a device record (or none for Macro and subckt calls). 0, or 1
// after a reported failure (missing or illegal part name, no memory).
int RegisterPartInstance(ListNode* device, int typeCode, SchematicItem* component);

// Reports a translator's message with the component ("WNE"), which marks the build failed
// unless it is a warning. Always 15055, so that translators can return it.
template <class... Args>
int ReportComponentMessage(SchematicItem* component, int id, Args&&... args)
{
    ReportPartMessage(component, id, std::forward<Args>(args)...);
    return kMsgAlreadyReported;
}

// The ground-found flag of the build.
void SetGroundFound();

}  // namespace kq5
