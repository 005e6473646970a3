#pragma once
// The computing core of the digital path window: the signal paths of the built digital
// circuit from its sources through the fan-out of gates, their propagation delays and the
// lines of the listing.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kq5 {

struct DigitalPathSet {
    std::vector<std::vector<int>> paths;  // device numbers; {-1}: a removed duplicate
    bool capped = false;                  // the count reached its limit and the search stopped
};

// All paths (fromDevice 0), the paths from one device, or from one device to another
// (toDevice > 0). At most maxPaths paths are kept (the set is then marked capped); `stop` is
// polled while searching (Esc). 0, 15002 or 15056 (stopped); the paths found so far stay.
int FindDigitalPaths(DigitalPathSet& set, int fromDevice, int toDevice, std::size_t maxPaths,
                     const std::function<bool()>& stop = {});

// The delays of a path in seconds: lh for the start edge that leaves the last output rising,
// hl for the other.
struct DigitalPathDelay {
    double lh = 0.0;
    double hl = 0.0;
};
DigitalPathDelay PathDelay(const std::vector<int>& path);

// The listing: a header and one line per path (continued on further lines past `width`
// characters), the delays written in the number format `format` (the "Schematic Path Delays"
// preference). Part names come from `name` (device number → text).
std::vector<std::string> PathListing(const DigitalPathSet& set, std::size_t width,
                                     const std::function<std::string(int)>& name, std::string_view format);

// The set-up of the delays for the path window: a digital time scale of a 1 us run.
void PreparePathDelays();

}  // namespace kq5
