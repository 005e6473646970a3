#pragma once
// A stand-in for the model-fitting program: a script that writes how many words it was given
// and the first one, so that a test sees exactly what was started.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace kq5::testing {

struct ModelProgramArgs {
    std::string count;
    std::string first;
};

// Writes the program into the directory; its record of the words goes to args.txt there.
inline void WriteModelProgramStub(const std::filesystem::path& dir)
{
    {
        std::ofstream s(dir / "kq5model");
        s << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > '" << (dir / "args.txt").string() << "'\n";
    }
    std::filesystem::permissions(dir / "kq5model", std::filesystem::perms::owner_all);
}

// The words the program was started with, once it has written them (it runs on its own).
inline ModelProgramArgs WaitForModelProgramArgs(const std::filesystem::path& dir)
{
    const std::filesystem::path out = dir / "args.txt";
    for (int i = 0; i < 200 && !std::filesystem::exists(out); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream in(out);
    ModelProgramArgs args;
    std::getline(in, args.count);
    std::getline(in, args.first);
    return args;
}

}  // namespace kq5::testing
