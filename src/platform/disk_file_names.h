#pragma once
// File names. The file system's names are UTF-8; the program holds a name as its other texts,
// in Windows-1252, so that titles, lists and typed names show and edit it as the user wrote it.
// A name that is already UTF-8 (ASCII, or one with characters Windows-1252 lacks, which the
// program keeps as the file system gave it) stays as it is either way, so that converting twice
// does no harm.
#include <string>
#include <string_view>

namespace win {

std::string DiskFileName(std::string_view name);      // the program's name -> the file system's
std::string FileNameFromDisk(std::string_view name);  // the file system's name -> the program's
// DiskFileName, but a file that exists under the program's bytes themselves (a single-byte name
// made elsewhere) keeps that name, so that it still opens.
std::string ExistingDiskFileName(std::string_view name);

}  // namespace win
