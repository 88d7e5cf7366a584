#include "platform/SecretStore.h"
#include "sync/CalDavSync.h"

namespace qcal::sync {

PasswordStore SystemPasswordStore() {
    return {[](const QString& account) { return ReadSecret(account); },
            [](const QString& account, const QString& password, QString* problem) {
                return WriteSecret(account, password, problem);
            },
            [](const QString& account) { DeleteSecret(account); }};
}

}  // namespace qcal::sync
