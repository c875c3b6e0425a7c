// What every decoder module promises Sonalyx, checked on Tolvane.so and Pradix.so alike:
// the window, the output format, the capacity, refusals, broken and hostile input, and
// paths. Each module is loaded from the program folder exactly as Sonalyx loads it and
// decodes real files made by the audio_fixtures target. What differs between the two
// (Tolvane's reference-counted engine, Pradix's time-out and argument statuses, how each
// places short windows) stays in the modules' own suites.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "DecodedAudio.h"
#include "pradix/Pradix.h"
#include "tolvane/Tolvane.h"
#include "zarvell/module.h"

namespace {

using namespace decodertest;

// Decodes into a buffer of `capacity` samples followed by a guard zone.
template <typename Call>
Decoded decodeWith(Call call, const std::string& path, int32_t capacity) {
  Decoded d;
  d.samples.assign(static_cast<size_t>(std::max(capacity, 0)) + 4096, kGuard);
  const std::u16string wide = u16(path);
  d.status = call(wide.c_str(), d.samples.data(), capacity, &d.count, &d.media);
  return d;
}

// Tolvane as Sonalyx calls it: InitEngine once, ConvertToWave with a 30 s window.
struct TolvaneDecoder {
  static constexpr int32_t kLength = 30;
  // The resampler may keep a handful of samples of the last frame of a full window.
  static constexpr int32_t kFullWindowSlack = 64;
  static zarvell::Module& module() {
    static zarvell::Module m = zarvell::Module::load(TOLVANE_MODULE_NAME);
    return m;
  }
  static TolvaneConvertToWaveFn convert() {
    return module().entry<TolvaneConvertToWaveFn>(TOLVANE_CONVERT_TO_WAVE);
  }
  static void load() {
    ASSERT_TRUE(module()) << module().error();
    ASSERT_NE(convert(), nullptr);
    const auto init = module().entry<TolvaneInitEngineFn>(TOLVANE_INIT_ENGINE);
    ASSERT_NE(init, nullptr);
    ASSERT_EQ(init(), ZARVELL_S_OK);
  }
  static void unload() {
    if (const auto close = module().entry<TolvaneCloseEngineFn>(TOLVANE_CLOSE_ENGINE)) close();
  }
  static Decoded decode(const std::string& path, int32_t start, int32_t length,
                        int32_t capacity, int32_t /*timeoutMs*/) {
    return decodeWith(
        [&](const char16_t* p, int16_t* buffer, int32_t cap, int32_t* count, int32_t* media) {
          return convert()(p, buffer, cap, start, length, count, media);
        },
        path, capacity);
  }
  static bool failed(int32_t status) { return status == ZARVELL_E_FAIL; }
  // Files only this module refuses: Pradix decodes the MP3 frames that are there.
  static std::vector<std::string> moreBrokenFiles() { return {"truncated_240s.mp3"}; }
};

// Pradix as Sonalyx calls it: ExtractAudioDS with a 90 s window and a time-out.
struct PradixDecoder {
  static constexpr int32_t kLength = 90;
  static constexpr int32_t kFullWindowSlack = 0;
  static zarvell::Module& module() {
    static zarvell::Module m = zarvell::Module::load(PRADIX_MODULE_NAME);
    return m;
  }
  static PradixExtractAudioDSFn extract() {
    return module().entry<PradixExtractAudioDSFn>(PRADIX_EXTRACT_AUDIO_DS);
  }
  static void load() {
    ASSERT_TRUE(module()) << module().error();
    ASSERT_NE(extract(), nullptr);
  }
  static void unload() {}
  static Decoded decode(const std::string& path, int32_t start, int32_t length,
                        int32_t capacity, int32_t timeoutMs) {
    return decodeWith(
        [&](const char16_t* p, int16_t* buffer, int32_t cap, int32_t* count, int32_t* media) {
          return extract()(p, buffer, cap, start, length, timeoutMs, count, media);
        },
        path, capacity);
  }
  // A time-out is a failure too: GStreamer's decodebin sometimes swallows the demuxer's
  // error for an MP4 without its index, and then only the time-out ends the call.
  static bool failed(int32_t status) {
    return status == ZARVELL_E_FAIL || status == ZARVELL_E_ABORT;
  }
  static std::vector<std::string> moreBrokenFiles() { return {}; }
};

template <typename D>
class DecoderContract : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { D::load(); }
  static void TearDownTestSuite() { D::unload(); }

  // Sonalyx's call: start 60, the module's window length, Sonalyx's buffer.
  static Decoded decode(const std::string& path, int32_t start = 60, int32_t length = D::kLength,
                        int32_t capacity = kCapacity, int32_t timeoutMs = 15000) {
    return D::decode(path, start, length, capacity, timeoutMs);
  }

