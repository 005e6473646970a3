// Assembles the readable demo sources into a demo script file (a signed 16-bit byte count, then
// the steps). Sources are joined in the order given. Any mistake stops the build with
// file:line and what is wrong.
//
//   gen_demo out/demo.kq5 source.txt...
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "app/demo_script.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::cerr << "usage: gen_demo out.kq5 source.txt...\n";
        return 2;
    }
    std::vector<kq5::DemoSource> sources;
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::cerr << argv[i] << ": cannot be read\n";
            return 1;
        }
        sources.push_back({argv[i], std::string(std::istreambuf_iterator<char>(in), {})});
    }
    std::vector<std::uint8_t> script;
    const std::string error = kq5::AssembleDemoScript(sources, script);
    if (!error.empty()) {
        std::cerr << error << "\n";
        return 1;
    }
    const std::vector<std::uint8_t> file = kq5::EncodeDemoFile(script);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    out.close();
    if (!out) {
        std::cerr << argv[1] << ": cannot be written\n";
        std::remove(argv[1]);
        return 1;
    }
    return 0;
}
