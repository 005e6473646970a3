#include "core/font_description.h"

#include <new>

#include "core/char_classes.h"

namespace kq5 {

FontFaceTable& FontFaces()
{
    static FontFaceTable table;
    return table;
}

void ResetFontFacesForTests() { FontFaces().names.clear(); }

int FindFontFace(std::string_view name)
{
    std::string_view kept = name.substr(0, kFaceNameLength);
    std::vector<std::string>& names = FontFaces().names;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (EqualsNoCase(names[i], kept)) return static_cast<int>(i);
    }
    try {
        names.emplace_back(kept);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return static_cast<int>(names.size() - 1);
}

std::string FaceName(int index)
{
    const std::vector<std::string>& names = FontFaces().names;
    if (index < 0 || static_cast<std::size_t>(index) >= names.size()) return std::string();
    return names[static_cast<std::size_t>(index)];
}

bool FontsDiffer(const FontSpec& font, const FontSpec& defaultFont)
{
    return font.height != defaultFont.height || font.face != defaultFont.face ||
           font.style != defaultFont.style || font.color != defaultFont.color;
}

}  // namespace kq5
