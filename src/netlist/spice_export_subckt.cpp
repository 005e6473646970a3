// SPICE export of subcircuit definitions: the schematic macros the build expanded, the .SUBCKT
// blocks of SPICE text (copied as they stand) and one macromodel subcircuit per op-amp model.
#include <cmath>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "core/analysis_state.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/file_units.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "netlist/opamp_device.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/schematic_item.h"
#include "document/component_types.h"
#include "netlist/model_library_lookup.h"
#include "netlist/model_statements.h"
#include "netlist/opamp_expansion.h"
#include "netlist/spice_export_support.h"
#include "netlist/spice_reader_state.h"
#include "netlist/translate_common.h"
#include "document/component_definition.h"
#include "platform/disk_file_names.h"

namespace kq5 {

namespace {

constexpr int kMsgOpampNegativeC2 = 15015;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kDeviceThermalVoltage = 0.0259;

// The physical lines of a text, each with its line end.
std::vector<std::string> PhysicalLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Logical lines: a line and the "+" lines that continue it.
std::vector<std::string> LogicalLines(const std::vector<std::string>& physical)
{
    std::vector<std::string> lines;
    for (const std::string& line : physical) {
        std::size_t p = line.find_first_not_of(" \t");
        if (p != std::string::npos && line[p] == '+' && !lines.empty()) {
            lines.back() += "\n" + line;
            continue;
        }
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

std::vector<std::string> SpiceTextLogicalLines(const std::string& text) { return LogicalLines(PhysicalLines(text)); }

namespace {

// "+LABEL" continuations get a blank after the plus, so that no reader takes "+LABEL" for a name.
std::string FixContinuations(std::string line)
{
    for (std::size_t p = 0; p < line.size(); ++p)
        if (line[p] == '+' && (p == 0 || line[p - 1] == '\n') && p + 1 < line.size() && line[p + 1] != ' ')
            line.insert(p + 1, 1, ' ');
    return line;
}

bool StartsWithWord(std::string_view line, std::string_view word)
{
    std::size_t p = line.find_first_not_of(" \t");
    if (p == std::string_view::npos) return false;
    line.remove_prefix(p);
    if (line.size() < word.size() || !EqualsNoCase(line.substr(0, word.size()), word)) return false;
    return line.size() == word.size() || line[word.size()] == ' ' || line[word.size()] == '\t' || line[word.size()] == '\n';
}

std::string SubcktNameOf(std::string_view line)
{
    std::string text(line);
    for (char& c : text)
        if (c == '\n' || c == '+') c = ' ';
    std::istringstream in(text);
    std::string keyword, name;
    in >> keyword >> name;
    return CopyUpperCase(name);
}

// The inductor currents that the .IC lines of copied definitions set, which SPICE 2G and Spice3
// take on the inductors' lines (used with UIC): by logical line, what an inductor's line gets
// (the current), and the inductors whose currents an .IC line leaves to their lines.
struct CopiedInductorHolds {
    std::map<std::size_t, std::string> inductorCurrents;
    std::map<std::size_t, std::set<std::string>> carried;
};

CopiedInductorHolds FindCopiedInductorHolds(const std::vector<std::string>& lines)
{
    CopiedInductorHolds holds;
    if (!(Is2G() || IsSpice3())) return holds;
    // Per open definition: its inductors without an IC= of their own, and the .IC currents.
    struct Level {
        std::map<std::string, std::size_t> inductors;
        std::map<std::string, std::pair<std::string, std::vector<std::size_t>>> currents;
    };
    static const std::regex kOwnIc(R"((^|\s)IC\s*=)", std::regex::icase);
    std::vector<Level> levels(1);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (StartsWithWord(line, ".SUBCKT")) {
            levels.emplace_back();
            continue;
        }
        if (StartsWithWord(line, ".ENDS") && levels.size() > 1) {
            // The last .IC of an inductor wins, as in the build.
            for (const auto& [name, current] : levels.back().currents) {
                const auto inductor = levels.back().inductors.find(name);
                if (inductor == levels.back().inductors.end()) continue;
                holds.inductorCurrents[inductor->second] = current.first;
                for (std::size_t at : current.second) holds.carried[at].insert(name);
            }
            levels.pop_back();
            continue;
        }
        if (levels.size() == 1) continue;
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (!first.empty() && ToUpperChar(first[0]) == 'L' && !std::regex_search(line, kOwnIc))
            levels.back().inductors[CopyUpperCase(first)] = i;
        std::string keyword;
        std::vector<InitialItem> items;
        if (!StartsWithWord(line, ".IC") || !ReadInitialItems(line, keyword, items)) continue;
        for (const InitialItem& item : items)
            if (item.letter == "I" && !item.pair) {
                auto& current = levels.back().currents[CopyUpperCase(item.first)];
                current.first = item.value;
                current.second.push_back(i);
            }
    }
    return holds;
}

// A line of a copied definition as written: its .IC and .NODESET lines keep the items the
// dialect reads, its inductors take the currents those set.
std::string CopiedDefinitionLine(const std::string& line, std::size_t at, const CopiedInductorHolds& holds)
{
    const std::string copied = CopiedLineWithGlobals(line);
    if (StartsWithWord(copied, ".IC") || StartsWithWord(copied, ".NODESET")) {
        const auto carried = holds.carried.find(at);
        return InitialLineText(copied, true, carried == holds.carried.end() ? std::set<std::string>() : carried->second);
    }
    const auto current = holds.inductorCurrents.find(at);
    if (current == holds.inductorCurrents.end()) return copied + "\n";
    // Before a comment that ends the line.
    std::string text = copied;
    text.insert(std::min(text.find(';'), text.size()), " IC=" + current->second);
    std::istringstream words(copied);
    std::string name;
    words >> name;
    return text + StrPrintf("\n* Warning: %s IC=%s is used only with UIC\n", name.c_str(), current->second.c_str());
}

}  // namespace

bool SubcktSourceText(const std::string& file, std::string& text)
{
    WindowRecord* record = ExportRun().record;
    if (record && (file.empty() || EqualsNoCase(file, record->title))) {
        text = record->textArea;
        return true;
    }
    std::ifstream in(win::DiskFileName(file), std::ios::binary);
    if (!in) return false;
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return true;
}

namespace {

// The holds of the scope's capacitors, inside its definition (written in the section).
void AddCapacitorHolds(int scope, int section)
{
    if (const std::string holds = CapacitorHoldLines(scope); !holds.empty()) AddSpiceLine(section, holds, false);
}

// The same for a definition of SPICE text, copied: those of the first scope that calls it.
void AddDefinitionHolds(const std::string& name, int section)
{
    const auto& scopes = NetlistReader().scopes;
    for (std::size_t s = 1; s < scopes.size(); ++s)
        if (CopyUpperCase(ExpandedSubcktName(scopes[s])) == name) {
            AddCapacitorHolds(static_cast<int>(s), section);
            return;
        }
}

int ExportSubcktDefinition(int scope, const ScopeExpansion& info)
{
    if (info.kind == kComponentSubckt) {
        ExportRun().verbatimSections.insert(scope);
        std::string file;
        long start = -1;
        long end = -1;
        const auto& indexes = NetlistReader().subcktIndexes;
        if (info.definitionFile >= 0 && static_cast<std::size_t>(info.definitionFile) < indexes.size()) {
            const SubcktFileIndex& index = indexes[static_cast<std::size_t>(info.definitionFile)];
            file = index.path;
            if (info.definitionIndex >= 0 && static_cast<std::size_t>(info.definitionIndex) < index.definitions.size()) {
                const SubcktDefinition& definition = index.definitions[static_cast<std::size_t>(info.definitionIndex)];
                start = definition.position;
                end = definition.endsPosition;
            }
        }
        // Without "Expand SUBCKT" a definition of the circuit's own text is copied with that
        // text (CopyTextSubcircuits); one from another file is still written here, since an
        // export that calls a subcircuit it does not define runs nowhere.
        WindowRecord* record = ExportRun().record;
        const bool ownText = record && record->kind == kWindowTextCircuit && (file.empty() || EqualsNoCase(file, record->title));
        if (!SpiceExport().expandSubcircuits && ownText) return 0;
        std::string text;
        if (!SubcktSourceText(file, text)) return ErrnoToMessageId(errno ? errno : ENOENT);
        if (start < 0 || static_cast<std::size_t>(start) > text.size()) return 0;
        AddSpiceLine(scope, StrPrintf("*** From file %s\n", file.c_str()), false);
        std::size_t stop = end >= 0 && static_cast<std::size_t>(end) < text.size() ? static_cast<std::size_t>(end) : text.size();
        const std::size_t endsLineEnd = text.find('\n', stop);
        stop = endsLineEnd == std::string::npos ? text.size() : endsLineEnd + 1;
        // The definitions open at each level (nested ones travel inside), by name.
        std::vector<std::string> open;
        const std::vector<std::string> lines = LogicalLines(PhysicalLines(text.substr(static_cast<std::size_t>(start), stop - start)));
        const CopiedInductorHolds holds = FindCopiedInductorHolds(lines);
        for (std::size_t at = 0; at < lines.size(); ++at) {
            const std::string& line = lines[at];
            if (StartsWithWord(line, ".SUBCKT")) open.push_back(SubcktNameOf(line));
            if (StartsWithWord(line, ".ENDS") && !open.empty()) {
                AddDefinitionHolds(open.back(), scope);
                open.pop_back();
            }
            AddSpiceLine(scope, CopiedDefinitionLine(FixContinuations(line), at, holds), false);
        }
        AddSpiceLine(scope, "\n", false);
        return 0;
    }
    // A schematic macro: a definition built from its own components. Its pins are the macro's
    // nodes, named as its parts' lines name them (by number in SPICE 2G, else by name).
    const SchematicItem* call = info.call;
    if (call && !GetAttributeText(call, kAttrFile).empty())
        AddSpiceLine(scope, StrPrintf(".lib \"%s\"\n", GetAttributeText(call, kAttrFile).c_str()), false);
    const std::string name = ExpandedSubcktName(info);
    std::string header = StrPrintf("*\n.SUBCKT %s", name.c_str());
    const std::vector<std::int32_t>& pinMap = info.MacroPart().pinMap;
    for (std::size_t pin = 0; pin < pinMap.size(); ++pin) {
        header += ' ';
        header += GetSpiceNodeName(pinMap[pin] > 0 ? pinMap[pin] : 0, scope, nullptr, 0);
    }
    for (const std::string& global : MacroScopeGlobals(scope)) {
        header += ' ';
        header += GlobalNodeNameIn(global, scope);
    }
    if (call) AppendSubcktArguments(header, call, '.');
    AddSpiceLine(scope, header + "\n", false);
    if (int rc = ExportPartLines(scope)) return rc;
    if (int rc = ExportModelStatements(scope)) return rc;
    AddCapacitorHolds(scope, scope);
    AddSpiceLine(scope, StrPrintf(".ENDS %s\n*\n", name.c_str()), false);
    return 0;
}

// The SPICE text of the circuit window (a schematic's text area too): every .SUBCKT block that
// no scope uses, and those that scopes use unless their definitions were written already.
void CopyTextSubcircuits()
{
    WindowRecord* record = ExportRun().record;
    if (!record) return;
    // A schematic's calls have their definitions written from their scopes in every case.
    const bool usedWritten = SpiceExport().expandSubcircuits || record->kind != kWindowTextCircuit;
    std::vector<std::string> scopeNames;
    for (std::size_t s = 1; s < NetlistReader().scopes.size(); ++s)
        scopeNames.push_back(CopyUpperCase(ExpandedSubcktName(NetlistReader().scopes[s])));
    std::vector<bool> skip{false};
    // The definitions open at each level, by name.
    std::vector<std::string> open;
    int section = 0;
    bool copied = false;
    const std::vector<std::string> lines = LogicalLines(PhysicalLines(record->textArea));
    const CopiedInductorHolds holds = FindCopiedInductorHolds(lines);
    for (std::size_t at = 0; at < lines.size(); ++at) {
        const std::string line = FixContinuations(lines[at]);
        const bool opens = StartsWithWord(line, ".SUBCKT");
        const bool closes = StartsWithWord(line, ".ENDS");
        if (opens) open.push_back(SubcktNameOf(line));
        if (closes && skip.size() > 1 && !skip.back() && !open.empty()) AddDefinitionHolds(open.back(), section);
        if (opens) {
            bool skipped = skip.back();
            if (skip.size() == 1 && usedWritten) {
                // Written from its scope already.
                const std::string name = SubcktNameOf(line);
                for (const std::string& used : scopeNames)
                    if (used == name) skipped = true;
            }
            if (skip.size() == 1) {
                if (!skipped) {
                    section = ExportRun().highestSection + 1;
                    ExportRun().verbatimSections.insert(section);
                    AddSpiceLine(section, "*\n", false);
                }
            }
            skip.push_back(skipped);
        }
        if (skip.size() > 1 && !skip.back()) {
            AddSpiceLine(section, CopiedDefinitionLine(line, at, holds), false);
            copied = true;
        }
        if (closes && skip.size() > 1) {
            if (!skip.back()) AddSpiceLine(section, "*\n", false);
            skip.pop_back();
            if (!open.empty()) open.pop_back();
        }
    }
    if (copied) AddSpiceLine(section, "\n", false);
}

std::string OpampTemperatureText(const EvaluatedModel& model)
{
    std::string text;
    for (const char* name : {"T_MEASURED", "T_ABS", "T_REL_GLOBAL", "T_REL_LOCAL"}) {
        const float* slot = ModelParamSlot(const_cast<EvaluatedModel*>(&model), name);
        if (slot && !IsParamNotGiven(*slot)) text += StrPrintf(" %s=%g", name, static_cast<double>(*slot));
    }
    return text;
}

}  // namespace

namespace {

int ExportOpampLevel3(SchematicItem* component, EvaluatedModel* model, int section)
{
    OpampDevice opamp;
    opamp.component = component;
    opamp.model = model;
    const int type = static_cast<int>(std::lround(ModelParam(model, "TYPE", 1.0)));
    Analysis().variables.vt = kDeviceThermalVoltage;
    if (type != 3) {
        opamp.inputModels[0] = FindModelEx(type == 2 ? kModelPnp : kModelNpn, -1, false, true);
        if (!opamp.inputModels[0]) return kMsgAlreadyReported;
    }
    OpampMacroValues v;
    if (int rc = DeriveOpampModel(opamp, v, 27.0)) {
        const std::string name = CopyUpperCase(GetAttributeText(component, kAttrModel));
        if (rc == 15050)
            ReportMessage("WLE", ExportRun().record, 0, rc, name, v.inputPower);
        else
            ReportMessage("WLE", ExportRun().record, 0, rc, name);
        return kMsgAlreadyReported;
    }
    const bool npn = type == 1;
    std::string s;
    s += type == 1 ? StrPrintf("IEE 10 3 %g\n", v.iee) : type == 2 ? StrPrintf("IEE 5 10 %g\n", v.iee)
                                                                  : StrPrintf("ISS 5 10 %g\n", v.iee);
    s += StrPrintf("VS1 11 0 0\nVC 5 16 %g\nVE 17 3 %g\nVLP 19 0 %g\nVLN 0 20 %g\nVS2 13 15 0\n", v.vc, v.ve,
                   std::fabs(v.vlp), std::fabs(v.vln));
    s += StrPrintf("F1 13 14 POLY(5) VS1 VC VE VLP VLN 0 %g %g %g %g %g\n", v.gb, v.minusGb, v.gb2, v.gb2, v.minusGb);
    s += npn ? "E1 14 0 POLY(2) 5 0 3 0   0 0.5 0.5\n" : "E1 14 0 POLY(2) 3 0 5 0   0 0.5 0.5\n";
    s += StrPrintf("H1 18 0 VS2 1000\nGCM 0 12 10 0   %g\nGA 12 0 6 7   %g\nC1 6 7 %g\nCE 10 14 %g\nC2 12 13 %g\n", v.gcm,
                   v.ga, v.c1, v.ce, v.c2);
    s += npn ? StrPrintf("RC1 5 6 %g\nRC2 5 7 %g\n", v.rc1, v.rc2) : StrPrintf("RC1 3 6 %g\nRC2 3 7 %g\n", v.rc1, v.rc2);
    s += StrPrintf("RE1 8 10 %g\nRE2 9 10 %g\nRE 10 14 %g\n", v.re1, v.re2, v.re);
    s += npn ? StrPrintf("RP 5 3 %g\n", v.rp) : StrPrintf("RP 3 5 %g\n", v.rp);
    s += StrPrintf("R2 12 11 %g\nRO2 13 14 %g\nROUTAC 15 4 %g\n", v.r2, v.ro2, v.routac);
    s += "D5 3 5 D\nD3 4 16 D\nD4 17 4 D\nD1 18 19 D\nD2 20 18 D\n";
    s += type == 3 ? "J1 6 2 8 J1\nJ2 7 1 9 J2\n" : "Q1 6 2 8 QINN\nQ2 7 1 9 QINP\n";
    const std::string temperature = OpampTemperatureText(*model);
    s += "*\n" + StrPrintf(".MODEL D D (%s)\n", temperature.c_str());
    if (type == 3) {
        // The input pair as the run prepares it: the gate currents carry the bias and offset
        // currents, the second JFET's threshold the offset voltage.
        EvaluatedModel* jfet = FindModelEx(kModelPjf, -1, false, true);
        const double vto = (jfet ? ModelParam(jfet, "VTO", -2.0) : -2.0) + ModelParam(model, "VOFF", 0.0);
        const double ioff = ModelParam(model, "IOFF", 0.0), ibias = ModelParam(model, "IBIAS", 0.0);
        s += StrPrintf(".MODEL J1 PJF (BETA=%g IS=%g%s)\n", v.beta1, (ioff * 0.5 + ibias) * 0.5, temperature.c_str());
        s += StrPrintf(".MODEL J2 PJF (BETA=%g IS=%g VTO=%g%s)\n", v.beta2, (ibias - ioff * 0.5) * 0.5, vto,
                       temperature.c_str());
    } else {
        // The input pair as the build simulates it: both junction potentials at 0.7 V.
        const char* kind = type == 2 ? "PNP" : "NPN";
        s += StrPrintf(".MODEL QINN %s (BF=%g VJE=0.7 VJC=0.7%s)\n", kind, v.beta1, temperature.c_str());
        s += StrPrintf(".MODEL QINP %s (BF=%g IS=%g VJE=0.7 VJC=0.7%s)\n", kind, v.beta2, v.isq2, temperature.c_str());
    }
    AddSpiceLine(section, s, false);
    return 0;
}

// The file a definition of SPICE text was read from ("" when not known).
std::string DefinitionFile(const ScopeExpansion& info)
{
    const auto& indexes = NetlistReader().subcktIndexes;
    if (info.definitionFile < 0 || static_cast<std::size_t>(info.definitionFile) >= indexes.size()) return {};
    return indexes[static_cast<std::size_t>(info.definitionFile)].path;
}

// A definition inside another .SUBCKT block is written with the block around it.
bool IsNestedDefinition(const ScopeExpansion& info)
{
    if (info.kind != kComponentSubckt) return false;
    const auto& indexes = NetlistReader().subcktIndexes;
    if (info.definitionFile < 0 || static_cast<std::size_t>(info.definitionFile) >= indexes.size()) return false;
    const auto& definitions = indexes[static_cast<std::size_t>(info.definitionFile)].definitions;
    return info.definitionIndex >= 0 && static_cast<std::size_t>(info.definitionIndex) < definitions.size() &&
           definitions[static_cast<std::size_t>(info.definitionIndex)].parent >= 0;
}

}  // namespace

int ExportOpampMacromodel(SchematicItem* component, int section)
{
    ModelStatement* statement = FindModelStatement(GetPartModel(component, kAttrModel));
    if (!statement) return kMsgAlreadyReported;
    if (statement->exportWritten) return 0;
    statement->exportWritten = 1;
    const std::string name = statement->name;
    ExportRun().highestSection = std::max(ExportRun().highestSection, section);
    AddSpiceLine(section, StrPrintf("* OPAMP\n* PINS:  1=NC+ 2=NC- 3=VEE 4=VO 5=VCC\n.SUBCKT %s 1 2 3 4 5\n", name.c_str()),
                 false);
    EvaluatedModel* model = PartModel(component);
    if (!model) return kMsgInsufficientMemory;
    const double a = ModelParam(model, "A");
    const double gbw = ModelParam(model, "GBW");
    const double pm = ModelParam(model, "PM");
    const double r = ModelParam(model, "ROUTAC") + ModelParam(model, "ROUTDC");
    const int level = static_cast<int>(ModelParam(model, "LEVEL", 1.0));
    const double g = std::cbrt(a) / r;
    std::string s;
    if (level == 1) {
        s = StrPrintf("RSUPPLUS 5 0 1\nRSUPMIN  3 0 1\nROUT 4 0 %g\nGOUT 0 4 1 2 %g\nRIN 1 2 1G\n", r, a / r);
    } else if (level == 2) {
        if (!OpampPhaseMarginValid(pm)) {
            ReportMessage("WLE", ExportRun().record, 0, kMsgOpampNegativeC2, name);
            return kMsgAlreadyReported;
        }
        const double f1 = gbw / a;
        const double f2 = gbw / std::tan(M_PI - std::atan(gbw / f1) - pm * M_PI / 180.0);
        const double c1 = 1.0 / (kTwoPi * f1 * r);
        s = StrPrintf("RSUPPLUS 5 0 1\nRSUPMIN  3 0 1\nC1 6 0 %g\nR1 6 0 %g\n", c1, r);
        if (Is2G()) {
            s += StrPrintf("G1 0 6 1 2 %g\n", g);
        } else {
            const double a23 = std::pow(a, 2.0 / 3.0);
            const double ip = ModelParam(model, "SRP") * c1 / a23;
            const double in = ModelParam(model, "SRN") * c1 / a23;
            s += StrPrintf("G1 0 6 TABLE {V(1,2)} = (-%g,-%g) (%g,%g)\n", in / g, in, ip / g, ip);
        }
        s += StrPrintf("C2 7 0 %g\nR2 7 0 %g\nG2 0 7 6 0 %g\nROUT 4 0 %g\nGOUT 0 4 7 0 %g\nRIN 1 2 1G\n",
                       1.0 / (kTwoPi * f2 * r), r, g, r, g);
    } else if (level == 3) {
        if (int rc = ExportOpampLevel3(component, model, section)) return rc;
    }
    if (!s.empty()) AddSpiceLine(section, s, false);
    AddSpiceLine(section, StrPrintf(".ENDS %s\n*\n", name.c_str()), false);
    return 0;
}

int ExportSubcircuits()
{
    SpiceExportRun& run = ExportRun();
    std::vector<std::string> done;
    const auto& scopes = NetlistReader().scopes;
    for (std::size_t s = 1; s < scopes.size(); ++s) {
        const std::string name = CopyUpperCase(ExpandedSubcktName(scopes[s]));
        bool earlier = false;
        for (const std::string& d : done)
            if (d == name) earlier = true;
        done.push_back(name);
        run.highestSection = std::max(run.highestSection, static_cast<int>(s));
        // The interfaces between the domains are the reader's to make again, from its own
        // library; those a circuit defines itself (an included file of its own) travel with it.
        const bool generated = scopes[s].call && IsGeneratedInterface(scopes[s].call) &&
                               (scopes[s].kind != kComponentSubckt || EqualsNoCase(DefinitionFile(scopes[s]), ResolveLibraryPath("")));
        if (earlier || generated || IsNestedDefinition(scopes[s])) {
            // A nested definition travels inside its enclosing one.
            run.verbatimSections.insert(static_cast<int>(s));
            continue;
        }
        if (scopes[s].kind != kComponentSubckt) ExportParamLines(static_cast<int>(s));
        if (int rc = ExportSubcktDefinition(static_cast<int>(s), scopes[s])) return rc;
    }
    CopyTextSubcircuits();
    for (ModelStatement& statement : Models().statements) statement.exportWritten = 0;
    if (WindowRecord* record = run.record; record && record->document)
        for (SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList)) {
            if (!item.IsComponent() || ItemComponentType(&item) != kComponentOpamp) continue;
            if (int rc = ExportOpampMacromodel(&item, run.highestSection + 1)) return rc;
        }
    return 0;
}

}  // namespace kq5
