// SafeFile: replaces a file so that a crash, a kill or a full disk at any moment leaves
// either the complete old file or the complete new one on disk, never a mix or nothing.
//
// The new text goes into a temporary file in the target's own folder (same file system, so
// the final rename is atomic). While it is written, the current file is kept as
// "<name>.bak" (a hard link, or a copy where links are not supported); commit() flushes
// and fsyncs the new file, renames it over the target and fsyncs the folder. A save that
// fails leaves the target as it was; its backup then holds that same current file (one
// that did not exist before is removed again). Any failure leaves the target
// exactly as it was and removes the temporary file. A target that is a symbolic link is
// resolved, so the link stays and the file it points at is replaced.
//
// Contract: single-threaded per object (it runs one writing thread of its own between
// open() and commit()/abandon()); nothing here throws except std::bad_alloc from building
// path texts and std::system_error when that thread cannot start. Move-only (owns the
// temporary file's descriptor).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace qorn {

class FileFlusher;

class SafeFile {
 public:
  // Bytes collected before each write() to the temporary file.
  static constexpr std::size_t kBufferSize = 1 << 20;

  SafeFile();
  ~SafeFile();  // abandons an uncommitted file (the target stays untouched)
  SafeFile(SafeFile&& other) noexcept;
  SafeFile& operator=(SafeFile&& other) noexcept;
  SafeFile(const SafeFile&) = delete;
  SafeFile& operator=(const SafeFile&) = delete;

  // Creates the temporary file beside `target`. False (with errorText()) when the folder
  // does not exist, is not writable or the target path is empty.
  bool open(const std::string& target);
  // Appends bytes (buffered; a background thread writes each full buffer while the caller
  // goes on). False once any write has failed; later calls do nothing.
  bool write(std::string_view bytes);
  // The same for a large piece the caller gives up: it is handed to the writing thread
  // without a copy, and `bytes` comes back empty (possibly with a recycled buffer).
  bool take(std::string& bytes);
  bool ok() const { return fd_ >= 0 && error_.empty(); }
  // Makes the new text the target's content as described above. False on any failure;
  // the target is then unchanged. The object is closed afterwards either way.
  bool commit();
  // Closes and removes the temporary file; the target stays as it was.
  void abandon();

  // What failed, with the system's reason ("" when nothing failed).
  const std::string& errorText() const { return error_; }
  // The paths in use (after open): the resolved target, its backup and the temporary file.
  const std::string& targetPath() const { return target_; }
  const std::string& tempPath() const { return temp_; }
  static std::string backupPathFor(const std::string& target) { return target + ".bak"; }
  // The temporary file name this process uses for a (resolved) target.
  static std::string tempPathFor(const std::string& target);
  // Removes the temporary files a killed save of `target` left behind ("<target>.tmp-<pid>"
  // and "<target>.tmp-<pid>.bak" whose process no longer runs); open() does it first.
  // Files of a live process are never touched. Best effort, no result.
  static void removeStaleTemps(const std::string& target);
  // Keeps the file at `path` beside it as "<path>.damaged-YYYYMMDD-HHMMSS" (local time;
  // "-1", "-2", ... appended when that name exists): a hard link, or a copy where links
  // are not supported. "" when kept (`keptAs` names the copy) or when there is no file
  // (`keptAs` empty); otherwise what failed, with the system's reason.
  static std::string keepAsDamaged(const std::string& path, std::string& keptAs);

 private:
  bool flushBuffer();
  bool writeFailed();  // records the background write's error; always false
  bool fail(const std::string& what);

  int fd_ = -1;
  std::string target_;
  std::string temp_;
  std::string folder_;
  std::string buffer_;
  std::unique_ptr<FileFlusher> flusher_;  // writes buffer after buffer into fd_
  class BackupJob;
  std::unique_ptr<BackupJob> backup_;  // keeps the old file as the backup meanwhile
  std::string error_;
  int mode_ = -1;  // the old file's permission bits, -1 when there was no old file
};

}  // namespace qorn
