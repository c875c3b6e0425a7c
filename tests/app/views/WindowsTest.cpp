// The bookmarks and neighbours windows on the real engine.
#include <QGuiApplication>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include "app/views/NeighboursWindow.h"
#include "app/views/PaletteWindow.h"
#include "views_test_support.h"

namespace zarvell::app {
namespace {

using Windows = ViewsFixture;

void click(QWidget& window, const char* name) {
  auto* button = window.findChild<QPushButton*>(name);
  ASSERT_NE(button, nullptr) << name;
  button->click();
}

void deleteLater() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

TEST_F(Windows, BookmarksBoostClearRemoveAndRefresh) {
  core_->addToBookmarks({one_, two_});
  QPointer<PaletteWindow> window = page().openBookmarks();
  ASSERT_TRUE(window);
  EXPECT_EQ(page().openBookmarks(), window.data()) << "one window at a time";
  BarrelView& mine = *window->myBookmarks();
  EXPECT_EQ(titles(mine), (QStringList{"One", "Two"}));
  EXPECT_EQ(window->suggestedBookmarks()->rowCount(), engine().getListLength(1));

  const float activation = engine().getActivation(two_);
  mine.selectNodes({two_});
  click(*window, "&Boost");
  EXPECT_GT(engine().getActivation(two_), activation);
  EXPECT_EQ(suggestions().selectedNodes(), std::vector<Node*>{two_});

  mine.selectNodes({one_});
  mine.removeSelectedRows();
  EXPECT_EQ(core_->bookmarks(), std::vector<Node*>{two_});
  core_->addToBookmarks({three_});  // from a context menu elsewhere
  EXPECT_EQ(titles(mine), (QStringList{"Two", "Three"}));
  click(*window, "&Clear");
  EXPECT_TRUE(core_->bookmarks().empty());
  EXPECT_EQ(mine.rowCount(), 0);

  click(*window, "&Refresh");
  EXPECT_EQ(window->suggestedBookmarks()->rowCount(), engine().getListLength(1));
  click(*window, "&Close");
  deleteLater();
  EXPECT_FALSE(window) << "destroyed on close";
}

TEST_F(Windows, BookmarksWindowKeepsItsPlaceAndComesBackOntoTheScreen) {
  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  const QRect area = screen->availableGeometry();
  AppConfig& c = core_->config();
  c.dialogLeft = area.left() + 40;
  c.dialogTop = area.top() + 30;
  c.dialogWidth = 500;
  c.dialogHeight = 400;
  QPointer<PaletteWindow> window = page().openBookmarks();
  EXPECT_EQ(window->geometry(), QRect(area.left() + 40, area.top() + 30, 500, 400));
  window->setGeometry(area.left() + 50, area.top() + 60, 520, 420);
  QCoreApplication::processEvents();
  EXPECT_EQ(QRect(c.dialogLeft, c.dialogTop, c.dialogWidth, c.dialogHeight),
            QRect(area.left() + 50, area.top() + 60, 520, 420));
  window->close();
  deleteLater();

  c.dialogLeft = area.right() + 5000;  // a screen that is gone
  window = page().openBookmarks();
  EXPECT_TRUE(area.intersects(window->geometry()));
  EXPECT_EQ(window->geometry().size(), QSize(520, 420));

  const QRect primary(0, 0, 800, 600);
  const QList<QRect> screens{primary, QRect(800, 0, 800, 600)};
  EXPECT_EQ(placeOnScreens({900, 10, 200, 100}, screens, primary), QRect(900, 10, 200, 100));
  EXPECT_EQ(placeOnScreens({-900, 10, 200, 100}, screens, primary), QRect(0, 0, 200, 100));
  EXPECT_EQ(placeOnScreens({3000, 10, 2000, 900}, screens, primary), QRect(0, 0, 800, 600));
}

TEST_F(Windows, NeighboursWindowListsTheLinkedNodesAndBoostsThem) {
  QPointer<NeighboursWindow> window = page().showNeighbours(one_);
  ASSERT_TRUE(window);
  QStringList shown = titles(*window->list());
  shown.sort();
  EXPECT_EQ(shown, (QStringList{"Test Album", "Test Artist", "Two"}));
  BarrelView& list = *window->list();
  list.selectAll();
  Node* first = list.nodeAt(0);
  const float activation = engine().getActivation(first);
  click(*window, "&Boost");
  EXPECT_GT(engine().getActivation(first), activation);
  click(*window, "&Close");
  deleteLater();
  EXPECT_FALSE(window);
}

}  // namespace
}  // namespace zarvell::app
