#pragma once
// The limits of a new circuit: the default rows of each analysis kind and the emptied limits
// texts (the Analysis Limits dialog fills empty texts with their defaults when it opens).
namespace kq5 {

struct CircuitDocument;
struct WindowRecord;

// Rows a new circuit starts with, per analysis kind (transient, AC, DC).
constexpr int kDefaultLimitsRowCounts[3] = {2, 2, 1};

// Makes the default rows of analysis kind 0 to 2: empty texts, line width 1, enabled, each row
// in the curve colour of its position. 0, or 15002 when memory runs out.
int CreateDefaultLimitsRows(WindowRecord* record, int analysisKind);

// Sets the seventeen limits texts (4 transient, 6 AC, 7 DC) to "".
void ClearAnalysisLimitsTexts(CircuitDocument& document);

}  // namespace kq5
