#pragma once
// Op-amp parts at circuit build: one op-amp record per part plus the primitive elements that its
// OPA model's LEVEL needs, appended to the ordinary device lists.
#include <array>
#include <cstdint>

namespace kq5 {

struct SchematicItem;
struct OpampDevice;

// Pin nodes in pin order: plus input, minus input, VEE, output, VCC. 0; 15002 when the record
// cannot be made or the part has no model (the lookup reported it); for LEVEL 3 the failure of
// the macromodel. The caller fails the build on any non-zero result.
int ExpandOpampPart(const std::array<std::int32_t, 5>& pins, SchematicItem* component);

// A LEVEL 2 op-amp's second pole lies where its phase margin puts it; only 0 < PM <= 90 degrees
// give a positive capacitor. False outside.
bool OpampPhaseMarginValid(double pm);

// The LEVEL 3 macromodel of an op-amp record. 0 or the derivation's failure.
int BuildOpampMacromodel(const std::array<std::int32_t, 5>& pins, SchematicItem* component, OpampDevice& opamp);

}  // namespace kq5
