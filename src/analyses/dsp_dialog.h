#pragma once
// The "DSP Control Parameters" dialog of the current analysis kind.
#include "platform/win_types.h"

namespace kq5 {

inline constexpr int kDspParametersTemplate = 17154;

// Shows the dialog over the owner; 1 after OK, 0 after Cancel or when no analysis with DSP
// settings (transient or AC) is current.
int DspParameters(win::HWND owner);

}  // namespace kq5
