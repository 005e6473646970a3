#pragma once
// The page array of a schematic window's document: sizing it and freeing it.
namespace kq5 {

struct WindowRecord;

// Pages are numbered by 16-bit words in items and grid texts.
constexpr int kMaxPageCount = 32767;

// Sizes the document's page array to n pages; new pages are empty with empty names. 0, or 15002
// when memory runs out or n is more than a document can number (the array is then as it was).
int ResizePageArray(WindowRecord* record, int n);

// Frees every page with its name; the page count becomes 0.
void FreePageArray(WindowRecord* record);

}  // namespace kq5
