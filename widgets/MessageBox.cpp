#include "widgets/MessageBox.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

namespace qcal::desktop {
namespace {

struct Recorder {
    bool on = false;
    QList<bool> answers;
    QList<MessageBox::Shown> shown;
    QStringList details;
};

Recorder& recorder() {
    static Recorder r;
    return r;
}

}  // namespace

void MessageBox::Information(QWidget* parent, const QString& text) {
    Show(Kind::Information, parent, text);
}

void MessageBox::Information(QWidget* parent, const QString& text, const QString& details) {
    Show(Kind::Information, parent, text, details);
}

bool MessageBox::Question(QWidget* parent, const QString& text) {
    return Show(Kind::Warning, parent, text);
}

void MessageBox::Warning(QWidget* parent, const QString& text) {
    Recorder& r = recorder();
    if (r.on) {
        r.shown.append({Kind::Warning, text});
        return;
    }
    QString shownText = text;
    shownText.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(parent);
    box.setText(shownText);
    box.setWindowTitle(QStringLiteral("Warning"));
    box.setIcon(QMessageBox::Warning);
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
}

void MessageBox::Error(QWidget* parent, const QString& text) {
    Show(Kind::Error, parent, text);
}

bool MessageBox::Show(Kind kind, QWidget* parent, const QString& text, const QString& details) {
    Recorder& r = recorder();
    if (r.on) {
        r.shown.append({kind, text});
        if (!details.isEmpty())
            r.details.append(details);
        if (kind != Kind::Warning)
            return true;
        return r.answers.isEmpty() ? false : r.answers.takeFirst();
    }

    QString shownText = text;
    shownText.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(parent);
    box.setText(shownText);
    if (!details.isEmpty())
        box.setDetailedText(details);
    QAbstractButton* yes = nullptr;
    switch (kind) {
        case Kind::Information:
            box.setWindowTitle(QStringLiteral("Information"));
            box.setIcon(QMessageBox::Information);
            box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
            break;
        case Kind::Warning:
            box.setWindowTitle(QStringLiteral("Warning"));
            box.setIcon(QMessageBox::Warning);
            yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
            box.setEscapeButton(box.addButton(QStringLiteral("&No"), QMessageBox::NoRole));
            break;
        case Kind::Error:
            box.setWindowTitle(QStringLiteral("Error"));
            box.setIcon(QMessageBox::Critical);
            box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
            break;
    }
    box.exec();
    return kind != Kind::Warning || box.clickedButton() == yes;
}

void MessageBox::StartRecording() {
    Recorder& r = recorder();
    r = Recorder{};
    r.on = true;
}

void MessageBox::StopRecording() {
    recorder() = Recorder{};
}

bool MessageBox::Recording() {
    return recorder().on;
}

void MessageBox::PresetAnswers(const QList<bool>& yesAnswers) {
    recorder().answers = yesAnswers;
}

QStringList MessageBox::TakeDetails() {
    QStringList details;
    details.swap(recorder().details);
    return details;
}

QList<MessageBox::Shown> MessageBox::TakeShown() {
    QList<Shown> shown;
    shown.swap(recorder().shown);
    return shown;
}

}  // namespace qcal::desktop
