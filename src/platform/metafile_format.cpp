#include "platform/metafile_format.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "platform/bitmap.h"

namespace win::wmf {

namespace {

// Largest bitmap a record may carry (pixels); bigger ones are refused rather than allocated.
constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 26;

std::size_t RowBytes(int width, int bits) { return ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4; }

void PutInfoHeader(std::vector<BYTE>& out, int width, int height, int bits, DWORD colours) {
    PutDword(out, 40);
    PutDword(out, static_cast<DWORD>(width));
    PutDword(out, static_cast<DWORD>(height));
    PutWord(out, 1);
    PutWord(out, static_cast<WORD>(bits));
    PutDword(out, 0);  // BI_RGB
    PutDword(out, static_cast<DWORD>(RowBytes(width, bits) * height));
    PutDword(out, 3780);  // 96 dpi
    PutDword(out, 3780);
    PutDword(out, colours);
    PutDword(out, 0);
}

void PutRgbQuad(std::vector<BYTE>& out, COLORREF c) {
    out.push_back(GetBValue(c));
    out.push_back(GetGValue(c));
    out.push_back(GetRValue(c));
    out.push_back(0);
}

// One channel of a bit-field pixel scaled to 8 bits.
BYTE Channel(DWORD v, DWORD mask) {
    if (mask == 0) return 0;
    int shift = std::countr_zero(mask);
    DWORD m = mask >> shift;
    return static_cast<BYTE>(((v & mask) >> shift) * 255u / m);
}

}  // namespace

Params& Params::S(long v) {
    long clamped = std::clamp<long>(v, std::numeric_limits<SHORT>::min(), std::numeric_limits<SHORT>::max());
    words_.push_back(static_cast<WORD>(static_cast<SHORT>(clamped)));
    return *this;
}

Params& Params::W(WORD v) {
    words_.push_back(v);
    return *this;
}

Params& Params::D(DWORD v) {
    words_.push_back(static_cast<WORD>(v & 0xFFFF));
    words_.push_back(static_cast<WORD>(v >> 16));
    return *this;
}

Params& Params::Bytes(std::span<const BYTE> b) {
    for (std::size_t i = 0; i < b.size(); i += 2) {
        WORD lo = b[i];
        WORD hi = i + 1 < b.size() ? b[i + 1] : 0;
        words_.push_back(static_cast<WORD>(lo | (hi << 8)));
    }
    return *this;
}

void AppendRecord(std::vector<WORD>& out, WORD function, const Params& params) {
    const std::vector<WORD>& w = params.Words();
    DWORD size = static_cast<DWORD>(3 + w.size());
    out.push_back(static_cast<WORD>(size & 0xFFFF));
    out.push_back(static_cast<WORD>(size >> 16));
    out.push_back(function);
    out.insert(out.end(), w.begin(), w.end());
}

std::span<const BYTE> Reader::Bytes(std::size_t n) {
    if (!ok_ || n > Remaining()) {
        ok_ = false;
        pos_ = data_.size();
        return {};
    }
    auto out = data_.subspan(pos_, n);
    pos_ += n;
    return out;
}

BYTE Reader::B() {
    auto b = Bytes(1);
    return b.empty() ? 0 : b[0];
}

WORD Reader::W() {
    auto b = Bytes(2);
    return b.empty() ? 0 : static_cast<WORD>(b[0] | (b[1] << 8));
}

SHORT Reader::S() { return static_cast<SHORT>(W()); }

DWORD Reader::D() {
    DWORD lo = W();
    DWORD hi = W();
    return lo | (hi << 16);
}

WORD ReadWord(std::span<const BYTE> b, std::size_t at) {
    return at + 2 <= b.size() ? static_cast<WORD>(b[at] | (b[at + 1] << 8)) : 0;
}

DWORD ReadDword(std::span<const BYTE> b, std::size_t at) {
    return static_cast<DWORD>(ReadWord(b, at)) | (static_cast<DWORD>(ReadWord(b, at + 2)) << 16);
}

void PutWord(std::vector<BYTE>& out, WORD v) {
    out.push_back(static_cast<BYTE>(v & 0xFF));
    out.push_back(static_cast<BYTE>(v >> 8));
}

void PutDword(std::vector<BYTE>& out, DWORD v) {
    PutWord(out, static_cast<WORD>(v & 0xFFFF));
    PutWord(out, static_cast<WORD>(v >> 16));
}

std::vector<BYTE> EncodeDib(const Image& image) {
    std::vector<BYTE> out;
    const std::size_t stride = RowBytes(image.width, 24);
    out.reserve(40 + stride * image.height);
    PutInfoHeader(out, image.width, image.height, 24, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        std::size_t start = out.size();
        for (int x = 0; x < image.width; ++x) {
            Pixel p = image.pixels[static_cast<std::size_t>(y) * image.width + x];
            out.push_back(static_cast<BYTE>(p & 0xFF));
            out.push_back(static_cast<BYTE>((p >> 8) & 0xFF));
            out.push_back(static_cast<BYTE>((p >> 16) & 0xFF));
        }
        out.resize(start + stride, 0);
    }
    return out;
}

std::vector<BYTE> EncodeMonoDib(const Image& image, COLORREF colour0, COLORREF colour1) {
    std::vector<BYTE> out;
    const std::size_t stride = RowBytes(image.width, 1);
    PutInfoHeader(out, image.width, image.height, 1, 2);
    PutRgbQuad(out, colour0);
    PutRgbQuad(out, colour1);
    for (int y = image.height - 1; y >= 0; --y) {
        std::vector<BYTE> row(stride, 0);
        for (int x = 0; x < image.width; ++x) {
            if ((image.pixels[static_cast<std::size_t>(y) * image.width + x] & 0xFFFFFF) != 0) {
                row[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

std::optional<Image> DecodeDib(std::span<const BYTE> dib) {
    const DWORD headerSize = ReadDword(dib, 0);
    std::int64_t width = 0, height = 0;
    int bits = 0;
    DWORD compression = 0, clrUsed = 0;
    bool core = headerSize == 12;
    if (core) {
        width = ReadWord(dib, 4);
        height = static_cast<SHORT>(ReadWord(dib, 6));
        bits = ReadWord(dib, 10);
    } else if (headerSize >= 40 && headerSize <= dib.size()) {
        width = static_cast<LONG>(ReadDword(dib, 4));
        height = static_cast<LONG>(ReadDword(dib, 8));
        bits = ReadWord(dib, 14);
        compression = ReadDword(dib, 16);
        clrUsed = ReadDword(dib, 32);
    } else {
        return std::nullopt;
    }
    const bool topDown = height < 0;
    height = height < 0 ? -height : height;
    if (width <= 0 || height <= 0 || width * height > kMaxImagePixels || dib.size() < headerSize) return std::nullopt;
    if (compression != 0 && !(compression == 3 && (bits == 16 || bits == 32))) return std::nullopt;

    std::size_t pos = headerSize;
    DWORD masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (bits == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0x00FF00;
        masks[2] = 0x0000FF;
    }
    if (compression == 3) {
        std::size_t at = headerSize >= 52 ? 40 : pos;
        for (int i = 0; i < 3; ++i) masks[i] = ReadDword(dib, at + 4 * i);
        if (headerSize < 52) pos += 12;
    }
    std::vector<COLORREF> table;
    if (bits == 1 || bits == 4 || bits == 8) {
        std::size_t n = clrUsed != 0 ? std::min<std::size_t>(clrUsed, 256) : (std::size_t{1} << bits);
        const std::size_t entry = core ? 3 : 4;
        if (pos + n * entry > dib.size()) return std::nullopt;
        for (std::size_t i = 0; i < n; ++i) table.push_back(RGB(dib[pos + i * entry + 2], dib[pos + i * entry + 1], dib[pos + i * entry]));
        pos += n * entry;
    } else if (bits != 16 && bits != 24 && bits != 32) {
        return std::nullopt;
    }
    const std::size_t stride = RowBytes(static_cast<int>(width), bits);
    if (pos + stride * static_cast<std::size_t>(height) > dib.size()) return std::nullopt;

    Image img;
    img.width = static_cast<int>(width);
    img.height = static_cast<int>(height);
    img.topDown = topDown;
    img.pixels.resize(static_cast<std::size_t>(width * height));
    for (std::int64_t row = 0; row < height; ++row) {
        const BYTE* src = dib.data() + pos + stride * row;
        std::int64_t y = topDown ? row : height - 1 - row;
        Pixel* dst = &img.pixels[static_cast<std::size_t>(y * width)];
        for (std::int64_t x = 0; x < width; ++x) {
            COLORREF c = 0;
            switch (bits) {
                case 1:
                case 4:
                case 8: {
                    std::size_t bit = static_cast<std::size_t>(x) * bits;
                    unsigned index = (src[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                    c = index < table.size() ? table[index] : 0;
                    break;
                }
                case 16: {
                    DWORD v = src[x * 2] | (src[x * 2 + 1] << 8);
                    c = RGB(Channel(v, masks[0]), Channel(v, masks[1]), Channel(v, masks[2]));
                    break;
                }
                case 24: c = RGB(src[x * 3 + 2], src[x * 3 + 1], src[x * 3]); break;
                case 32: {
                    DWORD v = src[x * 4] | (src[x * 4 + 1] << 8) | (src[x * 4 + 2] << 16) | (DWORD{src[x * 4 + 3]} << 24);
                    c = RGB(Channel(v, masks[0]), Channel(v, masks[1]), Channel(v, masks[2]));
                    break;
                }
            }
            dst[x] = ColorToPixel(c);
        }
    }
    return img;
}

HBITMAP BitmapFromImage(const Image& image) {
    if (image.width <= 0 || image.height <= 0) return nullptr;
    return CreateBitmap(image.width, image.height, 1, 32, image.pixels.data());
}

}  // namespace win::wmf
