#include "qorncore/manager/features/FeatureManager.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "qorncore/datatypes/EngineLog.h"
#include "zarvell/paths.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/manager/FeatureManager";
constexpr char kHeader[FeatureManager::kHeaderSize + 1] = "MBFFmbinf1.000";
// Records read per block: about 256 kB, small enough to stay in the second-level cache
// between the read that fills it and the checks that walk it.
constexpr std::size_t kRecordsPerBlock = 794;

bool headerMatches(const unsigned char* bytes) {
  // The last two characters are not checked.
  return std::memcmp(bytes, kHeader, 12) == 0;
}

// The window start of a record body, which must be 30.0 in a good record.
bool windowStartIsValid(const unsigned char* body) {
  float first;
  std::memcpy(&first, body + 2, sizeof first);  // little-endian, as this machine
  return first == 30.0f;
}

// True when the 72 values of a record body are finite numbers: a NaN or an infinity marks
// a damaged record (nothing the analysis writes), and would poison every comparison.
bool valuesAreFinite(const unsigned char* body) {
  // Without branches, four values at a time, so that it vectorises: this runs over every
  // stored value of a store read with values.
  const unsigned char* values = body + 10;
  uint32_t nonFinite = 0;
  for (int i = 0; i < kFeatureCount; i += 4) {
    uint32_t bits[4];
    std::memcpy(bits, values + 4 * i, sizeof bits);
    for (uint32_t b : bits) nonFinite |= (b & 0x7f800000u) == 0x7f800000u;  // inf or NaN
  }
  return nonFinite == 0;
}

