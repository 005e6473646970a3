#pragma once
// The passes of the circuit build that work on the finished device lists: the compilation of the
// devices' value expressions, the dependency lists of formula sources, and the questions the
// build asks of an AC circuit. (The table of labelled devices that expressions read is filled by
// the device layer: FillDeviceRecordFields in devices/device_record_types.h.)
namespace kq5 {

// Compiles the value expressions of formula sources, Laplace sources, resistors, capacitors,
// inductors, sample-and-hold elements and the coupling expressions of K parts; a resistor,
// capacitor or inductor value (or a coupling) that is a constant becomes the working value.
// With a failed build, or for the digital path window, the expressions are only freed.
// 0 or 15055.
int CompileDeviceExpressions();

// The solution entries each formula source's expressions read. 0 or 15002.
int BuildFormulaDependencies();

// True when some source gives an AC signal.
bool AnySourceGivesAcSignal();

}  // namespace kq5
