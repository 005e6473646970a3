#pragma once
// The Component Editor: a modal dialog over the component library, with the tree of groups and
// components, the fields of the selected one and previews in which its pins are placed.
#include <memory>
#include <vector>

#include "document/schematic_item.h"
#include "platform/win_types.h"
#include "document/component_definition.h"

namespace kq5 {

struct ComponentGroup;

constexpr int kComponentEditorSmall = 17306;
constexpr int kComponentEditorLarge = 17307;
constexpr int kComponentTreeList = 12309;
constexpr int kComponentPreviewFirst = 12328;  // 12328, 12329, 12330
constexpr int kComponentPinPreview = 12330;

constexpr int kMsgComponentNameUsed = 13621;
constexpr int kMsgComponentInOpenCircuit = 13622;
constexpr int kMsgGroupInUse = 13623;
constexpr int kMsgStimNodes = 13624;
constexpr int kMsgPinNamesFixed = 13625;
constexpr int kMsgSaveComponentChanges = 13626;
constexpr int kMsgIllegalInputNode = 13627;
constexpr int kMsgIllegalOutputNodes = 13628;

// A row of the tree list: a group or a definition, with its depth.
struct ComponentTreeRow {
    ComponentGroup* group = nullptr;
    ComponentDefinition* definition = nullptr;
    int level = 0;
};

struct ComponentEditorState {
    ComponentDefinition* current = nullptr;
    bool groupSelected = false;
    int groupId = -1;  // the selected group; -1 the root
    bool changed = false;
    bool shapesMerged = false;  // a merge added shapes: the shape library is saved with the components
    double scale = 0.5;  // drawing units per preview pixel
    SchematicItem preview;
    std::unique_ptr<ComponentDefinition> clipboard;
    std::vector<ComponentTreeRow> rows;
    int dragPin = -1;
    bool dragName = false;
    int dragOriginX = 0;  // the preview's logical origin while a pin is dragged
    int dragOriginY = 0;
    win::POINT pressAt{};  // where the button went down in the third preview
    bool dragMoved = false;
    win::HWND dialog = nullptr;
};

ComponentEditorState& ComponentEditor();
void ResetComponentEditorForTests();

// A new type's default sizes and pins, each pin with its default name.
void ApplyDefaultSizes(ComponentDefinition& definition);
// The rows of the tree from the groups' open flags; definitions under their groups.
std::vector<ComponentTreeRow> BuildGroupTreeList();

// Command 17306: the dialog, when no analysis is open. The dialog's result.
int ComponentEditorCommand(win::HWND owner);

// Points each component tool button at its part in the library's present order (a name the
// library lacks hides the button).
void BindComponentButtonsToLibrary();

}  // namespace kq5

namespace kq5 {

// Command 17308: asks for a component name (dialog 17308), else lets the user pick among the
// parts whose names contain it (17316); the found part becomes the current component and a
// schematic window goes into component mode. 1 when a part was found.
int FindComponentCommand(win::HWND owner);

}  // namespace kq5
