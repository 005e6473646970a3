#pragma once
// View sections of the sectioned circuit file: how a circuit looks and where its windows stand.
// [FontAndColor] (the document's fonts and colours and those of its analysis plot), [Window
// Placement] (five placements), [Schematic] (panes, splitter, zoom, view options), one [Page] per
// page, [Text Area] (the text area's text, kept byte for byte) and [Printer].
#include "document/section_stream.h"

namespace kq5 {

int TransferFontAndColorSection(SectionStream& stream);
int TransferWindowPlacementSection(SectionStream& stream);
int TransferSchematicSection(SectionStream& stream);
// Writing: one [Page] per page. Reading: one page.
int TransferPageSections(SectionStream& stream);
int TransferTextAreaSection(SectionStream& stream);
int TransferPrinterSection(SectionStream& stream);

// Zoom scales of older files: 2.66 becomes 2.0, 1.33 becomes 1.0 and 0.66 becomes 0.5; others
// stay.
double NormalizeZoomScale(double scale);

}  // namespace kq5
