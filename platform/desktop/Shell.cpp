#include "platform/desktop/Shell.h"

#include <QDesktopServices>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QString>
#include <QSystemTrayIcon>

#include <utility>

namespace qcal::desktop {
namespace {

std::optional<bool> g_trayForTesting;
std::function<void(const QUrl&)> g_openerForTesting;

}  // namespace

QIcon ProgramIcon() {
    // The page of the program's scalable icon, drawn on a 64 x 64 grid: a white sheet with a
    // red top band, two rings and three rows of days.
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 64.0, size / 64.0);
        const QColor navy(0x2c, 0x4f, 0x7c);
        p.setPen(QPen(navy, 3));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(6, 10, 52, 48), 5, 5);
        QPainterPath band;
        band.addRoundedRect(QRectF(7.5, 11.5, 49, 14), 4, 4);
        p.fillPath(band, QColor(0xc0, 0x39, 0x2b));
        p.setPen(Qt::NoPen);
        p.setBrush(navy);
        p.drawRoundedRect(QRectF(16, 5, 5, 12), 2, 2);
        p.drawRoundedRect(QRectF(43, 5, 5, 12), 2, 2);
        for (int row = 0; row < 3; ++row) {
            for (int column = 0; column < 4; ++column)
                p.drawRect(QRectF(13 + column * 11, 30 + row * 9, 8, 6));
        }
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

bool TrayAvailable() {
    if (g_trayForTesting)
        return *g_trayForTesting;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SetTrayAvailableForTesting(std::optional<bool> available) {
    g_trayForTesting = available;
}

void OpenUrl(const QUrl& url) {
    if (g_openerForTesting) {
        g_openerForTesting(url);
        return;
    }
    QDesktopServices::openUrl(url);
}

void OpenWebsite() {
    OpenUrl(QUrl(QString::fromLatin1(kWebsiteAddress)));
}

void OpenSupportMail() {
    OpenUrl(QUrl(QStringLiteral("mailto:") + QString::fromLatin1(kSupportMailAddress)));
}

void SetUrlOpenerForTesting(std::function<void(const QUrl&)> opener) {
    g_openerForTesting = std::move(opener);
}

}  // namespace qcal::desktop
