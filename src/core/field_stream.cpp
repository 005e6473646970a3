#include "core/field_stream.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <new>
#include <type_traits>

#include "core/file_units.h"
#include "core/key_file.h"
#include "core/text_edit.h"

namespace kq5 {

namespace {

constexpr int kMsgOutOfMemory = 15002;

enum class Stop { AtFieldEnd, AtLineEnd };

bool IsTransferred(int typeCode)
{
    int type = typeCode & 0x0F;
    return type != kFieldNone && type != kFieldSkip;
}

bool RunsToLineEnd(int typeCode)
{
    int type = typeCode & 0x0F;
    return type == kFieldText || type == kFieldString;
}

// Reads characters up to the stop; a line end is LF or CR LF and is consumed with the stop. The
// text keeps trailing blanks; 15007 only when the file ended before any character.
int ReadRawUntil(std::FILE* stream, std::string& out, Stop stop)
{
    out.clear();
    if (stream == nullptr) return kMsgEndOfFile;
    bool stored = false;
    for (;;) {
        int c = std::getc(stream);
        if (c == EOF) return stored ? 0 : kMsgEndOfFile;
        stored = true;
        if (c == '\n') return 0;
        if (c == '\r') {
            int next = std::getc(stream);
            if (next == '\n' || next == EOF) return 0;
            std::ungetc(next, stream);
        }
        if (c == ',' && stop == Stop::AtFieldEnd) return 0;
        out.push_back(static_cast<char>(c));
    }
}

// A stop character counts as read: an empty line is an empty field, not the end of the file.
int ReadTrimmed(int unit, std::string& out, Stop stop, bool honourLastError)
{
    FileUnit* slot = GetFileUnit(unit);
    out.clear();
    if (slot == nullptr) return kMsgEndOfFile;
    if (honourLastError && slot->lastError != 0) return slot->lastError;
    int status = ReadRawUntil(slot->stream.get(), out, stop);
    TrimRight(out);
    return status;
}

bool IsWriting(int unit)
{
    const FileUnit* slot = GetFileUnit(unit);
    return slot != nullptr && slot->mode == kUnitWriting;
}

int WriteSeparator(int unit, int typeCode)
{
    return UnitPrintf(unit, "%s", (typeCode & kFieldEndsLine) ? "\n" : ",");
}

void WriteValue(int unit, std::int32_t value) { UnitPrintf(unit, "%d", value); }
void WriteValue(int unit, double value) { UnitPrintf(unit, "%g", value); }
void WriteValue(int unit, const std::string& value) { WriteUnitText(unit, value); }

void ParseValue(const std::string& field, std::uint8_t& value) { value = static_cast<std::uint8_t>(TextToInt(field)); }
void ParseValue(const std::string& field, std::int16_t& value) { value = static_cast<std::int16_t>(TextToInt(field)); }
void ParseValue(const std::string& field, std::int32_t& value) { value = TextToInt(field); }
void ParseValue(const std::string& field, double& value) { value = std::strtod(field.c_str(), nullptr); }
void ParseValue(const std::string& field, std::string& value) { value = field; }

template <class T>
int TransferValue(int unit, T& value, int typeCode)
{
    if (IsWriting(unit)) {
        if (IsTransferred(typeCode)) {
            if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, double>)
                WriteValue(unit, value);
            else
                WriteValue(unit, static_cast<std::int32_t>(value));
        }
        return WriteSeparator(unit, typeCode);
    }
    std::string field;
    Stop stop = RunsToLineEnd(typeCode) ? Stop::AtLineEnd : Stop::AtFieldEnd;
    int status;
    try {
        status = ReadTrimmed(unit, field, stop, true);
    } catch (const std::bad_alloc&) {
        return kMsgOutOfMemory;
    }
    if (status != 0) return status;
    if (IsTransferred(typeCode)) ParseValue(field, value);
    return 0;
}

}  // namespace

int TransferField(int unit, std::uint8_t& value, int typeCode) { return TransferValue(unit, value, typeCode); }
int TransferField(int unit, std::int16_t& value, int typeCode) { return TransferValue(unit, value, typeCode); }
int TransferField(int unit, std::int32_t& value, int typeCode) { return TransferValue(unit, value, typeCode); }
int TransferField(int unit, double& value, int typeCode) { return TransferValue(unit, value, typeCode); }
int TransferField(int unit, std::string& value, int typeCode) { return TransferValue(unit, value, typeCode); }

int TransferField(int unit, std::nullptr_t, int typeCode)
{
    std::int32_t unused = 0;
    return TransferValue(unit, unused, typeCode & ~0x0F);
}

int TransferEmptyField(int unit) { return TransferField(unit, nullptr, kFieldNone | kFieldEndsLine); }

