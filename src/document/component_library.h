#pragma once
// The loaded component library: the definitions every component of a circuit refers to, found by
// name when a circuit file is read, with the tree of groups the Component Editor sorts them into
// and the names of the ten tool-window slots. It is read from "comp.kq5" beside the program and
// written back whole.
#include <array>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "core/linked_list.h"
#include "platform/win_types.h"
#include "document/component_definition.h"

namespace kq5 {

constexpr int kMsgCantReadComponentVersion = 14052;  // "%ECan't read the version of %s."
constexpr int kComponentSlotCount = 10;

struct ComponentGroup {
    std::string name;
    std::uint16_t id = 0;
    std::vector<ComponentGroup> children;
    // Tree-list state of the Component Editor; not stored.
    std::uint16_t level = 0;
    bool open = false;
    bool lastChild = false;
};

struct ComponentLibraryState {
    LinkedList definitions{NewListRecord<ComponentDefinition>};  // list kind 14
    ComponentGroup root;
    std::array<std::string, kComponentSlotCount> slotNames;
    std::time_t fileTime = 0;
    std::string path;
    // Stand-ins for definitions that a reload no longer found, still pointed at by components.
    LinkedList placeholders{NewListRecord<ComponentDefinition>};
};

ComponentLibraryState& ComponentLibrary();
void ResetComponentLibraryForTests();

// The definition of that name: an exact match first, then one that matches without regard to
// case; never `except`, and no Short when skipShorts; null when none (an empty name finds none).
ComponentDefinition* FindComponentDefinition(std::string_view name, const ComponentDefinition* except = nullptr,
                                             bool skipShorts = false);
int ComponentDefinitionCount();
// The definition at that place of the library's list (null past its end), and the place of the
// definition of a name compared without regard to case (-1 when none). The component menu's
// item 42000 + n stands for the definition at place n.
ComponentDefinition* ComponentDefinitionAt(int index);
int ComponentDefinitionIndex(std::string_view name);

// Appends a definition with the name, component type and shape; null when memory runs out.
ComponentDefinition* AddComponentDefinition(std::string_view name, int type, int shapeIndex);

// Groups: depth-first below the group (the group itself not compared); null when none.
ComponentGroup* FindGroupById(ComponentGroup& group, int id);
ComponentGroup* GroupOfDefinition(const ComponentDefinition& definition);
// The smallest id from 0 that no group below the root carries.
int NewGroupId();

// The types whose definitions name their own pins: Macro, subckt, LOGICEXP, PINDLY, CONSTRAINT.
bool IsNamedPinType(int type);
// Sets a pin's letter, name and second text, fixing the letter by the definition's type.
void SetDefinitionPin(ComponentDefinition& definition, int pin, char letter, std::string_view name,
                      std::string_view secondText);
// The length of a pin's stored text: letter and name, and for a hidden Macro or subckt pin a NUL
// and the second text.
int PinTextLength(const ComponentDefinition& definition, const DefinitionPin& pin);
bool IsMacroPinUpperType(const ComponentDefinition& definition, int pin);

// The pin count the type and the size words fix (named-pin types: their own count); -1 when the
// sizes are not valid for the type.
int TypePinCount(const ComponentDefinition& definition);
// The leading input pins of a digital definition, from its type and size words.
int DefinitionInputPins(const ComponentDefinition& definition);

// The file's bytes of a library, and a library from a file's bytes. Parsing checks every count,
// length and type and returns 0, 14052 (unknown version), 15009 (anything else damaged) or 15002;
// on failure the library keeps nothing of the file.
std::string SerializeComponentLibrary(const ComponentLibraryState& library);
int ParseComponentLibrary(std::string_view bytes, ComponentLibraryState& library, bool readSlotNames);

// Reads a file into the library: 0, 16000 plus errno, 14052, 15009 or 15002, nothing reported.
int ReadComponentLibrary(const std::string& path, ComponentLibraryState& library, bool readSlotNames);
// Start-up: "comp.kq5" beside the program into the global library; 0 or the message id, the path
// left as the pending error text.
int LoadComponentLibrary();
// Writes the global library to its path through a new file renamed over the old one, after
// asking 13508 when the file changed on disk since it was read (No: 0, nothing written). 0 or
// 16000 plus errno; the old file survives a failure.
int WriteComponentLibrary(ComponentLibraryState& library, win::HWND owner = nullptr);
// Writes and reports a failure.
int SaveComponentLibrary(win::HWND owner = nullptr);
void FreeComponentLibrary();

}  // namespace kq5

namespace kq5 {

// The name a pin goes by when the user has not named it: by the type's pin rule ("PinA"...,
// "In"/"InA".../"Enable"/"Out", the pin's own name for the named-pin types, else the type's
// pin-name text).
std::string DefaultPinName(const ComponentDefinition& definition, int pin);

// Copies everything of a definition but its list link.
void CopyDefinitionFields(ComponentDefinition& target, const ComponentDefinition& source);

}  // namespace kq5
