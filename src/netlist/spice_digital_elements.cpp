// N, O and U lines: the digital interface parts and the digital primitives.
#include <new>
#include <vector>

#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/component_types.h"
#include "netlist/spice_element_support.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_reader_state.h"
#include "netlist/spice_tokens.h"
#include "netlist/subcircuit_calls.h"
#include "netlist/subcircuit_nodes.h"
#include "document/component_definition.h"
#include "document/component_library.h"

namespace kq5 {

namespace {

constexpr int kMsgMissingNodes = 10908;
constexpr int kMsgUnknownComponent = 10910;
constexpr int kMsgIllegalGateCount = 10913;
constexpr int kMsgIllegalPinCount = 10914;
constexpr int kMsgIllegalNumber = 10922;
constexpr int kMsgZeroDigitalNode = 10923;
constexpr int kMsgExpecting = 11900;
constexpr int kMsgExpectingFollow = 11901;
constexpr int kMsgInputInterfaceForm = 10971;
constexpr int kMsgOutputInterfaceForm = 10972;
constexpr int kMsgExtraText = 11903;

int Report(int id)
{
    ReportNetlistMessage("WNE", CurrentRecord(), CurrentElement(), id);
    return kMsgAlreadyReported;
}

template <class... Args>
int Report(int id, Args&&... args)
{
    ReportNetlistMessage("WNE", CurrentRecord(), CurrentElement(), id, std::forward<Args>(args)...);
    return kMsgAlreadyReported;
}

// "DGTLNET = node" into the pin.
int ParseDigitalNet(int& index, int pin)
{
    const std::string& word = Token(index);
    // The message shows the whole form: N and O lines of other simulators are other devices.
    if (word != "DGTLNET")
        return Report(pin == 3 ? kMsgInputInterfaceForm : kMsgOutputInterfaceForm, word.empty() ? std::string("nothing") : word);
    ++index;
    if (Token(index) != "=") return Report(kMsgExpecting, "=");
    ++index;
    return ParseElementNode(CurrentElement(), index, pin);
}

bool InRange(int type, int first, int last) { return type >= first && type <= last; }

// How the pins of a U line spread over its gates.
struct PrimitiveLayout {
    int itemType = 0;      // component type of each item (the element gate of an array)
    int items = 1;         // component items made
    int pinsPerItem = 0;
    int inputPins = 0;     // leading input pins of an item
    int totalPins = 0;     // node tokens on the line
    std::string pinLetters;  // i, e, r, o per pin of LOGICEXP, PINDLY and CONSTRAINT
    int sizeA = 0, sizeB = 0;  // AO ... OAI: inputs per gate and gates, kept in the definition
    // Index of each item's pins in the line's node list.
    std::vector<std::vector<int>> pinMap;
};

// The layout, or a message id (10913, 10914) when the numbers make none, or 10908 when they
// ask for more pin nodes than the line has tokens left (nodeTokens): the counts come from
// the text, so they are checked in 64 bits before anything is made to their size.
int LayoutPrimitive(int type, const std::vector<int>& numbers, long long nodeTokens, PrimitiveLayout& layout)
{
    const ComponentTypeRow& row = kComponentTypeTable[type];
    const long long n1 = numbers.size() > 0 ? numbers[0] : 0;
    const long long n2 = numbers.size() > 1 ? numbers[1] : 0;
    const long long n3 = numbers.size() > 2 ? numbers[2] : 0;
    const long long gates = (row.flags & kTypeGateCountParameter) && !numbers.empty() ? numbers.back() : 1;
    if (gates < 1) return kMsgIllegalGateCount;
    layout.itemType = type;
    auto single = [&](long long pins, long long inputs) {
        if (pins > nodeTokens) return kMsgMissingNodes;
        layout.pinsPerItem = static_cast<int>(pins);
        layout.inputPins = static_cast<int>(inputs);
        layout.totalPins = static_cast<int>(pins);
        layout.pinMap.assign(1, {});
        for (int i = 0; i < pins; ++i) layout.pinMap[0].push_back(i);
        return 0;
    };
    auto arrayOf = [&](long long inputsPerGate, bool enable) {
        if (gates * (inputsPerGate + 1) + (enable ? 1 : 0) > nodeTokens) return kMsgMissingNodes;
        layout.itemType = static_cast<int>(row.pinNames);
        const int count = static_cast<int>(gates), inputs = static_cast<int>(inputsPerGate);
        layout.items = count;
        layout.pinsPerItem = inputs + 1 + (enable ? 1 : 0);
        layout.inputPins = inputs + (enable ? 1 : 0);
        layout.totalPins = count * (inputs + 1) + (enable ? 1 : 0);
        layout.pinMap.assign(static_cast<std::size_t>(count), {});
        const int outputs = count * inputs + (enable ? 1 : 0);
        for (int k = 0; k < count; ++k) {
            std::vector<int>& pins = layout.pinMap[static_cast<std::size_t>(k)];
            for (int i = 0; i < inputs; ++i) pins.push_back(k * inputs + i);
            if (enable) pins.push_back(count * inputs);
            pins.push_back(outputs + k);
        }
        return 0;
    };
    auto flipFlops = [&](int dataPins) {
        if (3 + gates * (dataPins + 2) > nodeTokens) return kMsgMissingNodes;
        const int count = static_cast<int>(gates);
        layout.items = count;
        layout.pinsPerItem = 3 + dataPins + 2;
        layout.inputPins = 3 + dataPins;
        layout.totalPins = 3 + count * (dataPins + 2);
        layout.pinMap.assign(static_cast<std::size_t>(count), {});
        for (int k = 0; k < count; ++k) {
            std::vector<int>& pins = layout.pinMap[static_cast<std::size_t>(k)];
            pins = {0, 1, 2};
            for (int group = 0; group < dataPins + 2; ++group) pins.push_back(3 + group * count + k);
        }
        return 0;
    };
    const auto inputsOf = [](int code) { return code == 64 || code == 65 || code == 72 || code == 73 || code == 84 ||
                                                code == 85 || code == 92 || code == 93
                                                    ? 2
                                                    : 1; };
    if (InRange(type, kComponentBufA, kComponentNxorA)) {
        const int element = static_cast<int>(row.pinNames);
        const long long inputs = InRange(element, kComponentAnd, kComponentNor) ? n1 : inputsOf(type);
        if (inputs < 1) return kMsgIllegalPinCount;
        return arrayOf(inputs, false);
    } else if (InRange(type, kComponentBuf3A, kComponentNxor3A)) {
        const int element = static_cast<int>(row.pinNames);
        const long long inputs = InRange(element, 80, 83) ? n1 : inputsOf(type);
        if (inputs < 1) return kMsgIllegalPinCount;
        return arrayOf(inputs, true);
    } else if (type == kComponentJkff || type == kComponentSrff) {
        return flipFlops(2);
    } else if (type == kComponentDff || type == kComponentDltch) {
        return flipFlops(1);
    } else if (type == kComponentPullup || type == kComponentPulldn) {
        if (gates > nodeTokens) return kMsgMissingNodes;
        const int count = static_cast<int>(gates);
        layout.items = count;
        layout.pinsPerItem = 1;
        layout.inputPins = 1;
        layout.totalPins = count;
        layout.pinMap.assign(static_cast<std::size_t>(count), {});
        for (int k = 0; k < count; ++k) layout.pinMap[static_cast<std::size_t>(k)] = {k};
    } else if (type == kComponentLogicExp) {
        if (n1 < 0 || n2 < 1) return kMsgIllegalPinCount;
        if (int id = single(n1 + n2, n1)) return id;
        layout.pinLetters = std::string(static_cast<std::size_t>(n1), 'i') + std::string(static_cast<std::size_t>(n2), 'o');
    } else if (type == kComponentPinDly) {
        if (n1 < 1 || n2 < 0 || n3 < 0) return kMsgIllegalPinCount;
        if (int id = single(2 * n1 + n2 + n3, n1 + n2 + n3)) return id;
        layout.pinLetters = std::string(static_cast<std::size_t>(n1), 'i') + std::string(static_cast<std::size_t>(n2), 'e') +
                            std::string(static_cast<std::size_t>(n3), 'r') + std::string(static_cast<std::size_t>(n1), 'o');
    } else if (type == kComponentConstraint) {
        if (n1 < 1) return kMsgIllegalPinCount;
        if (int id = single(n1, n1)) return id;
        layout.pinLetters = std::string(static_cast<std::size_t>(n1), 'i');
    } else if (InRange(type, kComponentAo, kComponentOai)) {
        if (n1 < 1 || n2 < 1) return kMsgIllegalPinCount;
        if (int id = single(n1 * n2 + 1, n1 * n2)) return id;
        layout.sizeA = static_cast<int>(n1);
        layout.sizeB = static_cast<int>(n2);
    } else if (InRange(type, kComponentAnd, kComponentNor)) {
        if (n1 < 1) return kMsgIllegalPinCount;
        if (int id = single(n1 + 1, n1)) return id;
    } else if (InRange(type, 80, 83)) {
        if (n1 < 1) return kMsgIllegalPinCount;
        if (int id = single(n1 + 2, n1 + 1)) return id;
    } else if (type == kComponentAdc) {
        if (n1 < 1) return kMsgIllegalPinCount;
        if (int id = single(6 + n1, 4)) return id;
    } else if (type == kComponentDac) {
        if (n1 < 1) return kMsgIllegalPinCount;
        if (int id = single(3 + n1, 3 + n1)) return id;
    } else if (InRange(type, kComponentPland, kComponentPlnxorc)) {
        if (n1 < 1 || n2 < 1) return kMsgIllegalPinCount;
        if (int id = single(n1 + n2, n1)) return id;
    } else if (type == kComponentStim || type == kComponentFstim) {
        if (n1 < 1) return kMsgIllegalPinCount;
        if (int id = single(n1, 0)) return id;
    } else {
        if (row.pins <= 0) return kMsgIllegalPinCount;
        const int inputs = type == kComponentXor || type == kComponentNxor ? 2
                           : type == kComponentBuf3 || type == 79   ? 2
                           : type == 84 || type == kComponentNxor3  ? 3
                                                                    : 1;
        if (int id = single(row.pins, std::min<int>(inputs, row.pins))) return id;
    }
    return 0;
}

ComponentDefinition* PrimitiveDefinition(const PrimitiveLayout& layout)
{
    for (ComponentDefinition& definition : ListRecords<ComponentDefinition>(ComponentLibrary().definitions)) {
        if (definition.type == layout.itemType && definition.inputPinCount == layout.inputPins &&
            ComponentPinCount(definition) == layout.pinsPerItem &&
            (layout.sizeA == 0 || (definition.sizeA == layout.sizeA && definition.sizeB == layout.sizeB)))
            return &definition;
    }
    ComponentDefinition* definition = NewGeneratedDefinition(layout.itemType, layout.pinsPerItem);
    if (!definition) return nullptr;
    definition->inputPinCount = static_cast<std::int16_t>(layout.inputPins);
    if (layout.sizeA > 0) {
        definition->sizeA = static_cast<std::uint16_t>(layout.sizeA);
        definition->sizeB = static_cast<std::uint16_t>(layout.sizeB);
    }
    for (std::size_t pin = 0; pin < layout.pinLetters.size() && pin < definition->pins.size(); ++pin)
        definition->pins[pin].typeLetter = layout.pinLetters[pin];
    return definition;
}

// The value of a keyword: one token or a brace group (parameters substituted).
std::string KeywordValue(int& index)
{
    if (Token(index) == "{") {
        int depth = 0;
        int close = index;
        for (; !Token(close).empty(); ++close) {
            if (Token(close) == "{") ++depth;
            if (Token(close) == "}" && --depth == 0) break;
        }
        std::string value = BraceGroupText(index + 1, close);
        index = Token(close).empty() ? close : close + 1;
        return value;
    }
    return Token(index++);
}

struct KeywordAttribute {
    std::string_view word;
    int attribute;
};
constexpr KeywordAttribute kPrimitiveKeywords[] = {
    {"IO_LEVEL", kAttrIoLevel}, {"MNTYMXDLY", kAttrMntymxdly}, {"TIMESTEP", kAttrTimestep},
    {"DATA", kAttrData},        {"FILE", kAttrFile},           {"SIGNAMES", kAttrSigNames},
};

int ParsePrimitiveKeywords(int type, int index)
{
    SchematicItem* item = CurrentElement();
    while (!Token(index).empty()) {
        const std::string& word = Token(index);
        const KeywordAttribute* keyword = nullptr;
        for (const KeywordAttribute& candidate : kPrimitiveKeywords)
            if (word == candidate.word) keyword = &candidate;
        if (keyword) {
            ++index;
            if (Token(index) != "=") return Report(kMsgExpecting, "=");
            ++index;
            std::string value;
            if (keyword->attribute == kAttrData) {
                // Fuse data runs from its radix flag to the second '$'.
                int marks = 0;
                while (!Token(index).empty() && marks < 2) {
                    for (char c : Token(index))
                        if (c == '$') ++marks;
                    value += Token(index++);
                    if (marks < 2) value += ' ';
                }
            } else if (keyword->attribute == kAttrSigNames) {
                // One signal name per pin, up to the next keyword or the end of the line.
                auto isKeyword = [&](int at) {
                    for (const KeywordAttribute& candidate : kPrimitiveKeywords)
                        if (Token(at) == candidate.word && Token(at + 1) == "=") return true;
                    return false;
                };
                while (!Token(index).empty() && !isKeyword(index)) {
                    if (!value.empty()) value += ' ';
                    value += Token(index++);
                }
            } else {
                value = KeywordValue(index);
            }
            if (!SetElementAttribute(item, keyword->attribute, value)) return kMsgAlreadyReported;
            continue;
        }
        int attribute = 0;
        if (type == kComponentLogicExp) attribute = kAttrLogic;
        if (type == kComponentPinDly) attribute = kAttrPinDelay;
        if (type == kComponentConstraint) attribute = kAttrConstraint;
        if (type == kComponentStim) attribute = kAttrCommand;
        if (attribute == 0) return Report(kMsgExtraText, word);
        return SetElementAttribute(item, attribute, CollectValueText(index)) ? 0 : kMsgAlreadyReported;
    }
    return 0;
}

int FindPrimitiveType(std::string_view name)
{
    for (int type = 0; type < kComponentTypeCount; ++type) {
        const ComponentTypeRow& row = kComponentTypeTable[type];
        if (row.letter == 'U' && row.domain != kDomainAnalog && row.name[0] != '\0' && EqualsNoCase(row.name, name))
            return type;
    }
    return -1;
}

}  // namespace

int ParseDigitalInput()
{
    int index = 0;
    if (int status = NewElementComponent(kComponentDigitalInput, index, 3)) return status;
    SchematicItem* item = CurrentElement();
    if (!Token(index).empty() && Token(index) != "DGTLNET" && !SetElementAttribute(item, kAttrModel, Token(index++)))
        return kMsgAlreadyReported;
    if (int status = ParseDigitalNet(index, 3)) return status;
    if (!Token(index).empty() && Token(index) != "IS" && !SetElementAttribute(item, kAttrIoModel, Token(index++)))
        return kMsgAlreadyReported;
    if (Token(index) == "IS") {
        if (Token(index + 1) != "=") return Report(kMsgExpectingFollow, "=", "IS");
        if (!SetElementAttribute(item, kAttrIs, Token(index + 2))) return kMsgAlreadyReported;
        index += 3;
    }
    if (!Token(index).empty()) return Report(kMsgExtraText, Token(index));
    return 0;
}

int ParseDigitalOutput()
{
    int index = 0;
    if (int status = NewElementComponent(kComponentDigitalOutput, index, 2)) return status;
    SchematicItem* item = CurrentElement();
    if (!Token(index).empty() && Token(index) != "DGTLNET" && !SetElementAttribute(item, kAttrModel, Token(index++)))
        return kMsgAlreadyReported;
    if (int status = ParseDigitalNet(index, 2)) return status;
    if (!Token(index).empty() && !SetElementAttribute(item, kAttrIoModel, Token(index++))) return kMsgAlreadyReported;
    if (!Token(index).empty()) return Report(kMsgExtraText, Token(index));
    return 0;
}

int ParseDigitalPrimitive()
{
    const int type = FindPrimitiveType(Token(1));
    if (type < 0) {
        ReportNetlistMessage("WLE", CurrentRecord(), CurrentScope(), kMsgUnknownComponent, Token(1));
        return kMsgAlreadyReported;
    }
    const ComponentTypeRow& row = kComponentTypeTable[type];
    // The first item exists from the start so that messages name the part.
    SchematicItem* first = NewSchematicItem(CurrentRecord());
    if (!first) return kMsgInsufficientMemory;
    first->itemKind = kItemComponent;
    first->page = -1;
    first->scope = CurrentScope();
    NetlistReader().currentElement = first;
    try {
        RecordElementOrigin(first);
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    if (!SetElementAttribute(first, kAttrPart, Token(0))) return kMsgAlreadyReported;

    const int parameterCount = (row.flags & kTypeThreeParameters)  ? 3
                               : (row.flags & kTypeTwoParameters) ? 2
                               : (row.flags & kTypeOneParameter)  ? 1
                                                                  : 0;
    int index = 2;
    std::vector<int> numbers;
    std::vector<std::string> numberTexts;
    if (parameterCount > 0) {
        if (Token(index) != "(") return Report(kMsgExpecting, "(");
        ++index;
        for (int k = 0; k < parameterCount; ++k) {
            const std::string& token = Token(index);
            if (token == ")" || token.empty()) return Report(kMsgExpecting, "value");
            const double value = ParseNumber(token);
            if (ParseError()) return Report(kMsgIllegalNumber, token);
            numbers.push_back(RoundToInt(value));
            numberTexts.push_back(token);
            ++index;
            if (k + 1 < parameterCount) {
                if (Token(index) != ",") return Report(kMsgExpecting, ",");
                ++index;
            }
        }
        if (Token(index) != ")") return Report(kMsgExpecting, ")");
        ++index;
    }
    PrimitiveLayout layout;
    // Digital power and ground come before the pins.
    const long long nodeTokens = static_cast<long long>(TokenCount()) - index - 2;
    if (int id = LayoutPrimitive(type, numbers, nodeTokens, layout)) return Report(id);
    if (type == kComponentStim && numberTexts.size() > 1 && !SetElementAttribute(first, kAttrFormat, numberTexts[1]))
        return kMsgAlreadyReported;

    // Digital power and ground.
    for (int attribute : {kAttrPowerNode, kAttrGroundNode}) {
        if (Token(index).empty()) return Report(kMsgMissingNodes);
        if (!SetElementAttribute(first, attribute, MapOptionalPinName(Token(index++)))) return kMsgAlreadyReported;
    }
    std::vector<std::string> pinNames;
    const bool refusesGround = type == kComponentStim || type == kComponentFstim || type == kComponentLogicExp;
    for (int pin = 0; pin < layout.totalPins; ++pin) {
        const std::string& token = Token(index++);
        if (token.empty()) return Report(kMsgMissingNodes);
        if (refusesGround && token == "0") return Report(kMsgZeroDigitalNode);
        pinNames.push_back(token);
    }
    if (kComponentTypeTable[layout.itemType].modelType >= 0 || row.modelType >= 0) {
        if (!Token(index).empty() && !SetElementAttribute(first, kAttrTimingModel, Token(index++)))
            return kMsgAlreadyReported;
    }
    // Parts without a model type (PULLUP, STIM, ...) take the I/O model right after the nodes.
    if (!Token(index).empty() && Token(index + 1) != "=" &&
        !SetElementAttribute(first, kAttrIoModel, Token(index++)))
        return kMsgAlreadyReported;
    if (int status = ParsePrimitiveKeywords(type, index)) return status;

    ComponentDefinition* definition = PrimitiveDefinition(layout);
    if (!definition) return ReportReaderOutOfMemory();
    first->definition = definition;
    const std::string part = Token(0);
    std::vector<SchematicItem*> items{first};
    for (int gate = 1; gate < layout.items; ++gate) {
        SchematicItem* item = NewSchematicItem(CurrentRecord());
        if (!item) return kMsgInsufficientMemory;
        item->itemKind = kItemComponent;
        item->page = -1;
        item->scope = first->scope;
        if (CopyComponentAttributes(*item, *first) != 0) return kMsgInsufficientMemory;
        if (!SetElementAttribute(item, kAttrPart, StrPrintf("%s__%d", part.c_str(), gate))) return kMsgAlreadyReported;
        try {
            CopyElementOrigin(item, first);
        } catch (const std::bad_alloc&) {
            return kMsgInsufficientMemory;
        }
        items.push_back(item);
    }
    for (std::size_t gate = 0; gate < items.size(); ++gate) {
        SchematicItem* item = items[gate];
        NetlistReader().currentElement = item;
        if (SetComponentPinNodeCount(*item, layout.pinsPerItem) != 0) return kMsgInsufficientMemory;
        const std::vector<int>& map = layout.pinMap[gate];
        for (std::size_t pin = 0; pin < map.size(); ++pin) {
            std::int32_t node = -1;
            if (int status = ResolveNodeName(MapOptionalPinName(pinNames[static_cast<std::size_t>(map[pin])]), node))
                return status;
            item->pinNodes[pin] = node;
        }
    }
    NetlistReader().currentElement = first;
    return 0;
}

}  // namespace kq5
