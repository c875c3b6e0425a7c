#include "qorncore/manager/features/FeatureManager.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "qorncore/datatypes/EngineLog.h"
#include "zarvell/paths.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/manager/FeatureManager";
constexpr char kHeader[FeatureManager::kHeaderSize + 1] = "MBFFmbinf1.000";
// Records read per block: about 1 MB, small enough to stay in cache while it is parsed.
constexpr std::size_t kRecordsPerBlock = 3178;

bool headerMatches(const unsigned char* bytes) {
  // The last two characters are not checked.
  return std::memcmp(bytes, kHeader, 12) == 0;
}

std::string parentFolder(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

uint64_t FeatureManager::hashOf(const Md5Key& key) {
  uint64_t w[4];
  std::memcpy(w, key.data(), sizeof w);
  uint64_t h = w[0] * 0x9E3779B97F4A7C15ull;
  h = (h ^ w[1]) * 0xBF58476D1CE4E5B9ull;
  h = (h ^ w[2]) * 0x94D049BB133111EBull;
  h = (h ^ w[3]) * 0x9E3779B97F4A7C15ull;
  return h ^ (h >> 29);
}

// The slot holding `key`, or the free slot where it would go.
std::size_t FeatureManager::slotOf(const Md5Key& key, uint64_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  const auto tag = static_cast<uint32_t>(hash >> 32);
  std::size_t slot = static_cast<std::size_t>(hash) & mask;
  for (;;) {
    const IndexSlot& s = slots_[slot];
    if (s.record == 0 || (s.tag == tag && md5s_[s.record - 1] == key)) return slot;
    slot = (slot + 1) & mask;
  }
}

void FeatureManager::reserveRecords(std::size_t count) {
  md5s_.reserve(count);
  held_.reserve(count);
  sets_.reserve(count);
  extra_.reserve(count);
  std::size_t wanted = 16;
  while (wanted < 2 * count) wanted *= 2;
  if (wanted <= slots_.size()) return;
  slots_.assign(wanted, IndexSlot{});
  for (uint32_t record = 0; record < md5s_.size(); ++record) {
    const uint64_t hash = hashOf(md5s_[record]);
    // Later records under one md5 win, as on insert.
    slots_[slotOf(md5s_[record], hash)] = IndexSlot{record + 1, static_cast<uint32_t>(hash >> 32)};
  }
}

void FeatureManager::indexRecord(uint32_t record) {
  if (2 * (distinct_ + 1) > slots_.size()) reserveRecords(std::max<std::size_t>(8, distinct_ + 1));
  const uint64_t hash = hashOf(md5s_[record]);
  IndexSlot& slot = slots_[slotOf(md5s_[record], hash)];
  if (slot.record == 0) ++distinct_;
  slot = IndexSlot{record + 1, static_cast<uint32_t>(hash >> 32)};
}

bool FeatureManager::isIndexed(std::size_t record) const {
  if (record >= md5s_.size()) return false;
  return slots_[slotOf(md5s_[record], hashOf(md5s_[record]))].record == record + 1;
}

void FeatureManager::FileCloser::operator()(std::FILE* f) const noexcept {
  if (f != nullptr) std::fclose(f);
}

FeatureManager::FeatureManager(std::string storePath) : storePath_(std::move(storePath)) {}

// The manager owns the normalised cache, so nothing is left behind when it goes.
FeatureManager::~FeatureManager() = default;

std::optional<FeatureManager::Md5Key> FeatureManager::keyOf(std::string_view md5) {
  if (md5.size() != kMd5Size) return std::nullopt;
  Md5Key key;
  std::memcpy(key.data(), md5.data(), kMd5Size);
  return key;
}

void FeatureManager::reset() {
  md5s_.clear();
  held_.clear();
  sets_.clear();
  extra_.clear();
  slots_.clear();
  distinct_ = 0;
  bytes_.reset();
  byteCount_ = 0;
  read_ = false;
  readWithValues_ = false;
}

void FeatureManager::addRecord(const Md5Key& key, Held held, std::unique_ptr<FeatureSet> set) {
  const auto index = static_cast<uint32_t>(md5s_.size());
  md5s_.push_back(key);
  held_.push_back(held);
  sets_.push_back(std::move(set));
  extra_.emplace_back();
  indexRecord(index);  // a later record under the same md5 wins
}

long FeatureManager::indexOf(std::string_view md5) const {
  auto key = keyOf(md5);
  if (!key || slots_.empty()) return -1;
  const uint32_t record = slots_[slotOf(*key, hashOf(*key))].record;
  return record == 0 ? -1 : static_cast<long>(record - 1);
}

std::string FeatureManager::md5At(std::size_t index) const {
  if (index >= md5s_.size()) return std::string();
  return std::string(md5s_[index].data(), kMd5Size);
}

std::size_t FeatureManager::featureSetCount() const {
  return static_cast<std::size_t>(std::count_if(
      held_.begin(), held_.end(), [](Held h) { return h == Held::InBytes || h == Held::InSet; }));
}

void FeatureManager::ensureRead() {
  if (!read_) readFromFile(storePath_, true);
}

int FeatureManager::readFromFile(const std::string& path, bool withValues) {
  QORN_LOG(Debug, kSource, "FeatureManager::readFromFile");
  if (path != storePath_) out_.reset();
  storePath_ = path;
  reset();
  // Whatever the outcome, the store counts as read: a missing store is an empty one.
  read_ = true;
  readWithValues_ = withValues;
  if (path.empty()) return kCannotOpen;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return kCannotOpen;
  int result = withValues ? readWithValues(file.get(), path) : readIndexOnly(file.get(), path);
  if (result == kOk) {
    QORN_LOG(Info, kSource, "parsed " + std::to_string(md5s_.size()) + " feature sets");
  }
  return result;
}

namespace {

// An append cut short (a crash while writing) leaves a partial record: the rest of the
// store is intact, and the next append cuts it off.
void logPartialRecord(std::size_t bytes, const std::string& path) {
  QORN_LOG(Warn, kSource,
           "ignoring partial record of " + std::to_string(bytes) + " bytes at the end of " + path);
}

}  // namespace

// Reads the whole file with one read and parses the records where they lie.
int FeatureManager::readWithValues(std::FILE* file, const std::string& path) {
  std::size_t capacity = kHeaderSize;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long end = std::ftell(file);
    if (end > 0) capacity = std::max(capacity, static_cast<std::size_t>(end));
  }
  std::rewind(file);
  auto bytes = std::make_unique_for_overwrite<unsigned char[]>(capacity);
  std::size_t size = std::fread(bytes.get(), 1, capacity, file);
  if (std::ferror(file)) QORN_LOG(Error, kSource, "read error in " + path);
  if (size < kHeaderSize || !headerMatches(bytes.get())) {
    QORN_LOG(Error, kSource, " syntax error in header of " + path);
    return kHeaderError;
  }
  const std::size_t records = (size - kHeaderSize) / kRecordSize;
  reserveRecords(records);
  const unsigned char* base = bytes.get() + kHeaderSize;
  const std::size_t mask = slots_.size() - 1;
  constexpr std::size_t kAhead = 8;  // index slots are fetched this many records early
  for (std::size_t r = 0; r < records; ++r) {
    if (r + kAhead < records) {
      Md5Key next;
      std::memcpy(next.data(), base + (r + kAhead) * kRecordSize, kMd5Size);
      __builtin_prefetch(&slots_[static_cast<std::size_t>(hashOf(next)) & mask]);
    }
    const unsigned char* record = base + r * kRecordSize;
    Md5Key key;
    std::memcpy(key.data(), record, kMd5Size);
    float first;
    std::memcpy(&first, record + kMd5Size + 2, sizeof first);
    const bool good = first == 30.0f;
    if (!good) {
      QORN_LOG(
          Error, kSource,
          "mbff parse error for " + std::to_string(r) + " " + std::string(key.data(), kMd5Size));
    }
    addRecord(key, good ? Held::InBytes : Held::Bad, nullptr);
  }
  if ((size - kHeaderSize) % kRecordSize != 0)
    logPartialRecord((size - kHeaderSize) % kRecordSize, path);
  bytes_ = std::move(bytes);
  byteCount_ = size;
  return kOk;
}

