// zarvell-skinpainter: draws the default skin of the player into a folder as BMP files.
//
// Usage: zarvell-skinpainter <output folder>
//
// Every picture is made of vector shapes and gradients only (no fonts, no external images),
// so two runs give the same bytes. Conventions the player's skin code relies on:
// - a bitmap whose name starts with "button_" is a strip of four equal-width frames side by
//   side: normal, hover, pressed, disabled;
// - every other bitmap is one picture, stretched (or tiled) to the element it dresses.
// Returns 0 when every file was written, 1 otherwise (with a message on stderr).
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// The palette: dark slate with one teal accent.
const QColor kSlate(0x1f, 0x26, 0x30);
const QColor kPanel(0x2a, 0x33, 0x40);
const QColor kEdge(0x3a, 0x46, 0x56);
const QColor kAccent(0x4f, 0xb3, 0xa9);
const QColor kInk(0xdf, 0xe6, 0xee);

constexpr int kFrames = 4;  // normal, hover, pressed, disabled

enum class Glyph {
  None, Prev, Play, Stop, Next, Pause, Close, Maximize, Restore, Minimize, Mute, Unmute,
  Logo, Go, Boost, Star, Refresh, Help, Up, Down, Grip, GripV
};

QImage blank(int w, int h, QColor fill = kSlate) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(fill);
  return image;
}

void gradientRect(QPainter& p, const QRectF& r, QColor top, QColor bottom, bool vertical = true) {
  QLinearGradient g(r.topLeft(), vertical ? r.bottomLeft() : r.topRight());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  p.fillRect(r, g);
}

