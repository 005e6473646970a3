// Files written beside the file they replace and put in its place only when complete.
#pragma once

#include <cstdio>
#include <string>

namespace win {

// Opens a new file beside target for writing (w+), with the permissions of the file it replaces
// (or those a new file gets). Where the file system allows it the file has no name until
// CommitReplacingFile links it in, so that a program killed meanwhile leaves nothing behind;
// elsewhere it gets a temporary name ".~<name>.XXXXXX" and is held locked, and the next replacing
// write in the folder removes it if its writer died. tempPath is empty for a file without a name.
// nullptr with errno set when no file could be made.
std::FILE* CreateReplacingFile(const std::string& target, std::string& tempPath);

// Writes the file out to disk and puts it in target's place; the stream stays open for the caller
// to close. False with errno set (errno 0 where the failure gave none) when the target could not
// be replaced: the temporary is then removed and target is as it was.
bool CommitReplacingFile(std::FILE* stream, const std::string& tempPath, const std::string& target);

// Gives up a replacing write: a named temporary is removed (one without a name goes when the
// stream is closed). The target is left as it was.
void DiscardReplacingFile(const std::string& tempPath);

}  // namespace win
