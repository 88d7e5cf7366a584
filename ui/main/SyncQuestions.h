#pragma once

// The questions that synchronisation puts to the user, and the time of a synchronisation as
// the windows show it.

#include <QDateTime>
#include <QString>

#include <optional>

class QWidget;

namespace qcal {

class TDataMod;

// Asks for the password of user at address for the present run only (no secret store keeps
// it); no value when the user cancels.
std::optional<QString> AskSyncPassword(QWidget* parent, const QString& address,
                                       const QString& user);
// Asks whether to trust a certificate that did not verify, showing its fingerprint; true when
// the user accepts it.
bool AcceptCertificate(QWidget* parent, const QString& address, const QString& fingerprint,
                       const QString& problem);
// A fingerprint in hex as pairs of capitals joined by colons ("AB:CD:...").
QString FingerprintText(const QString& hex);
// The time in the options' date and time formats, "never" for an invalid one.
QString SyncTimeText(const TDataMod& dm, const QDateTime& time);

}  // namespace qcal
