#pragma once
// Names inside subcircuit instances: a name is qualified by the instance path of its scope.
#include <string>
#include <string_view>

namespace kq5 {

struct PartInstanceRecord;

// The name prefixed with the instance path of the scope and a "."; scope 0 (the top level), a
// scope outside the table or one without a path give the name unchanged.
std::string QualifyNameWithScope(std::string_view name, int scope);

// The part's full name, qualified with the instance path of its scope (upper case).
std::string PartInstanceName(const PartInstanceRecord& part);

}  // namespace kq5
