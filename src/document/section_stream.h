#pragma once
// The sectioned circuit file: a text file of "[name]" sections holding "key=value" lines, written
// and read by one routine per section. Every routine takes the SectionStream of the load or save
// in progress, looks at the unit's mode (writing or reading) and either writes its section(s) or
// reads the key lines that follow the header it was entered with, leaving the line that ended the
// section (the next header, or an empty text at the end of the file) in pendingLine.
//
// This header also holds the value helpers that several section groups share.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/file_units.h"
#include "platform/window.h"

namespace kq5 {

struct CircuitDocument;
struct FontSpec;
struct PerformanceWindowRecord;
struct PlotRecord;
struct PrintPreview;
struct SchematicItem;
struct WindowRecord;

// Packed file versions.
constexpr std::int32_t kSectionedFileVersion = (5 << 16) | 20;  // 5.20

// Owner window kinds of a plot whose objects are written.
constexpr int kPlotOwnerAnalysis = 5;
constexpr int kPlotOwnerMonteCarlo = 6;
constexpr int kPlotOwner3D = 8;
constexpr int kPlotOwnerPerformance = 19;

struct SectionStream {
    int unit = -1;
    std::int32_t version = 0;  // 5.20 when writing; the Version key when reading
    std::string pendingLine;   // the header of the section about to be dispatched
    PerformanceWindowRecord* performanceWindow = nullptr;  // for [Performance WaveForm]
    SchematicItem* currentItem = nullptr;                  // for [Attr]
    WindowRecord* record = nullptr;                        // the circuit's window
    std::uint32_t loadOptions = 0;
    PlotRecord* plot = nullptr;  // for [AObject]
    int analysisKind = 0;
    int plotOwnerKind = 0;       // window kind that owns the current plot

    bool IsWriting() const
    {
        const FileUnit* slot = GetFileUnit(unit);
        return slot != nullptr && slot->mode == kUnitWriting;
    }
    CircuitDocument& Document() const;
};

// Writes key lines on a unit and keeps the first failure; once a write has failed the later ones
// are skipped, so a writer checks its result once at the end.
struct SectionWriter {
    explicit SectionWriter(int writeUnit) : unit(writeUnit) {}
    int unit;
    int status = 0;

    void Section(std::string_view name);
    void String(std::string_view key, std::string_view value);
    void Int(std::string_view key, int value);
    void Double(std::string_view key, double value);
    void YesNo(std::string_view key, bool flag);
    void OnOff(std::string_view key, bool flag);
    void Placement(std::string_view key, const win::WINDOWPLACEMENT& placement);
    void Font(std::string_view key, const FontSpec& font);
    void FontChanges(const FontSpec& font, const FontSpec& defaultFont);
    void Preview(std::string_view key, const PrintPreview& preview);
    // Raw bytes, outside the key syntax.
    void Bytes(std::string_view bytes);
};

// Section routines return 0 or a message id.
using SectionRoutine = int (*)(SectionStream& stream);

// Reading a key line. The short form serves the sections whose lines are plain settings; the
// owned form serves the sections holding texts, whose 0xFE bytes become line breaks again. Both
// skip empty lines and comments, drop trailing blanks, and give an empty line at the end of the
// file. A line beginning with '[' ends the section: it is left in pendingLine and true returned
// with status 0; otherwise key and value are split (the key upper-cased, both trimmed).
struct KeyLine {
    std::string key;
    std::string value;
};
// Reads the next line into the stream; false when the section ended (pendingLine holds the next
// header or is empty) or on an error (status set).
bool NextSettingLine(SectionStream& stream, KeyLine& line, int& status);
bool NextTextLine(SectionStream& stream, KeyLine& line, int& status);
// Reads and drops lines until the next header (left in pendingLine) or the end of the file.
int SkipSection(SectionStream& stream);

// Analysis names: "Transient", "AC", "DC" for kinds 0 to 2.
std::string_view AnalysisName(int kind);
// "TRANSIENT", "AC" and "DC" in any case give 0, 1 and 2; anything else -1.
int ParseAnalysisName(std::string_view name);
// 'T', 'A', 'D' give 0, 1, 2 (either case); any other letter -1.
int AnalysisKindFromLetter(char letter);
constexpr char kAnalysisLetters[] = "TAD";

// "On"/"Off" and four doubles; written only when on or when a double is not 0. The key is the
// one given ("PrintPreview" or "T.PrintPreview").
int WritePrintPreview(int unit, std::string_view key, const PrintPreview& preview);
void ReadPrintPreview(std::string_view value, PrintPreview& preview);

// A key whose first letter is T, A or D followed by the suffix (compared case-blind): the
// analysis kind, else -1.
int AnalysisKeyKind(std::string_view key, std::string_view suffix);

// A name of a table of bits, and the OR of the bits that a comma list names (names compared
// case-blind, blanks around them ignored, unknown names adding nothing).
struct NamedBits {
    std::string_view name;
    std::uint32_t bits;
};
std::uint32_t ParseNamedBits(std::string_view list, std::span<const NamedBits> table);

// A value cut to the width of the inline text that keeps it.
std::string FitText(std::string_view value, std::size_t width);

// Grid coordinates and orientations met in a file. With the checking load option a point outside
// 1..32000 becomes (1, 1) and the illegal-coordinates flag is set. Without it, coordinates a
// schematic cannot hold (outside the 16-bit range) fail with 15009; others stay as read.
int ValidateItemPoint(std::uint32_t loadOptions, std::int32_t& x, std::int32_t& y);
// A page number a document can hold: 0 or 15009.
int ValidatePage(std::int32_t page);

}  // namespace kq5
