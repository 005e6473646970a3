// Compiles dialog template scripts (*.dlg) into a C++ source holding them as plain data. Fails
// the build, naming file and line, on any fault in a script.
//
//   gen_dialogs out.cpp a.dlg b.dlg ...                 the program's table (kDialogRecords)
//   gen_dialogs --register NAME out.cpp a.dlg ...       a table registered when its program starts
#include <algorithm>

#include "gen_common.h"
#include "platform/dialog_script.h"

namespace {

using gen::CLiteral;
using gen::Hex;

void WriteTable(std::ostream& out, const std::vector<win::DialogTemplate>& dialogs, const std::string& registerName) {
    out << "// Generated from dialog template scripts; do not edit.\n"
           "#include \"platform/dialog_template.h\"\n\nnamespace win {\n\nnamespace {\n\n";
    for (const win::DialogTemplate& d : dialogs) {
        if (d.items.empty()) continue;
        out << "const DialogItemRecord kItems" << d.id << "[] = {\n";
        for (const win::DialogItemTemplate& i : d.items)
            out << "    {" << CLiteral(i.className) << ", " << CLiteral(i.text) << ", " << i.id << ", " << Hex(i.style)
                << ", " << Hex(i.exStyle) << ", " << i.x << ", " << i.y << ", " << i.cx << ", " << i.cy << "},\n";
        out << "};\n\n";
    }
    std::string table = registerName.empty() ? "kDialogRecords" : registerName;
    if (!registerName.empty()) out << "const DialogRecord " << table << "[] = {\n";
    if (registerName.empty()) out << "}  // namespace\n\nconst DialogRecord " << table << "[] = {\n";
    for (const win::DialogTemplate& d : dialogs)
        out << "    {" << d.id << ", " << Hex(d.style) << ", " << Hex(d.exStyle) << ", " << d.x << ", " << d.y << ", "
            << d.cx << ", " << d.cy << ", " << CLiteral(d.caption) << ", " << CLiteral(d.className) << ", "
            << d.pointSize << ", " << CLiteral(d.faceName) << ", "
            << (d.items.empty() ? std::string("nullptr") : "kItems" + std::to_string(d.id)) << ", " << d.items.size()
            << "},\n";
    if (dialogs.empty()) out << "    {0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, 0, nullptr, nullptr, 0},\n";
    out << "};\n";
    if (registerName.empty()) {
        out << "const std::size_t kDialogRecordCount = " << dialogs.size() << ";\n";
    } else {
        out << "\nconst bool kRegistered = (RegisterDialogRecords(std::span<const DialogRecord>(" << table << ", "
            << dialogs.size() << ")), true);\n\n}  // namespace\n";
    }
    out << "\n}  // namespace win\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string registerName;
    if (args.size() >= 2 && args[0] == "--register") {
        registerName = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) {
        std::cerr << "usage: gen_dialogs [--register NAME] out.cpp file.dlg...\n";
        return 2;
    }
    std::string outPath = args[0];
    std::vector<win::DialogTemplate> dialogs;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string text;
        if (!gen::ReadWholeFile(args[i], text)) {
            std::cerr << "cannot read " << args[i] << "\n";
            return 1;
        }
        std::string error;
        if (!win::ParseDialogScript(text, args[i], dialogs, error)) {
            std::cerr << error << "\n";
            return 1;
        }
    }
    std::stable_sort(dialogs.begin(), dialogs.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
    std::ostringstream out;
    WriteTable(out, dialogs, registerName);
    return gen::WriteOutputFile(outPath, out.str());
}
