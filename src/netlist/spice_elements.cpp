#include "netlist/spice_elements.h"

#include <algorithm>
#include <new>
#include <string_view>
#include <vector>

#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/file_paths.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/component_types.h"
#include "document/scope_table.h"
#include "netlist/spice_element_support.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_reader_state.h"
#include "netlist/spice_sources.h"
#include "netlist/spice_tokens.h"
#include "netlist/subcircuit_calls.h"
#include "netlist/subcircuit_nodes.h"
#include "document/component_definition.h"
#include "document/component_library.h"

namespace kq5 {

namespace {

constexpr int kMsgChebyshev = 10902;
constexpr int kMsgMissingNodes = 10908;
constexpr int kMsgExpecting = 11900;

bool StartsNumber(const std::string& token)
{
    return !token.empty() && (HasCharClass(token.front(), kCharNumberStart) || token.front() == '{');
}

bool IsAllDigits(const std::string& token)
{
    return !token.empty() && AllCharsInClass(token, kCharDigit);
}

// Keywords that may follow a transistor's model name (area, OFF, initial conditions, ...).
bool IsDeviceKeyword(const std::string& token)
{
    static constexpr std::string_view kKeywords[] = {"OFF", "IC", "AREA", "M", "TEMP", "DTEMP", "ON"};
    for (std::string_view keyword : kKeywords)
        if (token == keyword) return true;
    return false;
}

// A Q line with a substrate node: a numeric or bracketed fourth node, or a fourth word followed
// by a model name rather than by a value or device keyword.
bool HasSubstrateNode()
{
    const std::string& fourth = Token(4);
    if (fourth.empty()) return false;
    if (IsAllDigits(fourth) || fourth.front() == '[') return true;
    const std::string& fifth = Token(5);
    if (fifth.empty() || StartsNumber(fourth) || StartsNumber(fifth) || IsDeviceKeyword(fifth)) return false;
    return Token(6) != "=";
}

int SimpleElement(int type, int nodes)
{
    int index = 0;
    if (int status = NewElementComponent(type, index, nodes)) return status;
    return ParseElementValueAttributes(index, type);
}

int ParseD() { return SimpleElement(kComponentDiode, 2); }
int ParseF() { return SimpleElement(kComponentPolyFromLetter('F'), 2); }
int ParseH() { return SimpleElement(kComponentPolyFromLetter('H'), 2); }
int ParseI() { return SimpleElement(kComponentISpice, 2); }
int ParseV() { return SimpleElement(kComponentVSpice, 2); }
int ParseJ() { return SimpleElement(kComponentNjfet, 3); }
int ParseZ() { return SimpleElement(kComponentGaAsFet, 3); }
int ParseM() { return SimpleElement(kComponentNmos, 4); }
int ParseS() { return SimpleElement(kComponentS, 4); }

int ParseQ()
{
    const bool substrate = HasSubstrateNode();
    return SimpleElement(substrate ? kComponentNpn4 : kComponentNpn, substrate ? 4 : 3);
}

// W: the controlling source, then the model.
int ParseW()
{
    int index = 0;
    if (int status = NewElementComponent(kComponentW, index, 2)) return status;
    SchematicItem* item = CurrentElement();
    if (!Token(index).empty() && !SetElementAttribute(item, kAttrRef, Token(index++))) return kMsgAlreadyReported;
    return ParseElementValueAttributes(index, kComponentW);
}

// R, C, L and T: a model name may stand before the value.
int PassiveElement(int type, int nodes)
{
    int index = 0;
    if (int status = NewElementComponent(type, index, nodes)) return status;
    const std::string& token = Token(index);
    bool model;
    if (type == kComponentTline)
        model = !token.empty() && Token(index + 1) != "=";
    else
        model = !token.empty() && token.front() != '{' && !Token(index + 1).empty() && Token(index + 1) != "=" &&
                Token(index + 2) != "=";
    if (model && !SetElementAttribute(CurrentElement(), kAttrModel, Token(index++))) return kMsgAlreadyReported;
    return ParseElementValueAttributes(index, type, false);
}

int ParseR() { return PassiveElement(kComponentResistor, 2); }
int ParseC() { return PassiveElement(kComponentCapacitor, 2); }
int ParseL() { return PassiveElement(kComponentInductor, 2); }
int ParseT() { return PassiveElement(kComponentTline, 4); }

// The variants of E and G by the word after the nodes.
struct ControlledVariant {
    int attribute;
    int voltageType;
    int currentType;
};
constexpr ControlledVariant kVariants[] = {
    {kAttrValue, kComponentNFV, kComponentNFI},
    {kAttrTable, 41, 39},
    {kAttrLaplace, 33, kComponentLFIofV},
    {kAttrFreq, 45, kComponentLTIofV},
};

// Index of the token that closes the brace group opened at open (nesting counted); -1 when the
// group is not closed.
int BraceGroupEnd(int open)
{
    int depth = 0;
    for (int i = open; !Token(i).empty(); ++i) {
        if (Token(i) == "{") ++depth;
        if (Token(i) == "}" && --depth == 0) return i;
    }
    return -1;
}

int ReportAtElement(int id, std::string_view first, std::string_view second = {})
{
    if (second.empty())
        ReportNetlistMessage("WNE", CurrentRecord(), CurrentElement(), id, std::string(first));
    else
        ReportNetlistMessage("WNE", CurrentRecord(), CurrentElement(), id, std::string(first), std::string(second));
    return kMsgAlreadyReported;
}

// TABLE, LAPLACE and FREQ: "{V(n1[,n2])} = ..." gives the control pins; the text after the '='
// is the value.
int ParseControlledTable(int attribute, int& index)
{
    SchematicItem* item = CurrentElement();
    if (Token(index) != "{") return ReportAtElement(kMsgExpecting, "{");
    const int close = BraceGroupEnd(index);
    if (close < 0) return ReportAtElement(kMsgExpecting, "}");
    ++index;
    if (Token(index) == "V" && Token(index + 1) == "(") index += 2;
    if (int status = ParseElementNode(item, index, 2)) return status;
    if (Token(index) == ",") {
        ++index;
        if (int status = ParseElementNode(item, index, 3)) return status;
    }
    if (Token(index) == ")") ++index;
    if (index != close) return ReportAtElement(kMsgExpecting, "}");
    ++index;
    // A frequency table's unit words may stand before the '=' or after it. The '=' itself may
    // be left out before the table or the transfer function, as PSpice netlisters write them.
    std::string keywords;
    auto takeKeywords = [&] {
        static constexpr std::string_view kValueWords[] = {"MAG", "DB", "DEG", "RAD", "R_I"};
        if (attribute != kAttrFreq) return;
        while (std::find(std::begin(kValueWords), std::end(kValueWords), Token(index)) != std::end(kValueWords)) {
            keywords += Token(index++);
            keywords += ' ';
        }
    };
    takeKeywords();
    if (Token(index) == "=")
        ++index;
    else if (Token(index) != "(" && Token(index) != "{")
        return ReportAtElement(kMsgExpecting, "=");
    takeKeywords();
    if (!keywords.empty() && !SetElementAttribute(item, kAttrKeyword, keywords)) return kMsgAlreadyReported;
    return ParseElementValueAttributes(index, ItemComponentTypeOf(item), false);
}

int ControlledSource(bool voltageOutput)
{
    const std::string& word = Token(3);
    if (word == "CHEBYSHEV") {
        int index = 0;
        if (int status = NewElementComponent(voltageOutput ? kComponentNFV : kComponentNFI, index, 2)) return status;
        return ReportAtElement(kMsgChebyshev, {});
    }
    const int wordId = AttributeIdFromName(word);
    const ControlledVariant* variant = nullptr;
    for (const ControlledVariant& candidate : kVariants)
        if (candidate.attribute == wordId) variant = &candidate;
    if (!variant) {
        const int type = voltageOutput ? kComponentPolyFromLetter('E') : kComponentPolyFromLetter('G');
        return SimpleElement(type, 2);
    }
    const int type = voltageOutput ? variant->voltageType : variant->currentType;
    int index = 0;
    if (int status = NewElementComponent(type, index, 2)) return status;
    ++index;  // the keyword
    if (variant->attribute != kAttrValue) return ParseControlledTable(variant->attribute, index);
    if (Token(index) == "=")
        ++index;
    else if (Token(index) != "{")
        return ReportAtElement(kMsgExpecting, "=");
    if (Token(index) != "{") return ReportAtElement(kMsgExpecting, "{");
    const int close = BraceGroupEnd(index);
    if (close < 0) return ReportAtElement(kMsgExpecting, "}");
    std::string expression = BraceGroupText(index + 1, close);
    CaretsToPowers(expression);
    if (!SetElementAttribute(CurrentElement(), kAttrValue, expression)) return kMsgAlreadyReported;
    // PSpice may give an AC expression after the value.
    std::string rest = CollectValueText(close + 1);
    CaretsToPowers(rest);
    if (!rest.empty() && !SetElementAttribute(CurrentElement(), kAttrFreq, rest)) return kMsgAlreadyReported;
    return 0;
}

int ParseE() { return ControlledSource(true); }
int ParseG() { return ControlledSource(false); }

// B: "B1 n+ n- I=expr" and "B1 n+ n- V=expr" are behavioural sources, written as G and E with
// a VALUE group; anything else is a GaAsFET.
int ParseB()
{
    const std::string& kind = Token(3);
    if ((kind == "I" || kind == "V") && Token(4) == "=") {
        std::vector<std::string>& tokens = TokenArray();
        const bool current = kind == "I";
        try {
            tokens[3] = "VALUE";
            tokens.insert(tokens.begin() + 5, "{");
            const int count = TokenCount();
            tokens.resize(static_cast<std::size_t>(count));
            tokens.emplace_back("}");
            tokens.emplace_back();
        } catch (const std::bad_alloc&) {
            return kMsgInsufficientMemory;
        }
        return ControlledSource(!current);
    }
    return SimpleElement(kComponentGaAsFet, 3);
}

// K: inductor names, then the coupling (a number among the last three tokens, or an expression
// in braces), the core model and its size.
int ParseK()
{
    int index = 0;
    if (int status = NewElementComponent(kComponentK, index, 0)) return status;
    SchematicItem* item = CurrentElement();
    const int count = TokenCount();
    std::string inductors;
    int i = 1;
    for (; i < count; ++i) {
        if (Token(i) == "{" || (StartsNumber(Token(i)) && i >= count - 3)) break;
        if (!inductors.empty()) inductors += ' ';
        inductors += Token(i);
    }
    if (!SetElementAttribute(item, kAttrInductors, inductors)) return kMsgAlreadyReported;
    if (Token(i) == "{") {
        const int close = BraceGroupEnd(i);
        if (close < 0) return ReportAtElement(kMsgExpecting, "}");
        std::string coupling = "{";
        coupling += BraceGroupText(i + 1, close);
        coupling += '}';
        if (!SetElementAttribute(item, kAttrCoupling, coupling)) return kMsgAlreadyReported;
        i = close + 1;
    } else if (i < count && !SetElementAttribute(item, kAttrCoupling, Token(i++))) {
        return kMsgAlreadyReported;
    }
    if (!Token(i).empty() && !SetElementAttribute(item, kAttrModel, Token(i++))) return kMsgAlreadyReported;
    if (!Token(i).empty() && !SetElementAttribute(item, kAttrSize, Token(i++))) return kMsgAlreadyReported;
    return 0;
}

// X: pins, the subcircuit name, then PARAMS: and TEXT: lists. A list of "name=value" without
// PARAMS: (the SPICE3 form) counts as parameters too.
int ParseX()
{
    const int count = TokenCount();
    int last = 1;
    while (last < count && Token(last) != "PARAMS:" && Token(last) != "TEXT:" && Token(last + 1) != "=") ++last;
    // last: the first token after the subcircuit name.
    const int nameIndex = last - 1;
    if (nameIndex < 1) {
        int index = 0;
        if (int status = NewElementComponent(kComponentSubckt, index, 0)) return status;
        return ReportAtElement(kMsgMissingNodes, {});
    }
    const int pins = nameIndex - 1;
    std::vector<std::string_view> pinNames;
    try {
        pinNames.reserve(static_cast<std::size_t>(pins));
        for (int pin = 0; pin < pins; ++pin) pinNames.emplace_back(Token(1 + pin));
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    ComponentDefinition* definition = CallDefinition(pinNames);
    if (!definition) return ReportReaderOutOfMemory();
    int index = 0;
    if (int status = NewElementComponent(kComponentSubckt, index, pins, definition)) return status;
    SchematicItem* item = CurrentElement();
    if (!SetElementAttribute(item, kAttrName, Token(nameIndex))) return kMsgAlreadyReported;
    // FILE names the text the line was read from; the circuit's own file is searched first for
    // every call, so a line of it need not name it (a hundred bytes a call in a large netlist).
    const std::string file = GetRecordTitle(CurrentRecord());
    const SubcktScope* top = FindScope(0);
    if (!(top && FileNamesEqual(top->fileName, file)) && !SetElementAttribute(item, kAttrFile, file))
        return kMsgAlreadyReported;
    index = last;
    while (index < count) {
        int attribute = kAttrParams;
        if (Token(index) == "TEXT:") {
            attribute = kAttrTextColon;
            ++index;
        } else if (Token(index) == "PARAMS:") {
            ++index;
        }
        std::string list;
        while (index < count && Token(index) != "PARAMS:" && Token(index) != "TEXT:") {
            list += Token(index++);
            list += ' ';
        }
        if (!list.empty()) {
            std::string joined = GetAttributeText(item, attribute);
            joined += list;
            if (!SetElementAttribute(item, attribute, joined)) return kMsgAlreadyReported;
        }
    }
    return 0;
}

constexpr ElementParser kElementParsers[26] = {
    nullptr, ParseB, ParseC, ParseD, ParseE, ParseF, ParseG, ParseH, ParseI, ParseJ, ParseK, ParseL, ParseM,
    ParseDigitalInput, ParseDigitalOutput, nullptr, ParseQ, ParseR, ParseS, ParseT, ParseDigitalPrimitive,
    ParseV, ParseW, ParseX, nullptr, ParseZ,
};

}  // namespace

ElementParser FindElementParser(char letter)
{
    if (letter < 'A' || letter > 'Z') return nullptr;
    return kElementParsers[letter - 'A'];
}

SchematicItem* CurrentElement() { return NetlistReader().currentElement; }

int ParseElementNode(SchematicItem* component, int& index, int pin)
{
    const std::string& token = Token(index);
    if (token.empty()) {
        ReportNetlistMessage("WNE", CurrentRecord(), component, kMsgMissingNodes);
        return kMsgAlreadyReported;
    }
    std::int32_t node = -1;
    if (int status = ResolveNodeName(MapOptionalPinName(token), node)) return status;
    if (static_cast<std::size_t>(pin) >= component->pinNodes.size()) component->pinNodes.resize(static_cast<std::size_t>(pin) + 1, 0);
    component->pinNodes[static_cast<std::size_t>(pin)] = node;
    ++index;
    return 0;
}

int ParseElementNodes(SchematicItem* component, int& index, int count)
{
    for (int pin = 0; pin < count; ++pin)
        if (int status = ParseElementNode(component, index, pin)) return status;
    return 0;
}

std::string CollectValueText(int index)
{
    std::string text;
    int depth = 0;
    for (int i = index; !Token(i).empty(); ++i) {
        const std::string& token = Token(i);
        if (token == "{") ++depth;
        if (token == "}" && depth > 0) --depth;
        std::string value;
        if (depth > 0 && token != "{" && MapParamName(token, value))
            text += value;
        else
            text += token;
        const std::string& next = Token(i + 1);
        if (next.empty() || token == "(" || token == "=" || token == "," || next.front() == ')' || (next.front() == '(' && token != ")") ||
            next.front() == '=' || next.front() == ',')
            continue;
        text += ' ';
    }
    return text;
}

int CollectTokensIntoAttribute(SchematicItem* component, int attributeId, std::string_view stop, int& index)
{
    std::string text;
    for (; !Token(index).empty() && Token(index) != stop; ++index) {
        text += Token(index);
        text += ' ';
    }
    return SetElementAttribute(component, attributeId, text) ? 0 : kMsgAlreadyReported;
}

}  // namespace kq5