// Draws a glyph into the square s (all coordinates in units of the square's side).
void drawGlyph(QPainter& p, Glyph glyph, const QRectF& s, QColor ink) {
  const double u = s.width();
  auto at = [&](double x, double y) { return QPointF(s.left() + x * u, s.top() + y * u); };
  auto poly = [&](std::initializer_list<QPointF> pts) {
    QPolygonF polygon;
    for (const QPointF& q : pts) polygon << at(q.x(), q.y());
    p.drawPolygon(polygon);
  };
  QPen pen(ink, std::max(1.0, u * 0.12), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  p.setBrush(ink);
  switch (glyph) {
    case Glyph::None: break;
    case Glyph::Play: poly({{0.3, 0.2}, {0.8, 0.5}, {0.3, 0.8}}); break;
    case Glyph::Stop: p.drawRect(QRectF(at(0.3, 0.3), at(0.7, 0.7))); break;
    case Glyph::Pause:
      p.drawRect(QRectF(at(0.3, 0.25), at(0.42, 0.75)));
      p.drawRect(QRectF(at(0.58, 0.25), at(0.7, 0.75)));
      break;
    case Glyph::Prev:
      poly({{0.75, 0.25}, {0.4, 0.5}, {0.75, 0.75}});
      p.drawLine(at(0.3, 0.25), at(0.3, 0.75));
      break;
    case Glyph::Next:
      poly({{0.25, 0.25}, {0.6, 0.5}, {0.25, 0.75}});
      p.drawLine(at(0.7, 0.25), at(0.7, 0.75));
      break;
    case Glyph::Close:
      p.drawLine(at(0.3, 0.3), at(0.7, 0.7));
      p.drawLine(at(0.7, 0.3), at(0.3, 0.7));
      break;
    case Glyph::Maximize:
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRectF(at(0.28, 0.28), at(0.72, 0.72)));
      break;
    case Glyph::Restore:
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRectF(at(0.38, 0.25), at(0.75, 0.62)));
      p.drawRect(QRectF(at(0.25, 0.4), at(0.6, 0.75)));
      break;
    case Glyph::Minimize: p.drawLine(at(0.3, 0.7), at(0.7, 0.7)); break;
    case Glyph::Mute:
    case Glyph::Unmute:
      poly({{0.18, 0.4}, {0.32, 0.4}, {0.5, 0.22}, {0.5, 0.78}, {0.32, 0.6}, {0.18, 0.6}});
      p.setBrush(Qt::NoBrush);
      if (glyph == Glyph::Mute) {
        p.drawLine(at(0.62, 0.38), at(0.82, 0.62));
        p.drawLine(at(0.82, 0.38), at(0.62, 0.62));
      } else {
        p.drawArc(QRectF(at(0.42, 0.3), at(0.72, 0.7)), -50 * 16, 100 * 16);
        p.drawArc(QRectF(at(0.4, 0.18), at(0.86, 0.82)), -50 * 16, 100 * 16);
      }
      break;
    case Glyph::Logo:
      p.setBrush(Qt::NoBrush);
      for (double r : {0.12, 0.24, 0.36}) p.drawEllipse(at(0.5, 0.5), r * u, r * u);
      break;
    case Glyph::Go: poly({{0.3, 0.25}, {0.75, 0.5}, {0.3, 0.75}, {0.42, 0.5}}); break;
    case Glyph::Boost:
      p.setBrush(Qt::NoBrush);
      p.drawPolyline(QPolygonF({at(0.3, 0.5), at(0.5, 0.3), at(0.7, 0.5)}));
      p.drawPolyline(QPolygonF({at(0.3, 0.72), at(0.5, 0.52), at(0.7, 0.72)}));
      break;
    case Glyph::Star:
      p.drawLine(at(0.5, 0.25), at(0.5, 0.75));
      p.drawLine(at(0.28, 0.37), at(0.72, 0.63));
      p.drawLine(at(0.72, 0.37), at(0.28, 0.63));
      break;
    case Glyph::Refresh:
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(at(0.28, 0.28), at(0.72, 0.72)), 30 * 16, 280 * 16);
      p.setBrush(ink);
      poly({{0.62, 0.2}, {0.8, 0.36}, {0.58, 0.42}});
      break;
    case Glyph::Help:
      p.drawEllipse(at(0.5, 0.3), u * 0.06, u * 0.06);
      p.drawLine(at(0.5, 0.45), at(0.5, 0.75));
      break;
    case Glyph::Up: poly({{0.25, 0.65}, {0.5, 0.35}, {0.75, 0.65}}); break;
    case Glyph::Down: poly({{0.25, 0.35}, {0.5, 0.65}, {0.75, 0.35}}); break;
    case Glyph::Grip:
      p.setPen(Qt::NoPen);
      for (double x : {0.3, 0.5, 0.7}) p.drawEllipse(at(x, 0.5), u * 0.05, u * 0.05);
      break;
    case Glyph::GripV:
      p.setPen(Qt::NoPen);
      for (double y : {0.3, 0.5, 0.7}) p.drawEllipse(at(0.5, y), u * 0.05, u * 0.05);
      break;
  }
}

