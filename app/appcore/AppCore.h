// AppCore: the player core. One object lives from start-up to exit; it coordinates the
// engine, the audio player plug-in, the play queue and the main window, and owns them all.
// Windows get it passed in; there is no global access to it.
//
// The play loop: songs start in the plug-in, every play, stop, skip and song end is
// reported to the engine, the engine picks the next song when the queue is empty, and the
// transport buttons, time display and "Autoselect" countdown follow.
//
// Interface thread only. The plug-in's end event arrives on a thread of the plug-in and is
// queued onto the interface thread; while a long engine operation runs (isBusy()), commands
// are ignored and a song end or a close request waits until it has finished.
// Nothing here throws except std::bad_alloc.
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "AppCoreBase.h"
#include "CommandIds.h"
#include "Outward.h"
#include "NodeRefList.h"
#include "PlayQueueModel.h"
#include "PlayerView.h"
#include "app/audioplayer/AudioPlayer.h"
#include "app/community/CommunityOps.h"
#include "app/dialogs/MessageBoxes.h"
#include "app/settings/SettingsPage.h"

class QUrl;
class QWidget;

namespace zarvell::app {
class Skin;
}

namespace zarvell::app {

class CommunitySettingsPage;
class UserListTab;

// One report the play loop made to the engine, for observers (tests, diagnostics).
struct PlayReport {
  enum Kind { kPlay, kStop, kAbortedSong, kSongEndReached, kPrev, kPickNext, kPickPrev, kBoost };
  Kind kind;
  Node* node;        // the song concerned (the result for the picks), may be null
  float value;       // position for stop and aborted, randomness for pickNext, strength
  bool flag;         // the boolean argument (fromEngine for play and song end)
};

class AppCore : public QObject, public AppCoreBase {
  Q_OBJECT

 public:
  // The main window and the view interface it implements; the widget is owned by AppCore.
  struct Window {
    std::unique_ptr<QWidget> widget;
    PlayerView* view = nullptr;
  };
  using WindowFactory = std::function<Window(AppCore&)>;

  AppCore(std::string commandLine, WindowFactory makeWindow);
  ~AppCore() override;

  // Creates the main window, selects the configured player plug-in with the configured
  // volume, places and shows the window, and applies the settings.
  void initialise() override;
  void notify(int code) override;

  // loadNet behind the busy window; then the play queue the engine restored is shown and
  // the views re-read. Returns the engine's result.
  int loadNetwork(const std::string& path);
  int saveNetwork(const std::string& path);
  // Loads "networks/default.xml" at start-up. A missing file is no failure (first start).
  // A file that exists but does not load is moved aside to
  // "default.xml.damaged-YYYYMMDD-HHMMSS" and the user is told once, so the save at exit
  // cannot write over it; the player goes on with what could be read.
  void loadDefaultNetwork();

  // Shut-down (the Close button): stops the player without a report, hands the queue to
  // the engine, saves the network once and quits the event loop. While busy, the close
  // happens once the running operation has finished.
  void requestClose();

  // The play loop.
  void executeCommand(int id);
  void playNode(Node* node, bool fromEngine, bool automatic);
  void playFromList(int source, Node* node, int row);
  void songEnded();
  Node* takeNextQueued(bool removePlaying, bool force);
  void selectPlayer(const std::string& fileName);
  void sliderChanged(int id, int value, bool released);
  void stepSeek(double seconds, bool apply);
  void toggleTimeMode();  // elapsed <-> remaining
  // Puts the nodes (flattened to songs) at the front of the queue or at its end; returns
  // the first song put in, or null.
  Node* enqueueNodes(const std::vector<Node*>& nodes, bool atFront);

  float duration() const;
  float position() const;
  void seek(float seconds);
  int volume() const { return config().volume; }
  Node* currentNode() const { return currentNode_; }
  bool currentFromEngine() const { return currentFromEngine_; }
  bool lastPlayOk() const { return lastPlayOk_; }
  bool isPlaying() const;  // a song is current and not paused
  bool retryPending() const { return retryTimer_.isActive(); }
  // Changes with every song start (see playSerial_).
  std::uint64_t playSerial() const { return playSerial_.load(); }
  PlayQueueModel& queue() { return queue_; }
  PlayerView* view() const { return view_; }
  QWidget* mainWindow() const { return window_.get(); }
  AudioPlayer& player() { return *player_; }
  // How many automatic starts failed one after the other (reset by any good start).
  int failedAutomaticStarts() const { return failedAutomaticStarts_; }
  static constexpr int kMaxFailedAutomaticStarts = 10;

