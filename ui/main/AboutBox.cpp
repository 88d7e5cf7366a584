#include "ui/main/AboutBox.h"

#include <QEnterEvent>
#include <QFont>
#include <QGraphicsDropShadowEffect>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

#include "app/Version.h"
#include "platform/desktop/Shell.h"
#include "widgets/Help.h"

namespace qcal {
namespace {

QFont ArialPixels(int pixels) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    return font;
}

const QColor kNavy(0, 0, 128);
const QColor kRed(255, 0, 0);

}  // namespace

TLinkLabel::TLinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setFont(ArialPixels(13));
    SetHovered(false);
    adjustSize();
}

void TLinkLabel::SetHovered(bool hovered) {
    hovered_ = hovered;
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, hovered ? kRed : kNavy);
    setPalette(pal);
    QFont f = font();
    f.setUnderline(hovered);
    setFont(f);
    if (hovered) {
        setCursor(Qt::PointingHandCursor);
    } else {
        unsetCursor();
    }
}

void TLinkLabel::enterEvent(QEnterEvent* event) {
    SetHovered(true);
    QLabel::enterEvent(event);
}

void TLinkLabel::leaveEvent(QEvent* event) {
    SetHovered(false);
    QLabel::leaveEvent(event);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

Taboutform::Taboutform(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("aboutform"));
    setWindowTitle(QStringLiteral("About Quenlaris Calendar"));
    setFixedSize(285, 201);

    Title = new QLabel(QStringLiteral("Quenlaris Calendar V") + QString::fromLatin1(kVersionText),
                       this);
    QFont titleFont = ArialPixels(15);
    titleFont.setUnderline(true);
    Title->setFont(titleFont);
    QPalette pal = Title->palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    Title->setPalette(pal);
    Title->setAlignment(Qt::AlignCenter);
    Title->setGeometry(8, 21, 269, 22);
    auto* shadow = new QGraphicsDropShadowEffect(Title);
    shadow->setColor(Qt::yellow);
    shadow->setOffset(1, 1);
    shadow->setBlurRadius(0);
    Title->setGraphicsEffect(shadow);

    auto* website = new QLabel(QStringLiteral("Website: "), this);
    website->setFont(ArialPixels(13));
    website->move(15, 97);
    Label6 = new TLinkLabel(QString::fromLatin1(kWebsiteName), this);
    Label6->move(86, 97);
    auto* support = new QLabel(QStringLiteral("Support: "), this);
    support->setFont(ArialPixels(13));
    support->move(15, 120);
    Label4 = new TLinkLabel(QString::fromLatin1(desktop::kSupportMailAddress), this);
    Label4->move(72, 120);
    // A long address stays inside the box.
    for (QLabel* link : {static_cast<QLabel*>(Label6), static_cast<QLabel*>(Label4)})
        link->setMaximumWidth(width() - link->x() - 4);

    Button1 = new QPushButton(QStringLiteral("Cl&ose"), this);
    Button1->setGeometry(106, 164, 81, 26);
    Button1->setDefault(true);

    // A failure to open is left to the desktop to show.
    connect(Label6, &TLinkLabel::clicked, this, [] { desktop::OpenWebsite(); });
    connect(Label4, &TLinkLabel::clicked, this, [] { desktop::OpenSupportMail(); });
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    desktop::InstallHelpKey(this, [] { return kHelpTopic; });
}

}  // namespace qcal
