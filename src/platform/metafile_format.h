#pragma once
// The WMF record layout shared by the recorder and the player: record function numbers, a
// parameter builder, a bounds-checked parameter reader, and device-independent bitmaps.
// Everything is little-endian; records are counted in 16-bit words.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/gdi_raster.h"
#include "platform/win_types.h"

namespace win::wmf {

constexpr std::size_t kHeaderBytes = 18;
constexpr WORD kHeaderWords = 9;
constexpr WORD kVersion = 0x0300;
constexpr WORD kMemoryMetafile = 1;
constexpr WORD kDiskMetafile = 2;

enum Function : WORD {
    kEof = 0x0000,
    kRealizePalette = 0x0035,
    kSetBkMode = 0x0102,
    kSetMapMode = 0x0103,
    kSetRop2 = 0x0104,
    kSetPolyFillMode = 0x0106,
    kSetStretchBltMode = 0x0107,
    kRestoreDc = 0x0127,
    kInvertRegion = 0x012A,
    kPaintRegion = 0x012B,
    kSelectClipRegion = 0x012C,
    kSelectObject = 0x012D,
    kSetTextAlign = 0x012E,
    kDibCreatePatternBrush = 0x0142,
    kDeleteObject = 0x01F0,
    kCreatePalette = 0x00F7,
    kSaveDc = 0x001E,
    kSetBkColor = 0x0201,
    kSetTextColor = 0x0209,
    kSetWindowOrg = 0x020B,
    kSetWindowExt = 0x020C,
    kSetViewportOrg = 0x020D,
    kSetViewportExt = 0x020E,
    kOffsetWindowOrg = 0x020F,
    kOffsetViewportOrg = 0x0211,
    kLineTo = 0x0213,
    kMoveTo = 0x0214,
    kOffsetClipRgn = 0x0220,
    kFillRegion = 0x0228,
    kSelectPalette = 0x0234,
    kCreatePenIndirect = 0x02FA,
    kCreateFontIndirect = 0x02FB,
    kCreateBrushIndirect = 0x02FC,
    kPolygon = 0x0324,
    kPolyline = 0x0325,
    kScaleWindowExt = 0x0410,
    kScaleViewportExt = 0x0412,
    kExcludeClipRect = 0x0415,
    kIntersectClipRect = 0x0416,
    kEllipse = 0x0418,
    kRectangle = 0x041B,
    kSetPixel = 0x041F,
    kFrameRegion = 0x0429,
    kTextOut = 0x0521,
    kPolyPolygon = 0x0538,
    kRoundRect = 0x061C,
    kPatBlt = 0x061D,
    kCreateRegion = 0x06FF,
    kArc = 0x0817,
    kPie = 0x081A,
    kChord = 0x0830,
    kDibBitBlt = 0x0940,
    kExtTextOut = 0x0A32,
    kDibStretchBlt = 0x0B41,
    kSetDibToDev = 0x0D33,
    kStretchDib = 0x0F43,
};

// Brush styles of the records beyond the layer's own.
constexpr WORD kBrushDibPatternPt = 6;
constexpr WORD kDibRgbColors = 0;

// Parameters of one record, in the order they are stored.
class Params {
public:
    // A coordinate or other signed value, saturated to 16 bits.
    Params& S(long v);
    Params& W(WORD v);
    Params& D(DWORD v);
    // Bytes padded with a zero to a whole number of words.
    Params& Bytes(std::span<const BYTE> b);
    Params& Text(std::string_view s) { return Bytes({reinterpret_cast<const BYTE*>(s.data()), s.size()}); }
    const std::vector<WORD>& Words() const { return words_; }

private:
    std::vector<WORD> words_;
};

// Appends a record (size, function, parameters) to a record stream.
void AppendRecord(std::vector<WORD>& out, WORD function, const Params& params);

// Reads the parameters of one record; any read past the end sets the failure flag and gives 0.
class Reader {
public:
    explicit Reader(std::span<const BYTE> params) : data_(params) {}
    SHORT S();
    WORD W();
    DWORD D();
    BYTE B();
    std::span<const BYTE> Bytes(std::size_t n);
    std::span<const BYTE> Rest() const { return data_.subspan(std::min(pos_, data_.size())); }
    std::size_t Remaining() const { return pos_ < data_.size() ? data_.size() - pos_ : 0; }
    void Skip(std::size_t n) { Bytes(n); }
    bool Ok() const { return ok_; }

private:
    std::span<const BYTE> data_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

WORD ReadWord(std::span<const BYTE> b, std::size_t at);
DWORD ReadDword(std::span<const BYTE> b, std::size_t at);
void PutWord(std::vector<BYTE>& out, WORD v);
void PutDword(std::vector<BYTE>& out, DWORD v);

// Device-independent bitmaps (BITMAPINFOHEADER, colour table, bottom-up rows).
struct Image {
    int width = 0;
    int height = 0;
    std::vector<Pixel> pixels;  // top row first, 0x00RRGGBB
    bool topDown = false;       // the DIB stored its rows top first
};
// 24 bits per pixel.
std::vector<BYTE> EncodeDib(const Image& image);
// 1 bit per pixel: pixels equal to 0 take colour0, the others colour1.
std::vector<BYTE> EncodeMonoDib(const Image& image, COLORREF colour0, COLORREF colour1);
// BITMAPINFOHEADER or BITMAPCOREHEADER, 1/4/8/16/24/32 bits, uncompressed or bit fields, with
// RGB colour tables. Null for anything else or when the bits are short.
std::optional<Image> DecodeDib(std::span<const BYTE> dib);
// A 32-bit bitmap of the image (null when the image is empty).
HBITMAP BitmapFromImage(const Image& image);

}  // namespace win::wmf
