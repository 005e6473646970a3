#pragma once
// Window pictures: a whole schematic page, plot, histogram or 3-D window recorded as a metafile
// and put on the clipboard or written as a placeable ".WMF" file, and the Picture dialog of a
// picture object.
#include <string>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;
struct SchematicItem;

constexpr int kCommandPictureToClipboard = 17221;
constexpr int kCommandPictureToFile = 17222;
constexpr int kPictureDialogTemplate = 17394;
constexpr int kPictureFileField = 10;
constexpr int kPictureBrowse = 100;
constexpr int kPictureFillNone = 101;
constexpr int kPictureBorderNone = 102;
constexpr int kPictureWeight = 103;
constexpr int kFirstBorderColorButton = 19800;
constexpr int kFirstFillColorButton = 19864;
constexpr std::uint16_t kPictureBorder = 0x0080;
constexpr std::uint16_t kPictureWeightMask = 0x000C;

// Commands 17221 (clipboard) and 17222 (file) for schematic, analysis, Monte Carlo, 3-D and
// performance windows; other kinds do nothing.
void CopyWindowPicture(WindowRecord* record, int command);
// The placeable file: its 22-byte header, then the metafile's bits. 1 written; 0 when it could
// not be (reported as 16000 + the system's error number; an existing file is left as it was).
int WritePlaceableMetafile(win::HMETAFILE metafile, const std::string& fileName, const win::RECT& bounds,
                           int unitsPerInch);
// The Picture dialog on a picture object: 1 on OK (the window repainted, the document marked
// changed), else 0.
int RunPictureDialog(WindowRecord* record, SchematicItem* item);
// Sizes in 0.01 mm of a size in display pixels, as the clipboard's picture block wants them.
long PixelsToHimetricX(long pixels);
long PixelsToHimetricY(long pixels);

}  // namespace kq5
