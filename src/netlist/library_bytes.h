#pragma once
// Little-endian fields of the library files (binary model libraries and library index files),
// put into and taken out of byte buffers one field at a time.
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>

namespace kq5 {

inline void AppendLe16(std::string& out, std::uint16_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

inline void AppendLe32(std::string& out, std::uint32_t value)
{
    AppendLe16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    AppendLe16(out, static_cast<std::uint16_t>(value >> 16));
}

inline void AppendFloat32(std::string& out, float value) { AppendLe32(out, std::bit_cast<std::uint32_t>(value)); }

// A text in a fixed field of `width` bytes: at most width - 1 characters, then zeros.
inline void AppendFixedText(std::string& out, std::string_view text, std::size_t width)
{
    const std::size_t kept = text.size() < width ? text.size() : width - 1;
    out.append(text.substr(0, kept));
    out.append(width - kept, '\0');
}

inline std::uint16_t GetLe16(std::string_view bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

inline std::uint32_t GetLe32(std::string_view bytes, std::size_t at)
{
    return GetLe16(bytes, at) | (static_cast<std::uint32_t>(GetLe16(bytes, at + 2)) << 16);
}

inline std::int16_t GetLeInt16(std::string_view bytes, std::size_t at)
{
    return static_cast<std::int16_t>(GetLe16(bytes, at));
}

inline float GetFloat32(std::string_view bytes, std::size_t at) { return std::bit_cast<float>(GetLe32(bytes, at)); }

}  // namespace kq5
