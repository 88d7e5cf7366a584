#include "widgets/HelpWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <utility>

namespace qcal::desktop {

HelpWindow::HelpWindow(QString folder, QWidget* parent)
    : QWidget(parent, Qt::Window), folder_(std::move(folder)) {
    setObjectName(QStringLiteral("HelpWindow"));
    resize(640, 520);

    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    btnContents = new QPushButton(QStringLiteral("&Contents"), this);
    btnBack = new QPushButton(QStringLiteral("&Back"), this);
    btnForward = new QPushButton(QStringLiteral("&Forward"), this);
    btnClose = new QPushButton(QStringLiteral("Cl&ose"), this);
    for (QPushButton* b : {btnContents, btnBack, btnForward})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(btnClose);
    layout->addLayout(buttons);

    browser = new QTextBrowser(this);
    browser->setObjectName(QStringLiteral("HelpBrowser"));
    // Addresses outside the help folder go to the desktop's browser or mail program.
    browser->setOpenExternalLinks(true);
    browser->setSearchPaths({folder_});
    layout->addWidget(browser, 1);

    btnBack->setEnabled(false);
    btnForward->setEnabled(false);
    connect(browser, &QTextBrowser::backwardAvailable, btnBack, &QPushButton::setEnabled);
    connect(browser, &QTextBrowser::forwardAvailable, btnForward, &QPushButton::setEnabled);
    connect(browser, &QTextBrowser::sourceChanged, this, &HelpWindow::UpdateCaption);
    connect(btnBack, &QPushButton::clicked, browser, &QTextBrowser::backward);
    connect(btnForward, &QPushButton::clicked, browser, &QTextBrowser::forward);
    connect(btnContents, &QPushButton::clicked, this, &HelpWindow::ShowContents);
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    UpdateCaption();
}

QString HelpWindow::PagePath(const QString& folder, int context) {
    return QDir(folder).filePath(QString::number(context) + QStringLiteral(".html"));
}

bool HelpWindow::ShowTopic(int context) {
    if (Open(PagePath(folder_, context)))
        return true;
    ShowContents();
    return false;
}

void HelpWindow::ShowContents() {
    if (Open(QDir(folder_).filePath(QStringLiteral("index.html"))))
        return;
    browser->setHtml(QStringLiteral("<html><head><title>Help not found</title></head><body>"
                                    "<h1>Help not found</h1><p>The help pages are not in "
                                    "<code>%1</code>. Install the program again to get them "
                                    "back.</p></body></html>")
                         .arg(folder_.toHtmlEscaped()));
    UpdateCaption();
}

bool HelpWindow::Open(const QString& path) {
    if (!QFileInfo(path).isFile())
        return false;
    browser->setSource(QUrl::fromLocalFile(path));
    UpdateCaption();
    return true;
}

QString HelpWindow::PageTitle() const {
    return browser->documentTitle();
}

void HelpWindow::UpdateCaption() {
    const QString title = PageTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Quenlaris Calendar Help")
                                   : QStringLiteral("Quenlaris Calendar Help - ") + title);
}

}  // namespace qcal::desktop
