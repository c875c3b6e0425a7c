// The import operations of the player: a folder, an iTunes library, dropped or listed files,
// each run in the import window.
#include <QFileDialog>

#include "AppCore.h"
#include "AppLogging.h"
#include "app/dialogs/BusyDialog.h"
#include "app/dialogs/FolderDialog.h"
#include "app/dialogs/ImportProgressDialog.h"
#include "zarvell/FolderScan.h"

namespace zarvell::app {

int AppCore::importFolder() {
  if (isBusy()) return 0;
  FolderDialog dialog(window_.get(), {}, "Select Media Folder (All subfolders will be scanned)",
                      &messages_);
  if (dialog.exec() != QDialog::Accepted) return 0;
  return importFolder(dialog.folder().toStdString());
}

int AppCore::importFolder(const std::string& folder) {
  return runImport([this, folder] { return scanAndImport({folder}, true); }, true);
}

int AppCore::importITunes() {
  if (isBusy()) return 0;
  const QString path =
      QFileDialog::getOpenFileName(window_.get(), {}, {}, "iTunes Networks (*.xml);;All Files (*)");
  if (path.isEmpty()) return 0;
  return importITunes(path.toStdString());
}

int AppCore::importITunes(const std::string& path) {
  return runImport(
      [this, path] {
        return engine().importITunes(path.c_str(), config().linkInferenceAccuracy, true);
      },
      false);
}

int AppCore::importDropped(const std::vector<std::string>& paths) {
  return runImport([this, paths] { return scanAndImport(paths, false); }, false);
}

int AppCore::importFiles(const std::vector<std::string>& paths) {
  return runImport([this, paths] { return importList(paths); }, false);
}

int AppCore::runImport(const std::function<int()>& job, bool newSuggestions) {
  if (isBusy()) return 0;
  executeCommand(command::kStop);
  engine().clearLogOutput();
  int result = 0;
  {
    ImportProgressDialog dialog(window_.get(), helpOpener_);
    setProgressReceiver(&dialog);
    result = dialog.run(job);
    setProgressReceiver(nullptr);
  }
  if (view_) view_->refreshViews();
  if (newSuggestions) regenerateSuggestions();
  offerImportReport();
  runWhenIdle();
  return result;
}

bool AppCore::scanProgress(const std::string& caption, const std::string& detail) {
  ProgressInfo info{};
  info.stage = 0;
  info.stages = 3;
  info.caption = caption.c_str();
  info.detail = detail.c_str();
  info.detail2 = "Scanning Folder";
  return progress(&info);
}

int AppCore::scanAndImport(const std::vector<std::string>& paths, bool oneFolder) {
  appLog(AppLogLevel::Debug, "started recurse folder loop");
  if (!scanProgress("Scanning folder(s)", "")) return -1;
  const auto onFolder = [this](std::size_t, std::size_t files) {
    return scanProgress("Scanning folder(s)", "found " + std::to_string(files) + " items");
  };
  const FolderScanResult scan =
      oneFolder ? scanMediaFolder(paths.front(), onFolder) : collectMedia(paths, onFolder);
  for (const std::string& skipped : scan.skipped)
    appLog(AppLogLevel::Warn, "invalid file handle: " + skipped);
  appLog(AppLogLevel::Debug, "exit recurse folder loop");
  if (scan.cancelled) return -1;
  if (!scanProgress("found " + std::to_string(scan.files.size()) + " items", "")) return -1;
  return importList(scan.files);
}

int AppCore::importList(const std::vector<std::string>& files) {
  std::vector<const char*> paths;
  paths.reserve(files.size());
  for (const std::string& file : files) paths.push_back(file.c_str());
  return engine().importFileList(paths.data(), static_cast<int>(paths.size()),
                                 config().linkInferenceAccuracy);
}

// The suggested bookmarks made anew from the grown network, behind the busy window.
void AppCore::regenerateSuggestions() {
  BusyDialog dialog(window_.get(), "Please wait, auto-generating suggested keytracks...");
  setProgressReceiver(&dialog);
  dialog.run([this] { return engine().createPalette(); });
  setProgressReceiver(nullptr);
  if (view_) view_->refreshViews();
}

void AppCore::offerImportReport() {
  const char* log = engine().getLogOutput();
  if (!log || !*log) return;
  const QString text = QString::fromUtf8(log);
  const auto answer = messages_.show(
      window_.get(), {"Import Warning",
                      "We were unable to process some of your media during the import process.\n\n"
                      "Would you like to see a detailed report?",
                      QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No});
  if (answer != QMessageBox::Yes) return;
  ImportReportDialog report(window_.get(), text);
  report.exec();
}

}  // namespace zarvell::app
