#include "core/key_file.h"

#include <cstdlib>

#include "core/char_classes.h"
#include "core/field_stream.h"
#include "core/file_units.h"
#include "core/format.h"
#include "core/text_edit.h"

namespace kq5 {

namespace {

int KeyLength(std::string_view key) { return static_cast<int>(key.size()); }

std::string Trimmed(std::string_view text)
{
    std::string out(text);
    Trim(out);
    return out;
}

}  // namespace

int WriteSection(int unit, std::string_view name)
{
    const FileUnit* slot = GetFileUnit(unit);
    if (slot != nullptr && slot->stream && std::ftell(slot->stream.get()) != 0) UnitPrintf(unit, "\n");
    return UnitPrintf(unit, "[%.*s]\n", KeyLength(name), name.data());
}

int WriteKeyString(int unit, std::string_view key, std::string_view value)
{
    if (value.empty()) return UnitPrintf(unit, "%.*s\n", KeyLength(key), key.data());
    std::string packed = PackLineBreaks(value);
    return UnitPrintf(unit, "%.*s=%s\n", KeyLength(key), key.data(), packed.c_str());
}

int WriteKeyInt(int unit, std::string_view key, int value)
{
    return UnitPrintf(unit, "%.*s=%d\n", KeyLength(key), key.data(), value);
}

int WriteKeyDouble(int unit, std::string_view key, double value)
{
    return UnitPrintf(unit, "%.*s=%g\n", KeyLength(key), key.data(), value);
}

int WriteKeyVersion(int unit, std::string_view key, std::int32_t version)
{
    return WriteKeyString(unit, key, FormatVersionNumber(version));
}

int WriteKeyYesNo(int unit, std::string_view key, bool flag) { return WriteKeyString(unit, key, flag ? "Yes" : "No"); }
int WriteKeyOnOff(int unit, std::string_view key, bool flag) { return WriteKeyString(unit, key, flag ? "On" : "Off"); }

int WriteKeyPlacement(int unit, std::string_view key, const win::WINDOWPLACEMENT& placement)
{
    const win::RECT& normal = placement.rcNormalPosition;
    return UnitPrintf(unit, "%.*s=%d,%d, %d,%d, %d,%d, %d,%d,%d,%d\n", KeyLength(key), key.data(),
                      static_cast<int>(placement.flags), static_cast<int>(placement.showCmd),
                      placement.ptMinPosition.x, placement.ptMinPosition.y, placement.ptMaxPosition.x,
                      placement.ptMaxPosition.y, normal.left, normal.top, normal.right, normal.bottom);
}

int WriteKeyFont(int unit, std::string_view key, const FontSpec& font)
{
    std::string face = FaceName(font.face);
    return UnitPrintf(unit, "%.*s=Height=%d,FStyle=%d,Color=%d,Name=%s\n", KeyLength(key), key.data(), font.height,
                      font.style, font.color, face.c_str());
}

int WriteFontChanges(int unit, const FontSpec& font, const FontSpec& defaultFont)
{
    if (!FontsDiffer(font, defaultFont)) return 0;
    int status = 0;
    if (font.height != defaultFont.height) status = WriteKeyInt(unit, "Height", font.height);
    if (font.style != defaultFont.style) status = WriteKeyInt(unit, "FStyle", font.style);
    if (font.color != defaultFont.color) status = WriteKeyInt(unit, "Color", font.color);
    if (font.face != defaultFont.face) status = WriteKeyString(unit, "Font", FaceName(font.face));
    return status;
}

int ReadKeyLine(int unit, std::string& line)
{
    for (;;) {
        int status = ReadUnitLineText(unit, line);
        if (status == kMsgEndOfFile) {
            line.clear();
            return 0;
        }
        if (status != 0) return status;
        // The comment test looks at the line as written: " ;x" is not a comment.
        if (line.empty() || line.front() == ';') continue;
        Trim(line);
        return 0;
    }
}

int ReadNonEmptyTextLine(int unit, std::string& text)
{
    for (;;) {
        std::string line;
        int status = ReadUnitRawLine(unit, line);
        if (status == kMsgEndOfFile) {
            text.clear();
            return 0;
        }
        if (status != 0) return status;
        if (line.empty()) continue;
        text = UnpackLineBreaks(line);
        return 0;
    }
}

void SplitKeyLine(std::string_view line, std::string& key, std::string& value)
{
    std::size_t equals = line.find('=');
    key = Trimmed(CopyUpperCase(line.substr(0, equals)));
    value = equals == std::string_view::npos ? std::string() : Trimmed(line.substr(equals + 1));
}

std::string& SplitKeyValue(std::string& destination, std::string& text)
{
    std::size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos) start = text.size();
    std::size_t comma = text.find(',', start);
    destination = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    text = comma == std::string::npos ? std::string() : text.substr(comma + 1);
    return destination;
}

