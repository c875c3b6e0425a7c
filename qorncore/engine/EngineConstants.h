// The fixed constants of spreading activation, link learning and the hotlist.
#pragma once

#include "qorncore/datatypes/qornfloat.h"

namespace qorn {

inline constexpr float kNodeDecayFactor = 0.95f;       // activation multiplier per step
inline constexpr float kLinkDecayFactor = 0.99f;       // strength multiplier per step
inline constexpr float kMinLinkStrength = 0.00001f;    // floor of a decayed/strengthened link
inline constexpr float kPropagationThreshold = 0.012f; // larger items spread further
inline constexpr float kPropagationFactor = 0.9f;      // share passed on to the neighbours
inline constexpr float kSaturationScale = 1.4f;        // excitation raising 0 to 0.9
inline constexpr float kSaturationBase = 0.1f;         // base of the saturation power
inline constexpr float kLinkLearningRate = 0.001f;     // strength added per saturated flow
inline constexpr float kFlowSaturationKnee = 4.0f;     // flows above knee + 0.05 saturate
inline constexpr float kLinkWarningStep = 0.02f;       // larger changes are reported
inline constexpr float kNewLinkStrength = 0.1f;        // repair and learning links
inline constexpr float kMetaLinkCap = 0.3f;            // song-to-list, song-to-artist cap
inline constexpr float kKeywordExcitationFactor = 0.8f;

inline constexpr int kHotlistSize = 100;
inline constexpr int kHotlistAllKinds = 255;

}  // namespace qorn
