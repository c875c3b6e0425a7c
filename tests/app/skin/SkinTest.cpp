// The skin: the painter's output, loading and caching, the style that dresses widgets from
// their properties (and leaves them alone without a bitmap), the skinned frame's mouse
// handling and the start-up picture.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>
#include <memory>
#include <set>

#include "app/skin/Skin.h"
#include "app/skin/SkinnedFrame.h"
#include "app/skin/SplashWindow.h"

namespace zarvell::app {
namespace {

// Every bitmap the player's windows ask for.
const char* const kSkinBitmaps[] = {
    "border_top.bmp", "border_bottom.bmp", "border_left.bmp", "border_right.bmp", "header.bmp",
    "background_statusbar.bmp", "bg_tabs.bmp", "button_divider.bmp",
    "heading_level1_noslider.bmp", "button_prev.bmp", "button_play.bmp", "button_stop.bmp",
    "button_next.bmp", "button_logo.bmp", "button_pause.bmp", "button_close.bmp",
    "button_maximize.bmp", "button_restore.bmp", "button_minimize.bmp", "button_mute.bmp",
    "button_unmute.bmp", "button_icon.bmp", "background_menu.bmp", "background_seekbar.bmp",
    "button_seekbar.bmp", "background_volumebar.bmp", "button_volumebar.bmp",
    "background_textline1.bmp", "background_textline2.bmp", "background_time.bmp",
    "icon_song.bmp", "heading_level2_noslider.bmp", "heading_level2_slider.bmp",
    "heading_level1_large.bmp", "background_keyword.bmp", "button_go.bmp", "button_boost.bmp",
    "button_palette.bmp", "button_vslider.bmp", "border_smallwindow_top.bmp",
    "border_smallwindow_bottom.bmp", "border_smallwindow_left.bmp",
    "border_smallwindow_right.bmp", "background_smallwindow.bmp",
    "button_smallwindow_boost.bmp", "button_smallwindow_close.bmp",
    "button_heading_refresh.bmp", "heading_level1_slider.bmp", "background_scrollbar.bmp",
    "button_scrollbar.bmp", "button_scrollbarup.bmp", "button_scrollbardown.bmp",
    "border_smallwindow_caption.bmp", "button_smallwindow_cancel.bmp",
    "button_smallwindow_help.bmp", "button_smallwindow_x.bmp",
    "button_smallwindow_minimize.bmp", "icon_progress.bmp", "background_progressbar.bmp",
    "background_startup.bmp", "icon_sidebar.bmp"};

int colourCount(const QImage& image) {
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
  return static_cast<int>(colours.size());
}

QByteArray readAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool paint(const QString& folder) {
  QProcess painter;
  painter.start(QStringLiteral(ZARVELL_SKINPAINTER), {folder});
  return painter.waitForFinished(60000) && painter.exitStatus() == QProcess::NormalExit &&
         painter.exitCode() == 0;
}

TEST(SkinPainterTest, DrawsEveryBitmapReadableAndTheSameBytesEveryRun) {
  QTemporaryDir first, second;
  ASSERT_TRUE(paint(first.path()));
  ASSERT_TRUE(paint(second.path()));
  const QDir shipped(QStringLiteral(ZARVELL_PROGRAM_DIR "/skins/default"));
  for (const char* name : kSkinBitmaps) {
    SCOPED_TRACE(name);
    const QString file = QString::fromLatin1(name);
    const QImage image(QDir(first.path()).filePath(file), "BMP");
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(colourCount(image), 1) << "a flat picture";
    const QByteArray bytes = readAll(QDir(first.path()).filePath(file));
    EXPECT_EQ(bytes, readAll(QDir(second.path()).filePath(file)));
    EXPECT_EQ(bytes, readAll(shipped.filePath(file))) << "the build's skin is not the tool's";
    if (file.startsWith(QLatin1String("button_")) && file != QLatin1String("button_divider.bmp")) {
      ASSERT_EQ(image.width() % Skin::kFrameCount, 0);
      const int w = image.width() / Skin::kFrameCount;
      EXPECT_NE(image.copy(0, 0, w, image.height()), image.copy(w, 0, w, image.height()))
          << "hover frame looks like the normal one";
      EXPECT_NE(image.copy(0, 0, w, image.height()), image.copy(3 * w, 0, w, image.height()))
          << "disabled frame looks like the normal one";
    }
  }
  EXPECT_EQ(QImage(QDir(first.path()).filePath("icon_sidebar.bmp")).size(), QSize(16, 16));
  EXPECT_FALSE(paint(QStringLiteral("/proc/no-such-folder/skin"))) << "failure reported as success";
}

// A skin folder with solid test bitmaps: a button strip of four colours, a background and a
// slider thumb strip.
const QColor kFrameColours[Skin::kFrameCount] = {Qt::red, Qt::green, Qt::blue, Qt::gray};
const QColor kBackground(Qt::magenta);
const QColor kThumb(Qt::yellow);

class SkinFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    QImage strip(4 * 10, 10, QImage::Format_RGB32);
    for (int f = 0; f < Skin::kFrameCount; ++f)
      for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) strip.setPixelColor(f * 10 + x, y, kFrameColours[f]);
    ASSERT_TRUE(strip.save(path("button_test.bmp"), "BMP"));
    QImage flat(8, 8, QImage::Format_RGB32);
    flat.fill(kBackground);
    ASSERT_TRUE(flat.save(path("background_test.bmp"), "BMP"));
    QImage thumb(4 * 6, 6, QImage::Format_RGB32);
    thumb.fill(kThumb);
    ASSERT_TRUE(thumb.save(path("button_thumb.bmp"), "BMP"));
    skin_ = std::make_unique<Skin>(folder_.path() + "/");
    skin_->install(*qApp);
  }
  void TearDown() override {
    skin_.reset();
    qApp->setStyle(QStringLiteral("Fusion"));
  }
  QString path(const char* name) const { return QDir(folder_.path()).filePath(name); }

  QTemporaryDir folder_;
  std::unique_ptr<Skin> skin_;
};

