#pragma once
// Loading and saving circuit files. Every file that is opened into a circuit window passes through
// LoadCircuitFile: schematics in either circuit file format (the sectioned file that begins
// "[Main]", or the banner file that begins with its version line), SPICE text circuits, binary
// model libraries, and model files (handed to the model-fitting program). WriteCircuitFile saves
// a schematic in the sectioned format or, on request, in the banner format.
//
// A save never touches the old file until the new one is complete: the file is written beside it
// under a temporary name, every write and the close are checked, and only then is it renamed over
// the old one. A save that fails leaves the old file as it was and the window modified.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kq5 {

struct ComponentDefinition;
struct WindowRecord;

// LoadOptions: the option word of LoadCircuitFile.
using LoadOptions = std::uint32_t;
constexpr LoadOptions kLoadCollectMissing = 0x0001;  // drop components without definition, list them
constexpr LoadOptions kLoadCheckItems = 0x0002;      // repair points outside 1..32000, check orientations
constexpr LoadOptions kLoadMacro = 0x0010;           // read for use inside another circuit
constexpr LoadOptions kLoadRefuseOld = 0x0020;       // refuse a previous-generation file
constexpr LoadOptions kLoadShowWindow = 0x0040;
constexpr LoadOptions kLoadQuiet = 0x0080;           // report nothing, return the id
constexpr LoadOptions kLoadNoConnectivity = 0x0100;
constexpr LoadOptions kLoadKeepTitle = 0x0200;
constexpr LoadOptions kLoadShowIfNew = 0x0400;
constexpr LoadOptions kLoadNoRecent = 0x0800;
constexpr LoadOptions kLoadExactName = 0x1000;
constexpr LoadOptions kLoadDefaults = 0x004B;        // LoadCircuitFileWithDefaults
constexpr LoadOptions kLoadRevert = 0x104B;

// File kinds of LoadCircuitFile.
constexpr int kFileKindUnknown = -1;
constexpr int kFileKindSchematic = 1;
constexpr int kFileKindTextCircuit = 2;
constexpr int kFileKindModelLibrary = 3;
constexpr int kFileKindModelFile = 4;

// Packed versions of the circuit files.
constexpr std::int32_t kBannerFileVersion = (5 << 16) | 3;     // 5.03, the one the writer makes
constexpr std::int32_t kOldestBannerVersion = (5 << 16) | 0;   // 5.00 to 5.02 read like 5.03
constexpr std::int32_t kPreviousGenerationVersion = 4 << 16;   // 4.00, imported

// WriteCircuitFile flags.
constexpr int kWriteBanner = 0x01;
constexpr int kWriteQuietly = 0x02;  // keep the title; no connectivity rebuild, no recent entry

// Messages of the circuit files.
constexpr int kMsgOldGenerationWarning = 13504;
constexpr int kMsgOldMacroRefused = 13505;
constexpr int kMsgComponentsNotFound = 13506;
constexpr int kMsgNoShapeLinked = 13507;
constexpr int kMsgRevertQuestion = 13511;
constexpr int kMsgUnknownAnalysisSkipped = 13513;
constexpr int kMsgCircuitFileCutShort = 13395;
constexpr int kMsgMustConvert = 15021;
constexpr int kMsgIllegalCoordinates = 15026;
constexpr int kMsgMissingDefinition = 15080;
constexpr int kMsgProductLine = 5351;
constexpr int kMsgMakerLine = 5350;
constexpr int kMsgWait = 17888;

// What reading and writing a model library window asks of the netlist's model library. The
// library fills these when it is first attached to a window; a window without one holds no
// library.
struct ModelLibraryFileHooks {
    // Lets go of the window's models; false when the window holds no library.
    std::function<bool(WindowRecord*)> release;
    // Reads the file into the window's library and shows it: 0, the failure (reported when
    // report), or 15002 when the window holds no library.
    std::function<int(WindowRecord*, const std::string& path, bool report)> load;
    std::function<bool(const WindowRecord*)> modified;
    // Reads the file into a library of its own and lets it go: 0, or the failure (a damaged file
    // or a wrong version reported, then 15055). Nothing else is reported.
    std::function<int(const std::string& path)> trial;
    // Writes the window's library to the path, status its result; false when it holds none.
    std::function<bool(WindowRecord*, const std::string& path, int& status)> save;
};
ModelLibraryFileHooks& ModelLibraryFiles();

