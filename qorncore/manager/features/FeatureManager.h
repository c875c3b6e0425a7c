// The feature store: every analysed song's 72 raw features, keyed by the song's md5
// (its sample hash), in the binary file "networks/features.mbff", plus a cache of
// normalised vectors and the features XML dump.
//
// Binary layout (little-endian): a 14-byte header "MBFF" "mbinf1.0" "00", then 330-byte
// records in append order: 32 md5 characters, the bytes 1 and 0, the floats 30.0 and 60.0,
// the 72 feature values as floats.
//
// Reading keeps no copy of the store: the md5 index is built from the file read a block at
// a time, and the values of a store read with values stay in a read-only mapping of the
// file until they are used. Only regular files are opened, never waiting (a FIFO or a
// folder named as the store is refused with kCannotOpen), and a file larger than a store
// of kMaxRecords records is refused with kHeaderError.
//
// Contract: single-threaded (the engine's thread). Nothing here throws except
// std::bad_alloc; failures are result codes and log lines (source
// "qorncore/manager/FeatureManager"). Pointers returned by featureSet() and extraData()
// are borrowed: valid until the next readFromFile or, for extraData, setExtraData on the
// same record. While a store read with values is mapped, no other program may cut it
// short (the engine's single instance owns it; its own appends and repairs only touch
// bytes past the mapped records).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "qorncore/manager/features/FeatureSet.h"
#include "qorncore/manager/features/StoreFile.h"

namespace qorn {

class FeatureManager {
 public:
  static constexpr std::size_t kHeaderSize = 14;
  static constexpr std::size_t kMd5Size = 32;
  static constexpr std::size_t kRecordSize = kMd5Size + FeatureSet::kBinaryBodySize;  // 330
  // The most records a store may hold (1.38 GB): 28 years of music at 3.5 minutes a song,
  // far beyond any library, so a larger file is damaged or not a store at all.
  static constexpr std::size_t kMaxRecords = std::size_t{1} << 22;
  // Damaged records logged one by one in one read; the rest are counted in one line.
  static constexpr std::size_t kDamageLinesLogged = 100;

  // Result codes of readFromFile and append.
  static constexpr int kOk = 0;
  static constexpr int kCannotOpen = 10;   // no path, cannot open, create or write
  static constexpr int kHeaderError = 11;  // the file is not a feature store
  static constexpr int kBadRecord = 12;    // append: md5 not 32 characters, or not 72
                                           // finite raw values

  // A manager over the store at `storePath` (relative paths resolve against the current
  // directory, which the application makes the data folder). Nothing is read yet.
  explicit FeatureManager(std::string storePath = "networks/features.mbff");
  virtual ~FeatureManager();
  FeatureManager(const FeatureManager&) = delete;
  FeatureManager& operator=(const FeatureManager&) = delete;

  const std::string& storePath() const { return storePath_; }

  // Reads the store at `path` (which becomes the manager's store) from scratch: the md5 of
  // every record, and with `withValues` its features too. Bad records (window start not
  // 30.0, or a value that is not a finite number) are logged and left out of the feature
  // sets (they stay in the md5 index); a partial record at the end is logged and ignored.
  // kOk, kCannotOpen (no path, missing, unreadable, not a regular file) or kHeaderError
  // (not a store header, or larger than kMaxRecords records).
  virtual int readFromFile(const std::string& path, bool withValues);
  // Reads the manager's own store with values unless it has been read already.
  void ensureRead();
  bool hasBeenRead() const { return read_; }

  // Adds one record to the end of the store (creating the store with its header when it
  // does not exist) and keeps the set in memory. A store that ends in a partial record
  // (an append cut short) is first cut back to its last whole record. kOk, kCannotOpen
  // (also: the store is not a regular file), kHeaderError (also: the store is too large)
  // or kBadRecord (also: a value that is not a finite number).
  virtual int append(const std::string& md5, const FeatureSet& set);

  // Record index of an md5 (the last record under that md5), or -1.
  long indexOf(std::string_view md5) const;
  std::size_t recordCount() const { return md5s_.size(); }
  std::string md5At(std::size_t index) const;
  // Number of records whose features are held in memory.
  std::size_t featureSetCount() const;

  // The feature set of an md5, reading the store on first use and the record by random
  // access when it was indexed without values; nullptr when there is none.
  const FeatureSet* featureSet(std::string_view md5);
  // The 72 raw values, or with `normalised` the normalised ones (cached per record, so a
  // set is normalised once). Nothing for an unknown md5, a bad record, or a set that
  // cannot be normalised (invalid, or the normaliser table is incomplete).
  std::optional<FeatureVector> features(std::string_view md5, bool normalised);