  static void expectGuardIntact(const Decoded& d, int32_t capacity) {
    for (size_t i = static_cast<size_t>(capacity); i < d.samples.size(); ++i) {
      ASSERT_EQ(d.samples[i], kGuard) << "written past the capacity at " << i;
    }
  }
  // Failed, wrote nothing, said nothing.
  static void expectRefused(const Decoded& d) {
    EXPECT_TRUE(D::failed(d.status)) << d.status;
    EXPECT_EQ(d.count, 0);
    expectGuardIntact(d, 0);
  }
};

struct DecoderNames {
  template <typename D>
  static std::string GetName(int) {
    return std::is_same_v<D, TolvaneDecoder> ? "Tolvane" : "Pradix";
  }
};

using Decoders = ::testing::Types<TolvaneDecoder, PradixDecoder>;
TYPED_TEST_SUITE(DecoderContract, Decoders, DecoderNames);

// Makes `dir` the current folder while it lives, so relative names can be tried.
class InFolder {
 public:
  explicit InFolder(const std::string& dir) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~InFolder() {
    std::error_code ec;
    std::filesystem::current_path(old_, ec);
  }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  std::filesystem::path old_;
};

// A listener on 127.0.0.1 that serves one file to whoever connects and counts the
// connections: a decoder that follows a playlist onto the network shows up here.
class CountingServer {
 public:
  explicit CountingServer(std::string body) : body_(std::move(body)) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd_, 8) != 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len)) {
      return;
    }
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~CountingServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
  }
  CountingServer(const CountingServer&) = delete;
  CountingServer& operator=(const CountingServer&) = delete;
  int port() const { return port_; }
  int connections() const { return connections_.load(); }

 private:
  void serve() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      ++connections_;
      char request[4096];
      [[maybe_unused]] const ssize_t got = ::recv(client, request, sizeof request, 0);
      const std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nContent-Length: " +
                                std::to_string(body_.size()) + "\r\n\r\n" + body_;
      [[maybe_unused]] const ssize_t sent = ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
      ::close(client);
    }
  }

  std::string body_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::thread thread_;
};

std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// The window as Sonalyx asks for it (from 60 s) lands on the 65.0 s marker at 5.0 s.
TYPED_TEST(DecoderContract, MarkerAt65SecondsIsFiveSecondsIntoTheWindowInEveryFormat) {
  for (const char* name : {"marker65_240s.mp3", "marker65_240s_id3.mp3", "marker65_240s.m4a",
                           "marker65_240s.wav", "marker65_240s.wma"}) {
    SCOPED_TRACE(name);
    const Decoded d = this->decode(fixture(name));
    ASSERT_EQ(d.status, ZARVELL_S_OK);
    // A full buffer (Pradix's 90 s window is cut by the 30 s buffer).
    EXPECT_GE(d.count, kCapacity - TypeParam::kFullWindowSlack);
    EXPECT_LE(d.count, kCapacity);
    EXPECT_EQ(d.media, 240);
    const auto onset = firstOnsetSeconds(d.samples, d.count);
    ASSERT_TRUE(onset.has_value());
    std::printf("[ marker   ] %-24s onset %.4f s (offset %+.1f ms)\n", name, *onset,
                (*onset - 5.0) * 1000.0);
    EXPECT_NEAR(*onset, 5.0, 0.010);
    this->expectGuardIntact(d, kCapacity);
  }
}

// A 20 s song gives all of itself, from its start, and so fewer samples than the buffer.
TYPED_TEST(DecoderContract, SongShorterThanTheWindowGivesAllOfItself) {
  for (const char* name :
       {"tone1k_20s.mp3", "tone1k_20s.m4a", "tone1k_20s.wav", "tone1k_20s.wma"}) {
    SCOPED_TRACE(name);
    const Decoded d = this->decode(fixture(name));
    ASSERT_EQ(d.status, ZARVELL_S_OK);
    EXPECT_EQ(d.media, 20);
    EXPECT_LT(d.count, kCapacity);
    EXPECT_NEAR(d.count, 20 * kRate, kRate / 20);  // 20 s give or take 50 ms of codec edges
    // The tone is there from the first tenth of a second.
    EXPECT_GT(peak(d.samples, 0, kRate / 10), 8000);
    this->expectGuardIntact(d, kCapacity);
  }
}

