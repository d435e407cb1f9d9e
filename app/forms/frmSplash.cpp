#include "forms/frmSplash.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QPainterPath>
#include <QTimer>
#include <cmath>

#include "shell/ProgramInfo.h"
#include "vb/App.h"

namespace {
int showMilliseconds = frmSplash::kShowMilliseconds;
}

void frmSplash::SetShowMilliseconds(int milliseconds) { showMilliseconds = milliseconds; }

frmSplash::frmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("frmSplash");
    setAttribute(Qt::WA_DeleteOnClose);
    tmrUnload_ = new QTimer(this);
    tmrUnload_->setObjectName("tmrUnload");
    tmrUnload_->setSingleShot(true);
    tmrUnload_->setInterval(showMilliseconds);
    connect(tmrUnload_, &QTimer::timeout, this, &QWidget::close);
}

void frmSplash::Load() {
    // 7280 by 3840 twips at 15 twips to the pixel.
    setFixedSize(7280 / 15, 3840 / 15);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen) {
        QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    tmrUnload_->start();
    show();
    raise();
}

void frmSplash::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height());
    sky.setColorAt(0, QColor(24, 58, 112));
    sky.setColorAt(1, QColor(10, 26, 54));
    p.fillRect(rect(), sky);

    // A bell curve over a few bars: the program's picture.
    const int base = height() - 48;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 40));
    const int bars[] = {10, 26, 52, 80, 96, 80, 52, 26, 10};
    for (int i = 0; i < 9; ++i) p.drawRect(width() - 250 + i * 24, base - bars[i], 20, bars[i]);
    QPainterPath curve;
    curve.moveTo(width() - 260, base);
    for (int x = 0; x <= 220; ++x) {
        double z = (x - 110) / 36.0;
        curve.lineTo(width() - 260 + x, base - 100 * std::exp(-z * z / 2));
    }
    p.setPen(QPen(QColor(255, 196, 64), 3));
    p.setBrush(Qt::NoBrush);
    p.drawPath(curve);

    p.setPen(Qt::white);
    QFont title = font();
    title.setPointSize(26);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRect(28, 28, width() - 56, 50), Qt::AlignLeft | Qt::AlignVCenter, program::kAppTitle);
    QFont sub = font();
    sub.setPointSize(12);
    p.setFont(sub);
    p.drawText(QRect(30, 80, width() - 60, 24), Qt::AlignLeft, "Scenario Designer");
    const vb::AppInfo& app = vb::App();
    p.setPen(QColor(200, 214, 236));
    p.drawText(QRect(30, height() - 40, width() - 60, 20), Qt::AlignLeft,
               QString("Version %1.%2.%3   Zelk").arg(app.major).arg(app.minor).arg(app.revision));
}
