#include "ui/main/Shortcuts.h"

namespace qcal {
namespace {

// The standard key where the desktop defines one, else the given key.
QList<QKeySequence> StandardOr(QKeySequence::StandardKey standard, const QKeySequence& fallback) {
    QList<QKeySequence> keys = QKeySequence::keyBindings(standard);
    if (keys.isEmpty())
        keys.append(fallback);
    return keys;
}

}  // namespace

QList<QKeySequence> KeysOf(Command command) {
    switch (command) {
        case Command::NewEvent:
            return StandardOr(QKeySequence::New, QKeySequence(Qt::CTRL | Qt::Key_N)) +
                   QList<QKeySequence>{QKeySequence(Qt::Key_Insert)};
        case Command::EditEvent:
            return {QKeySequence(Qt::Key_F2), QKeySequence(Qt::Key_Return),
                    QKeySequence(Qt::Key_Enter)};
        case Command::DeleteEvent:
            return StandardOr(QKeySequence::Delete, QKeySequence(Qt::Key_Delete));
        case Command::SearchPage:
            return StandardOr(QKeySequence::Find, QKeySequence(Qt::CTRL | Qt::Key_F));
        case Command::Print:
            return StandardOr(QKeySequence::Print, QKeySequence(Qt::CTRL | Qt::Key_P));
        case Command::Preview:
            return {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P)};
        case Command::Preferences:
            return StandardOr(QKeySequence::Preferences, QKeySequence(Qt::CTRL | Qt::Key_Comma));
        case Command::ShowPending:
            return {QKeySequence(Qt::CTRL | Qt::Key_R)};
        case Command::Exit:
            return StandardOr(QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q));
        case Command::PreviousMonth:
            return {QKeySequence(Qt::Key_PageUp), QKeySequence(Qt::CTRL | Qt::Key_Left)};
        case Command::NextMonth:
            return {QKeySequence(Qt::Key_PageDown), QKeySequence(Qt::CTRL | Qt::Key_Right)};
        case Command::Today:
            return {QKeySequence(Qt::CTRL | Qt::Key_Home), QKeySequence(Qt::ALT | Qt::Key_Home)};
        case Command::Help:
            return StandardOr(QKeySequence::HelpContents, QKeySequence(Qt::Key_F1));
        case Command::SyncNow:
            return {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)};
    }
    return {};
}

QString HintWithKey(const QString& hint, Command command) {
    const QList<QKeySequence> keys = KeysOf(command);
    if (keys.isEmpty())
        return hint;
    return hint + QStringLiteral(" (") + keys.first().toString(QKeySequence::NativeText) +
           QLatin1Char(')');
}

int DaysMovedByKey(int key) {
    switch (key) {
        case Qt::Key_Left:
            return -1;
        case Qt::Key_Right:
            return 1;
        case Qt::Key_Up:
            return -7;
        case Qt::Key_Down:
            return 7;
        default:
            return 0;
    }
}

}  // namespace qcal
