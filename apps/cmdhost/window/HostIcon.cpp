// Drawing the command host's icon: a disk with a clock hand, in the suite's blue.
#include "HostIcon.h"

#include <QPainter>
#include <QPixmap>

namespace cmdhost {

namespace {

QPixmap Draw(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    p.setPen(QPen(QColor(20, 60, 120), s / 16));
    p.setBrush(QColor(50, 110, 200));
    p.drawRoundedRect(QRectF(s * 0.08, s * 0.08, s * 0.84, s * 0.84), s * 0.15, s * 0.15);
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(s * 0.25, s * 0.25, s * 0.5, s * 0.5));
    p.setPen(QPen(QColor(20, 60, 120), s / 12, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(s * 0.5, s * 0.5), QPointF(s * 0.5, s * 0.32));
    p.drawLine(QPointF(s * 0.5, s * 0.5), QPointF(s * 0.64, s * 0.58));
    return pixmap;
}

}  // namespace

QIcon HostIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) icon.addPixmap(Draw(size));
    return icon;
}

}  // namespace cmdhost