TEST_F(SkinFixture, LoadsOnceAndGivesNullForMissingFiles) {
  EXPECT_TRUE(skin_->pixmap("button_missing.bmp").isNull());
  EXPECT_FALSE(skin_->has("button_missing.bmp"));
  EXPECT_FALSE(skin_->has(""));
  ASSERT_TRUE(skin_->has("background_test.bmp"));
  QFile::remove(path("background_test.bmp"));
  EXPECT_TRUE(skin_->has("background_test.bmp")) << "read from disk again";
  for (int f = 0; f < Skin::kFrameCount; ++f) {
    const QImage frame = skin_->frame("button_test.bmp", Skin::Frame(f)).toImage();
    EXPECT_EQ(frame.size(), QSize(10, 10));
    EXPECT_EQ(frame.pixelColor(5, 5), kFrameColours[f]) << "frame " << f;
  }
  EXPECT_EQ(skin_->frame("background_test.bmp", Skin::Frame::Hover).size(), QSize(8, 8))
      << "a picture that is not a button strip is one frame";
}

QImage grabbed(QWidget& widget) {
  widget.resize(120, 40);
  widget.ensurePolished();
  return widget.grab().toImage();
}

TEST_F(SkinFixture, ButtonsShowTheFrameOfTheirStateAndFallBackWithoutABitmap) {
  const std::function<std::unique_ptr<QAbstractButton>()> makers[] = {
      [] { return std::make_unique<QPushButton>(); },
      [] { return std::make_unique<QToolButton>(); }};
  for (const auto& make : makers) {
    auto plain = make(), missing = make(), skinned = make();
    missing->setProperty("skinBitmap", "button_missing.bmp");
    skinned->setProperty("skinBitmap", "button_test.bmp");
    SCOPED_TRACE(skinned->metaObject()->className());
    EXPECT_EQ(grabbed(*missing), grabbed(*plain));
    EXPECT_EQ(grabbed(*skinned).pixelColor(10, 20), kFrameColours[0]);
    skinned->setDown(true);
    EXPECT_EQ(grabbed(*skinned).pixelColor(10, 20), kFrameColours[2]);
    skinned->setDown(false);
    skinned->setEnabled(false);
    EXPECT_EQ(grabbed(*skinned).pixelColor(10, 20), kFrameColours[3]);
  }
}

