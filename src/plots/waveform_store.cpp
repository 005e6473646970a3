#include "plots/waveform_store.h"

#include <cstring>
#include <new>

#include "core/engineering_numbers.h"

namespace kq5 {

namespace {

float* PointAddress(const CurveRecord& curve, std::int32_t pointIndex, int slot)
{
    const WaveformSlot& s = curve.store[slot];
    if (pointIndex < 0 || pointIndex >= s.count) return nullptr;
    return &s.pages[pointIndex / kWaveformPagePoints]->values[pointIndex % kWaveformPagePoints];
}

}  // namespace

double WaveformStoreRead(const CurveRecord& curve, int run, int index, int slot)
{
    if (run < 0 || run >= static_cast<int>(curve.runFirstIndex.size())) return 0.0;
    const float* p = PointAddress(curve, curve.runFirstIndex[run] + index, slot);
    return p ? *p : 0.0;
}

int WaveformStoreWrite(CurveRecord& curve, double value, int slot)
{
    WaveformSlot& s = curve.store[slot];
    try {
        if (s.count / kWaveformPagePoints >= static_cast<std::int32_t>(s.pages.size()))
            s.pages.push_back(std::make_unique<WaveformPage>());
    } catch (const std::bad_alloc&) {
        return 15002;
    }
    s.pages[s.count / kWaveformPagePoints]->values[s.count % kWaveformPagePoints] =
        static_cast<float>(ClampToFloatRange(value));
    ++s.count;
    return 0;
}

void WaveformStoreReplace(CurveRecord& curve, std::int32_t pointIndex, double value, int slot)
{
    if (float* p = PointAddress(curve, pointIndex, slot)) *p = static_cast<float>(ClampToFloatRange(value));
}

int DigitalStateIndex(char c)
{
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c == 0) return -1;
    const char* letters = "0RF1XZ?";
    const char* at = std::strchr(letters, c);
    return at ? static_cast<int>(at - letters) : -1;
}

}  // namespace kq5
