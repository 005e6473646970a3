#pragma once
// Field streams: text files written as comma-separated fields, records ended by line ends. One
// transfer routine per value both writes and reads, chosen by the unit's mode, so a format is
// written once as a sequence of transfer calls and the same sequence reads it back. Beside them,
// the little-endian word, block and counted-string helpers of the binary files.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace kq5 {

// Field type codes: the low four bits give the value type; kFieldEndsLine ends the record.
constexpr int kFieldNone = 0;    // nothing written; one field read and dropped
constexpr int kFieldByte = 1;    // unsigned 8-bit, decimal
constexpr int kFieldShort = 2;   // signed 16-bit, decimal
constexpr int kFieldInt = 3;     // signed 32-bit, decimal
constexpr int kFieldLong = 4;    // signed 32-bit, decimal
constexpr int kFieldSkip = 5;    // as kFieldNone
constexpr int kFieldDouble = 6;  // "%g"
constexpr int kFieldText = 7;    // text to the end of the line (may hold commas)
constexpr int kFieldString = 9;  // owned text to the end of the line
constexpr int kFieldEndsLine = 0x80;

// Byte that stands for a line break inside a text kept on one line.
constexpr char kPackedLineBreak = static_cast<char>(0xFE);

// Writes (unit mode 1) or reads (otherwise) one field. The storage type says what the value is;
// the type code's low bits say whether it is transferred at all (0 and 5 are not) and, for texts,
// whether the field runs to the line end. Returns the first failure: a write error of the unit, or
// 15007 when a read finds the end of the file before any character; 0 otherwise. A read on a unit
// whose last error is set returns that error without reading. Fields are read whole, however long.
int TransferField(int unit, std::uint8_t& value, int typeCode);
int TransferField(int unit, std::int16_t& value, int typeCode);
int TransferField(int unit, std::int32_t& value, int typeCode);
int TransferField(int unit, double& value, int typeCode);
int TransferField(int unit, std::string& value, int typeCode);
// A field without a value (type 0 or 5): writes only the separator, or reads one field and drops it.
int TransferField(int unit, std::nullptr_t, int typeCode);

// A bare line end written, or one field read and dropped; n of them.
int TransferEmptyField(int unit);
int TransferEmptyFields(int unit, int n);
// Writing stores the value in the target and writes it as a line; reading reads a line into it.
int TransferIntLine(int unit, std::int32_t value, std::int32_t& target);
int TransferDoubleLine(int unit, double value, double& target);
// Writes the line "0", or reads one line and drops it.
int TransferDummyIntLine(int unit);
// Two 32-bit fields; the second carries the caller's flags (kFieldEndsLine for a line end).
int TransferLongPair(int unit, std::int32_t& first, std::int32_t& second, int flags);
// Left, top, right, bottom; the last ends the line.
int TransferRect(int unit, win::RECT& rect);
// A packed version (major << 16 | minor) as a "%d.%02d" line.
int TransferVersionLine(int unit, std::int32_t value, std::int32_t& target);
// A text with line breaks kept on one line (each break stored as 0xFE). Reading replaces the text
// by the next line with each 0xFE turned back into CR LF and trailing blanks dropped; 15007 when the
// file ends before any character, 15002 when memory runs out (the text is then left empty).
int TransferMultilineText(int unit, std::string& text);

// One field: up to a comma, a line end or the end of the file; the stop character is consumed and
// trailing blanks dropped. The unit's last error if set; 15007 at the end of the file with nothing
// read; else 0.
int ReadUnitField(int unit, std::string& field);
// The same up to the line end only: commas belong to the text.
int ReadUnitLineText(int unit, std::string& line);
// One line without its line end and trailing blanks; 15007 at the end of the file, else 0.
int ReadUnitRawLine(int unit, std::string& line);

// The integer value of a text by the C conversion rules (leading blanks, sign, digits; malformed
// reads as 0), kept to 32 bits.
std::int32_t TextToInt(std::string_view text);

// The text kept on one line: every line break (CR LF, CR or LF) becomes 0xFE.
std::string PackLineBreaks(std::string_view text);
// Each 0xFE back to CR LF.
std::string UnpackLineBreaks(std::string_view text);

// Binary helpers on raw streams; words are little-endian. A read past the end gives zero bytes.
std::uint16_t ReadWord16(std::FILE* stream);
std::uint32_t ReadWord32(std::FILE* stream);
// 0, or 16012 when the write falls short.
int WriteWord16(std::FILE* stream, std::uint16_t value);
int WriteWord32(std::FILE* stream, std::uint32_t value);
// The number of whole blocks moved: 1, or 0 when the stream fell short. An empty block counts as
// moved.
int ReadBlock(std::span<char> block, std::FILE* stream);
int WriteBlock(std::span<const char> block, std::FILE* stream);
// A 16-bit length followed by the text's bytes without terminator; an empty text writes the length
// 0 alone. A text longer than a length can say is written up to 65535 bytes, so the file stays
// readable. 0, or 16012 when the write falls short.
int WriteCountedString(std::string_view text, std::FILE* stream);

}  // namespace kq5