int TransferEmptyFields(int unit, int n)
{
    int status = 0;
    for (int i = 0; i < n && status == 0; ++i) status = TransferEmptyField(unit);
    return status;
}

int TransferIntLine(int unit, std::int32_t value, std::int32_t& target)
{
    if (IsWriting(unit)) target = value;
    return TransferField(unit, target, kFieldInt | kFieldEndsLine);
}

int TransferDoubleLine(int unit, double value, double& target)
{
    if (IsWriting(unit)) target = value;
    return TransferField(unit, target, kFieldDouble | kFieldEndsLine);
}

int TransferDummyIntLine(int unit)
{
    if (IsWriting(unit)) return UnitPrintf(unit, "0\n");
    std::string line;
    return ReadUnitLineText(unit, line);
}

int TransferLongPair(int unit, std::int32_t& first, std::int32_t& second, int flags)
{
    int status = TransferField(unit, first, kFieldLong);
    if (status != 0) return status;
    return TransferField(unit, second, kFieldLong | flags);
}

int TransferRect(int unit, win::RECT& rect)
{
    int status = TransferLongPair(unit, rect.left, rect.top, 0);
    if (status != 0) return status;
    return TransferLongPair(unit, rect.right, rect.bottom, kFieldEndsLine);
}

int TransferVersionLine(int unit, std::int32_t value, std::int32_t& target)
{
    if (IsWriting(unit)) {
        target = value;
        return UnitPrintf(unit, "%s\n", FormatVersionNumber(value).c_str());
    }
    std::string line;
    int status = ReadUnitLineText(unit, line);
    if (status == 0) target = ParseVersionNumber(line);
    return status;
}

int TransferMultilineText(int unit, std::string& text)
{
    try {
        if (IsWriting(unit)) {
            WriteUnitText(unit, PackLineBreaks(text));
            return UnitPrintf(unit, "\n");
        }
        text.clear();
        std::string line;
        int status = ReadTrimmed(unit, line, Stop::AtLineEnd, false);
        text = UnpackLineBreaks(line);
        return status;
    } catch (const std::bad_alloc&) {
        text.clear();
        return kMsgOutOfMemory;
    }
}

int ReadUnitField(int unit, std::string& field) { return ReadTrimmed(unit, field, Stop::AtFieldEnd, true); }
int ReadUnitLineText(int unit, std::string& line) { return ReadTrimmed(unit, line, Stop::AtLineEnd, true); }
int ReadUnitRawLine(int unit, std::string& line) { return ReadTrimmed(unit, line, Stop::AtLineEnd, false); }

std::int32_t TextToInt(std::string_view text)
{
    long value = std::strtol(std::string(text).c_str(), nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

std::string PackLineBreaks(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            out.push_back(kPackedLineBreak);
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            // A bare line feed is a line break too: dropping it would join the two lines.
            out.push_back(kPackedLineBreak);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string UnpackLineBreaks(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == kPackedLineBreak)
            out += "\r\n";
        else
            out.push_back(c);
    }
    return out;
}

std::uint16_t ReadWord16(std::FILE* stream)
{
    unsigned char bytes[2] = {};
    std::size_t got = std::fread(bytes, 1, sizeof bytes, stream);
    (void)got;  // a short read leaves zero bytes; the caller checks the stream
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::uint32_t ReadWord32(std::FILE* stream)
{
    std::uint32_t low = ReadWord16(stream);
    std::uint32_t high = ReadWord16(stream);
    return low | (high << 16);
}

int WriteWord16(std::FILE* stream, std::uint16_t value)
{
    const unsigned char bytes[2] = {static_cast<unsigned char>(value & 0xFF), static_cast<unsigned char>(value >> 8)};
    return std::fwrite(bytes, 1, sizeof bytes, stream) == sizeof bytes ? 0 : kMsgCloseFailed;
}

int WriteWord32(std::FILE* stream, std::uint32_t value)
{
    if (int status = WriteWord16(stream, static_cast<std::uint16_t>(value & 0xFFFF))) return status;
    return WriteWord16(stream, static_cast<std::uint16_t>(value >> 16));
}

int ReadBlock(std::span<char> block, std::FILE* stream)
{
    if (block.empty()) return 1;
    return static_cast<int>(std::fread(block.data(), block.size(), 1, stream));
}

int WriteBlock(std::span<const char> block, std::FILE* stream)
{
    if (block.empty()) return 1;
    return static_cast<int>(std::fwrite(block.data(), block.size(), 1, stream));
}

int WriteCountedString(std::string_view text, std::FILE* stream)
{
    std::string_view kept = text.substr(0, 0xFFFF);
    if (int status = WriteWord16(stream, static_cast<std::uint16_t>(kept.size()))) return status;
    return WriteBlock(kept, stream) == 1 ? 0 : kMsgCloseFailed;
}

}  // namespace kq5
