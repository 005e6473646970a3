#include "document/scope_names.h"

#include "core/part_instance.h"
#include "document/scope_table.h"

namespace kq5 {

std::string QualifyNameWithScope(std::string_view name, int scope)
{
    std::string qualified = scope > 0 ? ScopePath(scope) : std::string();
    if (qualified.empty()) return std::string(name);
    qualified += '.';
    qualified += name;
    return qualified;
}

std::string PartInstanceName(const PartInstanceRecord& part) { return QualifyNameWithScope(part.partName, part.pathScope); }

}  // namespace kq5
