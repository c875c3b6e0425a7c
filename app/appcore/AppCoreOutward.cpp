// AppCore's outward-facing operations: M3U export, copying media, purchase links, web
// pages, the update check, the help and the preferences.
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QUrl>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "AppCore.h"
#include "AppLogging.h"
#include "NodeText.h"
#include "app/dialogs/FolderDialog.h"
#include "app/net/Http.h"
#include "app/settings/SettingsDialog.h"
#include "zarvell/deployment.h"
#include "zarvell/paths.h"

namespace zarvell::app {
namespace {

constexpr int kAlbumType = 2;

std::vector<Node*> flatSongs(IQornManager& engine, const std::vector<Node*>& selection) {
  std::vector<Node*> songs;
  if (selection.empty()) return songs;
  Node** flat = nullptr;
  int count = 0;
  engine.getFlatList(&selection, &flat, &count);
  for (int i = 0; i < count; ++i)
    if (flat[i]) songs.push_back(flat[i]);
  return songs;
}

std::string copyOf(const char* text) {
  return text ? text : "";
}

QString defaultSaveFile(QWidget* parent) {
  QFileDialog dialog(parent, "Export M3U Playlist", {}, "M3U Playlists (*.m3u);;All Files (*)");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("m3u");  // Qt asks before overwriting
  return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString defaultFolder(QWidget* parent) {
  FolderDialog dialog(parent, {}, "Select folder to copy files to");
  return dialog.exec() == QDialog::Accepted ? dialog.folder() : QString();
}

}  // namespace

void AppCore::exportM3U(const std::vector<Node*>& selection) {
  const std::vector<Node*> songs = flatSongs(engine(), selection);
  if (songs.empty()) return;
  const QString path =
      chooseSaveFile_ ? chooseSaveFile_(window_.get()) : defaultSaveFile(window_.get());
  if (path.isEmpty()) return;
  std::vector<M3uEntry> entries;
  for (Node* song : songs)
    entries.push_back({engine().getDuration(song), nodeName(engine(), song).toStdString(),
                       copyOf(engine().getMediaPath(song))});
  std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
  if (!out) {
    appLog(AppLogLevel::Error, "the playlist could not be written to " + path.toStdString());
    return;
  }
  out << m3uText(entries);
}

void AppCore::copyMedia(const std::vector<Node*>& selection) {
  const std::vector<Node*> songs = flatSongs(engine(), selection);
  if (songs.empty()) return;
  const QString current = QDir::currentPath();  // the program's relative paths depend on it
  const QString folder =
      chooseFolder_ ? chooseFolder_(window_.get()) : defaultFolder(window_.get());
  QDir::setCurrent(current);
  if (folder.isEmpty()) return;
  std::vector<std::string> files;
  for (Node* song : songs) files.push_back(copyOf(engine().getMediaPath(song)));
  const std::string target = folder.toStdString();
  runBusy("Please wait, copying files...", [this, files, target] {
    return copyFilesTo(files, target, [this](const ProgressInfo& info) {
      ProgressInfo record = info;
      return progress(&record);
    });
  });
}

std::string AppCore::purchaseLink(Node* node, const std::string& storeKey) {
  if (!node) return {};
  LinkTerms terms;
  terms.type = engine().getNodeType(node);
  terms.name = nodeName(engine(), node).toStdString();
  terms.album = albumName(engine(), node).toStdString();
  if (terms.type == kAlbumType)  // the album's artist: its one artist or "(Various Artists)"
    terms.artist = engineText(engine().getArtistName(node)).toStdString();
  else
    terms.artist = artistNames(engine(), node).join(", ").toStdString();
  return purchaseLinkFor(storeKey, terms, StoreAddresses::fromDeployment());
}

bool AppCore::openUrl(const QString& url) {
  const QUrl target(url);
  const bool opened = urlOpener_ ? urlOpener_(target) : QDesktopServices::openUrl(target);
  if (!opened)
    messages_.show(window_.get(), {"Unable to launch Web Browser",
                                   "We were unable to navigate to\n\n" + url +
                                       "\n\nPlease point your web browser to the above URL.",
                                   QMessageBox::Warning, QMessageBox::Ok});
  return opened;
}

void AppCore::openHelp() {
  const std::string path = programFolder() + "/help/index.html";
  std::error_code error;
  const QUrl url = QUrl::fromLocalFile(QString::fromStdString(path));
  const bool opened = std::filesystem::exists(path, error) &&
                      (urlOpener_ ? urlOpener_(url) : QDesktopServices::openUrl(url));
  if (!opened)
    messages_.show(window_.get(),
                   {"Error",
                    "Zarvell is unable to find the Help file -- please reinstall the "
                    "application to correct this problem.",
                    QMessageBox::Critical, QMessageBox::Ok});
}

void AppCore::openHomePage() {
  openUrl(QString::fromStdString(homePageUrl()));
}

void AppCore::openSurvey() {
  openUrl(QString::fromStdString(surveyPageUrl()));
}

AppCore::VersionFetch AppCore::fetchVersion(const std::string& url) {
  std::string body;
  net::FetchOptions options;
  options.timeoutSeconds = 5;
  const int result = static_cast<int>(net::fetch(url, body, options));
  return {result, result == 0 ? parseVersion(body) : 0};
}

void AppCore::reportUpdate(QWidget* parent, bool interactive, const VersionFetch& fetch) {
  if (fetch.result != 0 || fetch.remote == 0) {
    if (interactive)
      messages_.show(parent,
                     {"Unable to connect with " +
                          QString::fromStdString(serviceHost(Service::VersionFile).authority()),
                      "We were unable to connect and retrieve the latest version "
                      "information from the server.\n\nPlease verify that your "
                      "internet connection is working properly and try again."});
    return;
  }
  if (parseVersion(kLocalVersion) >= fetch.remote) {
    if (interactive)
      messages_.show(parent, {"No updates have been found.",
                              "You are already using the latest and greatest version of Zarvell."});
    return;
  }
  char text[400];
  std::snprintf(text, sizeof text,
                "An updated version of Zarvell (v%d.%02d) is now available.\nIt is recommended "
                "that you install the new version as soon as possible.\n\nWould you like us to "
                "point your web browser to the new version?",
                fetch.remote / 100, fetch.remote % 100);
  const auto answer =
      messages_.show(parent, {"Newer Version Found", QString::fromUtf8(text), QMessageBox::Question,
                              QMessageBox::Yes | QMessageBox::No});
  if (answer == QMessageBox::Yes) openUrl(QString::fromStdString(downloadPageUrl()));
}

int AppCore::checkForUpdates(QWidget* parent, bool interactive) {
  const VersionFetch fetch = fetchVersion(versionFileUrl());
  reportUpdate(parent, interactive, fetch);
  return fetch.result;
}

void AppCore::startQuietUpdateCheck() {
  if (updateThread_.joinable()) return;  // one at a time
  const std::string url = versionFileUrl();
  updateThread_ = std::thread([this, url] {
    const VersionFetch fetch = fetchVersion(url);
    // Queued to the interface thread; dropped if the core is gone (it joins us first).
    QMetaObject::invokeMethod(
        this, [this, fetch] { reportUpdate(window_.get(), false, fetch); }, Qt::QueuedConnection);
  });
}

void AppCore::showPreferences() {
  SettingsDialog sheet(*this, window_.get(), programFolder() + "/audioplugins", settingsPages_);
  sheet.exec();
}

}  // namespace zarvell::app
