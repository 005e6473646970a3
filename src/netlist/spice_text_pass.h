#pragma once
// The text pass of a text circuit: its netlist is read line by line into components and
// analysis settings of the document before the circuit build translates the components.
namespace kq5 {

// Prepares the reader for a build: counters, caches, the source stack and the token array.
void InitNetlistReader();
// Frees the token array and closes every open source.
void ResetNetlistReader();

// Reads the text of the current window's circuit. 0 or a message id (15055 when already
// reported). The first line is the title; .END ends the text; subcircuit bodies are left for
// the expansion.
int ReadSpiceTextCircuit();

// Everything a build left in the reader: text objects, defines, scopes, node names, generated
// definitions, initial-condition lines and libraries.
void FreeNetlistReaderBuild();

}  // namespace kq5