int ReadKeyInt(std::string& text)
{
    std::string item;
    return TextToInt(SplitKeyValue(item, text));
}

double ReadKeyDouble(std::string& text)
{
    std::string item;
    return std::strtod(SplitKeyValue(item, text).c_str(), nullptr);
}

void ReadKeyPlacement(std::string_view text, win::WINDOWPLACEMENT& placement)
{
    placement = win::WINDOWPLACEMENT{};
    placement.length = 0;
    std::string rest(text);
    placement.flags = static_cast<win::UINT>(ReadKeyInt(rest));
    placement.showCmd = static_cast<win::UINT>(ReadKeyInt(rest));
    placement.ptMinPosition.x = ReadKeyInt(rest);
    placement.ptMinPosition.y = ReadKeyInt(rest);
    placement.ptMaxPosition.x = ReadKeyInt(rest);
    placement.ptMaxPosition.y = ReadKeyInt(rest);
    win::RECT& normal = placement.rcNormalPosition;
    normal.left = ReadKeyInt(rest);
    normal.top = ReadKeyInt(rest);
    normal.right = ReadKeyInt(rest);
    normal.bottom = ReadKeyInt(rest);
    // Without a normal rectangle the placement stays marked invalid.
    if (normal.left != normal.right) placement.length = sizeof(win::WINDOWPLACEMENT);
}

std::string GetListKeyValue(std::string_view text, std::string_view key)
{
    std::string rest(text);
    std::string itemKey;
    std::string value;
    while (!rest.empty()) {
        SplitKeyLine(rest, itemKey, value);
        std::size_t comma = value.find(',');
        if (EqualsNoCase(itemKey, key)) return Trimmed(std::string_view(value).substr(0, comma));
        if (comma == std::string::npos) break;
        rest = value.substr(comma + 1);
    }
    return std::string();
}

int GetListKeyInt(std::string_view text, std::string_view key) { return TextToInt(GetListKeyValue(text, key)); }

void ReadKeyFont(std::string_view value, FontSpec& font)
{
    std::string item = GetListKeyValue(value, "Height");
    if (!item.empty()) font.height = static_cast<std::int16_t>(TextToInt(item));
    item = GetListKeyValue(value, "FStyle");
    if (!item.empty()) font.style = static_cast<std::uint8_t>(TextToInt(item));
    item = GetListKeyValue(value, "Color");
    if (!item.empty()) font.color = ReadColorIndex(item);
    item = GetListKeyValue(value, "Name");
    if (!item.empty()) font.face = static_cast<std::int16_t>(FindFontFace(item));
}

std::uint8_t ReadColorIndex(std::string_view text)
{
    std::int32_t index = TextToInt(text);
    if (index < 0) return 0;
    if (index > 63) return 63;  // the colour table has 64 entries
    return static_cast<std::uint8_t>(index);
}

bool IsYes(std::string_view value) { return EqualsNoCase(value, "Yes"); }
bool IsOn(std::string_view value) { return EqualsNoCase(value, "On"); }

std::int32_t ParseVersionNumber(std::string_view text)
{
    std::uint32_t major = static_cast<std::uint32_t>(TextToInt(text)) & 0xFFFF;
    std::uint32_t minor = 0;
    std::size_t dot = text.find('.');
    if (dot != std::string_view::npos) {
        auto digit = [&](std::size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
        if (digit(dot + 1)) {
            minor = static_cast<std::uint32_t>(text[dot + 1] - '0') * 10;
            if (digit(dot + 2)) minor += static_cast<std::uint32_t>(text[dot + 2] - '0');
        }
    }
    return static_cast<std::int32_t>((major << 16) | minor);
}

std::string FormatVersionNumber(std::int32_t version)
{
    std::uint32_t packed = static_cast<std::uint32_t>(version);
    return StrPrintf("%u.%02u", packed >> 16, packed & 0xFFFF);
}

int TransferSectionMarker(int unit, std::string_view name)
{
    std::string lowered(name);
    for (char& c : lowered) c = ToLowerChar(c);
    std::string marker = ":**** " + lowered + " ****";
    const FileUnit* slot = GetFileUnit(unit);
    if (slot != nullptr && slot->mode == kUnitWriting) return UnitPrintf(unit, "%s\n", marker.c_str());
    // The whole line is compared: a longer line is a different marker, not one to cut.
    std::string line;
    int status = ReadUnitLineText(unit, line);
    if (line != marker) return kMsgBadFormat;
    return status;
}

}  // namespace kq5
