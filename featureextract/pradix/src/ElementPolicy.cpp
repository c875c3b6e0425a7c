#include "ElementPolicy.h"

#include <cstring>
#include <initializer_list>

namespace pradix {

bool readsBeyondTheFile(GstElementFactory* factory) {
  if (factory == nullptr) return true;
  const char* klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
  if (klass != nullptr) {
    for (const char* word : {"Adaptive", "Source", "Network", "Playlist"}) {
      if (std::strstr(klass, word) != nullptr) return true;
    }
  }
  const char* name = gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory));
  if (name == nullptr) return true;
  for (const char* refused : {"hlsdemux", "dashdemux", "mssdemux"}) {
    if (std::strncmp(name, refused, std::strlen(refused)) == 0) return true;
  }
  return false;
}

}  // namespace pradix