// A button strip: four frames of w x h, a rounded face and the glyph centred in each.
QImage button(int w, int h, Glyph glyph) {
  QImage image = blank(w * kFrames, h);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor faces[kFrames][2] = {{kPanel.lighter(115), kPanel},
                                    {kEdge.lighter(125), kEdge},
                                    {kSlate, kPanel.darker(110)},
                                    {kSlate, kSlate}};
  const QColor inks[kFrames] = {kInk, kAccent.lighter(120), kAccent, kEdge};
  for (int f = 0; f < kFrames; ++f) {
    const QRectF face(f * w + 1.0, 1.0, w - 2.0, h - 2.0);
    QLinearGradient g(face.topLeft(), face.bottomLeft());
    g.setColorAt(0, faces[f][0]);
    g.setColorAt(1, faces[f][1]);
    p.setPen(QPen(f == 1 ? kAccent : kEdge, 1));
    p.setBrush(g);
    const double radius = std::min(w, h) * 0.25;
    p.drawRoundedRect(face.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    const double side = std::min(w, h) - 2.0;
    drawGlyph(p, glyph, QRectF(f * w + (w - side) / 2.0, (h - side) / 2.0, side, side), inks[f]);
  }
  return image;
}

// A round knob strip (slider and scroll bar thumbs).
QImage knob(int w, int h, Glyph grip) {
  QImage image = blank(w * kFrames, h);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor fills[kFrames] = {kAccent, kAccent.lighter(125), kAccent.darker(130), kEdge};
  for (int f = 0; f < kFrames; ++f) {
    const QRectF face(f * w + 1.5, 1.5, w - 3.0, h - 3.0);
    p.setPen(QPen(kSlate.darker(130), 1));
    p.setBrush(fills[f]);
    const double radius = std::min(w, h) * 0.45;
    p.drawRoundedRect(face, radius, radius);
    const double side = std::min(w, h) - 2.0;
    drawGlyph(p, grip, QRectF(f * w + (w - side) / 2.0, (h - side) / 2.0, side, side),
              kSlate);
  }
  return image;
}

// A horizontal band: gradient with a thin accent or edge line at the bottom.
QImage band(int w, int h, QColor top, QColor bottom, QColor line, Glyph grip = Glyph::None) {
  QImage image = blank(w, h);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  gradientRect(p, QRectF(0, 0, w, h), top, bottom);
  p.fillRect(QRectF(0, h - 1, w, 1), line);
  if (grip != Glyph::None) drawGlyph(p, grip, QRectF((w - h) / 2.0, 0, h, h), kEdge.lighter(140));
  return image;
}

// A recessed track (grooves of sliders, scroll bars, progress bar, text fields).
QImage track(int w, int h, bool vertical) {
  QImage image = blank(w, h, kSlate);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF inner = vertical ? QRectF(w * 0.3, 1, w * 0.4, h - 2) : QRectF(1, h * 0.3, w - 2, h * 0.4);
  p.setPen(QPen(kEdge, 1));
  p.setBrush(kSlate.darker(130));
  const double radius = (vertical ? inner.width() : inner.height()) / 2.0;
  p.drawRoundedRect(inner, radius, radius);
  return image;
}

// A window background: a calm vertical gradient.
QImage panel(int w, int h) {
  QImage image = blank(w, h);
  QPainter p(&image);
  gradientRect(p, QRectF(0, 0, w, h), kPanel, kSlate);
  return image;
}

QImage field(int w, int h) {
  QImage image = blank(w, h, kSlate.darker(120));
  QPainter p(&image);
  p.setPen(kEdge);
  p.drawRect(0, 0, w - 1, h - 1);
  return image;
}

// A frame edge: vertical or horizontal gradient from the edge colour to the slate.
QImage edge(int w, int h, bool vertical, bool reverse) {
  QImage image = blank(w, h);
  QPainter p(&image);
  const QColor a = kEdge, b = kSlate.darker(115);
  gradientRect(p, QRectF(0, 0, w, h), reverse ? b : a, reverse ? a : b, !vertical);
  return image;
}

QImage smallIcon(Glyph glyph, QColor background) {
  QImage image = blank(16, 16, background);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  drawGlyph(p, glyph, QRectF(0, 0, 16, 16), kAccent);
  return image;
}

QImage songIcon() {
  QImage image = blank(16, 16, kSlate);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(kAccent, 1.5));
  p.setBrush(kAccent);
  p.drawEllipse(QPointF(5.5, 12), 2.5, 2);
  p.drawLine(QPointF(8, 12), QPointF(8, 3));
  p.drawLine(QPointF(8, 3), QPointF(12.5, 5));
  return image;
}

QImage progressIcon() {
  QImage image = blank(32, 32, kSlate);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(kEdge, 3));
  p.drawEllipse(QRectF(5, 5, 22, 22));
  p.setPen(QPen(kAccent, 3, Qt::SolidLine, Qt::RoundCap));
  p.drawArc(QRectF(5, 5, 22, 22), 90 * 16, -250 * 16);
  return image;
}

