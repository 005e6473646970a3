#pragma once
// Item sections of the sectioned circuit file: [Comp] with its [Attr] sections, [Wire], [Object]
// with its [Attr] sections, and [Flag] / [Grid Text]. Items are written in item-list order and
// grid texts in grid-text-list order, so reading rebuilds both lists in the same order. Also the
// names of the style-word bits shared with plot objects.
#include <cstdint>
#include <string_view>

#include "document/section_stream.h"

namespace kq5 {

struct SchematicItem;
struct WindowRecord;

// Writing: the section of the stream's current item (and a component's or object's [Attr]
// sections). Reading: a new item appended to the document and filled from the section.
int TransferCompSection(SectionStream& stream);
int TransferWireSection(SectionStream& stream);
int TransferObjectSection(SectionStream& stream);
// Writing: one [Attr] per attribute of the current item. Reading: one attribute into it.
int TransferAttrSections(SectionStream& stream);
// Writing: one [Flag] or [Grid Text] per grid text. Reading: one grid text.
int TransferGridTextSections(SectionStream& stream);

// Writes the Object key (when withKind is set and the kind has a name; fillable tells whether the
// kind is closed) and the Style key (only when a flag has a name to write).
int WriteStyleKeys(int unit, std::uint16_t style, bool withKind, bool* fillable);
// The kind code of a graphic object kind name (case-blind), 0 when none.
std::uint16_t ObjectKindFromName(std::string_view name);
// The name of a kind code; empty for codes without one.
std::string_view ObjectKindName(std::uint16_t kind);
// The OR of the style flags named in a comma list (case-blind); unknown names add nothing.
std::uint16_t ParseStyleFlags(std::string_view text);
// 1 for Ellipse, Rectangle, Diamond, Pie and Picture.
int IsFillableObjectKind(std::uint16_t style);

// Places a component of the chosen definition at grid point (x, y): the new item, selected and
// marked new, or null (nothing chosen, no shape, a point off the sheet, or no memory).
SchematicItem* AddComponentAtPoint(WindowRecord* record, int x, int y);

}  // namespace kq5