  // The normalised cache: one 72-float array per record index, owned by the manager.
  void setExtraData(std::size_t index, std::unique_ptr<float[]> values);
  const float* extraData(std::string_view md5) const;
  void clearExtraData();

  // Features XML (FeatureXmlReader.cpp / FeatureXmlWriter.cpp). load: songs not yet stored
  // are appended, normalisers enter the library-wide table; a parse or read failure
  // reports error 4. save: 1 on success; a file that cannot be written reports error 1.
  bool loadXml(const std::string& path);
  int saveXml(const std::string& path);
  // The features XML text that saveXml writes.
  std::string xmlText();
  // The version of the features XML read last ("1.0" before any).
  const std::string& xmlVersion() const { return xmlVersion_; }
  void setXmlVersion(std::string version) { xmlVersion_ = std::move(version); }
  // Where the writer copies the normaliser section from when the table is incomplete
  // (default: the shipped "networks/normf.xml", looked up when needed).
  void setNormaliserFilePath(std::string path) { normaliserFile_ = std::move(path); }

 private:
  using Md5Key = std::array<char, kMd5Size>;
  struct FileCloser {
    void operator()(std::FILE* f) const noexcept;
  };
  // Where a record's features are: not read (indexed without values: random access reads
  // them), unusable, raw in the mapped store (checked when it was read), or in sets_.
  enum class Held : uint8_t { NotRead, Bad, InBytes, InSet };
  // One slot of the md5 index (open addressing, at most half full): record number + 1
  // (0: free) and the high half of the md5's hash, so that most probes need no compare.
  struct IndexSlot {
    uint32_t record = 0;
    uint32_t tag = 0;
  };

  static std::optional<Md5Key> keyOf(std::string_view md5);
  static uint64_t hashOf(const Md5Key& key);
  std::size_t slotOf(const Md5Key& key, uint64_t hash) const;
  void reserveRecords(std::size_t count);
  // Enters a record under its md5, whose hashOf is `hash`.
  void indexRecord(uint32_t record, uint64_t hash);
  // True for the record that the index gives for its md5 (the last one under it).
  bool isIndexed(std::size_t record) const;

  void reset();
  void addRecord(const Md5Key& key, Held held, std::unique_ptr<FeatureSet> set, uint64_t hash);
  void readRecords(const RegularFile& file, std::size_t records, bool withValues);
  // Counts a damaged record of the current read and logs it (up to kDamageLinesLogged
  // lines): ERROR for a window start other than 30.0, WARN for a value that is not finite.
  void noteDamage(std::size_t record, const Md5Key& key, bool badWindowStart);
  const unsigned char* recordBytes(std::size_t index) const;
  // The record's features as a set (made from the stored bytes when needed), or nullptr.
  const FeatureSet* loadRecord(std::size_t index);
  // A record's body (FeatureSet::kBinaryBodySize bytes after its md5) as a set with its
  // tempo derived; null when it does not parse. Does not throw beyond std::bad_alloc.
  static std::unique_ptr<FeatureSet> parseRecordBody(const unsigned char* body);
  // Keeps `set` as the one held for record `index` and returns it.
  const FeatureSet* hold(std::size_t index, std::unique_ptr<FeatureSet> set);
  // Marks record `index` damaged; always null, for returning.
  const FeatureSet* markBad(std::size_t index);
  // The raw values of a record, without keeping a set for it.
  bool rawValues(std::size_t index, FeatureVector& out);
  int openForAppend();
  int prepareExistingStore();

  std::string storePath_;
  std::vector<Md5Key> md5s_;                       // by record index
  std::vector<Held> held_;                         // by record index
  std::vector<std::unique_ptr<FeatureSet>> sets_;  // by record index; null unless InSet
  std::vector<std::unique_ptr<float[]>> extra_;    // by record index: the normalised cache
  std::vector<IndexSlot> slots_;                   // size a power of two
  std::size_t distinct_ = 0;                       // md5s in the index
  FileMapping mapping_;                            // the store as read with values, when it maps
  std::size_t mappedRecords_ = 0;                  // whole records inside mapping_
  std::size_t damaged_ = 0;                        // damaged records met in the current read
  std::unique_ptr<std::FILE, FileCloser> out_;     // append stream, opened once
  bool read_ = false;
  bool readWithValues_ = false;
  std::string xmlVersion_ = "1.0";
  std::string normaliserFile_;
};

}  // namespace qorn
