#pragma once
// One interactive program per data directory: the first start holds a lock file in the data
// path and listens on a local socket named after it; a second start finds the lock taken, asks
// the first to bring its frame to the front, and ends.
#include <string>

namespace kq5 {

enum class InstanceClaim {
    First,        // this process holds the lock
    OtherRaised,  // another program holds it and was asked to come to the front
    OtherSilent,  // another program holds it but did not answer
};

// Takes the lock of the data directory; when another program holds it, asks that one to raise
// its frame (unless onlyTry) and says so.
InstanceClaim ClaimSingleInstance(const std::string& dataPath, bool onlyTry = false);
// Accepts the waiting requests of later starts; true when at least one asked to be raised.
bool TakeRaiseRequests();
// Gives the lock and the socket back.
void ReleaseSingleInstance();

}  // namespace kq5
