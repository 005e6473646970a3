#pragma once
// Analysis-settings sections of the sectioned circuit file: [Analysis] (animation and per-analysis
// save, reduce and print options, followed by the objects of the circuit's analysis plot),
// [Limits] with its [WaveForm] rows, [Monte Carlo Options], [Stepping] and [DSP].
//
// A section that names its analysis kind with an Analysis key is read only once that key names a
// kind the program knows; a section naming another kind is skipped with its keys (and counted, so
// that the load can warn), and the sections after it are read as usual.
#include <cstdint>
#include <string_view>

#include "document/section_stream.h"

namespace kq5 {

int TransferAnalysisSection(SectionStream& stream);
// Writing: all three [Limits] with their [WaveForm] rows. Reading: one [Limits].
int TransferLimitsSections(SectionStream& stream);
// Writing: the rows of the stream's analysis kind. Reading: one row.
int TransferWaveFormSections(SectionStream& stream);
int TransferMonteCarloOptionsSections(SectionStream& stream);
int TransferSteppingSections(SectionStream& stream);
int TransferDspSection(SectionStream& stream);

// The OR of the limits-row option bits named in a comma list (OUTPUT, LINEARX, LINEARY, USER;
// case-blind); unknown names add nothing.
std::uint16_t ParseWaveFormOptions(std::string_view text);

// Reads the keys before the Analysis key (they are ignored) and the Analysis key itself: the
// analysis kind 0 to 2, or -1 when the section ended first or named another kind (the section is
// then skipped to its end and counted). status receives a read error.
int ReadSectionAnalysisKind(SectionStream& stream, int& status);

}  // namespace kq5