bool valuesAreFinite(const std::vector<float>& values) {
  return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

std::string nonFiniteText(std::size_t record, std::string_view md5) {
  return "skipping damaged record " + std::to_string(record) + " " + std::string(md5) +
         ": a feature value is not a finite number";
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

void FeatureManager::indexRecord(uint32_t record, uint64_t hash) {
  if (2 * (distinct_ + 1) > slots_.size()) reserveRecords(std::max<std::size_t>(8, distinct_ + 1));
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
  mapping_.reset();
  mappedRecords_ = 0;
  damaged_ = 0;
  read_ = false;
  readWithValues_ = false;
}

void FeatureManager::addRecord(const Md5Key& key, Held held, std::unique_ptr<FeatureSet> set,
                               uint64_t hash) {
  const auto index = static_cast<uint32_t>(md5s_.size());
  md5s_.push_back(key);
  held_.push_back(held);
  sets_.push_back(std::move(set));
  extra_.emplace_back();
  indexRecord(index, hash);  // a later record under the same md5 wins
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
  const RegularFile file = openRegularFile(path, O_RDONLY);
  if (!file) {
    // No store yet is the normal first start; anything else is worth a line.
    if (file.notRegular || file.error != ENOENT) {
      QORN_LOG(Error, kSource, "can't open " + path + ": " + file.reason());
    }
    return kCannotOpen;
  }
  unsigned char header[kHeaderSize];
  if (file.size < kHeaderSize || !readAt(file.fd.get(), header, kHeaderSize, 0) ||
      !headerMatches(header)) {
    QORN_LOG(Error, kSource, " syntax error in header of " + path);
    return kHeaderError;
  }
  const std::uint64_t records = (file.size - kHeaderSize) / kRecordSize;
  if (records > kMaxRecords) {
    QORN_LOG(Error, kSource,
             "refusing " + path + ": " + std::to_string(file.size) +
                 " bytes is more than a feature store of " + std::to_string(kMaxRecords) +
                 " records can hold");
    return kHeaderError;
  }
  readRecords(file, static_cast<std::size_t>(records), withValues);
  const std::uint64_t tail = (file.size - kHeaderSize) % kRecordSize;
  if (tail != 0) {
    // An append cut short (a crash while writing) leaves a partial record: the rest of the
    // store is intact, and the next append cuts it off.
    QORN_LOG(Warn, kSource,
             "ignoring partial record of " + std::to_string(tail) + " bytes at the end of " + path);
  }
  QORN_LOG(Info, kSource, "parsed " + std::to_string(md5s_.size()) + " feature sets");
  return kOk;
}

void FeatureManager::noteDamage(std::size_t record, const Md5Key& key, bool badWindowStart) {
  if (++damaged_ > kDamageLinesLogged) return;
  const std::string_view md5(key.data(), kMd5Size);
  if (badWindowStart) {
    QORN_LOG(Error, kSource,
             "mbff parse error for " + std::to_string(record) + " " + std::string(md5));
  } else {
    QORN_LOG(Warn, kSource, nonFiniteText(record, md5));
  }
}

// Indexes `records` whole records, read a block of about 1 MB at a time into one reused
// buffer, so that memory holds the index and nothing of the file. With values, each record
// body is checked here and its values are brought in from the mapped store when used.
// (Walking the mapping instead costs more in page faults than the copy of a read.)
void FeatureManager::readRecords(const RegularFile& file, std::size_t records, bool withValues) {
  reserveRecords(records);
  if (withValues && records > 0) {
    mapping_ = FileMapping::map(file.fd.get(), kHeaderSize + records * kRecordSize);
    if (mapping_) {
      mappedRecords_ = records;
    } else {
      QORN_LOG(Warn, kSource,
               "can't map " + storePath_ + " (" + std::strerror(errno) +
                   "): its records are read one by one when used");
    }
  }
  const Held goodRecord = mapping_ ? Held::InBytes : Held::NotRead;
  std::vector<unsigned char> buffer(std::min(records, kRecordsPerBlock) * kRecordSize);
  std::vector<Md5Key> keys(std::min(records, kRecordsPerBlock));
  std::vector<uint64_t> hashes(keys.size());
  const std::size_t mask = slots_.size() - 1;
  constexpr std::size_t kAhead = 8;  // index slots are fetched this many records early
  for (std::size_t first = 0; first < records;) {
    const std::size_t count = std::min(kRecordsPerBlock, records - first);
    const std::size_t offset = kHeaderSize + first * kRecordSize;
    const unsigned char* block = buffer.data();
    if (!readAt(file.fd.get(), buffer.data(), count * kRecordSize, offset)) {
      // The file went short or failed under us: keep what was read.
      QORN_LOG(Error, kSource,
               "read error in " + storePath_ + " at record " + std::to_string(first));
      break;
    }
    for (std::size_t i = 0; i < count; ++i) {
      std::memcpy(keys[i].data(), block + i * kRecordSize, kMd5Size);
      hashes[i] = hashOf(keys[i]);
    }
    for (std::size_t i = 0; i < count; ++i) {
      if (i + kAhead < count) __builtin_prefetch(&slots_[hashes[i + kAhead] & mask]);
      const unsigned char* record = block + i * kRecordSize;
      const Md5Key& key = keys[i];
      Held held = Held::NotRead;
      if (withValues) {
        const unsigned char* body = record + kMd5Size;
        const bool windowStart = windowStartIsValid(body);
        if (windowStart && valuesAreFinite(body)) {
          held = goodRecord;
        } else {
          noteDamage(first + i, key, !windowStart);
          held = Held::Bad;
        }
      }
      addRecord(key, held, nullptr, hashes[i]);
    }
    first += count;
  }
  if (damaged_ > kDamageLinesLogged) {
    QORN_LOG(Warn, kSource,
             "... and " + std::to_string(damaged_ - kDamageLinesLogged) +
                 " more damaged records in " + storePath_);
  }
}

const unsigned char* FeatureManager::recordBytes(std::size_t index) const {
  return index < mappedRecords_ ? mapping_.data() + kHeaderSize + index * kRecordSize : nullptr;
}

const FeatureSet* FeatureManager::loadRecord(std::size_t index) {
  if (index >= held_.size()) return nullptr;
  switch (held_[index]) {
    case Held::InSet:
      return sets_[index].get();
    case Held::Bad:
      return nullptr;
    case Held::InBytes: {
      const unsigned char* record = recordBytes(index);
      auto set = record != nullptr ? parseRecordBody(record + kMd5Size) : nullptr;
      return set ? hold(index, std::move(set)) : markBad(index);
    }
    case Held::NotRead:
      break;
  }
  const RegularFile file = openRegularFile(storePath_, O_RDONLY);
  if (!file) {
    QORN_LOG(Error, kSource, "can't open " + storePath_ + " for read");
    return nullptr;
  }
  unsigned char record[kRecordSize];
  if (!readAt(file.fd.get(), record, kRecordSize,
              kHeaderSize + static_cast<std::uint64_t>(index) * kRecordSize) ||
      std::memcmp(record, md5s_[index].data(), kMd5Size) != 0) {
    QORN_LOG(Error, kSource, "can't read record " + std::to_string(index) + " of " + storePath_);
    return nullptr;
  }
  auto set = parseRecordBody(record + kMd5Size);
  if (!set) {
    QORN_LOG(Error, kSource, "mbff parse error for " + std::to_string(index) + " " + md5At(index));
    return markBad(index);
  }
  if (!valuesAreFinite(record + kMd5Size)) {
    QORN_LOG(Warn, kSource, nonFiniteText(index, md5At(index)));
    return markBad(index);
  }
  return hold(index, std::move(set));
}

std::unique_ptr<FeatureSet> FeatureManager::parseRecordBody(const unsigned char* body) {
  auto set = std::make_unique<FeatureSet>();
  if (!set->readBinaryBody(body, FeatureSet::kBinaryBodySize)) return nullptr;
  set->deriveTempo();
  return set;
}

const FeatureSet* FeatureManager::hold(std::size_t index, std::unique_ptr<FeatureSet> set) {
  sets_[index] = std::move(set);
  held_[index] = Held::InSet;
  return sets_[index].get();
}

const FeatureSet* FeatureManager::markBad(std::size_t index) {
  held_[index] = Held::Bad;
  return nullptr;
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
  const RegularFile in = openRegularFile(storePath_, O_RDONLY);
  if (!in) {
    QORN_LOG(Error, kSource, "can't open " + storePath_ + ": " + in.reason());
    return kCannotOpen;
  }
  unsigned char header[kHeaderSize] = {};
  const auto got = static_cast<std::size_t>(std::min<std::uint64_t>(in.size, kHeaderSize));
  if (!readAt(in.fd.get(), header, got, 0)) {
    QORN_LOG(Error, kSource, "can't read " + storePath_);
    return kCannotOpen;
  }
  if (got < kHeaderSize) {
    // A store whose creation was cut short holds nothing yet: write its header again.
    if (std::memcmp(header, kHeader, got) != 0) {
      QORN_LOG(Error, kSource, " syntax error in header of " + storePath_);
      return kHeaderError;
    }
    QORN_LOG(Warn, kSource, "rewriting the incomplete header of " + storePath_);
    const RegularFile out = openRegularFile(storePath_, O_WRONLY | O_TRUNC);
    if (!out || !writeAll(out.fd.get(), kHeader, kHeaderSize)) {
      QORN_LOG(Error, kSource, "can't write to " + storePath_);
      return kCannotOpen;
    }
    return kOk;
  }
  if (!headerMatches(header)) {
    // Not ours: appending would damage it.
    QORN_LOG(Error, kSource, " syntax error in header of " + storePath_);
    return kHeaderError;
  }
  if ((in.size - kHeaderSize) / kRecordSize >= kMaxRecords) {
    // Refused when read: growing it further would help nobody.
    QORN_LOG(Error, kSource,
             "refusing to append to " + storePath_ + ": it holds " + std::to_string(in.size) +
                 " bytes, a feature store at most " + std::to_string(kMaxRecords) + " records");
    return kHeaderError;
  }
  const std::uint64_t tail = (in.size - kHeaderSize) % kRecordSize;
  if (tail != 0) {
    // Without this cut every record appended from now on would be read misaligned.
    QORN_LOG(Warn, kSource,
             "cutting partial record of " + std::to_string(tail) + " bytes from the end of " +
                 storePath_);
    std::error_code ec;
    std::filesystem::resize_file(storePath_, in.size - tail, ec);
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
  // A folder, FIFO or device of that name "exists" too, and is refused by the check below.
  if (std::filesystem::exists(storePath_, ec)) {
    int result = prepareExistingStore();
    if (result != kOk) return result;
  } else {
    std::string folder = parentFolder(storePath_);
    if (!folder.empty()) zarvell::makeFolders(folder);
    const RegularFile created = openRegularFile(storePath_, O_WRONLY | O_CREAT | O_TRUNC);
    if (!created || !writeAll(created.fd.get(), kHeader, kHeaderSize)) {
      QORN_LOG(Error, kSource, "can't open " + storePath_ + ": " + created.reason());
      return kCannotOpen;
    }
    QORN_LOG(Debug, kSource, "created " + storePath_);
  }
  RegularFile out = openRegularFile(storePath_, O_WRONLY | O_APPEND);
  std::FILE* stream = out ? ::fdopen(out.fd.get(), "ab") : nullptr;
  if (stream == nullptr) {
    QORN_LOG(Error, kSource, "can't open " + storePath_ + ": " + out.reason());
    return kCannotOpen;
  }
  out.fd.release();  // the stream owns it now
  out_.reset(stream);
  return kOk;
}

int FeatureManager::append(const std::string& md5, const FeatureSet& set) {
  auto key = keyOf(md5);
  // Only raw values belong in the store.
  if (!key || set.values().size() != static_cast<std::size_t>(kFeatureCount) || set.normalised() ||
      !valuesAreFinite(set.values())) {
    QORN_LOG(Error, kSource, "refusing to store a malformed feature record for " + md5);
    return kBadRecord;
  }
  ensureRead();
  // Failures are logged where they happen, with their reason.
  int result = openForAppend();
  if (result != kOk) return result;
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
  addRecord(*key, Held::InSet, std::move(copy), hashOf(*key));
  return kOk;
}

}  // namespace qorn
