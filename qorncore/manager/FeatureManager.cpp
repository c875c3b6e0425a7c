#include "qorncore/manager/FeatureManager.h"

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

std::size_t FeatureManager::Md5Hash::operator()(const Md5Key& key) const noexcept {
  return std::hash<std::string_view>()(std::string_view(key.data(), key.size()));
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
  index_.clear();
  sets_.clear();
  extra_.clear();
  read_ = false;
  readWithValues_ = false;
}

void FeatureManager::addRecord(const Md5Key& key, std::unique_ptr<FeatureSet> set) {
  const auto index = static_cast<uint32_t>(md5s_.size());
  md5s_.push_back(key);
  index_[key] = index;  // a later record under the same md5 wins
  sets_.push_back(std::move(set));
  extra_.emplace_back();
}

long FeatureManager::indexOf(std::string_view md5) const {
  auto key = keyOf(md5);
  if (!key) return -1;
  auto it = index_.find(*key);
  return it == index_.end() ? -1 : static_cast<long>(it->second);
}

std::string FeatureManager::md5At(std::size_t index) const {
  if (index >= md5s_.size()) return std::string();
  return std::string(md5s_[index].data(), kMd5Size);
}

std::size_t FeatureManager::featureSetCount() const {
  return static_cast<std::size_t>(
      std::count_if(sets_.begin(), sets_.end(), [](const auto& s) { return s != nullptr; }));
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
  unsigned char header[kHeaderSize];
  if (std::fread(header, 1, kHeaderSize, file.get()) != kHeaderSize || !headerMatches(header)) {
    QORN_LOG(Error, kSource, " syntax error in header of " + path);
    return kHeaderError;
  }
  return parseStore(file.get(), path, withValues);
}

int FeatureManager::parseStore(std::FILE* file, const std::string& path, bool withValues) {
  std::vector<unsigned char> block(kRecordsPerBlock * kRecordSize);
  std::size_t carried = 0;  // bytes of a record cut by the block boundary
  for (;;) {
    std::size_t got = std::fread(block.data() + carried, 1, block.size() - carried, file);
    if (got == 0) break;
    std::size_t available = carried + got;
    std::size_t whole = available / kRecordSize;
    for (std::size_t r = 0; r < whole; ++r) parseRecord(block.data() + r * kRecordSize, withValues);
    carried = available - whole * kRecordSize;
    if (carried > 0) std::memmove(block.data(), block.data() + whole * kRecordSize, carried);
  }
  if (std::ferror(file)) QORN_LOG(Error, kSource, "read error in " + path);
  if (carried > 0) {
    // An append cut short (a crash while writing): the rest of the store is intact.
    QORN_LOG(Warn, kSource,
             "ignoring partial record of " + std::to_string(carried) + " bytes at the end of " +
                 path);
  }
  QORN_LOG(Info, kSource, "parsed " + std::to_string(md5s_.size()) + " feature sets");
  return kOk;
}

void FeatureManager::parseRecord(const unsigned char* record, bool withValues) {
  Md5Key key;
  std::memcpy(key.data(), record, kMd5Size);
  std::unique_ptr<FeatureSet> set;
  if (withValues) {
    set = std::make_unique<FeatureSet>();
    if (set->readBinaryBody(record + kMd5Size, FeatureSet::kBinaryBodySize) &&
        set->values().size() == static_cast<std::size_t>(kFeatureCount)) {
      set->deriveTempo();
    } else {
      QORN_LOG(Error, kSource,
               "mbff parse error for " + std::to_string(md5s_.size()) + " " +
                   std::string(key.data(), kMd5Size));
      set.reset();
    }
  }
  addRecord(key, std::move(set));
}

const FeatureSet* FeatureManager::loadRecord(std::size_t index) {
  if (index >= sets_.size()) return nullptr;
  if (sets_[index] || readWithValues_) return sets_[index].get();
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
    return nullptr;
  }
  set->deriveTempo();
  sets_[index] = std::move(set);
  return sets_[index].get();
}

void FeatureManager::loadAllRecords() {
  ensureRead();
  if (readWithValues_) return;
  for (const auto& [key, index] : index_) loadRecord(index);
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
  const FeatureSet* set = loadRecord(index);
  if (set == nullptr || set->values().size() != static_cast<std::size_t>(kFeatureCount)) {
    return std::nullopt;
  }
  FeatureVector out;
  if (!normalised) {
    std::copy(set->values().begin(), set->values().end(), out.begin());
    return out;
  }
  if (!extra_[index]) {
    // An all-zero set has no normalised form: there are no features to compare.
    if (!set->valid()) return std::nullopt;
    FeatureSet copy = *set;
    if (copy.normalise() != 1 || !copy.normalised()) return std::nullopt;
    auto values = std::make_unique<float[]>(kFeatureCount);
    std::copy(copy.values().begin(), copy.values().end(), values.get());
    setExtraData(index, std::move(values));
  }
  std::copy(extra_[index].get(), extra_[index].get() + kFeatureCount, out.begin());
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
  if (!key || set.values().size() != static_cast<std::size_t>(kFeatureCount) ||
      set.normalised()) {
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
  addRecord(*key, std::move(copy));
  return kOk;
}

}  // namespace qorn