  // The delay before automatic play moves on from a song that failed to start (1500 ms).
  void setRetryDelay(int ms) { retryTimer_.setInterval(ms); }

  // The program's version as shown to the user, and as the integer the update check
  // compares (104 = version 1.04).
  static constexpr const char* kVersionText = "1.04";
  static constexpr int kVersion = 104;

  // The skin of the program (may be null: tests and a missing skin); not owned.
  void setSkin(const Skin* skin) { skin_ = skin; }
  const Skin* skin() const { return skin_; }

  // Every message box of the player goes through this one object.
  MessageBoxes& messages() { return messages_; }

  void setReportObserver(std::function<void(const PlayReport&)> observer) {
    observer_ = std::move(observer);
  }

  // ---- community (web mode only)
  // The community server's operations: the engine's, or a test double set with
  // setCommunityOps (null puts the engine's back). The forwards below go through it.
  CommunityOps& community();
  void setCommunityOps(CommunityOps* ops) { community_ = ops; }
  int checkUserExists(const std::string& name, bool& exists);
  int createUser(const std::string& name, const std::string& password,
                 const std::string& fullName);
  int loginUser(const std::string& name, const std::string& password);
  int getSimilarUsers(const std::string& name, std::vector<std::string>& names);
  int remoteCrossActivation(const std::string& name, const std::vector<Node*>& nodes,
                            std::vector<Node*>& results);
  // Runs the log-in wizard modally over the main window (contact mode: asks for a contact
  // name, written to *contactName); true when it ended with Finish. The log-in state is shown
  // again afterwards.
  bool runLoginWizard(bool contactMode, std::string* contactName = nullptr);
  // Web mode only (nothing otherwise): adds the "Community" page to the preferences sheet.
  // Called once, before the sheet is first shown.
  void installCommunity();
  // The start-up log-in (web mode only; does nothing otherwise), then the log-in state.
  void startupLogin();
  // Tells the main window to show the log-in state ("Logged in as ..." / "Not logged in.").
  void showLoginState() { emit loginStateChanged(); }
  // At most 5 nodes of the user's own suggested songs, sent for a cross-activation.
  std::vector<Node*> crossActivationSample();
  // The list views' link reports: which 0 "should be linked", 1 "should not be linked",
  // 2 "should be removed". Returns the number of pairs reported.
  int reportLinks(int which, const std::vector<Node*>& nodes);
  // The "Similar Users" tab and the "Community" settings page; null without web mode. The
  // tab shows its result nodes in the view makeResultView makes (a node list of the main
  // window, filled by showResults), else in a plain list of names.
  std::unique_ptr<UserListTab> makeUserListTab(
      QWidget* parent, std::function<QWidget*(QWidget*)> makeResultView = {},
      std::function<void(QWidget*, const std::vector<Node*>&)> showResults = {});
  std::unique_ptr<CommunitySettingsPage> makeCommunityPage(QWidget* parent);

  // ---- import
  // Each is the whole import the user sees: playback stopped, the import window (worker at
  // idle priority, progress, Cancel), the views re-read, and the report question when the
  // engine could not process some media. Return the engine's result (1 success, below 1
  // failure or cancel; -1 also for a folder scan cancelled before the engine was called),
  // 0 at once while another long operation runs. Interface thread.
  int importFolder();  // asks for the folder with the folder dialog; 0 on Cancel
  // Every supported file below `folder`; then the suggested bookmarks are made anew.
  int importFolder(const std::string& folder);
  int importITunes();  // asks for the library file with an open-file dialog; 0 on Cancel
  int importITunes(const std::string& path);
  // Dropped folders are scanned, supported files taken, other paths left out.
  int importDropped(const std::vector<std::string>& paths);
  int importFiles(const std::vector<std::string>& paths);
  // Called by the import window's Help button.
  void setHelpOpener(std::function<void()> open) { helpOpener_ = std::move(open); }

