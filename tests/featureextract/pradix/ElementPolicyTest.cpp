// decodebin may plug demuxers, parsers and decoders of one file, never an element that
// fetches what a playlist names or reads any other source. Checked on the factories of the
// installed plug-ins; those a machine lacks are skipped, but the suite needs the common
// ones to be there so that it cannot pass on an empty registry.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <string>

#include "ElementPolicy.h"

namespace {

class ElementPolicy : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(gst_init_check(nullptr, nullptr, nullptr)); }
};

TEST_F(ElementPolicy, PlaylistAndNetworkElementsAreRefusedSongElementsAllowed) {
  struct Case {
    const char* factory;
    bool refused;
    bool required;  // installed on every machine that builds Zarvell
  };
  const Case cases[] = {
      {"hlsdemux", true, false},       {"hlsdemux2", true, false},
      {"dashdemux", true, false},      {"dashdemux2", true, false},
      {"mssdemux", true, false},       {"mssdemux2", true, false},
      {"souphttpsrc", true, false},    {"filesrc", true, true},
      {"giosrc", true, false},         {"tcpclientsrc", true, false},
      {"id3demux", false, true},       {"mpegaudioparse", false, true},
      {"qtdemux", false, true},        {"wavparse", false, true},
      {"asfdemux", false, false},      {"audioconvert", false, true},
  };
  int checked = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.factory);
    GstElementFactory* factory = gst_element_factory_find(c.factory);
    if (factory == nullptr) {
      EXPECT_FALSE(c.required) << "plug-in missing";
      continue;
    }
    EXPECT_EQ(pradix::readsBeyondTheFile(factory), c.refused);
    gst_object_unref(factory);
    ++checked;
  }
  EXPECT_GE(checked, 7);
  EXPECT_TRUE(pradix::readsBeyondTheFile(nullptr));
}

// Whatever is installed: every adaptive demuxer and every source is refused.
TEST_F(ElementPolicy, EveryInstalledAdaptiveDemuxerAndSourceIsRefused) {
  GList* factories = gst_element_factory_list_get_elements(
      GST_ELEMENT_FACTORY_TYPE_SRC | GST_ELEMENT_FACTORY_TYPE_DEMUXER, GST_RANK_NONE);
  int sources = 0;
  for (GList* item = factories; item != nullptr; item = item->next) {
    auto* factory = static_cast<GstElementFactory*>(item->data);
    const char* klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
    const std::string k = klass != nullptr ? klass : "";
    if (k.find("Source") != std::string::npos || k.find("Adaptive") != std::string::npos) {
      ++sources;
      EXPECT_TRUE(pradix::readsBeyondTheFile(factory))
          << gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory));
    }
  }
  gst_plugin_feature_list_free(factories);
  EXPECT_GT(sources, 0);
}

}  // namespace
