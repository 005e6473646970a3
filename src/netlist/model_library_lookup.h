#pragma once
// Looking names up in the model libraries that a circuit uses: models, subcircuits, macros and
// parameter lines that the circuit does not define itself.
#include <string>
#include <string_view>

namespace kq5 {

// What FindInLibraries looks for.
enum LibraryLookupKind : int {
    kLookupModel = 0,          // a model by name and type: loaded into the model table
    kLookupModelNames = 1,     // the names of every model of a type
    kLookupSubcircuit = 2,     // a subcircuit by name: its library path and position
    kLookupMacroText = 3,      // a macro's line by name
    kLookupMacroPresence = 4,  // whether a macro of that name exists
    kLookupParamLines = 5,     // every .PARAM line of the libraries
};

// Searches the circuit's libraries (or only library `library` when it is not -1). For a model
// the result is its model table index; -1 when no library holds the name. `error` is 0, or
// 15055 after a reported failure.
int FindInLibraries(std::string_view name, int modelType, int lookupKind, int& error, std::string* output = nullptr,
                    int library = -1);

}  // namespace kq5
