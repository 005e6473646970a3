#include "document/scope_table.h"

#include <algorithm>
#include <new>
#include <unordered_set>

#include "core/char_classes.h"
#include "core/message_reporter.h"
#include "document/scope_names.h"
#include "document/netlist_state.h"

namespace kq5 {

namespace {

// The file names of the scopes; emptied with the table.
std::unordered_set<std::string>& FileNamePool()
{
    static std::unordered_set<std::string> pool;
    return pool;
}

// The instance names of the scopes, one after another; emptied with the table.
std::string& PartChars()
{
    static std::string chars;
    return chars;
}

std::vector<ScopeWindow>& KeptWindows()
{
    static std::vector<ScopeWindow> windows;
    return windows;
}

// The last path ScopePath made; scope -1 when none is kept.
struct KeptPath {
    int scope = -1;
    std::string path;
};

KeptPath& LastPath()
{
    static KeptPath kept;
    return kept;
}

void ForgetLastPath()
{
    LastPath().scope = -1;
    LastPath().path.clear();
}

}  // namespace

ScopeFileName& ScopeFileName::operator=(std::string_view text)
{
    if (text.empty()) {
        text_ = nullptr;
        return *this;
    }
    if (text_ && *text_ == text) return *this;
    text_ = &*FileNamePool().emplace(text).first;
    return *this;
}

const std::string& ScopeFileName::str() const
{
    static const std::string none;
    return text_ ? *text_ : none;
}

std::string_view SubcktScope::Part() const
{
    return std::string_view(PartChars()).substr(partStart, partLength);
}

const std::vector<ScopeWindow>& ScopeWindows() { return KeptWindows(); }

void SetScopeWindow(int scope, WindowRecord* window)
{
    std::vector<ScopeWindow>& windows = KeptWindows();
    auto at = std::lower_bound(windows.begin(), windows.end(), scope,
                               [](const ScopeWindow& kept, int s) { return kept.scope < s; });
    if (at != windows.end() && at->scope == scope) {
        if (window)
            at->window = window;
        else
            windows.erase(at);
    } else if (window) {
        windows.insert(at, ScopeWindow{scope, window});
    }
}

void ForgetInstanceScopeWindows()
{
    std::erase_if(KeptWindows(), [](const ScopeWindow& kept) { return kept.scope > 0; });
}

std::string ScopePath(int scope)
{
    const SubcktScope* entry = scope > 0 ? FindScope(scope) : nullptr;
    if (!entry) return {};
    KeptPath& kept = LastPath();
    if (kept.scope != scope) {
        if (kept.scope >= 0 && kept.scope == entry->parent) {
            if (!kept.path.empty()) kept.path += '.';
            kept.path += entry->Part();
        } else {
            std::vector<int> chain;
            for (int level = scope; level > 0 && chain.size() <= Netlist().scopes.size();) {
                const SubcktScope* up = FindScope(level);
                if (!up) break;
                chain.push_back(level);
                level = up->parent;
            }
            kept.path.clear();
            for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
                if (!kept.path.empty()) kept.path += '.';
                kept.path += FindScope(*at)->Part();
            }
        }
        kept.scope = scope;
    }
    return kept.path;
}

void SetScopePart(int scope, std::string_view part)
{
    SubcktScope* entry = FindScopeForEdit(scope);
    if (!entry) return;
    // A name given again (or the same) is stored again: a scope is named once or twice.
    std::string& chars = PartChars();
    if (chars.size() + part.size() > 0xFFFFFFFFu) throw std::bad_alloc();
    entry->partStart = static_cast<std::uint32_t>(chars.size());
    entry->partLength = static_cast<std::uint32_t>(part.size());
    chars.append(part);
    const std::string_view stored = entry->Part();  // the given text may have moved with the block
    const SubcktScope* parent = scope > 0 && entry->parent != scope ? FindScope(entry->parent) : nullptr;
    if (parent && entry->parent > 0 && parent->pathLength > 0) {
        entry->pathHash = NameHashFeed(NameHashFeed(parent->pathHash, "."), stored);
        entry->pathLength = parent->pathLength + 1 + static_cast<std::uint32_t>(stored.size());
    } else {
        entry->pathHash = NameHashFeed(0, stored);
        entry->pathLength = static_cast<std::uint32_t>(stored.size());
    }
    ForgetLastPath();
}

std::uint64_t ScopedNameHash(int scope, std::string_view name)
{
    const SubcktScope* entry = scope > 0 ? FindScope(scope) : nullptr;
    if (!entry || entry->pathLength == 0) return NameHashFinish(NameHashFeed(0, name));
    return NameHashFinish(NameHashFeed(NameHashFeed(entry->pathHash, "."), name));
}

std::size_t ScopedNameLength(int scope, std::string_view name)
{
    const SubcktScope* entry = scope > 0 ? FindScope(scope) : nullptr;
    if (!entry || entry->pathLength == 0) return name.size();
    return entry->pathLength + 1 + name.size();
}

bool ScopedNameMatches(int scope, std::string_view name, std::string_view text, bool ignoreCase)
{
    const auto same = [ignoreCase](std::string_view a, std::string_view b) { return ignoreCase ? EqualsNoCase(a, b) : a == b; };
    if (text.size() != ScopedNameLength(scope, name)) return false;
    const SubcktScope* entry = scope > 0 ? FindScope(scope) : nullptr;
    if (!entry || entry->pathLength == 0) return same(name, text);
    if (!same(name, text.substr(text.size() - name.size())) || text[entry->pathLength] != '.') return false;
    // A scope's path is its own part after its parent's path and a ".", or the part alone when
    // the parent has no path.
    std::string_view path = text.substr(0, entry->pathLength);
    for (int level = scope;;) {
        const std::string_view part = entry->Part();
        if (part.size() > path.size() || !same(part, path.substr(path.size() - part.size()))) return false;
        path.remove_suffix(part.size());
        if (path.empty()) return true;
        const SubcktScope* parent = entry->parent < level ? FindScope(entry->parent) : nullptr;
        if (!parent || parent->pathLength + 1 != path.size())  // not as the lengths were made: spell it
            return same(QualifyNameWithScope(name, scope), text);
        if (path.back() != '.') return false;
        path.remove_suffix(1);
        level = entry->parent;
        entry = parent;
    }
}

int ResizeScopeTable(int highest) {
    if (highest < 0) {
        FreeScopeTable();
        return 0;
    }
    ForgetLastPath();
    try {
        Netlist().scopes.resize(static_cast<std::size_t>(highest) + 1);
    } catch (const std::bad_alloc&) {
        ReportMessage("E", 15002);
        return 15055;
    }
    return 0;
}

void FreeScopeTable()
{
    ForgetLastPath();
    SubcktScopeTable().swap(Netlist().scopes);
    std::unordered_set<std::string>().swap(FileNamePool());
    std::string().swap(PartChars());
    std::vector<ScopeWindow>().swap(KeptWindows());
}

bool ScopeTableExists() { return !Netlist().scopes.empty(); }

const SubcktScope* FindScope(int index) { return FindScopeForEdit(index); }

SubcktScope* FindScopeForEdit(int index) {
    SubcktScopeTable& scopes = Netlist().scopes;
    if (index < 0 || static_cast<std::size_t>(index) >= scopes.size()) return nullptr;
    return &scopes[static_cast<std::size_t>(index)];
}

}  // namespace kq5
