// TabBarrelView: the main tab page. The suggestions, the play queue and the history, each
// under its heading, stacked in a vertical splitter (the headings drag the panels' sizes);
// the keyword field with "&Go", "&Boost" and "*" (the bookmarks window), and the
// "Autoselect" text. The main window forwards the view side of the player core to it.
//
// Interface thread only. Nothing throws except std::bad_alloc.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

class Node;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;

namespace zarvell::app {

class AppCore;
class BarrelView;
class NeighboursWindow;
class PaletteWindow;

class TabBarrelView : public QWidget {
  Q_OBJECT

 public:
  static inline const QString kKeywordHint = QStringLiteral("<Type keywords here>");

  explicit TabBarrelView(AppCore& core, QWidget* parent = nullptr);
  ~TabBarrelView() override;

  BarrelView* suggestions() const { return suggestions_; }
  BarrelView* queue() const { return queue_; }
  BarrelView* history() const { return history_; }
  QLineEdit* keywordField() const { return keywords_; }
  // The view that last had the focus (the suggestions before any had).
  BarrelView* activeView() const { return active_; }

  // The view side of the player core.
  std::vector<Node*> selectedNodes() const;
  void showInSuggestions(Node* node);
  void focusQueue();
  void refreshViews();
  void refreshSuggestions();
  void setAutoselectText(const QString& text);
  // The heading of the suggestions: "Suggestions from " and the source.
  void setSourceName(const QString& name);
  // Connects what a list view asks of the program (export, copy, purchase, link reports)
  // for this page's views now and for the views of the windows it opens later.
  using ViewWiring = std::function<void(BarrelView&)>;
  void setViewWiring(ViewWiring wiring);

  // "&Go": the nodes matching the keywords become the suggestions' selection. Returns how
  // many nodes matched.
  int runKeywords();
  // "*": opens the bookmarks window (or raises the open one).
  PaletteWindow* openBookmarks();
  PaletteWindow* bookmarksWindow() const;
  // "Show Neighbours": the neighbours of the node in their own window.
  NeighboursWindow* showNeighbours(Node* node);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  BarrelView* addPanel(QSplitter* splitter, int kind, const QString& heading,
                       QLabel** label);
  void onKeywordsEdited(const QString& text);

  AppCore& core_;
  ViewWiring wiring_;
  BarrelView* suggestions_ = nullptr;
  BarrelView* queue_ = nullptr;
  BarrelView* history_ = nullptr;
  BarrelView* active_ = nullptr;
  QLabel* suggestionsHeading_ = nullptr;
  QLineEdit* keywords_ = nullptr;
  QPushButton* go_ = nullptr;
  QPushButton* boost_ = nullptr;
  QLabel* autoselect_ = nullptr;
  QPointer<PaletteWindow> palette_;
  QPointer<NeighboursWindow> neighbours_;
};

}  // namespace zarvell::app