// Reads the md5 of every record, a block of about 1 MB at a time.
int FeatureManager::readIndexOnly(std::FILE* file, const std::string& path) {
  unsigned char header[kHeaderSize];
  if (std::fread(header, 1, kHeaderSize, file) != kHeaderSize || !headerMatches(header)) {
    QORN_LOG(Error, kSource, " syntax error in header of " + path);
    return kHeaderError;
  }
  std::size_t blockSize = kRecordsPerBlock * kRecordSize;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long end = std::ftell(file);
    if (end >= static_cast<long>(kHeaderSize)) {
      const std::size_t records = (static_cast<std::size_t>(end) - kHeaderSize) / kRecordSize;
      blockSize = std::min(blockSize, (records + 1) * kRecordSize);
      reserveRecords(records);
    }
  }
  if (std::fseek(file, static_cast<long>(kHeaderSize), SEEK_SET) != 0) return kCannotOpen;
  std::vector<unsigned char> block(blockSize);
  std::size_t carried = 0;  // bytes of a record cut by the block boundary
  for (;;) {
    std::size_t got = std::fread(block.data() + carried, 1, block.size() - carried, file);
    if (got == 0) break;
    std::size_t available = carried + got;
    std::size_t whole = available / kRecordSize;
    for (std::size_t r = 0; r < whole; ++r) {
      Md5Key key;
      std::memcpy(key.data(), block.data() + r * kRecordSize, kMd5Size);
      addRecord(key, Held::NotRead, nullptr);
    }
    carried = available - whole * kRecordSize;
    if (carried > 0) std::memmove(block.data(), block.data() + whole * kRecordSize, carried);
  }
  if (std::ferror(file)) QORN_LOG(Error, kSource, "read error in " + path);
  if (carried > 0) logPartialRecord(carried, path);
  return kOk;
}

