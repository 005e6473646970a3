#pragma once
// The refusal of a circuit that holds devices the analog simulator has no model code for.

namespace kq5 {

// Reports 5368 with the kind of the devices of the list and the first part among them, so
// that the user can find what the simulator refused; 15055.
int ReportUnloadableDevices(int list);

}  // namespace kq5