// The letters of the name as strokes on a 4 x 6 grid.
void drawName(QPainter& p, QPointF origin, double cell) {
  using Stroke = std::vector<QPointF>;
  const std::vector<std::vector<Stroke>> letters = {
      {{{0, 0}, {4, 0}, {0, 6}, {4, 6}}},                                        // Z
      {{{0, 6}, {2, 0}, {4, 6}}, {{1, 4}, {3, 4}}},                              // A
      {{{0, 6}, {0, 0}, {3, 0}, {4, 1}, {4, 2}, {3, 3}, {0, 3}}, {{2, 3}, {4, 6}}},  // R
      {{{0, 0}, {2, 6}, {4, 0}}},                                                // V
      {{{4, 0}, {0, 0}, {0, 6}, {4, 6}}, {{0, 3}, {3, 3}}},                      // E
      {{{0, 0}, {0, 6}, {4, 6}}},                                                // L
      {{{0, 0}, {0, 6}, {4, 6}}},                                                // L
  };
  p.setPen(QPen(kInk, cell * 0.7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  for (size_t i = 0; i < letters.size(); ++i) {
    const QPointF at = origin + QPointF(i * cell * 6.0, 0);
    for (const Stroke& stroke : letters[i]) {
      QPolygonF line;
      for (const QPointF& q : stroke) line << at + q * cell;
      p.drawPolyline(line);
    }
  }
}

// The start-up picture: the name over calm concentric waves.
QImage startup() {
  const int w = 420, h = 240;
  QImage image = blank(w, h);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient glow(QPointF(w * 0.5, h * 1.1), w * 0.8);
  glow.setColorAt(0, kPanel.lighter(120));
  glow.setColorAt(1, kSlate.darker(120));
  p.fillRect(image.rect(), glow);
  for (int i = 0; i < 7; ++i) {
    QColor ring = kAccent;
    ring.setAlphaF(0.55 - i * 0.07);
    p.setPen(QPen(ring, 2));
    const double r = 40.0 + i * 26.0;
    p.drawArc(QRectF(w * 0.5 - r, h * 1.05 - r, 2 * r, 2 * r), 20 * 16, 140 * 16);
  }
  const double cell = 6.0;
  const double nameWidth = (7 * 6 - 2) * cell;
  drawName(p, QPointF((w - nameWidth) / 2.0, 52), cell);
  p.fillRect(QRectF((w - nameWidth) / 2.0, 52 + 8.5 * cell, nameWidth, 2), kAccent);
  p.setPen(QPen(kEdge, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(0.5, 0.5, w - 1, h - 1));
  return image;
}

struct Bitmap {
  const char* name;
  std::function<QImage()> draw;
};

std::vector<Bitmap> bitmaps() {
  auto btn = [](int w, int h, Glyph g) { return [=] { return button(w, h, g); }; };
  auto knb = [](int w, int h, Glyph g) { return [=] { return knob(w, h, g); }; };
  const QColor hi = kPanel.lighter(110), lo = kSlate;
  return {
      // main window frame and areas
      {"border_top.bmp", [] { return edge(16, 4, false, false); }},
      {"border_bottom.bmp", [] { return edge(16, 4, false, true); }},
      {"border_left.bmp", [] { return edge(4, 16, true, false); }},
      {"border_right.bmp", [] { return edge(4, 16, true, true); }},
      {"header.bmp", [=] { return band(64, 28, hi, lo, kAccent); }},
      {"background_statusbar.bmp", [=] { return band(64, 20, lo, kSlate.darker(115), kEdge); }},
      {"bg_tabs.bmp", [=] { return band(64, 24, kPanel, lo, kEdge); }},
      {"button_divider.bmp", [] { return button(4, 24, Glyph::None); }},
      {"heading_level1_noslider.bmp", [=] { return band(64, 22, kEdge, kPanel, kAccent); }},
      {"heading_level1_slider.bmp", [=] { return band(64, 22, kEdge, kPanel, kAccent, Glyph::Grip); }},
      {"heading_level1_large.bmp", [=] { return band(64, 30, kEdge, kPanel, kAccent); }},
      {"heading_level2_noslider.bmp", [=] { return band(64, 18, kPanel, lo, kEdge); }},
      {"heading_level2_slider.bmp", [=] { return band(64, 18, kPanel, lo, kEdge, Glyph::Grip); }},
      {"background_menu.bmp", [=] { return band(64, 22, kPanel, lo, kEdge); }},
      {"background_textline1.bmp", [] { return field(64, 20); }},
      {"background_textline2.bmp", [] { return field(64, 18); }},
      {"background_time.bmp", [] { return field(48, 20); }},
      {"background_keyword.bmp", [] { return field(64, 22); }},
      {"background_seekbar.bmp", [] { return track(64, 16, false); }},
      {"background_volumebar.bmp", [] { return track(48, 16, false); }},
      {"button_seekbar.bmp", knb(12, 16, Glyph::GripV)},
      {"button_volumebar.bmp", knb(12, 16, Glyph::GripV)},
      {"button_vslider.bmp", knb(16, 12, Glyph::Grip)},
      // buttons
      {"button_prev.bmp", btn(28, 24, Glyph::Prev)},
      {"button_play.bmp", btn(28, 24, Glyph::Play)},
      {"button_pause.bmp", btn(28, 24, Glyph::Pause)},
      {"button_stop.bmp", btn(28, 24, Glyph::Stop)},
      {"button_next.bmp", btn(28, 24, Glyph::Next)},
      {"button_mute.bmp", btn(24, 24, Glyph::Unmute)},   // shown while sound is on
      {"button_unmute.bmp", btn(24, 24, Glyph::Mute)},   // shown while muted
      {"button_close.bmp", btn(20, 20, Glyph::Close)},
      {"button_maximize.bmp", btn(20, 20, Glyph::Maximize)},
      {"button_restore.bmp", btn(20, 20, Glyph::Restore)},
      {"button_minimize.bmp", btn(20, 20, Glyph::Minimize)},
      {"button_icon.bmp", btn(20, 20, Glyph::Logo)},
      {"button_logo.bmp", btn(32, 28, Glyph::Logo)},
      {"button_go.bmp", btn(40, 22, Glyph::None)},
      {"button_boost.bmp", btn(56, 22, Glyph::None)},
      {"button_palette.bmp", btn(24, 22, Glyph::Star)},
      {"icon_song.bmp", [] { return songIcon(); }},
      // floating windows
      {"border_smallwindow_top.bmp", [=] { return band(64, 22, hi, lo, kAccent); }},
      {"border_smallwindow_caption.bmp", [=] { return band(64, 24, hi, lo, kAccent); }},
      {"border_smallwindow_bottom.bmp", [] { return edge(16, 3, false, true); }},
      {"border_smallwindow_left.bmp", [] { return edge(3, 16, true, false); }},
      {"border_smallwindow_right.bmp", [] { return edge(3, 16, true, true); }},
      {"background_smallwindow.bmp", [] { return panel(32, 64); }},
      {"button_smallwindow_boost.bmp", btn(56, 22, Glyph::None)},
      {"button_smallwindow_close.bmp", btn(18, 18, Glyph::Close)},
      {"button_smallwindow_x.bmp", btn(18, 18, Glyph::Close)},
      {"button_smallwindow_minimize.bmp", btn(18, 18, Glyph::Minimize)},
      {"button_smallwindow_help.bmp", btn(18, 18, Glyph::Help)},
      {"button_smallwindow_cancel.bmp", btn(72, 24, Glyph::None)},
      {"button_heading_refresh.bmp", btn(18, 18, Glyph::Refresh)},
      {"icon_progress.bmp", [] { return progressIcon(); }},
      {"background_progressbar.bmp", [] { return track(64, 14, false); }},
      // list scroll bars (vertical)
      {"background_scrollbar.bmp", [] { return track(14, 32, true); }},
      {"button_scrollbar.bmp", knb(14, 24, Glyph::Grip)},
      {"button_scrollbarup.bmp", btn(14, 14, Glyph::Up)},
      {"button_scrollbardown.bmp", btn(14, 14, Glyph::Down)},
      // start-up picture and the settings tree's icon
      {"background_startup.bmp", [] { return startup(); }},
      {"icon_sidebar.bmp", [] { return smallIcon(Glyph::Logo, kSlate); }},
  };
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: zarvell-skinpainter <output folder>\n");
    return 1;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!QDir().mkpath(folder.path())) {
    std::fprintf(stderr, "cannot create %s\n", argv[1]);
    return 1;
  }
  for (const Bitmap& bitmap : bitmaps()) {
    const QString path = folder.filePath(QString::fromLatin1(bitmap.name));
    if (!bitmap.draw().save(path, "BMP")) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  return 0;
}
