// The names of the 72 feature positions, as the engine's feature files spell them
// ("Mean_Acc1298_Mean_Mem40_Centroid" for position 0 ... "BHSUM3" for 71).
#pragma once

#include <string>

namespace probe {

// Name of position 0..71; empty text outside. Throws only std::bad_alloc.
std::string featureName(int position);

}  // namespace probe
