#include "analyses/model_layers.h"

namespace kq5 {

void RestoreNominalModelParams() {}

}  // namespace kq5
