#pragma once
// The translators of the circuit build, one per component family. Each reads the current
// component (translate_common.h), appends its device records and registers the part; each
// returns 0, or 15055 after its failure was reported and the build marked failed.
#include <cstdint>
#include <string>

namespace kq5 {

struct SchematicItem;
struct EvaluatedModel;
struct DiodeDevice;
struct BjtDevice;
struct JfetDevice;

// Resistor, Inductor and Capacitor parts.
int TranslatePassive(SchematicItem* component, int typeCode);
// Battery, ANALOG STATE, ISpice, Isource and VSpice parts: a source of the type between the
// two nodes.
int TranslateIndependentSource(SchematicItem* component, int typeCode, std::int32_t plus, std::int32_t minus,
                               std::int32_t sourceType);
int TranslatePulseSource(SchematicItem* component);
int TranslateSineSource(SchematicItem* component);

// Semiconductors. The diode, bipolar and JFET builders also serve the device expansion, which
// passes its own nodes and model type (or model) and gets no part registered; a model type of
// -1 takes the model named by the component's MODEL attribute.
DiodeDevice* BuildDiodeDevice(std::int32_t anode, std::int32_t cathode, std::string& instanceText, int modelType,
                              EvaluatedModel* model);
BjtDevice* BuildBjtDevice(std::int32_t base, std::int32_t emitter, std::int32_t collector, std::int32_t substrate,
                          std::string& instanceText, int modelType, int componentType, EvaluatedModel* model = nullptr);
JfetDevice* BuildJfetDevice(std::int32_t gate, std::int32_t drain, std::int32_t source, int modelType,
                            std::string& instanceText, int componentType, EvaluatedModel* model = nullptr);
int TranslateDiode(SchematicItem* component);
int TranslateBjt(SchematicItem* component, int typeCode);
int TranslateMosfet(SchematicItem* component, int typeCode);
int TranslateJfet(SchematicItem* component, int typeCode);
int TranslateGaasfet(SchematicItem* component);

// Transmission lines and switches.
int TranslateTransmissionLine(SchematicItem* component);
int TranslateSwitch(SchematicItem* component);
int TranslateVoltageSwitch(SchematicItem* component);
int TranslateCurrentSwitch(SchematicItem* component);
// After the component pass: every I-mode switch gets the inductor between its control nodes.
int ResolveSwitchInductors();
// After the component pass: the lossy lines of each model are chained in list order.
void ChainLossyLines();
// After the component pass: every W switch gets the voltage source its REF names.
int ResolveCurrentSwitchSources();

// Dependent and behavioural sources.
int TranslateLinearSource(SchematicItem* component, int typeCode);
int TranslateFormulaSource(SchematicItem* component, int typeCode);
int TranslateLaplaceSource(SchematicItem* component, int typeCode);
int TranslateZLaplaceSource(SchematicItem* component, int typeCode);
int TranslateTableSource(SchematicItem* component, int typeCode);
int TranslateFreqTableSource(SchematicItem* component, int typeCode);
// The ZEXP text of a Z-domain source as a Laplace expression: every standalone Z becomes
// "(EXP(S/(clock)))".
std::string ConvertZExpression(const std::string& text, const std::string& clockFrequency);

// Couplings and special elements.
int TranslateTransformer(SchematicItem* component);
int TranslateCoupling(SchematicItem* component);
// After the component pass: the couplings of every K part. 0 or 15055.
int ResolveCouplings();
int TranslateUserSource(SchematicItem* component);
int TranslateSampleHold(SchematicItem* component);
int TranslateDisplayElement(SchematicItem* component, int typeCode);

// Where a pin of a digital part sits on an analog node: a call of the interface subcircuit that
// the part's I/O model names for its IO_LEVEL (direction 2: the digital output drives the analog
// node, D-to-A; otherwise A-to-D), and on the first use of a digital power supply name a call of
// that supply. 0; 1 when the part has no I/O model; 15055 after a report; 15002.
int InsertDigitalInterface(SchematicItem* part, std::int32_t digitalNode, int pin, int direction);

}  // namespace kq5
