#include "document/section_stream.h"

#include <cstdlib>

#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/field_stream.h"
#include "core/key_file.h"
#include "core/format.h"
#include "core/text_edit.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/page_array.h"

namespace kq5 {

namespace {

constexpr std::int32_t kMinCheckedCoordinate = 1;
constexpr std::int32_t kMaxCheckedCoordinate = 32000;
// Connectivity keeps grid points in 16 bits; a point beyond cannot be part of a schematic.
constexpr std::int32_t kMinGridCoordinate = -32768;
constexpr std::int32_t kMaxGridCoordinate = 32767;

// The next line that is neither empty nor a comment, with trailing blanks dropped; empty at the
// end of the file.
int ReadTextKeyLine(int unit, std::string& line)
{
    for (;;) {
        int status = ReadUnitRawLine(unit, line);
        if (status == kMsgEndOfFile) {
            line.clear();
            return 0;
        }
        if (status != 0) return status;
        if (line.empty() || line.front() == ';') continue;
        line = UnpackLineBreaks(line);
        Trim(line);
        return 0;
    }
}

bool FinishLine(SectionStream& stream, std::string& text, KeyLine& line, int status, int& outStatus)
{
    outStatus = status;
    if (status != 0) {
        stream.pendingLine.clear();
        return false;
    }
    if (text.empty() || text.front() == '[') {
        stream.pendingLine = std::move(text);
        return false;
    }
    SplitKeyLine(text, line.key, line.value);
    return true;
}

}  // namespace

CircuitDocument& SectionStream::Document() const { return *record->document; }

void SectionWriter::Section(std::string_view name)
{
    if (status == 0) status = WriteSection(unit, name);
}
void SectionWriter::String(std::string_view key, std::string_view value)
{
    if (status == 0) status = WriteKeyString(unit, key, value);
}
void SectionWriter::Int(std::string_view key, int value)
{
    if (status == 0) status = WriteKeyInt(unit, key, value);
}
void SectionWriter::Double(std::string_view key, double value)
{
    if (status == 0) status = WriteKeyDouble(unit, key, value);
}
void SectionWriter::YesNo(std::string_view key, bool flag)
{
    if (status == 0) status = WriteKeyYesNo(unit, key, flag);
}
void SectionWriter::OnOff(std::string_view key, bool flag)
{
    if (status == 0) status = WriteKeyOnOff(unit, key, flag);
}
void SectionWriter::Placement(std::string_view key, const win::WINDOWPLACEMENT& placement)
{
    if (status == 0) status = WriteKeyPlacement(unit, key, placement);
}
void SectionWriter::Font(std::string_view key, const FontSpec& font)
{
    if (status == 0) status = WriteKeyFont(unit, key, font);
}
void SectionWriter::FontChanges(const FontSpec& font, const FontSpec& defaultFont)
{
    if (status == 0) status = WriteFontChanges(unit, font, defaultFont);
}
void SectionWriter::Preview(std::string_view key, const PrintPreview& preview)
{
    if (status == 0) status = WritePrintPreview(unit, key, preview);
}
void SectionWriter::Bytes(std::string_view bytes)
{
    if (status == 0) status = WriteUnitBytes(unit, bytes);
}

bool NextSettingLine(SectionStream& stream, KeyLine& line, int& status)
{
    std::string text;
    int readStatus = ReadKeyLine(stream.unit, text);
    return FinishLine(stream, text, line, readStatus, status);
}

bool NextTextLine(SectionStream& stream, KeyLine& line, int& status)
{
    std::string text;
    int readStatus = ReadTextKeyLine(stream.unit, text);
    return FinishLine(stream, text, line, readStatus, status);
}

int SkipSection(SectionStream& stream)
{
    KeyLine line;
    int status = 0;
    while (NextTextLine(stream, line, status)) {
    }
    return status;
}

std::string_view AnalysisName(int kind)
{
    switch (kind) {
    case 0: return "Transient";
    case 1: return "AC";
    case 2: return "DC";
    default: return {};
    }
}

int ParseAnalysisName(std::string_view name)
{
    if (EqualsNoCase(name, "TRANSIENT")) return 0;
    if (EqualsNoCase(name, "AC")) return 1;
    if (EqualsNoCase(name, "DC")) return 2;
    return -1;
}

int AnalysisKindFromLetter(char letter)
{
    switch (ToUpperChar(letter)) {
    case 'T': return 0;
    case 'A': return 1;
    case 'D': return 2;
    default: return -1;
    }
}

int WritePrintPreview(int unit, std::string_view key, const PrintPreview& preview)
{
    const auto& v = preview.values;
    if (!preview.on && v[0] == 0.0 && v[1] == 0.0 && v[2] == 0.0 && v[3] == 0.0) return 0;
    std::string value = StrPrintf("%s,%g,%g,%g,%g", preview.on ? "On" : "Off", v[0], v[1], v[2], v[3]);
    return WriteKeyString(unit, key, value);
}

void ReadPrintPreview(std::string_view value, PrintPreview& preview)
{
    std::string rest(value);
    std::string flag;
    SplitKeyValue(flag, rest);
    preview.on = IsOn(flag) ? 1 : 0;
    for (double& d : preview.values) d = ReadKeyDouble(rest);
}

int AnalysisKeyKind(std::string_view key, std::string_view suffix)
{
    if (key.size() != suffix.size() + 1) return -1;
    if (!EqualsNoCase(key.substr(1), suffix)) return -1;
    return AnalysisKindFromLetter(key.front());
}

std::uint32_t ParseNamedBits(std::string_view list, std::span<const NamedBits> table)
{
    std::string rest(list);
    std::string name;
    std::uint32_t bits = 0;
    while (!rest.empty()) {
        SplitKeyValue(name, rest);
        Trim(name);
        for (const NamedBits& entry : table) {
            if (EqualsNoCase(entry.name, name)) bits |= entry.bits;
        }
    }
    return bits;
}

std::string FitText(std::string_view value, std::size_t width)
{
    return std::string(value.substr(0, width));
}

int ValidateItemPoint(std::uint32_t loadOptions, std::int32_t& x, std::int32_t& y)
{
    if (loadOptions & kLoadCheckItems) {
        auto outside = [](std::int32_t v) { return v < kMinCheckedCoordinate || v > kMaxCheckedCoordinate; };
        if (outside(x) || outside(y)) {
            x = 1;
            y = 1;
            CircuitFiles().illegalCoordinates = true;
        }
        return 0;
    }
    auto unusable = [](std::int32_t v) { return v < kMinGridCoordinate || v > kMaxGridCoordinate; };
    if (unusable(x) || unusable(y)) return kMsgBadFormat;
    return 0;
}

int ValidatePage(std::int32_t page)
{
    return page < 0 || page >= kMaxPageCount ? kMsgBadFormat : 0;
}

}  // namespace kq5
