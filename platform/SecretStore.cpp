#include "platform/SecretStore.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <qt6keychain/keychain.h>

namespace qcal {

namespace {

// The name under which the store keeps our entries.
const QString kService = QStringLiteral("Quenlaris Calendar");
// How long a call waits for the store. A store that has not answered by then is taken as none:
// the caller asks for the password instead of hanging.
constexpr int kAnswerWaitMs = 5000;

struct JobAnswer {
    bool answered = false;
    QKeychain::Error error = QKeychain::OtherError;
    QString errorText;
    QString text;
};

// Starts the job and waits for its end (or the time limit) in a local event loop. The job deletes
// itself when it ends; one that does not end in time is left to end on its own.
template <typename Job>
JobAnswer Run(Job* job) {
    JobAnswer answer;
    if (QCoreApplication::instance() == nullptr) {
        delete job;
        answer.errorText = QStringLiteral("the secret store needs the program's event loop");
        return answer;
    }
    job->setAutoDelete(true);
    job->setInsecureFallback(false);  // never a plain file instead of the store
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&answer, &loop](QKeychain::Job* done) {
        answer.answered = true;
        answer.error = done->error();
        answer.errorText = done->errorString();
        if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(done))
            answer.text = read->textData();
        loop.quit();
    });
    QTimer::singleShot(kAnswerWaitMs, &loop, &QEventLoop::quit);
    job->start();
    if (!answer.answered)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!answer.answered)
        answer.errorText = QStringLiteral("the secret store did not answer");
    return answer;
}

QString Problem(const JobAnswer& answer) {
    if (answer.errorText.isEmpty())
        return QStringLiteral("the secret store is not available");
    return answer.errorText;
}

}  // namespace

SecretAnswer ReadSecret(const QString& account) {
    auto* job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(account);
    const JobAnswer answer = Run(job);
    SecretAnswer result;
    if (!answer.answered) {
        result.problem = Problem(answer);
        return result;
    }
    switch (answer.error) {
        case QKeychain::NoError:
            result.storeAvailable = true;
            result.password = answer.text;
            break;
        case QKeychain::EntryNotFound:
            result.storeAvailable = true;
            break;
        default:
            result.problem = Problem(answer);
            break;
    }
    return result;
}

bool WriteSecret(const QString& account, const QString& password, QString* problem) {
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setKey(account);
    job->setTextData(password);
    const JobAnswer answer = Run(job);
    const bool ok = answer.answered && answer.error == QKeychain::NoError;
    if (!ok && problem != nullptr)
        *problem = Problem(answer);
    return ok;
}

void DeleteSecret(const QString& account) {
    auto* job = new QKeychain::DeletePasswordJob(kService);
    job->setKey(account);
    Run(job);
}

}  // namespace qcal
