#include "ui/main/SyncQuestions.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "store/DataModule.h"
#include "widgets/Convert.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageBox.h"

namespace qcal {

std::optional<QString> AskSyncPassword(QWidget* parent, const QString& address,
                                       const QString& user) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("PasswordQuestion"));
    dialog.setWindowTitle(QStringLiteral("Password"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* text = new QLabel(QStringLiteral("No secret store keeps the password of \"%1\" at %2.\n"
                                           "Enter it for this synchronisation (it is not kept):")
                                .arg(user, address),
                            &dialog);
    text->setWordWrap(true);
    layout->addWidget(text);
    QLineEdit* edit = desktop::TextLine(&dialog);
    edit->setObjectName(QStringLiteral("EditPassword"));
    edit->setEchoMode(QLineEdit::Password);
    layout->addWidget(edit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.setMinimumWidth(380);
    if (desktop::ExecModal(dialog) != QDialog::Accepted)
        return std::nullopt;
    return edit->text();
}

QString FingerprintText(const QString& hex) {
    QString text;
    const QString digits = hex.toUpper().remove(QLatin1Char(':'));
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        if (!text.isEmpty())
            text += QLatin1Char(':');
        text += digits.mid(i, 2);
    }
    return text;
}

bool AcceptCertificate(QWidget* parent, const QString& address, const QString& fingerprint,
                       const QString& problem) {
    return desktop::MessageBox::Question(
        parent, QStringLiteral("The certificate of %1 could not be verified: %2\r\r"
                               "Its SHA-256 fingerprint is\r%3\r\r"
                               "Accept this certificate for this account? Only do so when the "
                               "fingerprint is the one of your server.")
                    .arg(address, problem, FingerprintText(fingerprint)));
}

QString SyncTimeText(const TDataMod& dm, const QDateTime& time) {
    if (!time.isValid())
        return QStringLiteral("never");
    const QDateTime local = time.toLocalTime();
    const TDateTime value = desktop::FromQDate(local.date()) + desktop::FromQTime(local.time());
    return desktop::Q(dm.Format(dm.Options.DateFormat + " " + dm.Options.TimeFormat, value));
}

}  // namespace qcal
