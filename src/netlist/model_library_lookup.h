#pragma once
// Looking names up in the model libraries that a circuit uses: models, subcircuits, macros and
// parameter lines that the circuit does not define itself. Every library is searched through
// its index file (netlist/library_index.h), which is made again first when it is stale.
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "netlist/binary_library.h"
#include "netlist/library_index.h"

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

// The two library lists: 0 the libraries of the current circuit, in the order registered;
// 1 the work list of one index generation.
inline constexpr int kCircuitLibraryList = 0;
inline constexpr int kIndexWorkList = 1;

struct LibraryListEntry {
    std::string path;                     // full path
    std::unique_ptr<LibraryIndex> index;  // loaded on first need
    bool direct = false;                  // registered here, not through the circuit's .LIB list
    bool missingReported = false;         // the library's absence has been reported
};

struct LibraryState {
    std::array<std::vector<LibraryListEntry>, 2> lists;
    // The libraries of the model library windows, each with its record.
    std::vector<std::unique_ptr<ModelLibrary>> windows;
};

LibraryState& Libraries();
void ResetLibraryStateForTests();

// The name without its double quotes and surrounding blanks ("NOM.LIB" when nothing is left),
// as a full path: beside `besideFile` when it is found there, else where data files are looked
// for; spelled as on disk.
std::string ResolveLibraryPath(std::string_view name, std::string_view besideFile = {});

// Adds a library to list `list` unless it is there already (case-blind; with `searchBoth`, in
// lists 0 to `list`); `index` receives its place in the list. 0, or 15002 after reporting.
int RegisterLibraryFile(std::string_view name, int list, int& index, bool searchBoth = false,
                        std::string_view besideFile = {});
// Frees every entry of a list with its loaded index.
void ClearLibraryList(int list);

// Whether a model type in an index answers for the wanted type; the MOSFET rows of LEVEL 4, 5
// and 8 count as NMOS or PMOS on either side.
bool ModelTypeMatches(int typeInIndex, int typeWanted);

// 0 when the library is not open in a window, is open in the current window, or is not
// modified; otherwise asks 10879: OK saves the window's file (its result), Cancel gives 15055.
int CheckLibraryNotEdited(const std::string& path);

// Searches the circuit's libraries in list order (only library `library` of list 0 when it is
// not -1). Results: kLookupModel the model table index of the loaded statement; kLookupSubcircuit
// the position of the .SUBCKT line, with the library's path in `output`; kLookupMacroText 0 with
// the macro's text in `output`; kLookupMacroPresence 0 with the name in `output`;
// kLookupModelNames the number of names put into `names` (an LPNP type lists PNP models too);
// kLookupParamLines 0 after every .PARAM line of the libraries was processed. -1 when nothing is
// found. `error` is 0, or 15055 after a reported failure. Names are compared in upper case.
int FindInLibraries(std::string_view name, int modelType, int lookupKind, int& error, std::string* output = nullptr,
                    int library = -1, std::vector<std::string>* names = nullptr);

}  // namespace kq5
