// A text netlist writes every bipolar transistor with Q, every MOSFET with M and every JFET with J;
// the polarity comes from the model, so the components read as NPN, NMOS and NJFET take the type
// of their model once the models are known.
#include "core/char_classes.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/component_types.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"
#include "document/scope_table.h"
#include "netlist/spice_element_support.h"
#include "netlist/spice_reader_state.h"
#include "document/component_definition.h"

namespace kq5 {

namespace {

// The statement of that name in the scope or an enclosing one; -1 when none.
int FindStatementInScopes(std::string_view name, int scope)
{
    const std::vector<ModelStatement>& statements = Models().statements;
    for (int level = scope, guard = 0; level >= 0 && guard < 10000; ++guard) {
        for (std::size_t i = 0; i < statements.size(); ++i)
            if (statements[i].scope == level && EqualsNoCase(statements[i].name, name)) return static_cast<int>(i);
        if (level == 0) break;
        const SubcktScope* entry = FindScope(level);
        level = entry ? entry->parent : 0;
    }
    return -1;
}

// The model type of the other polarity of a component type.
int OppositeModelType(int componentType)
{
    switch (componentType) {
        case kComponentNpn:
        case kComponentNpn4: return kModelPnp;
        case kComponentNmos: return kModelPmos;
        default: return kModelPjf;
    }
}

// The component type a model type makes of a component of the type.
int ComponentTypeForModel(int componentType, int modelType)
{
    const bool four = componentType == kComponentNpn4;
    switch (modelType) {
        case kModelNpn: return four ? kComponentNpn4 : kComponentNpn;
        case kModelPnp:
        case kModelLpnp: return four ? kComponentPnp4 : kComponentPnp;
        case kModelNmos: return kComponentNmos;
        case kModelPmos: return kComponentPmos;
        case kModelNjf: return kComponentNjfet;
        case kModelPjf: return kComponentPjfet;
        default: return componentType;
    }
}

bool NeedsPolarity(int type)
{
    return type == kComponentNpn || type == kComponentNpn4 || type == kComponentNjfet || type == kComponentNmos;
}

}  // namespace

int MatchComponentModel(SchematicItem* component)
{
    const int type = ItemComponentTypeOf(component);
    const std::string name = CopyUpperCase(GetAttributeText(component, kAttrModel));
    if (name.empty()) return 0;
    int statement = FindStatementInScopes(name, component->scope);
    if (statement < 0) {
        FindOrLoadModel(OppositeModelType(type), component->scope, name);
        statement = FindStatementInScopes(name, component->scope);
    }
    if (statement < 0) return 0;
    const int newType = ComponentTypeForModel(type, Models().statements[static_cast<std::size_t>(statement)].type);
    if (newType == type) return 0;
    ComponentDefinition* definition = FindLibraryComponentByType(newType);
    if (!definition) definition = NewGeneratedDefinition(newType, component->PinCount());
    if (!definition) return kMsgInsufficientMemory;
    component->definition = definition;
    return 0;
}

int FixModelPolarity(int scope, const ListNode* after)
{
    CircuitDocument* document = CurrentDocument();
    if (!document) return 0;
    ListNode* start = after ? after->next : document->itemList.head;
    for (SchematicItem& item : ListRecordRange<SchematicItem>(start)) {
        if (!item.IsComponent() || item.scope != scope || !NeedsPolarity(ItemComponentTypeOf(&item))) continue;
        if (int status = MatchComponentModel(&item)) return status;
    }
    return 0;
}

}  // namespace kq5
