#include "netlist/spice_tokens.h"

#include <new>

#include "core/char_classes.h"
#include "core/message_reporter.h"
#include "netlist/spice_reader_state.h"

namespace kq5 {

namespace {

constexpr std::size_t kInitialTokenSlots = 50;

const std::string& EmptyToken()
{
    static const std::string empty;
    return empty;
}

}  // namespace

bool IsTokenDelimiter(char c) { return c == '\t' || HasCharClass(c, kCharSeparator); }

void CaretsToPowers(std::string& value)
{
    for (std::size_t caret = value.find('^'); caret != std::string::npos; caret = value.find('^', caret + 2))
        value.replace(caret, 1, "**");
}

int PrepareTokenArray()
{
    NetlistReaderState& state = NetlistReader();
    try {
        if (!state.tokenArrayMade) {
            state.tokens.reserve(kInitialTokenSlots);
            state.tokenArrayMade = true;
        }
        state.tokens.clear();
        state.tokens.emplace_back();
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    return 0;
}

int TokenizeNetlistLine(std::string_view line)
{
    if (int status = PrepareTokenArray()) return status;
    std::vector<std::string>& tokens = NetlistReader().tokens;
    try {
        tokens.clear();
        if (!line.empty() && line.front() == '*') {
            tokens.emplace_back("*");
            tokens.emplace_back();
            return 0;
        }
        std::string pending;
        bool afterColon = false;
        auto store = [&]() {
            if (!pending.empty()) tokens.push_back(std::move(pending));
            pending.clear();
        };
        std::size_t i = 0;
        for (; i < line.size() && line[i] != ';'; ++i) {
            const char c = line[i];
            const bool delimiter = IsTokenDelimiter(c);
            if (!delimiter && !afterColon) {
                pending += c;
                if (c == ':') afterColon = true;
                continue;
            }
            store();
            afterColon = false;
            if (c == '"') {
                std::size_t close = line.find('"', i + 1);
                std::size_t end = close == std::string_view::npos ? line.size() : close + 1;
                tokens.emplace_back(line.substr(i, end - i));
                i = end - 1;
            } else if (c == ' ' || c == '\t') {
            } else if (delimiter) {
                tokens.emplace_back(1, c);
            } else {
                pending += c;
                if (c == ':') afterColon = true;
            }
        }
        store();
        tokens.emplace_back();
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    return 0;
}

void FreeTokenArray()
{
    NetlistReaderState& state = NetlistReader();
    std::vector<std::string>().swap(state.tokens);
    state.tokenArrayMade = false;
}

const std::string& Token(int index)
{
    const std::vector<std::string>& tokens = NetlistReader().tokens;
    if (index < 0 || static_cast<std::size_t>(index) >= tokens.size()) return EmptyToken();
    return tokens[static_cast<std::size_t>(index)];
}

int TokenCount()
{
    const std::vector<std::string>& tokens = NetlistReader().tokens;
    int count = 0;
    while (static_cast<std::size_t>(count) < tokens.size() && !tokens[static_cast<std::size_t>(count)].empty()) ++count;
    return count;
}

std::vector<std::string>& TokenArray() { return NetlistReader().tokens; }

int JoinBraceGroupTokens()
{
    std::vector<std::string>& tokens = NetlistReader().tokens;
    try {
        for (std::size_t open = 0; open < tokens.size(); ++open) {
            if (tokens[open] != "{") continue;
            std::size_t close = open;
            for (int depth = 0; close < tokens.size() && !tokens[close].empty(); ++close) {
                if (tokens[close] == "{") ++depth;
                if (tokens[close] == "}" && --depth == 0) break;
            }
            if (close >= tokens.size() || tokens[close] != "}") return 0;
            std::string joined;
            for (std::size_t i = open; i <= close; ++i) joined += tokens[i];
            tokens[open] = std::move(joined);
            tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(open) + 1,
                         tokens.begin() + static_cast<std::ptrdiff_t>(close) + 1);
        }
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    return 0;
}

}  // namespace kq5
