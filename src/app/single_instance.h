#pragma once
// One interactive program per data directory: the first start holds a lock file in the data
// path and listens on a local socket named after it; a second start finds the lock taken, asks
// the first to bring its frame to the front and to open the files it was given, and ends.
#include <string>
#include <vector>

namespace kq5 {

enum class InstanceClaim {
    First,        // this process holds the lock
    OtherRaised,  // another program holds it and was asked to come to the front
    OtherSilent,  // another program holds it but did not answer
};

// Takes the lock of the data directory; when another program holds it, asks that one to raise
// its frame and open the files (full paths; unless onlyTry) and says so.
InstanceClaim ClaimSingleInstance(const std::string& dataPath, bool onlyTry = false,
                                  const std::vector<std::string>& files = {});

// What later starts asked for.
struct RaiseRequests {
    bool raise = false;               // at least one asked for the frame
    std::vector<std::string> files;   // the files they were given, in the order asked
};
// Accepts the waiting requests of later starts.
RaiseRequests TakeRaiseRequests();
// Gives the lock and the socket back.
void ReleaseSingleInstance();

}  // namespace kq5
