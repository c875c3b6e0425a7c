// player_start_bench: the time from a song's start request to its first audio in the sink.
//
//   player_start_bench --cold FILE
//       creates one internal.so player, plays FILE, prints "prerolled" once APPlay has
//       returned (the pipeline has prerolled: the first buffer reached the sink) and exits.
//       The caller times it from process start, beside gst-launch-1.0 reaching "PREROLLED".
//   player_start_bench --warm ROUNDS FILE...
//       one player kept for the whole run, as the application keeps it, and a bare playbin
//       (audio only, the same time-keeping fake sink) started the same way in the same
//       process; after one untimed start of each file through each, every round starts
//       every file once through each, alternately. Prints per file:
//       "warm <file> plugin_ms <median> <p90> <max> bare_ms <median> <p90> <max>".
//
// Both always play into a fake sink that keeps time (ZARVELL_AUDIO_SINK=fake unless set).
#include <gst/gst.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audioplugin/AudioPlugin.h"
#include "zarvell/module.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Plugin {
  zarvell::Module module;
  APCreateFn create = nullptr;
  APDestroyFn destroy = nullptr;
  APPlayFn play = nullptr;
  APStopFn stop = nullptr;

  bool load() {
    module = zarvell::Module::load("audioplugins/internal");
    create = module.entry<APCreateFn>(AUDIOPLUGIN_CREATE);
    destroy = module.entry<APDestroyFn>(AUDIOPLUGIN_DESTROY);
    play = module.entry<APPlayFn>(AUDIOPLUGIN_PLAY);
    stop = module.entry<APStopFn>(AUDIOPLUGIN_STOP);
    if (!create || !destroy || !play || !stop) {
      std::fprintf(stderr, "player_start_bench: %s\n", module.error().c_str());
      return false;
    }
    return true;
  }
};

// The floor: playbin started as the plug-in starts it, without the plug-in around it.
class BarePlaybin {
 public:
  BarePlaybin() {
    playbin_ = gst_element_factory_make("playbin", nullptr);
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(sink, "sync", TRUE, nullptr);
    g_object_set(playbin_, "flags", (1u << 1) | (1u << 4), "audio-sink", sink, nullptr);
    bus_ = gst_element_get_bus(playbin_);
  }
  ~BarePlaybin() {
    gst_element_set_state(playbin_, GST_STATE_NULL);
    gst_object_unref(bus_);
    gst_object_unref(playbin_);
  }
  BarePlaybin(const BarePlaybin&) = delete;
  BarePlaybin& operator=(const BarePlaybin&) = delete;

  bool start(const std::string& uri) {
    gst_element_set_state(playbin_, GST_STATE_NULL);
    g_object_set(playbin_, "uri", uri.c_str(), nullptr);
    if (gst_element_set_state(playbin_, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
      return false;
    }
    GstMessage* message = gst_bus_timed_pop_filtered(
        bus_, 10 * GST_SECOND,
        static_cast<GstMessageType>(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR));
    const bool ok = message != nullptr && GST_MESSAGE_TYPE(message) == GST_MESSAGE_ASYNC_DONE;
    if (message != nullptr) gst_message_unref(message);
    return ok && gst_element_set_state(playbin_, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
  }
  void stop() { gst_element_set_state(playbin_, GST_STATE_NULL); }

 private:
  GstElement* playbin_ = nullptr;
  GstBus* bus_ = nullptr;
};

struct Summary {
  double median, p90, max;
};

Summary summarise(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const auto at = [&](double q) { return v[static_cast<size_t>(q * (v.size() - 1) + 0.5)]; };
  return {at(0.5), at(0.9), v.back()};
}

int cold(const std::string& file) {
  Plugin plugin;
  if (!plugin.load()) return 1;
  AudioPluginHandle handle = nullptr;
  if (plugin.create(&handle) != ZARVELL_S_OK) return 1;
  const int32_t status = plugin.play(handle, file.c_str(), AUDIOPLUGIN_PLAY_OPTION_NONE);
  if (status == ZARVELL_S_OK) {
    std::puts("prerolled");
    std::fflush(stdout);
  }
  plugin.destroy(handle);
  return status == ZARVELL_S_OK ? 0 : 1;
}

int warm(int rounds, const std::vector<std::string>& files) {
  Plugin plugin;
  if (!plugin.load()) return 1;
  AudioPluginHandle handle = nullptr;
  if (plugin.create(&handle) != ZARVELL_S_OK) return 1;
  gst_init(nullptr, nullptr);
  int failures = 0;
  {
    BarePlaybin bare;
    for (const std::string& file : files) {
      gchar* uri = gst_filename_to_uri(file.c_str(), nullptr);
      std::vector<double> ours, floor;
      // One untimed start each first: the first song of a format loads its decoder.
      plugin.play(handle, file.c_str(), AUDIOPLUGIN_PLAY_OPTION_NONE);
      plugin.stop(handle);
      if (uri != nullptr) bare.start(uri);
      bare.stop();
      for (int r = 0; r < rounds; ++r) {
        auto start = Clock::now();
        if (plugin.play(handle, file.c_str(), AUDIOPLUGIN_PLAY_OPTION_NONE) != ZARVELL_S_OK) {
          ++failures;
        }
        ours.push_back(msSince(start));
        plugin.stop(handle);
        start = Clock::now();
        if (uri == nullptr || !bare.start(uri)) ++failures;
        floor.push_back(msSince(start));
        bare.stop();
      }
      g_free(uri);
      const Summary a = summarise(ours), b = summarise(floor);
      const std::string name = file.substr(file.rfind('/') + 1);
      std::printf("warm %s plugin_ms %.2f %.2f %.2f bare_ms %.2f %.2f %.2f\n", name.c_str(),
                  a.median, a.p90, a.max, b.median, b.p90, b.max);
    }
  }
  plugin.destroy(handle);
  if (failures > 0) std::fprintf(stderr, "player_start_bench: %d starts failed\n", failures);
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("ZARVELL_AUDIO_SINK", "fake", 0);
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && args[0] == "--cold") return cold(args[1]);
  if (args.size() >= 3 && args[0] == "--warm") {
    const int rounds = std::atoi(args[1].c_str());
    if (rounds > 0) return warm(rounds, {args.begin() + 2, args.end()});
  }
  std::fprintf(stderr, "usage: player_start_bench --cold FILE | --warm ROUNDS FILE...\n");
  return 2;
}
