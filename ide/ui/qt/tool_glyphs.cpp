#include "ide/ui/qt/tool_glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace vx930 {

namespace {

constexpr int kSize = 24;

void Arrow(QPainter& p, QPointF tip, double dx, double dy) {
  // A small filled head pointing along (dx, dy).
  const QPointF back(tip.x() - dx * 5, tip.y() - dy * 5);
  const QPointF side(-dy * 3.5, dx * 3.5);
  QPolygonF head;
  head << tip << back + side << back - side;
  p.drawPolygon(head);
}

void Play(QPainter& p, double x, const QColor& colour) {
  QPolygonF t;
  t << QPointF(x, 5) << QPointF(x + 11, 12) << QPointF(x, 19);
  p.setBrush(colour);
  p.setPen(QPen(colour.darker(140), 1));
  p.drawPolygon(t);
}

}  // namespace

QIcon ToolGlyph(int index) {
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor green(0, 150, 0), blue(0, 70, 190), red(200, 0, 0), brown(150, 100, 20);
  switch (index) {
    case 0: {  // an opening folder
      p.setPen(QPen(brown.darker(130), 1));
      p.setBrush(QColor(240, 200, 90));
      p.drawRect(QRectF(3, 7, 16, 12));
      QPolygonF flap;
      flap << QPointF(3, 19) << QPointF(7, 11) << QPointF(22, 11) << QPointF(19, 19);
      p.setBrush(QColor(250, 225, 130));
      p.drawPolygon(flap);
      break;
    }
    case 1:  // run, stopping at breakpoints: play and a red dot
      Play(p, 4, green);
      p.setBrush(red);
      p.setPen(Qt::NoPen);
      p.drawEllipse(QPointF(18, 18), 3.5, 3.5);
      break;
    case 2:  // free run: two plays
      Play(p, 2, green);
      Play(p, 10, green);
      break;
    case 3:  // stop
      p.setBrush(red);
      p.setPen(QPen(red.darker(140), 1));
      p.drawRect(QRectF(5, 5, 14, 14));
      break;
    case 4: {  // reset: a circular arrow
      p.setPen(QPen(blue, 2.2));
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(5, 5, 14, 14), 100 * 16, 290 * 16);
      p.setBrush(blue);
      p.setPen(Qt::NoPen);
      Arrow(p, QPointF(11, 3.5), -1, 0);
      break;
    }
    case 5: {  // step into: an arrow down into a line
      p.setPen(QPen(blue, 2.2));
      p.drawLine(QPointF(12, 3), QPointF(12, 14));
      p.setBrush(blue);
      p.setPen(Qt::NoPen);
      Arrow(p, QPointF(12, 18), 0, 1);
      p.setPen(QPen(Qt::black, 2));
      p.drawLine(QPointF(4, 21), QPointF(20, 21));
      break;
    }
    case 6: {  // step over: an arc over a line
      QPainterPath arc;
      arc.moveTo(4, 16);
      arc.cubicTo(5, 2, 19, 2, 19, 13);
      p.setPen(QPen(blue, 2.2));
      p.setBrush(Qt::NoBrush);
      p.drawPath(arc);
      p.setBrush(blue);
      p.setPen(Qt::NoPen);
      Arrow(p, QPointF(19, 17), 0, 1);
      p.setPen(QPen(Qt::black, 2));
      p.drawLine(QPointF(4, 21), QPointF(20, 21));
      break;
    }
    default: break;
  }
  p.end();
  return QIcon(pixmap);
}

}  // namespace vx930
