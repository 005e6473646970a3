#pragma once
// The program's font description as records, files and dialogs carry it, and the table of face
// names that its face index points into.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kq5 {

// Style bits of a FontSpec.
constexpr std::uint8_t kFontUnderline = 0x01;
constexpr std::uint8_t kFontItalic = 0x02;
constexpr std::uint8_t kFontBold = 0x04;
constexpr std::uint8_t kFontStrikeOut = 0x08;
constexpr std::uint8_t kFontTurned90 = 0x10;
constexpr std::uint8_t kFontTurned270 = 0x20;
constexpr std::uint8_t kFontTurned180 = 0x40;

struct FontSpec {
    std::int16_t height = 0;  // logical height; 0 = the default line height
    std::int16_t face = 0;    // index into the face-name table
    std::uint8_t style = 0;   // kFont* bits
    std::uint8_t color = 0;   // colour table index, 0 to 63
};

// Face names are kept to the 31 characters that a font request can carry.
constexpr std::size_t kFaceNameLength = 31;

// Grows for the life of the program: an index once given always names the same face.
struct FontFaceTable {
    std::vector<std::string> names;
};

FontFaceTable& FontFaces();
void ResetFontFacesForTests();

// The index of the face name (compared case-blind); a name not yet known is appended. 0 when the
// table cannot grow.
int FindFontFace(std::string_view name);
// The face name of an index; empty when the index names no face.
std::string FaceName(int index);

// True when height, face, style or colour differ.
bool FontsDiffer(const FontSpec& font, const FontSpec& defaultFont);

}  // namespace kq5
