#pragma once
// A circuit written into a test's directory, beside an empty model library, and loaded.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "document/circuit_file.h"

namespace kq5::testing {

// Sections of a circuit file written by hand: the file's header, a part with its PART name and
// further attribute sections, an attribute, a wire.
inline constexpr const char* kCircuitFileHeader = "[Main]\r\nFileType=CIR\r\nVersion=5.20\r\nProgram=Kestrion V\r\n\r\n";

inline std::string CircuitAttr(const char* name, const char* value)
{
    return std::string("[Attr]\r\nONV=0,0,") + name + "," + value + "\r\n\r\n";
}

inline std::string CircuitPart(const char* name, int x, int y, const char* part, const std::string& extra)
{
    return std::string("[Comp]\r\nName=") + name + "\r\nGrid=" + std::to_string(x) + "," + std::to_string(y) +
           "\r\n\r\n" + CircuitAttr("PART", part) + extra;
}

inline std::string CircuitWire(int x1, int y1, int x2, int y2)
{
    return "[Wire]\r\nGrids=" + std::to_string(x1) + "," + std::to_string(y1) + "," + std::to_string(x2) + "," +
           std::to_string(y2) + "\r\n\r\n";
}

// A battery of 2 V at (10, 10)-(10, 16) feeding R1 (10, 10)-(16, 10) into C1 (16, 10)-(20, 10),
// grounded at (20, 10) and (10, 16); the limits of a 5 ms transient. Its plot rows follow.
inline std::string BatteryRcCircuit()
{
    return std::string(kCircuitFileHeader) + CircuitPart("Battery", 10, 10, "V1", CircuitAttr("VALUE", "2")) +
           CircuitPart("Resistor", 10, 10, "R1", CircuitAttr("VALUE", "1k")) +
           CircuitPart("Capacitor", 16, 10, "C1", CircuitAttr("VALUE", "1u")) +
           "[Comp]\r\nName=Ground\r\nGrid=20,10\r\n\r\n[Comp]\r\nName=Ground\r\nGrid=10,16\r\n\r\n"
           "[Limits]\r\nAnalysis=Transient\r\nTRange=5m\r\nNPts=51\r\nTemp=27\r\n\r\n";
}

// Gate and I/O models for hand-written digital circuits.
inline constexpr const char* kDigitalTestModels =
    ".MODEL D0_GATE UGATE (TPLHTY=5N TPHLTY=7N)\n.MODEL IO_STD UIO (DRVH=50 DRVL=50)\n";

inline WindowRecord* WriteAndLoadCircuit(const std::filesystem::path& dir, const std::string& name, const char* text,
                                         int kind, LoadOptions options, const char* library = "* no models\n")
{
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary) << text;
    std::ofstream(dir / "NOM.LIB") << library;
    WindowRecord* circuit = nullptr;
    EXPECT_EQ(LoadCircuitFile(nullptr, path, kind, options, circuit), 0);
    return circuit;
}

}  // namespace kq5::testing