 private:
  int runImport(const std::function<int()>& job, bool newSuggestions);
  // Worker thread: the folder scan with its progress records, then importFileList.
  int scanAndImport(const std::vector<std::string>& paths, bool oneFolder);
  int importList(const std::vector<std::string>& files);  // worker thread
  // Worker thread: one record of the folder scan (step 0 of 3); false when cancelled.
  bool scanProgress(const std::string& caption, const std::string& detail);
  void regenerateSuggestions();
  void offerImportReport();
  std::function<void()> helpOpener_;

 public:
  // ---- export, links, updates, help, settings
  // Each returns at once for an empty selection or a cancelled dialog; none throws except
  // std::bad_alloc. Interface thread.
  using PathChooser = std::function<QString(QWidget* parent)>;  // "" when cancelled
  using UrlOpener = std::function<bool(const QUrl& url)>;       // false when refused
  // Tests answer the dialogs and catch the browser; the real dialogs and desktop by default.
  void setSaveFileChooser(PathChooser chooser) { chooseSaveFile_ = std::move(chooser); }
  void setFolderChooser(PathChooser chooser) { chooseFolder_ = std::move(chooser); }
  void setUrlOpener(UrlOpener opener) { urlOpener_ = std::move(opener); }
  // Writes the selection's songs as an M3U playlist (UTF-8, LF) to the file the user picks.
  void exportM3U(const std::vector<Node*>& selection);
  // Copies the selection's media files into the folder the user picks, behind the busy
  // window, never overwriting (a taken name gets " (2)"...); the current folder is kept.
  void copyMedia(const std::vector<Node*>& selection);
  std::vector<PurchaseStore> purchaseStores() const { return purchaseStoreList(); }
  std::string purchaseLink(Node* node, const std::string& storeKey);
  bool openUrl(const QString& url);  // "Unable to launch Web Browser" when refused
  void openHelp();                   // "help/index.html" of the program folder
  void openHomePage();
  void openSurvey();
  // Fetches the version file; 0 fetched, 1 no internet, 2 not reached, 3 empty. Interactive
  // reports every outcome; quiet speaks only of a newer version.
  int checkForUpdates(QWidget* parent, bool interactive);
  // The preferences sheet, modal over the main window.
  void showPreferences();
  // Pages added to the sheet after "Audio Player", in order (the community page).
  void addSettingsPage(SettingsPageFactory factory) {
    settingsPages_.push_back(std::move(factory));
  }
  const std::vector<SettingsPageFactory>& settingsPages() const { return settingsPages_; }
  // The quiet check of the start-up: fetched on a worker thread, reported on this one.
  void startQuietUpdateCheck();

 private:
  struct VersionFetch {
    int result;
    int remote;
  };
  static VersionFetch fetchVersion(const std::string& url);
  void reportUpdate(QWidget* parent, bool interactive, const VersionFetch& fetch);
  PathChooser chooseSaveFile_;
  PathChooser chooseFolder_;
  UrlOpener urlOpener_;
  std::vector<SettingsPageFactory> settingsPages_;
  std::thread updateThread_;

 public:

