#pragma once

// The help window: the HTML pages of the help folder, one page per context number
// (<context>.html) and a table of contents (index.html).

#include <QString>
#include <QWidget>

class QPushButton;
class QTextBrowser;

namespace qcal::desktop {

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QString folder, QWidget* parent = nullptr);

    // The page of context, or the contents when there is none; false when the topic has no
    // page of its own.
    bool ShowTopic(int context);
    void ShowContents();

    // The page of a context number inside folder.
    static QString PagePath(const QString& folder, int context);
    // The title of the page shown.
    QString PageTitle() const;

    QTextBrowser* browser = nullptr;
    QPushButton* btnContents = nullptr;
    QPushButton* btnBack = nullptr;
    QPushButton* btnForward = nullptr;
    QPushButton* btnClose = nullptr;

private:
    bool Open(const QString& path);
    void UpdateCaption();

    QString folder_;
};

}  // namespace qcal::desktop
