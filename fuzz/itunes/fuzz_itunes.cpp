// Fuzz target of the iTunes library reader (see CMakeLists.txt). A difference between the
// whole and the piecewise read, an entry that breaks the record's rules, or anything kept
// after a cancel stops the fuzzer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "kalvoretengine/IQornManager.h"
#include "qorncore/datatypes/ErrorReport.h"
#include "qorncore/manager/ITunesLibraryReader.h"
#include "zarvell/text.h"

namespace {

// Refuses report number `refuseAt` (from 1; 0: never); counts the reports.
class Refuser : public IQornManagerCallback {
 public:
  explicit Refuser(int refuseAt) : refuseAt_(refuseAt) {}
  bool progress(ProgressInfo* info) override {
    if (!info->caption || !info->detail || !info->detail2 || info->stage != 1 ||
        info->stages != 4 || info->current < 0 || info->current > info->total || info->total != 100)
      fail("malformed progress record");
    return ++reports != refuseAt_;
  }
  int reports = 0;

  [[noreturn]] static void fail(const char* why) {
    std::fprintf(stderr, "%s\n", why);
    std::abort();
  }

 private:
  int refuseAt_;
};

struct Outcome {
  int result = 0;
  int reports = 0;
  std::vector<std::string> entries;  // one summary per entry
};

std::string summary(const FESyncItem& item) {
  if (item.valid != 1 || !item.path || !item.name || !item.artist || !item.album || !item.genre ||
      item.textCp || item.textCt || item.textCd || item.textLg || item.textIk || item.textMo ||
      item.textPd || item.textPr || item.textPb || item.textSt || item.textWt || item.playCount ||
      item.intYr || item.reserved || item.intBm || item.intId || item.intTn || item.sendMetadata ||
      item.sent)
    Refuser::fail("entry breaks the record's rules");
  return zarvell::utf16ToPath(item.path) + '\x01' + zarvell::utf16ToUtf8(item.name) + '\x01' +
         zarvell::utf16ToUtf8(item.artist) + '\x01' + zarvell::utf16ToUtf8(item.album) + '\x01' +
         zarvell::utf16ToUtf8(item.genre) + '\x01' + std::to_string(item.year) + '\x01' +
         std::to_string(item.duration);
}

Outcome readOnce(std::string_view text, std::size_t piece, int refuseAt) {
  Refuser callback(refuseAt);
  std::ostringstream console;
  qorn::ITunesLibraryReader reader(&callback, 4, console);
  Outcome out;
  out.result = reader.readText(text, "fuzz.xml", piece);
  out.reports = callback.reports;
  for (const auto& item : reader.items()) out.entries.push_back(summary(*item));
  if (out.result == 0 && !reader.items().empty()) Refuser::fail("a failed read kept entries");
  if (out.result == 1 && static_cast<int>(out.entries.size()) != reader.tracksFound())
    Refuser::fail("entries and tracks found differ");
  qorn::clearLogOutputText();  // failures add a line each
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Outcome whole = readOnce(text, 64 * 1024, 0);
  const Outcome pieces = readOnce(text, 7, 0);
  if (pieces.result != whole.result || pieces.entries != whole.entries ||
      pieces.reports != whole.reports)
    Refuser::fail("a read in pieces differs from the whole read");
  if (whole.reports > 0) {
    // Refuse a report chosen by the input: the read ends there and keeps nothing.
    const int refuseAt = 1 + static_cast<int>(size % static_cast<std::size_t>(whole.reports));
    const Outcome cancelled = readOnce(text, 64 * 1024, refuseAt);
    if (cancelled.result != 0 || !cancelled.entries.empty() || cancelled.reports != refuseAt)
      Refuser::fail("a cancelled read went on or kept entries");
  }
  return 0;
}