// State of the load or save in progress, reset at the start of each load.
struct CircuitFileState {
    int loadUnit = -1;
    std::int32_t loadVersion = 0;
    // The missing definition names, each "'%s'", joined by ",".
    std::string missingComponents;
    bool illegalCoordinates = false;
    bool oldGenerationLoaded = false;
    std::string lastWarnedName;  // last name warned about by 13507
    bool screenChanged = false;  // the file was saved at another screen size
    // The line after [Main] that the header check read ahead; the sectioned reader starts there.
    std::string pendingLine;
    // Sections skipped for an analysis name the program does not know: how many, and the first.
    int skippedSections = 0;
    std::string firstSkippedSection;
    // What [Main] says the file holds (-1 when it does not say), the DSP status lines read, and
    // whether the file then ended before all of it was read.
    int declaredItems = -1;
    int declaredTexts = -1;
    int dspStatusLines = 0;
    // Components read whole but left out: their definition is missing or has no shape.
    int droppedItems = 0;
    bool cutShort = false;
};

CircuitFileState& CircuitFiles();
void ResetCircuitFileStateForTests();

// Opens the file into a window (the target, or a window found by title, or a new one); the window
// that holds the file is stored in out (null when the load failed). 0 or a message id; a reported
// failure gives 15055.
int LoadCircuitFile(WindowRecord* target, const std::string& name, int kind, LoadOptions options,
                    WindowRecord*& out);
// Shows a loaded window, maximised beside maximised windows; with savedPlace a schematic takes
// the place saved in its file (and goes back to it when restored from maximised).
void ShowLoadedWindow(WindowRecord* record, bool maximised, bool savedPlace);
int LoadCircuitFileWithDefaults(WindowRecord* target, const std::string& name, int kind, WindowRecord*& out);

// Saves the window's document under the name (its title when empty). 0, or 15055 after reporting.
int WriteCircuitFile(WindowRecord* record, const std::string& name, int flags);

// Asks for a file name and saves: 1 when done (also when there was nothing to do), 2 cancelled.
int SaveWindowAs(WindowRecord* record, int flags);

// Reads the first lines of a circuit file on the unit and tells its format by the version: 5.20
// for a sectioned file (whose [Main] section has then been read), the banner file's version
// otherwise. 0, 15009 (bad header), 15021 (a version that needs converting) or a read error.
int CheckCircuitFileHeader(int unit, std::int32_t& version);
// Whether the file opens and its first lines are those of a circuit file (any version this
// program reads); reports nothing.
bool HasReadableCircuitFileHeader(const std::string& name);
// Whether the file's first line (blank lines and ";" comments skipped) is neither "[Main]" nor a
// version line: such a file is a SPICE netlist whatever its name. False when it cannot be read.
bool ReadsAsTextCircuit(const std::string& name);

// The first half of reading a schematic file: opens it, checks the header and reads either the
// whole sectioned file or the banner file's components block. With clear set the document's
// items are emptied first. 0 or a message id; the unit stays open for the banner body.
int ReadComponentsBlock(WindowRecord* record, const std::string& name, bool clear, LoadOptions options);

// The component definition of a name met in a file: found, or none. None without error for an
// empty name, or when the name is collected as missing (kLoadCollectMissing) or its definition
// has no shape; 15080 with the name as error context otherwise.
int ResolveItemDefinition(std::string_view name, LoadOptions options, ComponentDefinition*& definition);

// The revert command: asks, then reloads the window's file into the same window.
void RevertToSaved(WindowRecord* record);

// A second schematic window that shows the items of an open circuit (the same lists, not copies).
WindowRecord* OpenSharedCircuitView(WindowRecord* open, LoadOptions options);

}  // namespace kq5