TEST_F(SkinFixture, TextAndFocusAreDrawnOverTheBitmap) {
  QPushButton button("&Boost");
  button.setProperty("skinBitmap", "button_test.bmp");
  button.resize(120, 40);
  QStyleOptionButton option;
  option.initFrom(&button);
  option.text = button.text();
  option.state &= ~QStyle::State_HasFocus;
  auto draw = [&](const QStyleOptionButton& o) {
    QImage image(120, 40, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    button.style()->drawControl(QStyle::CE_PushButton, &o, &painter, &button);
    return image;
  };
  const QImage unfocused = draw(option);
  EXPECT_GT(colourCount(unfocused.copy(30, 10, 60, 20)), 1) << "no text over the face";
  QStyleOptionButton focused = option;
  focused.state |= QStyle::State_HasFocus;
  EXPECT_NE(draw(focused), unfocused) << "keyboard focus is invisible";
}

TEST_F(SkinFixture, SlidersAndOtherWidgetsDrawTheirBitmaps) {
  QSlider plain(Qt::Horizontal), missing(Qt::Horizontal), slider(Qt::Horizontal);
  missing.setProperty("skinBitmap", "background_missing.bmp");
  missing.setProperty("skinHandle", "button_missing.bmp");
  EXPECT_EQ(grabbed(missing), grabbed(plain));
  slider.setProperty("skinBitmap", "background_test.bmp");
  slider.setProperty("skinHandle", "button_thumb.bmp");
  slider.setRange(0, 100);
  slider.setValue(0);
  const QImage image = grabbed(slider);
  EXPECT_EQ(image.pixelColor(image.width() - 3, 3), kBackground);
  QStyleOptionSlider option;
  option.initFrom(&slider);
  option.minimum = 0;
  option.maximum = 100;
  option.orientation = Qt::Horizontal;
  const QRect thumb =
      slider.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &slider);
  EXPECT_EQ(image.pixelColor(thumb.center()), kThumb);

  QLabel label("text"), plainLabel("text");
  label.setProperty("skinBitmap", "background_test.bmp");
  EXPECT_EQ(grabbed(label).pixelColor(115, 35), kBackground);
  plainLabel.setProperty("skinBitmap", "background_missing.bmp");
  EXPECT_NE(grabbed(plainLabel).pixelColor(115, 35), kBackground);
}

TEST_F(SkinFixture, ListScrollBarsUseTheScrollBarBitmapsOnlyWhenAllArePresent) {
  auto list = [] {
    auto view = std::make_unique<QListWidget>();
    for (int i = 0; i < 200; ++i) view->addItem(QString::number(i));
    view->resize(160, 200);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return view;
  };
  auto before = list();
  const QImage fallback = before->verticalScrollBar()->grab().toImage();
  QImage track(8, 8, QImage::Format_RGB32);
  track.fill(kBackground);
  ASSERT_TRUE(track.save(path("background_scrollbar.bmp"), "BMP"));
  QFile::copy(path("button_thumb.bmp"), path("button_scrollbar.bmp"));
  QFile::copy(path("button_test.bmp"), path("button_scrollbarup.bmp"));
  EXPECT_EQ(list()->verticalScrollBar()->grab().toImage(), fallback) << "drawn with a part missing";
  // The cache holds the answer for the missing part: a fresh skin sees all four.
  QFile::copy(path("button_test.bmp"), path("button_scrollbardown.bmp"));
  skin_ = std::make_unique<Skin>(folder_.path() + "/");
  skin_->install(*qApp);
  auto view = list();
  const QImage bar = view->verticalScrollBar()->grab().toImage();
  EXPECT_EQ(bar.pixelColor(bar.width() / 2, 3), kFrameColours[0]) << "up arrow";
  EXPECT_EQ(bar.pixelColor(bar.width() / 2, bar.height() - 3), kFrameColours[0]) << "down arrow";
  QScrollBar loose(Qt::Vertical);
  loose.resize(16, 200);
  EXPECT_NE(loose.grab().toImage().pixelColor(8, 3), kFrameColours[0]) << "not a list's bar";
}