const unsigned char* FeatureManager::recordBytes(std::size_t index) const {
  const std::size_t offset = kHeaderSize + index * kRecordSize;
  return bytes_ && offset + kRecordSize <= byteCount_ ? bytes_.get() + offset : nullptr;
}

const FeatureSet* FeatureManager::loadRecord(std::size_t index) {
  if (index >= held_.size()) return nullptr;
  switch (held_[index]) {
    case Held::InSet:
      return sets_[index].get();
    case Held::Bad:
      return nullptr;
    case Held::InBytes: {
      auto set = std::make_unique<FeatureSet>();
      const unsigned char* record = recordBytes(index);
      if (record == nullptr ||
          !set->readBinaryBody(record + kMd5Size, FeatureSet::kBinaryBodySize)) {
        held_[index] = Held::Bad;
        return nullptr;
      }
      set->deriveTempo();
      sets_[index] = std::move(set);
      held_[index] = Held::InSet;
      return sets_[index].get();
    }
    case Held::NotRead:
      break;
  }
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(storePath_.c_str(), "rb"));
  if (!file) {
    QORN_LOG(Error, kSource, "can't open " + storePath_ + " for read");
    return nullptr;
  }
  unsigned char record[kRecordSize];
  const auto offset = static_cast<long>(kHeaderSize + index * kRecordSize);
  if (std::fseek(file.get(), offset, SEEK_SET) != 0 ||
      std::fread(record, 1, kRecordSize, file.get()) != kRecordSize ||
      std::memcmp(record, md5s_[index].data(), kMd5Size) != 0) {
    QORN_LOG(Error, kSource, "can't read record " + std::to_string(index) + " of " + storePath_);
    return nullptr;
  }
  auto set = std::make_unique<FeatureSet>();
  if (!set->readBinaryBody(record + kMd5Size, FeatureSet::kBinaryBodySize)) {
    QORN_LOG(Error, kSource, "mbff parse error for " + std::to_string(index) + " " + md5At(index));
    held_[index] = Held::Bad;
    return nullptr;
  }
  set->deriveTempo();
  sets_[index] = std::move(set);
  held_[index] = Held::InSet;
  return sets_[index].get();
}

bool FeatureManager::rawValues(std::size_t index, FeatureVector& out) {
  if (index < held_.size() && held_[index] == Held::InBytes) {
    // Straight from the stored bytes (little-endian floats, as this machine's).
    const unsigned char* record = recordBytes(index);
    if (record == nullptr) return false;
    std::memcpy(out.data(), record + kMd5Size + 10, sizeof out);
    return true;
  }
  const FeatureSet* set = loadRecord(index);
  if (set == nullptr || set->values().size() != static_cast<std::size_t>(kFeatureCount)) {
    return false;
  }
  std::copy(set->values().begin(), set->values().end(), out.begin());
  return true;
}

const FeatureSet* FeatureManager::featureSet(std::string_view md5) {
  ensureRead();
  long index = indexOf(md5);
  return index < 0 ? nullptr : loadRecord(static_cast<std::size_t>(index));
}

std::optional<FeatureVector> FeatureManager::features(std::string_view md5, bool normalised) {
  ensureRead();
  long found = indexOf(md5);
  if (found < 0) return std::nullopt;
  const auto index = static_cast<std::size_t>(found);
  FeatureVector out;
  if (normalised && extra_[index]) {
    std::copy(extra_[index].get(), extra_[index].get() + kFeatureCount, out.begin());
    return out;
  }
  if (!rawValues(index, out)) return std::nullopt;
  if (!normalised) return out;
  FeatureSet copy(std::vector<float>(out.begin(), out.end()));
  // An all-zero set has no normalised form: there are no features to compare.
  if (!copy.valid()) return std::nullopt;
  if (copy.normalise() != 1 || !copy.normalised()) return std::nullopt;
  auto values = std::make_unique<float[]>(kFeatureCount);
  std::copy(copy.values().begin(), copy.values().end(), values.get());
  std::copy(copy.values().begin(), copy.values().end(), out.begin());
  setExtraData(index, std::move(values));
  return out;
}

