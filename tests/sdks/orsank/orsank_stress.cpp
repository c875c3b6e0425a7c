// orsank_stress: runs damaged copies of tagged files through Orsank.so, each call in a child
// process with a time limit, and counts crashes, hangs and broken answers.
//
// Usage: orsank_stress COPIES SEED TIMEOUT_SECONDS SCRATCH_DIR FILE...
// For each FILE, COPIES damaged copies (keeping the file's extension) are written to
// SCRATCH_DIR and read once each. A copy that crashes, hangs or breaks a promise of the
// boundary is kept in SCRATCH_DIR/failures/. Exit status 0 when none did, 1 otherwise, 2 for
// a usage error.
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "TagStress.h"
#include "zarvell/module.h"

namespace {

namespace fs = std::filesystem;
using namespace orsank::test;

enum class Outcome { Read, Refused, Broken, Crashed, Hung };

// Child exit codes.
constexpr int kRead = 0;
constexpr int kRefused = 1;
constexpr int kBroken = 3;

Outcome runOne(ExtractMetaDataFn extract, const std::string& path, double timeoutSeconds) {
  const pid_t child = ::fork();
  if (child < 0) return Outcome::Crashed;
  if (child == 0) {
    const Answer answer = ask(extract, path.c_str());
    const std::string broken = brokenPromise(answer);
    if (!broken.empty())
      std::fprintf(stderr, "orsank_stress: %s: %s\n", path.c_str(), broken.c_str());
    ::_exit(!broken.empty() ? kBroken : answer.status < 0 ? kRefused : kRead);
  }
  const timespec pause{0, 200'000};  // 0.2 ms
  timespec start{};
  ::clock_gettime(CLOCK_MONOTONIC, &start);
  for (;;) {
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) == child) {
      if (WIFSIGNALED(status)) return Outcome::Crashed;
      const int code = WEXITSTATUS(status);
      return code == kRead ? Outcome::Read : code == kRefused ? Outcome::Refused : Outcome::Broken;
    }
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    if ((now.tv_sec - start.tv_sec) + (now.tv_nsec - start.tv_nsec) / 1e9 > timeoutSeconds) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      return Outcome::Hung;
    }
    ::nanosleep(&pause, nullptr);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: orsank_stress COPIES SEED TIMEOUT_SECONDS SCRATCH_DIR FILE...\n");
    return 2;
  }
  const long copies = std::strtol(argv[1], nullptr, 10);
  const unsigned long long seed = std::strtoull(argv[2], nullptr, 10);
  const double timeout = std::strtod(argv[3], nullptr);
  const fs::path scratch = argv[4];
  if (copies <= 0 || timeout <= 0) {
    std::fprintf(stderr, "orsank_stress: COPIES and TIMEOUT_SECONDS must be positive\n");
    return 2;
  }
  const zarvell::Module orsank = zarvell::Module::load("Orsank");
  const auto extract = orsank.entry<ExtractMetaDataFn>("ExtractMetaData");
  if (!extract) {
    std::fprintf(stderr, "orsank_stress: cannot load Orsank: %s\n", orsank.error().c_str());
    return 2;
  }
  fs::create_directories(scratch / "failures");

  int bad = 0;
  for (int f = 5; f < argc; ++f) {
    const fs::path source = argv[f];
    const std::string bytes = readFile(source.string());
    if (bytes.empty()) {
      std::fprintf(stderr, "orsank_stress: cannot read %s\n", source.c_str());
      return 2;
    }
    const std::string ext = source.extension().string();
    const std::string copy = (scratch / ("copy" + ext)).string();
    long counts[5] = {};
    for (long i = 0; i < copies; ++i) {
      const std::uint64_t copySeed = seed * 1'000'003u + static_cast<std::uint64_t>(f) * 7'919u + i;
      if (!writeFile(copy, damage(bytes, copySeed))) return 2;
      const Outcome outcome = runOne(extract, copy, timeout);
      ++counts[static_cast<int>(outcome)];
      if (outcome == Outcome::Broken || outcome == Outcome::Crashed || outcome == Outcome::Hung) {
        ++bad;
        const fs::path kept =
            scratch / "failures" / (source.stem().string() + "-" + std::to_string(copySeed) + ext);
        fs::copy_file(copy, kept, fs::copy_options::overwrite_existing);
      }
    }
    std::printf("%-12s copies %ld  read %ld  refused %ld  broken %ld  crashed %ld  hung %ld\n",
                source.filename().c_str(), copies, counts[0], counts[1], counts[2], counts[3],
                counts[4]);
  }
  std::fflush(stdout);
  return bad == 0 ? 0 : 1;
}