// Output is mono S16 at 22,050 Hz whatever the source: a stereo 44.1 kHz 1 kHz tone and
// 44.1 kHz 4 kHz tones come out at their own pitch, not clipped, not silent.
TYPED_TEST(DecoderContract, OutputIsMonoSixteenBitAt22050Hz) {
  struct Case {
    const char* name;
    double hz;
  };
  for (const Case& c : {Case{"tone1k_20s.wav", 1000.0}, Case{"tone4k_100s.mp3", 4000.0},
                        Case{"tone4k_100s.m4a", 4000.0}, Case{"tone4k_100s.wma", 4000.0},
                        Case{"tone1k_50s.wav", 1000.0}}) {
    SCOPED_TRACE(c.name);
    const Decoded d = this->decode(fixture(c.name));
    ASSERT_EQ(d.status, ZARVELL_S_OK);
    ASSERT_GT(d.count, kRate);
    EXPECT_NEAR(toneFrequency(d.samples, d.count), c.hz, c.hz * 0.005);
    const int p = peak(d.samples, kRate / 2, d.count - kRate / 2);
    EXPECT_GT(p, 32768 * 0.3);  // amplitude 0.5 in, possibly -3 dB after down-mixing
    EXPECT_LT(p, 32768 * 0.8);
  }
}

TYPED_TEST(DecoderContract, NeverWritesMoreThanTheCapacity) {
  for (int32_t capacity : {1, 1000, 22050, 300000}) {
    SCOPED_TRACE(capacity);
    const Decoded d = this->decode(fixture("marker65_240s.mp3"), 60, TypeParam::kLength, capacity);
    ASSERT_EQ(d.status, ZARVELL_S_OK);
    EXPECT_EQ(d.count, capacity);
    this->expectGuardIntact(d, capacity);
  }
  // A window longer than the buffer is cut at the buffer.
  const Decoded d = this->decode(fixture("tone4k_240s.mp3"), 60, 90, kCapacity);
  ASSERT_EQ(d.status, ZARVELL_S_OK);
  EXPECT_EQ(d.count, kCapacity);
  this->expectGuardIntact(d, kCapacity);
}

// Protected files are refused by name, in any case, even when they would decode.
TYPED_TEST(DecoderContract, ProtectedFilesAreRefusedInAnyCase) {
  ScratchDir dir;
  ASSERT_FALSE(dir.path().empty());
  for (const char* as : {"song.m4p", "SONG.M4P", "Song.M4p", "song.m4P", "x.m4p.m4a"}) {
    SCOPED_TRACE(as);
    const Decoded d = this->decode(dir.copy("protected.m4p", as));
    EXPECT_EQ(d.status, ZARVELL_E_FAIL);
    EXPECT_EQ(d.count, 0);
    this->expectGuardIntact(d, 0);
  }
  // The same bytes under an ordinary name decode, so the refusal is the name's doing.
  EXPECT_EQ(this->decode(dir.copy("protected.m4p", "song.m4a")).status, ZARVELL_S_OK);
}

// Damaged, foreign and missing input fails cleanly: no samples, no hang.
TYPED_TEST(DecoderContract, BrokenInputFailsWithoutSamples) {
  ScratchDir dir;
  ASSERT_FALSE(dir.path().empty());
  const std::string fifo = dir.path() + "/pipe.mp3";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::vector<std::string> paths = {fifo, dir.path(), dir.path() + "/missing.mp3"};
  std::vector<std::string> names = {"empty.mp3",   "not_audio.wav",      "garbage.mp3",
                                    "garbage.m4a", "garbage.wma",        "truncated_240s.m4a",
                                    "video_only.mp4"};
  for (const std::string& more : TypeParam::moreBrokenFiles()) names.push_back(more);
  for (const std::string& name : names) paths.push_back(fixture(name));
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    const auto before = std::chrono::steady_clock::now();
    const Decoded d = this->decode(path, 60, TypeParam::kLength, kCapacity, 2000);
    this->expectRefused(d);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(4000));
  }
}

// Damage in the middle of a stream: whatever the outcome, the contract holds, and the
// undamaged part after the noise still decodes (the window 80..110 s).
TYPED_TEST(DecoderContract, CorruptMiddleKeepsTheContract) {
  const Decoded d = this->decode(fixture("corrupt_middle_240s.mp3"));
  if (d.status == ZARVELL_S_OK) {
    EXPECT_GT(d.count, 0);
  } else {
    EXPECT_TRUE(TypeParam::failed(d.status)) << d.status;
  }
  EXPECT_LE(d.count, kCapacity);
  this->expectGuardIntact(d, kCapacity);
  const Decoded after = this->decode(fixture("corrupt_middle_240s.mp3"), 80, 30);
  EXPECT_EQ(after.status, ZARVELL_S_OK);
  EXPECT_EQ(after.count, kCapacity);
}

