#pragma once
// The subcircuit scopes of the current circuit: entry 0 is the main circuit, every subcircuit
// instance met by the expansion gets one more. Messages name a part by its scope's instance
// path and show the scope's file.
#include <cstdint>
#include <string>
#include <vector>

namespace kq5 {

struct WindowRecord;

struct SubcktScope {
    std::int32_t parent = 0;         // model lookup walks from a scope up to the top through it
    std::string path;                // instance path, joined to a part name by "."
    std::string fileName;            // the file the scope's text came from
    WindowRecord* window = nullptr;  // the window of a circuit loaded for the scope, or none
};

// Empty while no table exists.
using SubcktScopeTable = std::vector<SubcktScope>;

// Resizes the table to the entries 0 to highest (new entries empty); 0, or 15055 after
// reporting when memory runs out.
int ResizeScopeTable(int highest);
void FreeScopeTable();
bool ScopeTableExists();
// The entry of a scope index; null when no table exists or the index lies outside it.
const SubcktScope* FindScope(int index);
SubcktScope* FindScopeForEdit(int index);

}  // namespace kq5
