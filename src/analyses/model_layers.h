#pragma once
// The layers of every model parameter and R/C/L value: the nominal value as read (never written
// again), the run value (stepped or perturbed) and the derived value the devices use at the
// circuit temperature.
namespace kq5 {

// Copies every model's nominal parameters over its run values.
void RestoreNominalModelParams();

}  // namespace kq5
