#include "ui/temp_file_path.h"

#include <cstdlib>

#include "ui/program_settings.h"

namespace kq5 {

std::string MakeTempFilePath(std::string_view name)
{
    std::string directory;
    const char* tmp = std::getenv("TMP");
    if (tmp != nullptr && *tmp != '\0') {
        std::string_view list(tmp);
        directory.assign(list.substr(0, list.find(';')));
    } else {
        const std::string& program = Settings().programDirectory;
        const std::size_t lastSeparator = program.find_last_of("\\/");
        if (lastSeparator != std::string::npos) directory = program.substr(0, lastSeparator + 1);
    }
    if (directory.empty() || (directory.back() != '\\' && directory.back() != '/')) directory += '/';
    directory += name;
    return directory;
}

}  // namespace kq5
