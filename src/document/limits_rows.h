#pragma once
// The limits rows of a circuit window's three analysis kinds: sizing one kind's rows and freeing
// them all.
namespace kq5 {

struct WindowRecord;

// Resizes the rows of analysis kind 0 to 2 to n rows; new rows are empty with line width 1.
// 0, or 15002 when memory runs out (the rows are then as they were). Nothing happens for a record
// without a document or a kind outside 0 to 2.
int SetLimitsRowCount(WindowRecord* record, int analysisKind, int n);

// Frees the rows of all three kinds; the counts become 0.
void FreeAllLimitsRows(WindowRecord* record);

}  // namespace kq5
