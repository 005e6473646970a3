#include "analog/analysis_state.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "core/device_lists.h"

namespace kq5 {

namespace {

AnalysisState& State()
{
    static AnalysisState state;
    return state;
}

std::uint32_t TickDistance(std::uint32_t a, std::uint32_t b)
{
    return a > b ? a - b : b - a;
}

// Entries closer than this are one landing point of the time loop.
constexpr std::uint32_t kMergeTicks = 10;

}  // namespace

AnalysisState& Analysis()
{
    return State();
}

void ResetAnalysisStateForTests()
{
    // Compiled expressions keep addresses into the state, so it is reset in place.
    State() = AnalysisState();
}

double ClampedExp(double x)
{
    return std::exp(std::clamp(x, -150.0, 150.0));
}

int EquationCount()
{
    return Analysis().equationCount;
}

int AddTimeBreakpoint(std::uint32_t time, std::uint8_t byteA, std::uint8_t byteB, int mode,
                      std::int32_t word1, std::int32_t word2, std::int32_t word3)
{
    if (static_cast<std::uint64_t>(time) > 2ull * Analysis().digitalEndTick) return 0;
    LinkedList& queue = DeviceList(kTimeBreakpointList);

    TimeBreakpointRecord* before = nullptr;
    TimeBreakpointRecord* after = ListHead<TimeBreakpointRecord>(queue);
    for (; after; before = after, after = ListNext(after)) {
        if (mode == 0 && time != 0 && TickDistance(time, after->time) <= kMergeTicks) return 0;
        if (time < after->time) break;
        if (mode == 1 && time == after->time && word1 == after->word1 && word2 == after->word2) {
            after->word3 = word3;
            return 0;
        }
    }
    if (mode == 1) {
        if (before && TickDistance(time, before->time) <= kMergeTicks) {
            before->eventFlag = 1;
            time = before->time;
        } else if (after && TickDistance(time, after->time) <= kMergeTicks) {
            after->eventFlag = 1;
            time = after->time;
        }
    }

    TimeBreakpointRecord* record = nullptr;
    if (mode == 1 && before && word1 == before->word1 && word2 == before->word2 &&
        TickDistance(time, before->time) <= kMergeTicks) {
        record = before;
    } else {
        std::unique_ptr<TimeBreakpointRecord> fresh(new (std::nothrow) TimeBreakpointRecord());
        if (!fresh) return 15002;
        record = fresh.release();
        ListLinkAfter(queue, before, record);
    }
    record->time = time;
    record->byteA = byteA;
    record->byteB = byteB;
    if (mode == 1) {
        record->eventFlag = 1;
        record->word1 = word1;
        record->word2 = word2;
        record->word3 = word3;
    }
    return 0;
}

}  // namespace kq5
