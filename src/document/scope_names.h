#pragma once
// Names inside subcircuit instances: a name is qualified by the instance path of its scope.
#include <string>
#include <string_view>

namespace kq5 {

// The name prefixed with the instance path of the scope and a "."; scope 0 (the top level), a
// scope outside the table or one without a path give the name unchanged.
std::string QualifyNameWithScope(std::string_view name, int scope);

}  // namespace kq5
