#include "FeatureNames.h"

namespace probe {
namespace {

// Four texture statistics of sixteen per-frame descriptors, then the beat histogram.
constexpr const char* kBlock[16] = {"Centroid", "Rolloff", "Flux",   "MFCC_0",  "MFCC_1",
                                    "MFCC_2",   "MFCC_3",  "MFCC_4", "MFCC_5",  "MFCC_6",
                                    "MFCC_7",   "MFCC_8",  "MFCC_9", "MFCC_10", "MFCC_11",
                                    "MFCC_12"};
constexpr const char* kStatistic[4] = {"Mean_Acc1298_Mean_Mem40_", "Mean_Acc1298_Std_Mem40_",
                                       "Std_Acc1298_Mean_Mem40_", "Std_Acc1298_Std_Mem40_"};
constexpr const char* kBeat[8] = {"BH_LowPeakAmp",   "BH_LowPeakBPM", "BH_HighPeakAmp",
                                  "BH_HighPeakBPM",  "BH_HighLowRatio", "BHSUM1",
                                  "BHSUM2",          "BHSUM3"};

}  // namespace

std::string featureName(int position) {
  if (position < 0 || position >= 72) return std::string();
  if (position >= 64) return kBeat[position - 64];
  return std::string(kStatistic[position / 16]) + kBlock[position % 16];
}

}  // namespace probe
