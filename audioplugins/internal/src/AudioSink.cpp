#include "AudioSink.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace internalplayer {
namespace {

constexpr const char* kVariable = "ZARVELL_AUDIO_SINK";

bool isSinkFactory(const char* name) {
  GstElementFactory* factory = gst_element_factory_find(name);
  if (factory == nullptr) return false;
  const char* klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
  const bool sink = klass != nullptr && std::strstr(klass, "Sink") != nullptr;
  gst_object_unref(factory);
  return sink;
}

}  // namespace

GstElement* audioSinkFromEnvironment() noexcept {
  const char* wanted = std::getenv(kVariable);
  if (wanted == nullptr || *wanted == '\0') return nullptr;
  if (std::strcmp(wanted, "fake") == 0) {
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    if (sink != nullptr) g_object_set(sink, "sync", TRUE, nullptr);
    return sink;
  }
  GstElement* sink = isSinkFactory(wanted) ? gst_element_factory_make(wanted, nullptr) : nullptr;
  if (sink == nullptr) {
    std::fprintf(stderr, "internal player: %s=%s is no GStreamer sink; using the default\n",
                 kVariable, wanted);
  }
  return sink;
}

}  // namespace internalplayer
