#pragma once

// The program's message boxes: information, a Yes/No question shown as a warning, and
// error. Inside a text a carriage return stands for a line break.
//
// Tests switch the boxes into recording mode: nothing is shown, every box is recorded and
// questions take the preset answers in order (No when none is left).

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace qcal::desktop {

class MessageBox {
public:
    enum class Kind { Information, Warning, Error };
    struct Shown {
        Kind kind;
        QString text;
        bool operator==(const Shown&) const = default;
    };

    static void Information(QWidget* parent, const QString& text);
    // With details the user can open below the text (lines broken by "\n").
    static void Information(QWidget* parent, const QString& text, const QString& details);
    // Answers true for Yes.
    static bool Question(QWidget* parent, const QString& text);
    // A warning that is only acknowledged (one OK button); recorded as a warning that takes
    // no preset answer.
    static void Warning(QWidget* parent, const QString& text);
    static void Error(QWidget* parent, const QString& text);

    // Testing.
    static void StartRecording();
    static void StopRecording();
    static bool Recording();
    static void PresetAnswers(const QList<bool>& yesAnswers);
    static QList<Shown> TakeShown();
    // The details of the boxes shown with details, in order.
    static QStringList TakeDetails();

private:
    static bool Show(Kind kind, QWidget* parent, const QString& text,
                     const QString& details = QString());
};

}  // namespace qcal::desktop
