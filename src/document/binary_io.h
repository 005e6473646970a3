#pragma once
// Little-endian field readers and writers over bytes in memory, for the shape and component
// library files. The reader never reads past its end: a short read yields zeros and turns ok()
// false, so a parser checks once per record instead of after every field.
#include <cstdint>
#include <string>
#include <string_view>

namespace kq5 {

class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

    bool ok() const { return ok_; }
    std::size_t remaining() const { return bytes_.size() - pos_; }
    std::size_t position() const { return pos_; }

    std::uint16_t U16() { return static_cast<std::uint16_t>(Unsigned(2)); }
    std::int16_t I16() { return static_cast<std::int16_t>(Unsigned(2)); }
    std::uint32_t U32() { return static_cast<std::uint32_t>(Unsigned(4)); }
    std::int32_t I32() { return static_cast<std::int32_t>(Unsigned(4)); }
    // The next n bytes; empty (and not ok) when fewer remain.
    std::string_view Bytes(std::size_t n);

private:
    std::uint64_t Unsigned(int size);

    std::string_view bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

class ByteWriter {
public:
    void U16(std::uint16_t v) { Unsigned(v, 2); }
    void I16(std::int16_t v) { Unsigned(static_cast<std::uint16_t>(v), 2); }
    void U32(std::uint32_t v) { Unsigned(v, 4); }
    void I32(std::int32_t v) { Unsigned(static_cast<std::uint32_t>(v), 4); }
    void Bytes(std::string_view b) { out_.append(b); }
    const std::string& str() const { return out_; }
    std::string Take() { return std::move(out_); }

private:
    void Unsigned(std::uint64_t v, int size);
    std::string out_;
};

// Patches a 16-bit or 32-bit little-endian value at a position already written.
void PutU16At(std::string& bytes, std::size_t at, std::uint16_t v);
void PutU32At(std::string& bytes, std::size_t at, std::uint32_t v);
std::uint16_t GetU16At(std::string_view bytes, std::size_t at);
std::int32_t GetI32At(std::string_view bytes, std::size_t at);

// The library files are small; one larger than this is not one of them, and nothing that size
// is allocated for it.
constexpr std::size_t kLibraryFileMax = 64u << 20;

// The whole file: 0, 16000 plus errno when it cannot be opened or read, 15009 when it is larger
// than kLibraryFileMax.
int ReadWholeFile(const std::string& path, std::string& bytes);

}  // namespace kq5