// Paths are UTF-16 and may hold any character, and any byte the file system allows: a
// name that is not valid UTF-8 reaches the file system unchanged.
TYPED_TEST(DecoderContract, AnyFileNameDecodes) {
  ScratchDir dir;
  ASSERT_FALSE(dir.path().empty());
  for (const char* name : {"Bj\xC3\xB6rk \xE2\x80\x93 J\xC3\xB3ga \xE6\x97\xA5.mp3",
                           "caf\xE9 \xFF\x80.mp3",  // Latin-1 and stray bytes
                           "half \xE2\x80.mp3"}) {  // a UTF-8 sequence cut short
    SCOPED_TRACE(name);
    const std::string path = dir.copy("tone1k_20s.mp3", name);
    const Decoded d = this->decode(path);
    EXPECT_EQ(d.status, ZARVELL_S_OK);
    EXPECT_EQ(d.media, 20);
    EXPECT_NEAR(d.count, 20 * kRate, kRate / 20);
  }
}

// A text file named like a song that holds an HLS playlist naming another local song must
// not be decoded as that song: a decoder reads the file it is given and nothing else.
TYPED_TEST(DecoderContract, PlaylistNamedLikeASongIsNotFollowed) {
  ScratchDir dir;
  ASSERT_FALSE(dir.path().empty());
  const std::string target = dir.copy("tone1k_20s.mp3", "segment.mp3");
  CountingServer server(readBytes(target));
  ASSERT_GT(server.port(), 0);
  const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/segment.mp3";
  const std::string header =
      "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:20\n#EXT-X-MEDIA-SEQUENCE:0\n";
  const std::string footer = "#EXT-X-ENDLIST\n";
  struct Case {
    const char* as;
    std::string entry;
  };
  const Case cases[] = {
      {"relative.mp3", "#EXTINF:20.0,\nsegment.mp3\n"},
      {"absolute.mp3", "#EXTINF:20.0,\n" + target + "\n"},
      {"uri.mp3", "#EXTINF:20.0,\nfile://" + target + "\n"},
      {"network.mp3", "#EXTINF:20.0,\n" + url + "\n"},
      {"master.m4a", ""},  // a master playlist pointing at a media playlist
  };
  writeText(dir.path() + "/media.m3u8", header + cases[0].entry + footer);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.as);
    const std::string playlist = dir.path() + "/" + c.as;
    if (c.entry.empty()) {
      writeText(playlist, "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=32000\nmedia.m3u8\n");
    } else {
      writeText(playlist, header + c.entry + footer);
    }
    for (const std::string& path : {playlist, std::string(c.as)}) {
      SCOPED_TRACE(path);
      InFolder here(dir.path());
      this->expectRefused(this->decode(path, 0, TypeParam::kLength, kCapacity, 4000));
    }
  }
  EXPECT_EQ(server.connections(), 0) << "the decoder went onto the network";
  // Nothing else changed: the song the playlists name decodes as ever.
  const Decoded song = this->decode(target);
  EXPECT_EQ(song.status, ZARVELL_S_OK);
  EXPECT_EQ(song.media, 20);
}

// Names that look like FFmpeg protocols ("file:", "concat:") are plain file names, relative
// to the current folder or absolute. The files they would name as protocols hold other
// songs (50 s, or 100 s concatenated), so reading the wrong one shows in the length.
TYPED_TEST(DecoderContract, ProtocolLikeNamesAreReadAsPlainFiles) {
  ScratchDir dir;
  ASSERT_FALSE(dir.path().empty());
  dir.copy("marker_50s.mp3", "x.mp3");
  dir.copy("marker_50s.mp3", "a");
  dir.copy("marker_50s.mp3", "b.mp3");
  for (const char* name : {"file:x.mp3", "concat:a|b.mp3", "pipe:0.mp3", "data:x.mp3"}) {
    SCOPED_TRACE(name);
    dir.copy("tone1k_20s.mp3", name);
    InFolder here(dir.path());
    for (const std::string& path : {std::string(name), dir.path() + "/" + name}) {
      SCOPED_TRACE(path);
      const Decoded d = this->decode(path);
      ASSERT_EQ(d.status, ZARVELL_S_OK);
      EXPECT_EQ(d.media, 20);
      EXPECT_NEAR(toneFrequency(d.samples, d.count), 1000.0, 5.0);
    }
  }
  // Without the file of that name, the protocol's target is not read either.
  InFolder here(dir.path());
  this->expectRefused(this->decode("file:b.mp3"));
}

}  // namespace
