#pragma once
// The run data file of the Save and Retrieve run options (.TSA, .ASA, .DSA beside the circuit
// file): Save stores every Nth accepted point of a run, Retrieve replays the points in order
// instead of solving. One walk over a record serves counting, writing and reading, so the three
// always agree on the layout.
//
// Layout (little-endian): u16 version, u16 data type (0 solution and digital states, 1 voltages
// and currents, 2 everything), u16 equation count, u16 extra count, then records of doubles.
// Circuits with more than 65535 unknowns are written as version 5, whose header goes on with the
// high words of the two counts (u16 each); version 4 files read as before.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/file_units.h"

namespace kq5 {

inline constexpr int kRunDataVersion = 4;
inline constexpr int kRunDataWideVersion = 5;
inline constexpr int kMsgObsoleteDataFile = 5360;
inline constexpr int kMsgVIOnlyDataFile = 5361;
inline constexpr int kMsgCutDataFile = 13394;
inline constexpr int kMsgDamagedDataFile = 13397;

// Data types of the file (the document's keep word).
inline constexpr int kRunDataSolutionOnly = 0;
inline constexpr int kRunDataVoltagesCurrents = 1;
inline constexpr int kRunDataEverything = 2;

struct RunDataFileState {
    FileStream file;  // the file a Retrieve reads
    int saveUnit = -1;  // the unit a Save writes, replacing the old file when it closes
    bool active = false;
    std::string name;
    int headerBytes = 8;
    int dataType = kRunDataEverything;  // what the next Save keeps
    int readDataType = kRunDataSolutionOnly;
    std::vector<double> record;
    int recordCounter = 0;  // the next record a Retrieve reads
    bool pending = false;  // a point was thinned out and not written yet
    double pendingX = 0.0;
    std::vector<double> pendingSolution;
    // What the circuit's changed flag of the saved analysis said before the Save cleared it: a
    // Save that is given up leaves the old file, which that flag still describes.
    int savedKind = -1;
    int staleBeforeSave = 0;
};

RunDataFileState& RunDataFile();
void ResetRunDataFileForTests();

// In a batch run the run data mode comes from the batch flags (normal wins), and neither the
// numeric output nor the pause display is kept.
void ResetRunDataMode();

// Opens the file for the run's Save or Retrieve mode; nothing in normal mode. 0 or a message id.
// The solution of an AC run is stored as (real, imaginary) pairs: a span of 2 x (unknowns + 1)
// doubles.
int OpenSimulationDataFile(int& recordCounter, int extraCount);
// Stores the point unless thinning keeps it back (it then waits as the pending point).
int SaveRunDataPoint(double x, std::span<const double> solution);
// Writes the pending point, thinning aside.
int FlushPendingRunDataPoint();
// Reads the next point into the solver and the devices: x becomes the point's X, step the
// difference to the previous x. The end of the file sets the stop flag.
int ReadRunDataPoint(int& recordCounter, double& x, double& step, std::span<double> solution);
// Closes the file. A Save replaces the old file only when its run came to its end (complete);
// one that failed or was stopped half way is given up and the old file stays as it was, so that
// a later Retrieve never replays part of a run as the whole.
void CloseSimulationDataFile(bool complete = true);

// Doubles of one record for the present circuit and data type.
int RunDataRecordSize(int dataType);

}  // namespace kq5
