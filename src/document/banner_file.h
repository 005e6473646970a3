#pragma once
// The banner circuit file: the first of the two circuit file formats. A text file of
// comma-separated fields (one transfer routine per block both writes and reads), with blocks
// opened by marker lines ":**** name ****". Read in versions 5.00 to 5.03 and, converting as it
// reads, 4.00 of the previous generation; written only as 5.03.
//
// Layout: the version line, the product line, the maker line and an empty line; the fonts block
// (face names that every font of the file points into); the components block (item count, one
// item record per item, "0"); then the body blocks from "grid text" to "text page".
//
// Everything read is checked before it is used: coordinates, orientations, pages, counts and
// indexes out of range fail the load with 15009 instead of reaching the document.
#include <cstdint>

#include "core/font_description.h"
#include "platform/window.h"

namespace kq5 {

struct WindowRecord;

// Option word of the load (the load driver's LoadOptions).
using BannerLoadOptions = std::uint32_t;

// Reads what follows the header lines that CheckCircuitFileHeader has checked: the empty fourth
// line and, for 5.0x files, the fonts block, whose names are kept until FreeBannerFontNames. 0 or
// a message id (15002 when the name list cannot be kept).
int ReadBannerHeader(int unit, std::int32_t version);
void FreeBannerFontNames();

// Writes the whole file, version 5.03, on a unit open for writing: header, fonts block,
// components block and body. Returns the first write error (the unit's close reports the rest).
int WriteBannerFile(WindowRecord* record, int unit);

// Reads the components block after the header: its marker (not in 4.00 files), the item count,
// the items (stopping at the first error), MarkModified for any version other than 5.03, and the
// closing count line. 0 or the first error.
int ReadBannerComponentsBlock(WindowRecord* record, int unit, BannerLoadOptions options, std::int32_t version);

// Reads one item record into the document: a component whose definition is missing is read and
// dropped (collected by the load driver), a 4.00 component is converted. 0 or a message id.
int TransferBannerItem(WindowRecord* record, int unit, BannerLoadOptions options, std::int32_t version);

// Writes or reads the blocks after the components block, by the unit's mode. A 4.00 file is read
// without markers and converted as a whole at the end. 0 or the first error.
int TransferBannerBody(WindowRecord* record, int unit, BannerLoadOptions options, std::int32_t version);

// One font field group: height; when not 0 the style, the face (an index into the fonts block)
// and a reserved byte; the colour when the height is not 0 or the file is 5.01 or later. With
// endsLine the group ends its line.
int TransferBannerFont(int unit, FontSpec& font, std::int32_t version, bool endsLine);

// Flags, show command, minimised point, maximised point, normal rectangle (the last ends the
// line). Reading marks the placement valid when its rectangle has a width.
int TransferWindowPlacement(int unit, win::WINDOWPLACEMENT& placement);

}  // namespace kq5
