#pragma once

// The desktop's secret store (the Secret Service, through QtKeychain) for the passwords of
// server accounts. Passwords are never written to setup.ini or any other file of ours.
// The calls wait for the store's answer (a few seconds at most), so the command line and the
// synchronisation can use them alike.

#include <QString>

#include <optional>

namespace qcal {

struct SecretAnswer {
    bool storeAvailable = false;      // a secret store answered
    std::optional<QString> password;  // the kept password, when there is one
    QString problem;                  // why the store did not answer (no password in it)
};

// account: a key naming the account, e.g. "user@https://host/path/" (never a password).
SecretAnswer ReadSecret(const QString& account);
// Answers false, with the reason in problem when given, when no store keeps it.
bool WriteSecret(const QString& account, const QString& password, QString* problem = nullptr);
void DeleteSecret(const QString& account);

}  // namespace qcal
