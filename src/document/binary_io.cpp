#include "document/binary_io.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/disk_file_names.h"

namespace kq5 {

std::uint64_t ByteReader::Unsigned(int size)
{
    if (!ok_ || remaining() < static_cast<std::size_t>(size)) {
        ok_ = false;
        pos_ = bytes_.size();
        return 0;
    }
    std::uint64_t v = 0;
    for (int i = 0; i < size; ++i) v |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes_[pos_ + i])) << (8 * i);
    pos_ += static_cast<std::size_t>(size);
    return v;
}

std::string_view ByteReader::Bytes(std::size_t n)
{
    if (!ok_ || remaining() < n) {
        ok_ = false;
        pos_ = bytes_.size();
        return {};
    }
    const std::string_view out = bytes_.substr(pos_, n);
    pos_ += n;
    return out;
}

void ByteWriter::Unsigned(std::uint64_t v, int size)
{
    for (int i = 0; i < size; ++i) out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PutU16At(std::string& bytes, std::size_t at, std::uint16_t v)
{
    bytes[at] = static_cast<char>(v & 0xFF);
    bytes[at + 1] = static_cast<char>(v >> 8);
}

void PutU32At(std::string& bytes, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint16_t GetU16At(std::string_view bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

std::int32_t GetI32At(std::string_view bytes, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)])) << (8 * i);
    return static_cast<std::int32_t>(v);
}

int ReadWholeFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(win::DiskFileName(path).c_str(), "rb"), &std::fclose);
    if (!file) return 16000 + (errno ? errno : ENOENT);
    char buffer[65536];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        if (got > 0) {
            if (bytes.size() + got > kLibraryFileMax) return 15009;
            bytes.append(buffer, got);
        }
        if (got < sizeof buffer) {
            if (std::ferror(file.get())) return 16000 + (errno ? errno : EIO);
            break;
        }
    }
    return 0;
}

}  // namespace kq5