void FeatureManager::setExtraData(std::size_t index, std::unique_ptr<float[]> values) {
  if (index >= md5s_.size()) {
    QORN_LOG(Error, kSource, " illegal idx in setExtraData: " + std::to_string(index));
    return;
  }
  if (extra_[index]) QORN_LOG(Error, kSource, "memory leak in setExtraData");
  extra_[index] = std::move(values);
}

const float* FeatureManager::extraData(std::string_view md5) const {
  long index = indexOf(md5);
  return index < 0 ? nullptr : extra_[static_cast<std::size_t>(index)].get();
}

void FeatureManager::clearExtraData() {
  for (auto& e : extra_) e.reset();
}

int FeatureManager::prepareExistingStore() {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(storePath_, ec);
  if (ec) return kCannotOpen;
  unsigned char header[kHeaderSize] = {};
  {
    std::unique_ptr<std::FILE, FileCloser> in(std::fopen(storePath_.c_str(), "rb"));
    if (!in) return kCannotOpen;
    std::size_t got = std::fread(header, 1, kHeaderSize, in.get());
    if (got < kHeaderSize) {
      // A store whose creation was cut short holds nothing yet: write its header again.
      if (std::memcmp(header, kHeader, got) != 0) {
        QORN_LOG(Error, kSource, " syntax error in header of " + storePath_);
        return kHeaderError;
      }
      QORN_LOG(Warn, kSource, "rewriting the incomplete header of " + storePath_);
      in.reset();
      std::unique_ptr<std::FILE, FileCloser> out(std::fopen(storePath_.c_str(), "wb"));
      if (!out || std::fwrite(kHeader, 1, kHeaderSize, out.get()) != kHeaderSize) {
        return kCannotOpen;
      }
      return kOk;
    }
  }
  if (!headerMatches(header)) {
    // Not ours: appending would damage it.
    QORN_LOG(Error, kSource, " syntax error in header of " + storePath_);
    return kHeaderError;
  }
  const std::uintmax_t tail = (size - kHeaderSize) % kRecordSize;
  if (tail != 0) {
    // Without this cut every record appended from now on would be read misaligned.
    QORN_LOG(Warn, kSource,
             "cutting partial record of " + std::to_string(tail) + " bytes from the end of " +
                 storePath_);
    std::filesystem::resize_file(storePath_, size - tail, ec);
    if (ec) {
      QORN_LOG(Error, kSource, "can't cut " + storePath_ + ": " + ec.message());
      return kCannotOpen;
    }
  }
  return kOk;
}

int FeatureManager::openForAppend() {
  if (out_) return kOk;
  if (storePath_.empty()) return kCannotOpen;
  std::error_code ec;
  if (std::filesystem::exists(storePath_, ec)) {
    int result = prepareExistingStore();
    if (result != kOk) return result;
  } else {
    std::string folder = parentFolder(storePath_);
    if (!folder.empty()) zarvell::makeFolders(folder);
    std::unique_ptr<std::FILE, FileCloser> created(std::fopen(storePath_.c_str(), "wb"));
    if (!created || std::fwrite(kHeader, 1, kHeaderSize, created.get()) != kHeaderSize ||
        std::fflush(created.get()) != 0) {
      return kCannotOpen;
    }
    QORN_LOG(Debug, kSource, "created " + storePath_);
  }
  out_.reset(std::fopen(storePath_.c_str(), "ab"));
  return out_ ? kOk : kCannotOpen;
}

int FeatureManager::append(const std::string& md5, const FeatureSet& set) {
  auto key = keyOf(md5);
  // Only raw values belong in the store.
  if (!key || set.values().size() != static_cast<std::size_t>(kFeatureCount) || set.normalised()) {
    QORN_LOG(Error, kSource, "refusing to store a malformed feature record for " + md5);
    return kBadRecord;
  }
  ensureRead();
  int result = openForAppend();
  if (result != kOk) {
    if (result == kCannotOpen) QORN_LOG(Error, kSource, "can't open " + storePath_);
    return result;
  }
  std::string record(md5);
  record.reserve(kRecordSize);
  set.writeBinaryBody(record);
  std::error_code sizeError;
  const std::uintmax_t before = std::filesystem::file_size(storePath_, sizeError);
  if (std::fwrite(record.data(), 1, record.size(), out_.get()) != record.size() ||
      std::fflush(out_.get()) != 0) {
    QORN_LOG(Error, kSource, "can't write to " + storePath_);
    // Take back whatever part of the record reached the file.
    out_.reset();
    std::error_code ec;
    if (!sizeError) std::filesystem::resize_file(storePath_, before, ec);
    return kCannotOpen;
  }
  auto copy = std::make_unique<FeatureSet>(set);
  copy->deriveTempo();
  addRecord(*key, Held::InSet, std::move(copy));
  return kOk;
}

}  // namespace qorn
