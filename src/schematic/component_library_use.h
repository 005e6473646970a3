#pragma once
// What the rest of the program holds of the component library: the components of open
// schematics, their undo lists, the internal clipboard and the chosen component point at
// definitions. Reloading the library keeps them pointing at live records, and the palettes are
// rebuilt from the definitions' palette bits.
#include "document/component_definition.h"

namespace kq5 {

constexpr int kFirstRecentComponent = 17350;

// True when a component of an open schematic, an undo list or the internal clipboard refers to
// the definition.
bool IsDefinitionInUse(const ComponentDefinition& definition);

// Reads the library file again, discarding edits made in memory. Every held definition pointer is
// moved to the reloaded definition of the same name; a name the file no longer has gets a
// placeholder copy kept apart from the library, so nothing points at freed memory. On a read
// failure the library stays as it was. 0 or the reader's message id.
int ReloadComponentLibrary();

// The palette entries of slots 1 to 9 from the definitions' palette bits (list order); a palette
// window whose slot became empty is closed, the others are refilled.
void BuildComponentPalettes();

// Commands 17350 to 17359: the recent component of that place becomes the current component and
// the active schematic goes into component mode. 1 when the name is still in the library.
int RecentComponentCommand(int id);

}  // namespace kq5
