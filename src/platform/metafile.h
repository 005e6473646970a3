#pragma once
// Windows metafiles (the 16-bit WMF format): a recording DC that turns the program's drawing
// calls into metafile records, the metafile bits in and out, playback into any DC (our own
// metafiles and other programs' ones; records we do not know are skipped), and placeable files
// (the 22-byte header with bounding box, units per inch and checksum in front of the bits).
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/win_types.h"

namespace win {

struct MetaFileObject {
    std::vector<BYTE> bits;  // 18-byte header, then the records
};

// The clipboard's CF_METAFILEPICT block.
struct METAFILEPICT {
    LONG mm = 0;    // mapping mode (MM_ANISOTROPIC for the program's pictures)
    LONG xExt = 0;  // size in 0.01 mm
    LONG yExt = 0;
    HMETAFILE hMF = nullptr;
};

// A null file name records into memory; a name makes a disk metafile, written when it is
// closed. The DC answers GetDeviceCaps(TECHNOLOGY) with DT_METAFILE.
HDC CreateMetaFile(const char* fileName);
// Records every logical coordinate and size drawn from now on divided by `divisor` (at least 1),
// so that a drawing larger than the records' 16-bit coordinates hold is kept whole at a smaller
// scale. False when the DC is not a metafile DC.
BOOL SetMetaFileCoordinateDivisor(HDC dc, int divisor);
// A logical coordinate as recorded under a divisor: rounded to the nearest unit.
inline long DivideCoordinate(long v, int divisor)
{
    if (divisor <= 1) return v;
    const long half = divisor / 2;
    return v >= 0 ? (v + half) / divisor : -((-v + half) / divisor);
}
// Ends the recording, deletes the DC and returns the metafile (null when the DC is not a
// metafile DC or a disk metafile could not be written).
HMETAFILE CloseMetaFile(HDC dc);
BOOL DeleteMetaFile(HMETAFILE mf);
bool IsValidMetaFile(HMETAFILE mf);

// With a null buffer: the size of the bits. Otherwise copies them when size is enough and
// returns their size, else 0.
UINT GetMetaFileBitsEx(HMETAFILE mf, UINT size, void* buffer);
std::vector<BYTE> GetMetaFileBits(HMETAFILE mf);
// A metafile made from bits that begin with a metafile header; null when the header is not one.
HMETAFILE SetMetaFileBitsEx(UINT size, const BYTE* data);

// Plays the records into the DC. The DC's state (objects, colours, mapping, clip) is restored
// afterwards and every object the metafile made is deleted. A clip region recorded in the
// metafile narrows the DC's clip, never widens it.
BOOL PlayMetaFile(HDC dc, HMETAFILE mf);

// Placeable files.
constexpr DWORD kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableHeaderSize = 22;

struct PlaceableInfo {
    bool placeable = false;  // the bytes began with a placeable header
    RECT bounds{};           // its bounding box (logical units, read as unsigned 16-bit values)
    WORD unitsPerInch = 0;
};

// The header (checksum: XOR of its first ten 16-bit words) followed by the metafile bits.
std::vector<BYTE> PlaceableMetaFileBytes(HMETAFILE mf, const RECT& bounds, WORD unitsPerInch);
// Bytes of a placeable or plain metafile; null when they hold neither. The checksum is not
// checked (several writers get it wrong).
HMETAFILE MetaFileFromBytes(std::span<const BYTE> bytes, PlaceableInfo* info);
// Writes a plain metafile, or a placeable one when bounds is given. False when writing fails
// (an existing file is then left as it was).
bool WriteMetaFileFile(const std::string& path, HMETAFILE mf, const RECT* bounds, WORD unitsPerInch);
HMETAFILE ReadMetaFileFile(const std::string& path, PlaceableInfo* info);

struct MetafileState {
    std::unordered_map<MetaFileObject*, std::unique_ptr<MetaFileObject>> metafiles;
};
MetafileState& Metafiles();
void ResetMetafileStateForTests();

}  // namespace win
