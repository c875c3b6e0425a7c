#include "TrainSettings.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <locale>
#include <sstream>

#include "ReferenceSet.h"
#include "qorncore/manager/features/FeatureSet.h"

namespace qorn::training {
namespace {

constexpr int kTimbreCount = 64;  // features 1-64: spectral and MFCC statistics; 65-72 rhythm
constexpr uint64_t kEnsembleSeed = 9001;

struct KindName {
  HlcKind kind;
  const char* word;
};
constexpr KindName kKinds[] = {{HlcKind::Has, "has"},
                               {HlcKind::Lacks, "lacks"},
                               {HlcKind::HasAll, "all"},
                               {HlcKind::HasAny, "any"},
                               {HlcKind::Exactly, "exactly"}};

std::string fileSafe(std::string name) {
  for (char& ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '-' && ch != '_') ch = '_';
  return name;
}

std::string numberText(double v) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out.precision(9);
  out << v;
  return out.str();
}

bool parseNumber(const std::string& text, double& out) {
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  in >> out;
  return !in.fail() && in.eof() && out >= 0;
}

// KIND:MASK; the mask must fit the kind (one label for has/lacks, at least one otherwise).
bool parseTarget(const std::string& text, std::size_t labelCount, HlcModelPlan& plan) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  const std::string word = text.substr(0, colon), digits = text.substr(colon + 1);
  bool known = false;
  for (const KindName& k : kKinds)
    if (word == k.word) {
      plan.kind = k.kind;
      known = true;
    }
  if (!known || digits.size() != labelCount) return false;
  plan.mask = 0;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (digits[i] != '0' && digits[i] != '1') return false;
    if (digits[i] == '1') plan.mask |= 1u << i;
  }
  const int bits = std::popcount(plan.mask);
  const bool single = plan.kind == HlcKind::Has || plan.kind == HlcKind::Lacks;
  return single ? bits == 1 : bits >= 1;
}

bool parseGroup(const std::string& word, FeatureGroup& group) {
  for (FeatureGroup g : {FeatureGroup::All, FeatureGroup::Timbre, FeatureGroup::Rhythm})
    if (word == featureGroupName(g)) {
      group = g;
      return true;
    }
  return false;
}

}  // namespace

TrainSettings defaultSettings(std::size_t labelCount) {
  TrainSettings s;
  for (std::size_t i = 0; i < labelCount; ++i) s.hlc.push_back({HlcKind::Has, 1u << i});
  return s;
}

bool isPositive(const HlcModelPlan& plan, uint32_t labels) {
  switch (plan.kind) {
    case HlcKind::Has:
      return (labels & plan.mask) != 0;
    case HlcKind::Lacks:
      return (labels & plan.mask) == 0;
    case HlcKind::HasAll:
      return (labels & plan.mask) == plan.mask;
    case HlcKind::HasAny:
      return (labels & plan.mask) != 0;
    case HlcKind::Exactly:
      return labels == plan.mask;
  }
  return false;
}

std::vector<int> featureIndexes(FeatureGroup group) {
  const int first = group == FeatureGroup::Rhythm ? kTimbreCount + 1 : 1;
  const int last = group == FeatureGroup::Timbre ? kTimbreCount : kFeatureCount;
  std::vector<int> out;
  for (int i = first; i <= last; ++i) out.push_back(i);
  return out;
}

std::vector<int> featureIndexes(const HlcModelPlan& plan) {
  return plan.indexes.empty() ? featureIndexes(plan.features) : plan.indexes;
}

std::vector<HlcModelPlan> ensembleMembers(const HlcModelPlan& base, int count, int subset) {
  std::vector<HlcModelPlan> members;
  for (int k = 1; k <= count; ++k) {
    // Seeded by what the member is, not by where its line stands in the file.
    reference::Lcg rng(
        kEnsembleSeed + base.mask * 1000003ULL + static_cast<uint64_t>(base.kind) * 7919ULL +
        static_cast<uint64_t>(subset) * 131ULL + static_cast<uint64_t>(k) * 104729ULL);
    std::vector<int> all = featureIndexes(FeatureGroup::All);
    for (std::size_t i = 0; i < static_cast<std::size_t>(subset); ++i)
      std::swap(all[i], all[i + rng.below(all.size() - i)]);
    HlcModelPlan m = base;
    m.features = FeatureGroup::All;
    m.indexes.assign(all.begin(), all.begin() + subset);
    std::sort(m.indexes.begin(), m.indexes.end());
    m.resample = rng.next() | 1u;
    m.member = k;
    members.push_back(std::move(m));
  }
  return members;
}

const char* featureGroupName(FeatureGroup group) {
  switch (group) {
    case FeatureGroup::All:
      return "all";
    case FeatureGroup::Timbre:
      return "timbre";
    case FeatureGroup::Rhythm:
      return "rhythm";
  }
  return "all";
}

std::string targetText(const HlcModelPlan& plan, std::size_t labelCount) {
  std::string out;
  for (const KindName& k : kKinds)
    if (k.kind == plan.kind) out = k.word;
  out += ':';
  for (std::size_t i = 0; i < labelCount; ++i) out += (plan.mask >> i) & 1u ? '1' : '0';
  return out;
}

