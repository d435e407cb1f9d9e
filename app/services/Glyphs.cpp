#include "services/Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <functional>

namespace glyphs {
namespace {

QIcon Draw(const std::function<void(QPainter&)>& paint) {
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 24.0, size / 24.0);
        paint(p);
        icon.addPixmap(pixmap);
    }
    return icon;
}

// A database: a cylinder.
void Cylinder(QPainter& p, const QColor& fill) {
    p.setPen(QPen(QColor(40, 60, 90), 1.2));
    p.setBrush(fill);
    QPainterPath body;
    body.moveTo(3, 6);
    body.lineTo(3, 18);
    body.arcTo(3, 15, 14, 6, 180, 180);
    body.lineTo(17, 6);
    p.drawPath(body);
    p.drawEllipse(QRectF(3, 3, 14, 6));
}

}  // namespace

QIcon OpenDatabase() {
    return Draw([](QPainter& p) {
        Cylinder(p, QColor(120, 170, 230));
        p.setPen(QPen(QColor(30, 120, 40), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(QPointF(13, 17), QPointF(21, 17));
        p.drawLine(QPointF(18, 13.5), QPointF(21.5, 17));
        p.drawLine(QPointF(18, 20.5), QPointF(21.5, 17));
    });
}

QIcon CloseDatabase() {
    return Draw([](QPainter& p) {
        Cylinder(p, QColor(190, 200, 215));
        p.setPen(QPen(QColor(190, 40, 40), 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(14, 14), QPointF(21, 21));
        p.drawLine(QPointF(21, 14), QPointF(14, 21));
    });
}

QIcon Calculator() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(QColor(60, 60, 60), 1.2));
        p.setBrush(QColor(235, 235, 235));
        p.drawRoundedRect(QRectF(4, 2, 16, 20), 2, 2);
        p.setBrush(QColor(170, 210, 160));
        p.drawRect(QRectF(6.5, 4.5, 11, 4.5));
        p.setBrush(QColor(90, 90, 90));
        p.setPen(Qt::NoPen);
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 3; ++col) p.drawRect(QRectF(6.5 + col * 4, 11 + row * 3.6, 2.6, 2.4));
    });
}

QIcon Help() {
    return Draw([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 100, 190));
        p.drawEllipse(QRectF(2, 2, 20, 20));
        p.setPen(Qt::white);
        QFont f = p.font();
        f.setPixelSize(15);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRectF(2, 2, 20, 20), Qt::AlignCenter, "?");
    });
}

QIcon Mail() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(QColor(60, 70, 90), 1.2));
        p.setBrush(QColor(250, 246, 230));
        p.drawRect(QRectF(2, 5, 20, 14));
        p.drawLine(QPointF(2, 5), QPointF(12, 13));
        p.drawLine(QPointF(22, 5), QPointF(12, 13));
    });
}

QIcon Web() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(QColor(30, 90, 160), 1.3));
        p.setBrush(QColor(200, 225, 250));
        p.drawEllipse(QRectF(2, 2, 20, 20));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(7.5, 2, 9, 20));
        p.drawLine(QPointF(2, 12), QPointF(22, 12));
        p.drawLine(QPointF(4, 7), QPointF(20, 7));
        p.drawLine(QPointF(4, 17), QPointF(20, 17));
    });
}

QIcon Program() {
    return Draw([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(24, 58, 112));
        p.drawRoundedRect(QRectF(0, 0, 24, 24), 4, 4);
        p.setBrush(QColor(255, 255, 255, 90));
        const double bars[] = {3, 8, 14, 8, 3};
        for (int i = 0; i < 5; ++i) p.drawRect(QRectF(3 + i * 3.8, 21 - bars[i], 3, bars[i]));
        QPainterPath curve;
        curve.moveTo(2, 21);
        for (int x = 0; x <= 20; ++x) {
            double z = (x - 10) / 3.4;
            curve.lineTo(2 + x, 21 - 16 * std::exp(-z * z / 2));
        }
        p.setPen(QPen(QColor(255, 196, 64), 1.8));
        p.setBrush(Qt::NoBrush);
        p.drawPath(curve);
    });
}

}  // namespace glyphs
