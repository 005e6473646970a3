// The binary model library loader (.LBR, version 5 and the version 4 it converts): the input is
// the file; a load either takes it whole or refuses it and keeps the library as it was.
#include <cstdlib>

#include "core/linked_list.h"
#include "fuzz_support.h"
#include "netlist/binary_library.h"
#include "netlist/model_types.h"

using namespace kq5;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::ResetFuzzWorld();
    const std::string path = fuzz::WriteScratchFile("input.lbr", fuzz::AsText(data, size));
    ModelLibrary library;
    ModelLibraryEntry* keep = NewLibraryEntry(library, kModelDiode);
    keep->name = "KEEP";
    if (LoadModelLibrary(library, path, true) != 0 && (library.entries.count != 1 || keep->name != "KEEP"))
        std::abort();  // a refused file changed the library
    for (const ModelLibraryEntry& entry : ListRecords<ModelLibraryEntry>(library.entries)) {
        const ModelTypeRow* row = FindModelTypeRow(entry.type);
        if (row == nullptr || entry.params.size() != static_cast<std::size_t>(row->libraryCount)) std::abort();
    }
    ListClear(library.entries);
    fuzz::ResetFuzzWorld();
    return 0;
}