std::string modelFileName(const HlcModelPlan& plan, const std::vector<std::string>& labelNames) {
  std::string labels;
  for (std::size_t i = 0; i < labelNames.size(); ++i)
    if ((plan.mask >> i) & 1u) labels += (labels.empty() ? "" : "_") + labelNames[i];
  std::string name = "hlc-";
  switch (plan.kind) {
    case HlcKind::Has:
      break;
    case HlcKind::Lacks:
      name += "not-";
      break;
    case HlcKind::HasAll:
      name += "all-";
      break;
    case HlcKind::HasAny:
      name += "any-";
      break;
    case HlcKind::Exactly:
      name += "set-";
      break;
  }
  name += labels;
  if (plan.features != FeatureGroup::All)
    name += std::string("-") + featureGroupName(plan.features);
  if (plan.member > 0) name += "-m" + std::to_string(plan.member);
  return fileSafe(name);
}

bool readSettings(const std::string& path, std::size_t labelCount, TrainSettings& out,
                  std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  out = TrainSettings{};
  std::string line;
  for (std::size_t lineNo = 1; std::getline(in, line); ++lineNo) {
    if (const std::size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.empty()) continue;
    const std::string where = path + " line " + std::to_string(lineNo) + ": ";
    double a = 0, b = 0, c = 0, d = 0;
    if (w[0] == "normalisers" && w.size() == 2 && parseNumber(w[1], a) && a >= 1) {
      out.normaliserSpread = a;
    } else if (w[0] == "pairwise" && w.size() == 5 && parseNumber(w[1], a) &&
               parseNumber(w[2], b) && parseNumber(w[3], c) && parseNumber(w[4], d) && a >= 1 &&
               a == static_cast<double>(static_cast<std::size_t>(a)) && b <= 1 && c > 0) {
      out.pairwise = {static_cast<std::size_t>(a), b, c, d};
    } else if (w[0] == "hlc" && w.size() == 5) {
      HlcModelPlan plan;
      if (!parseTarget(w[1], labelCount, plan)) {
        error = where + "not a model target for " + std::to_string(labelCount) + " labels: " + w[1];
        return false;
      }
      if (!parseGroup(w[2], plan.features) || !parseNumber(w[3], plan.c) || plan.c <= 0 ||
          !parseNumber(w[4], plan.gamma)) {
        error = where + "expected hlc TARGET all|timbre|rhythm C GAMMA";
        return false;
      }
      out.hlc.push_back(plan);
    } else if (w[0] == "ensemble" && w.size() == 6) {
      HlcModelPlan plan;
      if (!parseTarget(w[1], labelCount, plan)) {
        error = where + "not a model target for " + std::to_string(labelCount) + " labels: " + w[1];
        return false;
      }
      if (!parseNumber(w[2], a) || a < 1 || a > 1000 ||
          a != static_cast<double>(static_cast<int>(a)) || !parseNumber(w[3], b) || b < 1 ||
          b > kFeatureCount || b != static_cast<double>(static_cast<int>(b)) ||
          !parseNumber(w[4], plan.c) || plan.c <= 0 || !parseNumber(w[5], plan.gamma)) {
        error = where + "expected ensemble TARGET COUNT (1-1000) SUBSET (1-72) C GAMMA";
        return false;
      }
      for (HlcModelPlan& m : ensembleMembers(plan, static_cast<int>(a), static_cast<int>(b)))
        out.hlc.push_back(std::move(m));
    } else {
      error = where +
              "expected \"normalisers SPREAD\", \"pairwise PAIRS SIMILAR C GAMMA\", \"hlc TARGET "
              "FEATURES C GAMMA\" or \"ensemble TARGET COUNT SUBSET C GAMMA\"";
      return false;
    }
  }
  if (out.hlc.empty()) {
    error = path + ": no hlc or ensemble models";
    return false;
  }
  return true;
}

std::string settingsText(const TrainSettings& s, std::size_t labelCount,
                         const std::vector<std::string>& header) {
  std::string out;
  for (const std::string& h : header) out += (h.empty() ? "#" : "# " + h) + "\n";
  out += "normalisers " + numberText(s.normaliserSpread) + "\n";
  out += "pairwise " + std::to_string(s.pairwise.pairsPerClass) + " " +
         numberText(s.pairwise.similarJaccard) + " " + numberText(s.pairwise.c) + " " +
         numberText(s.pairwise.gamma) + "\n";
  for (std::size_t i = 0; i < s.hlc.size(); ++i) {
    const HlcModelPlan& h = s.hlc[i];
    if (h.member == 0) {
      out += "hlc " + targetText(h, labelCount) + " " + featureGroupName(h.features) + " " +
             numberText(h.c) + " " + numberText(h.gamma) + "\n";
      continue;
    }
    // A run of members 1, 2, ... of one target, C and gamma is one ensemble line.
    std::size_t end = i + 1;
    while (end < s.hlc.size() && s.hlc[end].member == static_cast<int>(end - i + 1) &&
           s.hlc[end].kind == h.kind && s.hlc[end].mask == h.mask && s.hlc[end].c == h.c &&
           s.hlc[end].gamma == h.gamma && s.hlc[end].indexes.size() == h.indexes.size())
      ++end;
    out += "ensemble " + targetText(h, labelCount) + " " + std::to_string(end - i) + " " +
           std::to_string(h.indexes.size()) + " " + numberText(h.c) + " " + numberText(h.gamma) +
           "\n";
    i = end - 1;
  }
  return out;
}

}  // namespace qorn::training