TEST(SkinnedFrameTest, HeaderDragMovesEdgeDragResizesAndDoubleClickIsReported) {
  SkinnedFrame frame(SkinnedFrame::Set::Small, new QLabel("content"), nullptr);
  auto* button = new QToolButton;
  frame.headerLayout()->addWidget(button);
  frame.setGeometry(100, 100, 300, 200);
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  EXPECT_EQ(button->parentWidget(), frame.header());
  QSignalSpy moved(&frame, &SkinnedFrame::moved), resized(&frame, &SkinnedFrame::resized);
  QSignalSpy doubleClicked(&frame, &SkinnedFrame::headerDoubleClicked);

  QWidget* header = frame.header();
  QTest::mousePress(header, Qt::LeftButton, {}, QPoint(40, 10));
  QTest::mouseMove(header, QPoint(90, 40));
  QTest::mouseRelease(header, Qt::LeftButton, {}, QPoint(90, 40));
  EXPECT_EQ(frame.pos(), QPoint(150, 130));
  EXPECT_EQ(frame.size(), QSize(300, 200));
  EXPECT_FALSE(moved.isEmpty());

  struct Case {
    QPoint press;  // in the frame
    QPoint delta;
    QRect expected;
  };
  const QRect start(150, 130, 300, 200);
  const Case cases[] = {
      {{299, 100}, {40, 0}, QRect(150, 130, 340, 200)},             // right edge
      {{150, 199}, {0, -50}, QRect(150, 130, 300, 150)},            // bottom edge
      {{0, 100}, {30, 0}, QRect(180, 130, 270, 200)},               // left edge
      {{299, 199}, {20, 30}, QRect(150, 130, 320, 230)},            // bottom-right corner
      // no narrower than its least size
      {{299, 100}, {-1000, 0}, QRect(150, 130, std::max(frame.minimumSizeHint().width(), 64), 200)},
  };
  for (const Case& c : cases) {
    frame.setGeometry(start);
    QTest::mousePress(&frame, Qt::LeftButton, {}, c.press);
    QTest::mouseMove(&frame, c.press + c.delta);
    QTest::mouseRelease(&frame, Qt::LeftButton, {}, c.press + c.delta);
    EXPECT_EQ(frame.geometry(), c.expected) << c.press.x() << "," << c.press.y();
  }
  EXPECT_FALSE(resized.isEmpty());

  QTest::mouseDClick(header, Qt::LeftButton, {}, QPoint(40, 10));
  EXPECT_EQ(doubleClicked.count(), 1);
}

TEST(SkinnedFrameTest, TakesItsEdgeAndHeaderSizesFromTheBitmaps) {
  QTemporaryDir folder;
  QImage left(7, 16, QImage::Format_RGB32), caption(64, 31, QImage::Format_RGB32);
  left.fill(Qt::red);
  caption.fill(Qt::blue);
  ASSERT_TRUE(left.save(folder.filePath("border_smallwindow_left.bmp"), "BMP"));
  ASSERT_TRUE(caption.save(folder.filePath("border_smallwindow_caption.bmp"), "BMP"));
  Skin skin(folder.path() + "/");
  SkinnedFrame frame(SkinnedFrame::Set::Small, new QLabel("content"), &skin);
  frame.setHeaderBitmap("border_smallwindow_caption.bmp");
  frame.resize(300, 200);
  const QImage image = frame.grab().toImage();
  EXPECT_EQ(frame.header()->height(), 31);
  EXPECT_EQ(frame.content()->geometry().left(), 7);
  EXPECT_EQ(image.pixelColor(3, 100), QColor(Qt::red));
  EXPECT_EQ(image.pixelColor(150, 2), QColor(Qt::blue));
  SkinnedFrame plain(SkinnedFrame::Set::Main, new QLabel("content"), &skin);
  EXPECT_EQ(plain.header()->height(), 24) << "a usable header without the bitmap";
}

TEST(SplashWindowTest, ClosesAfterItsTimeOrStaysForAbout) {
  QTemporaryDir folder;
  QImage picture(200, 120, QImage::Format_RGB32);
  picture.fill(Qt::cyan);
  ASSERT_TRUE(picture.save(folder.filePath("background_startup.bmp"), "BMP"));
  Skin skin(folder.path() + "/");
  SplashWindow splash(&skin, "0.1", 150);
  EXPECT_EQ(splash.size(), QSize(200, 120));
  splash.show();
  EXPECT_EQ(splash.grab().toImage().pixelColor(100, 60), QColor(Qt::cyan));
  EXPECT_TRUE(splash.isVisible());
  QTRY_VERIFY_WITH_TIMEOUT(!splash.isVisible(), 3000);

  Skin empty(folder.path() + "/none/");
  SplashWindow about(&empty, "0.1", 0);
  EXPECT_FALSE(about.hasPicture());
  about.show();
  QTest::qWait(300);
  EXPECT_TRUE(about.isVisible());
  EXPECT_GT(colourCount(about.grab().toImage()), 1) << "no name or version shown";
  QTest::mouseClick(&about, Qt::LeftButton);
  EXPECT_FALSE(about.isVisible());
}

}  // namespace
}  // namespace zarvell::app
