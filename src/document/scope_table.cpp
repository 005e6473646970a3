#include "document/scope_table.h"

#include <new>

#include "core/message_reporter.h"
#include "document/netlist_state.h"

namespace kq5 {

int ResizeScopeTable(int highest) {
    if (highest < 0) {
        FreeScopeTable();
        return 0;
    }
    try {
        Netlist().scopes.resize(static_cast<std::size_t>(highest) + 1);
    } catch (const std::bad_alloc&) {
        ReportMessage("E", 15002);
        return 15055;
    }
    return 0;
}

void FreeScopeTable() { SubcktScopeTable().swap(Netlist().scopes); }

bool ScopeTableExists() { return !Netlist().scopes.empty(); }

const SubcktScope* FindScope(int index) { return FindScopeForEdit(index); }

SubcktScope* FindScopeForEdit(int index) {
    SubcktScopeTable& scopes = Netlist().scopes;
    if (index < 0 || static_cast<std::size_t>(index) >= scopes.size()) return nullptr;
    return &scopes[static_cast<std::size_t>(index)];
}

}  // namespace kq5
