#include "ui/main/OccurrenceQuestion.h"

#include <QMessageBox>
#include <QPushButton>

namespace qcal {

namespace {

struct Recording {
    bool on = false;
    QList<OccurrenceScope> answers;
    QStringList asked;
};

Recording& State() {
    static Recording state;
    return state;
}

}  // namespace

OccurrenceScope OccurrenceQuestion::Ask(QWidget* parent, const QString& text) {
    Recording& r = State();
    if (r.on) {
        r.asked.push_back(text);
        return r.answers.isEmpty() ? OccurrenceScope::Series : r.answers.takeFirst();
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("Warning"), text, QMessageBox::NoButton,
                    parent);
    QPushButton* one = box.addButton(QStringLiteral("Only this occurrence"), QMessageBox::YesRole);
    QPushButton* all = box.addButton(QStringLiteral("The whole series"), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(one);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == one)
        return OccurrenceScope::Occurrence;
    if (box.clickedButton() == all)
        return OccurrenceScope::Series;
    return OccurrenceScope::Cancel;
}

void OccurrenceQuestion::StartRecording(const QList<OccurrenceScope>& answers) {
    State() = Recording{true, answers, {}};
}

void OccurrenceQuestion::StopRecording() {
    State() = Recording{};
}

QStringList OccurrenceQuestion::TakeAsked() {
    QStringList asked = State().asked;
    State().asked.clear();
    return asked;
}

}  // namespace qcal
