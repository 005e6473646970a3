#pragma once
// The subcircuit scopes of the current circuit: entry 0 is the main circuit, every subcircuit
// instance met by the expansion gets one more. Messages name a part by its scope's instance
// path and show the scope's file.
//
// A scope keeps only its own instance name; its path is made from its parents' names when a
// name is printed or looked up, so that a circuit of many calls, or of calls nested deep, keeps
// a few words per scope. File names are kept once, however many scopes share them.
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace kq5 {

struct WindowRecord;

// A file name kept once for every scope that names it.
class ScopeFileName {
public:
    ScopeFileName& operator=(std::string_view text);
    const std::string& str() const;
    operator const std::string&() const { return str(); }
    operator std::string_view() const { return str(); }
    bool empty() const { return str().empty(); }
    friend bool operator==(const ScopeFileName& a, std::string_view b) { return a.str() == b; }

private:
    const std::string* text_ = nullptr;
};

// Entries are a few words each, as there is one for every call of a large circuit: the
// instance names sit one after another in a block of the table, and the few scopes that keep a
// circuit window (ScopeWindow) are listed apart.
struct SubcktScope {
    std::int32_t parent = 0;         // model lookup walks from a scope up to the top through it
    std::uint32_t pathLength = 0;    // of the instance path (set by SetScopePart)
    std::uint64_t pathHash = 0;      // NameHashFeed of the instance path (set by SetScopePart)
    std::uint32_t partStart = 0;     // of the instance's name in the table's block
    std::uint32_t partLength = 0;
    ScopeFileName fileName;          // the file the scope's text came from

    // The instance's name (upper case, set by SetScopePart); empty for the main circuit.
    std::string_view Part() const;
};

// A hash of a name that can be carried on from a scope's path: feeding "X1", then ".A" gives
// the state that feeding "X1.A" gives, so a name inside a scope is hashed without making its
// whole text. NameHashFinish spreads a state over all bits.
inline std::uint64_t NameHashFeed(std::uint64_t state, std::string_view text)
{
    for (const char c : text) state = state * 0x100000001B3u + static_cast<unsigned char>(c);
    return state;
}
inline std::uint64_t NameHashFinish(std::uint64_t state)
{
    state ^= state >> 33;
    state *= 0xFF51AFD7ED558CCDu;
    state ^= state >> 33;
    state *= 0xC4CEB9FE1A85EC53u;
    state ^= state >> 33;
    return state;
}
// The finished hash of a name qualified with the scope's path, as QualifyNameWithScope spells it.
std::uint64_t ScopedNameHash(int scope, std::string_view name);
// The length of that qualified name.
std::size_t ScopedNameLength(int scope, std::string_view name);
// Whether the text is that qualified name (case-blind when asked). The path is matched from
// its end, scope by scope, without being spelt, so that a text is told from the names of many
// scopes, or of scopes nested deep, at the cost of the characters that differ.
bool ScopedNameMatches(int scope, std::string_view name, std::string_view text, bool ignoreCase);

// The instance path of a scope: its parents' names and its own, joined by "." (the main
// circuit's is empty). The last path made is kept, so that the names of one scope, and of a
// scope just made inside it, are qualified without walking up to the top again.
std::string ScopePath(int scope);
// Names the instance of the scope.
void SetScopePart(int scope, std::string_view part);

// Empty while no table exists. A deque: an entry stays where it is as more are added.
using SubcktScopeTable = std::deque<SubcktScope>;

// Resizes the table to the entries 0 to highest (new entries empty); 0, or 15055 after
// reporting when memory runs out.
int ResizeScopeTable(int highest);

// The windows of circuits loaded for scopes (the main circuit's own, macros'), by rising scope.
struct ScopeWindow {
    int scope = 0;
    WindowRecord* window = nullptr;
};
const std::vector<ScopeWindow>& ScopeWindows();
// Keeps the window for the scope, or forgets the scope's when null.
void SetScopeWindow(int scope, WindowRecord* window);
// Forgets the windows of every scope but the main circuit's.
void ForgetInstanceScopeWindows();
void FreeScopeTable();
bool ScopeTableExists();
// The entry of a scope index; null when no table exists or the index lies outside it.
const SubcktScope* FindScope(int index);
SubcktScope* FindScopeForEdit(int index);

}  // namespace kq5
