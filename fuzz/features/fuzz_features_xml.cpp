// Fuzzes the features XML / normaliser file reader: any input must be read without a crash,
// and whatever it stored must come out of the writer as XML that reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "qorncore/manager/features/FeatureManager.h"
#include "qorncore/manager/features/FeatureXmlReader.h"
#include "qorncore/manager/features/NormaliserTable.h"

using namespace qorn;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& dir = featurefuzz::scratchFolder();
  const std::string store = dir + "/xml.mbff";
  const std::string again = dir + "/xml-again.mbff";
  std::remove(store.c_str());
  std::remove(again.c_str());
  normaliserTable().clear();
  const std::string_view document(reinterpret_cast<const char*>(data), size);

  FeatureManager manager(store);
  manager.setNormaliserFilePath(dir + "/no-normf.xml");
  FeatureXmlReader reader(&manager, &normaliserTable());
  reader.parseBuffer(document, "fuzz.xml");
  FUZZ_CHECK(manager.recordCount() == reader.songsAdded());

  // Lookup mode changes nothing.
  const std::size_t normalisers = normaliserTable().size();
  FeatureXmlReader lookup(nullptr, nullptr);
  lookup.setLookup(manager.recordCount() > 0 ? manager.md5At(0)
                                             : "0123456789abcdef0123456789abcdef");
  lookup.parseBuffer(document, "fuzz.xml");
  FUZZ_CHECK(normaliserTable().size() == normalisers);

  // The writer's text is well-formed and holds the same songs and normalisers.
  const std::string written = manager.xmlText();
  const NormaliserTable before = normaliserTable();
  normaliserTable().clear();
  FeatureManager reread(again);
  FeatureXmlReader second(&reread, &normaliserTable());
  FUZZ_CHECK(second.parseBuffer(written, "written.xml"));
  FUZZ_CHECK(reread.recordCount() == manager.recordCount());
  if (before.complete()) FUZZ_CHECK(normaliserTable().complete());
  return 0;
}
