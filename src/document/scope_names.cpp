#include "document/scope_names.h"

#include "document/scope_table.h"

namespace kq5 {

std::string QualifyNameWithScope(std::string_view name, int scope)
{
    const SubcktScope* entry = scope > 0 ? FindScope(scope) : nullptr;
    if (!entry || entry->path.empty()) return std::string(name);
    std::string qualified = entry->path;
    qualified += '.';
    qualified += name;
    return qualified;
}

}  // namespace kq5