 public:
  // ---- views
  // The actions of the node list views on a selection of nodes. Each does nothing for an
  // empty selection and leaves re-reading the views to the caller unless it says otherwise.
  // boost() with the given strength and reset flag; the views re-read.
  void boostNodes(const std::vector<Node*>& nodes, float strength, bool reset);
  // Stops the current song (reported as aborted, its queue row stays), puts the selection
  // (flattened to songs) at the front of the queue and plays its first song.
  void playSelection(const std::vector<Node*>& nodes);
  // Appends the selection (flattened) to the queue; playback is not touched.
  void enqueueSelection(const std::vector<Node*>& nodes) { enqueueNodes(nodes, false); }
  // learnTransition(song, none, good) for a selection of exactly one song; anything else
  // is refused with an error in the log. Returns the engine's result, -1 when refused.
  int learnChoice(const std::vector<Node*>& nodes, bool good);
  void setTabooNodes(const std::vector<Node*>& nodes, bool taboo);
  void setBlockedNodes(const std::vector<Node*>& nodes, bool blocked);
  // Asks "Remove items from the network?"; on Yes removes every node from the network.
  // Returns whether the user said Yes.
  bool removeFromNetwork(const std::vector<Node*>& nodes);
  // Removes the history entries at these positions of the history list.
  void removeFromHistory(std::vector<int> rows);
  // createPlayList("user playlist", songs) and selects the new list in the suggestions.
  // Returns the new playlist node, or null.
  Node* storeSelection(const std::vector<Node*>& songs);
  // The user's bookmarks ("My Bookmarks") as the engine keeps them, and writing them back.
  std::vector<Node*> bookmarks();
  void setBookmarks(std::vector<Node*> nodes);
  // Appends the nodes not yet bookmarked to the bookmarks.
  void addToBookmarks(const std::vector<Node*>& nodes);
  // createPalette behind the busy window ("Please wait, auto-generating suggested
  // keytracks...").
  void createPaletteBusy();
  // The node clipboard of Copy, Cut and Paste; it holds an engine reference on each node.
  NodeRefList& nodeClipboard() { return clipboard_; }
  // The suggestions' view style (bits 1 songs, 2 albums, 4 artists); 0 shows nothing. The
  // engine gets every style that names at least one node type.
  int viewStyle() const { return viewStyle_; }
  void setViewStyle(int style);
  // The first row of the queue is the current song and is the one node given.
  bool isPlayingFirstRow(const std::vector<Node*>& nodes) const;

 signals:
  void playbackChanged();  // state or current song changed
  void volumeChanged();
  void seeked(double seconds);
  // The plug-in's end event reached the interface thread (before it is handled).
  void songEndReceived();
  // A song has started: its first audio is in the sink (before the engine is told).
  void songStarted();
  // The user name or the log-in changed (web mode).
  void loginStateChanged();
  // The user's bookmarks changed (setBookmarks, addToBookmarks).
  void bookmarksChanged();

 private:
  static int pluginEvent(int event, void* context);  // on a thread of the plug-in
  void onPlayerEvent(std::uint64_t serial);
  void setCurrent(Node* node);
  void onRetryTimer();
  void dropFailedRow();
  void runNext(bool automatic);
  void runPlay();
  void runStop();
  void runPrev();
  void runPause();
  void toggleMute();
  void boostSelection();
  void markQueue(int row, bool dropPlaying, bool markPlaying);
  void startEnginePick(bool automatic);
  void boostOne(Node* node);
  void report(PlayReport::Kind kind, Node* node, float value, bool flag);
  void updateTimeDisplay();
  void updateAutoselect();
  void showSongTexts();
  void showStopped();
  void placeWindow();
  void runWhenIdle();
  int runBusy(const QString& text, const std::function<int()>& job);
  void shutDown();
  // Saves the network to `path`, behind the busy window or directly; logs the outcome.
  int save(const std::string& path, bool withBusyWindow);
  // The once-per-run exit save: player stopped unreported, queue handed over, network saved.
  void saveAtExit(bool withBusyWindow);

  WindowFactory makeWindow_;
  std::unique_ptr<QWidget> window_;
  PlayerView* view_ = nullptr;
  std::unique_ptr<AudioPlayer> player_;
  PlayQueueModel queue_;
  Node* currentNode_ = nullptr;  // holds an engine reference while set
  Node* failedNode_ = nullptr;   // the song whose start failed, compared only (no reference)
  bool currentFromEngine_ = true;
  bool lastPlayOk_ = true;
  bool showRemaining_ = false;
  int failedAutomaticStarts_ = 0;
  int queueSeconds_ = 0;  // sum of the queued songs' durations
  bool pendingSongEnd_ = false;
  bool pendingClose_ = false;
  bool closing_ = false;
  // Counts song starts; an end event is taken only for the start it belongs to, so an end
  // that raced with a new start (NEXT pressed as a song ended) cannot end the new song.
  std::atomic<std::uint64_t> playSerial_{0};
  bool keepDefaultNetwork_ = false;  // the default network could neither load nor move
  QTimer retryTimer_;
  QTimer timeTimer_;
  std::function<void(const PlayReport&)> observer_;
  MessageBoxes messages_;
  std::unique_ptr<CommunityOps> engineCommunity_;  // made on first use
  CommunityOps* community_ = nullptr;
  const Skin* skin_ = nullptr;

 public:
  NodeRefList clipboard_{engine()};
  int viewStyle_ = 7;
};

}  // namespace zarvell::app
