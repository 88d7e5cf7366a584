#include "widgets/Help.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "platform/System.h"
#include "widgets/HelpWindow.h"

namespace qcal::desktop {
namespace {

HelpHandler& helpHandler() {
    static HelpHandler handler;
    return handler;
}

// One help window for the whole program, made on the first request.
void OpenHelpWindow(int context, QWidget* parent) {
    static QPointer<HelpWindow> window;
    // A modal dialog blocks every window but its own children: while one is open, the help
    // window is made its child, so that it can be read and scrolled. Otherwise it stands on its
    // own and stays open when the window that asked goes to the tray.
    QWidget* owner = parent && parent->window()->isModal() ? parent->window()
                                                           : QApplication::activeModalWidget();
    if (!window) {
        const QString folder =
            QString::fromStdString(platform::JoinPath(platform::ProgramFolder(), "help"));
        window = new HelpWindow(folder, owner);
        window->setAttribute(Qt::WA_DeleteOnClose);
    } else if (window->parentWidget() != owner) {
        const QRect bounds = window->geometry();
        window->setParent(owner, window->windowFlags());
        window->setGeometry(bounds);
    }
    window->ShowTopic(context);
    window->show();
    window->raise();
    window->activateWindow();
}

class HelpKeyFilter : public QObject {
public:
    HelpKeyFilter(QWidget* window, std::function<int()> context)
        : QObject(window), window_(window), context_(std::move(context)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1 &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
            ShowHelp(context_(), window_);
            return true;
        }
        return false;
    }

private:
    QWidget* window_;
    std::function<int()> context_;
};

}  // namespace

void ShowHelp(int context, QWidget* parent) {
    if (helpHandler()) {
        // A copy, so that a handler may replace itself while it runs.
        const HelpHandler handler = helpHandler();
        handler(context, parent);
        return;
    }
    OpenHelpWindow(context, parent);
}

void SetHelpHandler(HelpHandler handler) {
    helpHandler() = std::move(handler);
}

void InstallHelpKey(QWidget* window, std::function<int()> context) {
    // Key presses that no control takes travel up to the window, where this sees them.
    window->installEventFilter(new HelpKeyFilter(window, std::move(context)));
}

}  // namespace qcal::desktop
