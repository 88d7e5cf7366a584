#pragma once

// Asks whether a command on a repeating event's line in a day cell means that one occurrence
// or the whole series. Tests record the questions and preset the answers.

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace qcal {

enum class OccurrenceScope { Occurrence, Series, Cancel };

class OccurrenceQuestion {
public:
    // Buttons "Only this occurrence", "The whole series" and "Cancel".
    static OccurrenceScope Ask(QWidget* parent, const QString& text);

    // Testing: nothing is shown, the texts are recorded, the answers are taken in order
    // (the whole series when none is left, as before the question existed).
    static void StartRecording(const QList<OccurrenceScope>& answers);
    static void StopRecording();
    static QStringList TakeAsked();
};

}  // namespace qcal
