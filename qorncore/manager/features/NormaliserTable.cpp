#include "qorncore/manager/features/NormaliserTable.h"

#include <cstdlib>

#include "qorncore/datatypes/XmlText.h"
#include "qorncore/manager/features/NormaliserScramble.h"
#include "zarvell/paths.h"

namespace qorn {

bool NormaliserTable::add(Normaliser normaliser) {
  int index = featureNameIndex(normaliser.featureName());
  if (index == 0) return false;
  auto& slot = byPosition_[static_cast<std::size_t>(index - 1)];
  if (!slot) ++count_;
  slot = std::move(normaliser);
  return true;
}

const Normaliser* NormaliserTable::find(std::string_view featureName) const {
  return at(findFeaturePosition(featureName));
}

const Normaliser* NormaliserTable::at(int position) const {
  if (position < 0 || position >= kFeatureCount) return nullptr;
  const auto& slot = byPosition_[static_cast<std::size_t>(position)];
  return slot ? &*slot : nullptr;
}

void NormaliserTable::clear() {
  for (auto& slot : byPosition_) slot.reset();
  count_ = 0;
  version_ = "1.0";
  scrambled_ = false;
}

std::string NormaliserTable::sectionText(bool scrambled,
                                         const std::function<char()>& letter) const {
  const std::function<char()> draw =
      letter ? letter : [] { return static_cast<char>('a' + std::rand() % 26); };
  // Element order carries the feature only when every feature has its normaliser.
  scrambled = scrambled && complete();
  std::string text = "<normalisation version=\"" + xmlAttributeText(version_) + "\" ";
  text += scrambled ? "s=\"1\" " : "s=\"0\" ";
  text += ">\n";
  for (int position = 0; position < kFeatureCount; ++position) {
    const Normaliser* n = at(position);
    if (n == nullptr) continue;
    text += "<normf ";
    if (scrambled) {
      text += scrambledAttributesText(*n, position, draw);
    } else {
      text += "name=\"" + n->featureName() + "\" ";
      text += n->attributesText();
    }
    text += " />\n";
  }
  text += "</normalisation>\n";
  return text;
}

NormaliserTable& normaliserTable() {
  static NormaliserTable table;
  return table;
}

std::string normaliserFilePath() {
  return zarvell::findDataFile("networks/normf.xml");
}

bool loadNormaliserTable() {
  return loadNormaliserTable(normaliserFilePath());
}

}  // namespace qorn
