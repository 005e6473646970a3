// The circuit file loaders: the input is a circuit file on disk, read into a schematic record as
// the load does (the sectioned file, the banner file and the import of the previous generation's
// files all start there), with a small component library whose definitions have shapes.
#include <memory>

#include "core/font_description.h"
#include "ui/window_record.h"
#include "core/file_units.h"
#include "document/banner_file.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/circuit_file_sectioned.h"
#include "fuzz_support.h"
#include "document/component_types.h"
#include "results/curve_record.h"
#include "document/component_definition.h"
#include "document/component_library.h"
#include "document/shape_library.h"

using namespace kq5;

namespace {

void AddDefinitions()
{
    // The face table as the program starts it: files name faces, the document keeps indexes.
    ResetFontFacesForTests();
    FindFontFace("Arial");
    FindFontFace("Courier New");
    ComponentShape shape;
    shape.extent = win::RECT{-16, -16, 16, 16};
    SetShape(1, shape);
    AddComponentDefinition("Resistor", kComponentResistor, 1);
    AddComponentDefinition("Capacitor", kComponentCapacitor, 1);
    AddComponentDefinition("Ground", kComponentGround, 1);
    AddComponentDefinition("NPN", kComponentNpn, 1);
    AddComponentDefinition("K", kComponentK, 1);
    ComponentDefinition* shortCircuit = AddComponentDefinition("Short", kComponentShort, 1);
    DefinitionPin a;
    DefinitionPin b;
    b.dx = 4;
    shortCircuit->pins = {a, b};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::ResetFuzzWorld();
    AddDefinitions();
    const std::string path = fuzz::WriteScratchFile("input.cir", fuzz::AsText(data, size));
    WindowRecord* record = NewWindowRecord(nullptr, kWindowSchematic, true);
    record->plot = std::make_shared<PlotRecord>();
    SetCurrentDocument(record);
    CircuitFileState& state = CircuitFiles();
    int status = ReadComponentsBlock(record, path, true, kLoadDefaults);
    if (state.loadVersion != kSectionedFileVersion) {
        if (status == 0) TransferBannerBody(record, state.loadUnit, kLoadDefaults, state.loadVersion);
        FreeBannerFontNames();
    }
    CloseUnit(state.loadUnit);
    state.loadUnit = -1;
    fuzz::ResetFuzzWorld();
    return 0;
}
