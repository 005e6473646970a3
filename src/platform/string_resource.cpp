// LoadString over the compiled string table.
#include "platform/string_resource.h"

#include "platform/string_table.h"

namespace win {

int LoadString(HINSTANCE, UINT id, std::string& out) {
    auto text = kq5::FindStringTableText(static_cast<int>(id));
    out = text ? std::string(*text) : std::string();
    return static_cast<int>(out.size());
}

std::string LoadString(UINT id) {
    std::string out;
    LoadString(nullptr, id, out);
    return out;
}

}  // namespace win
