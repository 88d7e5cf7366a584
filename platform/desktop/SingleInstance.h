#pragma once

// One running program per user and data folder. The first start listens on a local
// socket; a later start finds it there, asks it to come forward and ends without touching
// anything else.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

namespace qcal::desktop {

// The folder for the per-user socket and lock files: $XDG_RUNTIME_DIR, else the temp folder.
QString RuntimeFolder();

// The local server name for the program on the data in folder, for the current user: a full
// socket path under RuntimeFolder(), so different users and different data folders never
// meet. The command line finds the same path without Qt (platform/InstanceAddress.h).
QString InstanceServerName(const QString& folder);

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Start {
        First,   // this process runs the program; it listens for later starts
        Second,  // another process runs it and has been asked to come forward
    };

    explicit SingleInstance(QString serverName, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Decides whether this process is the first. The first holds an exclusive lock on
    // "<server name>.lock" for its whole life, so a lock or socket left by a crashed run never
    // stands in the way: the lock went with the process, and the socket is removed.
    // The second only opens that lock file and connects; it writes no file.
    Start Claim();

    // The command line's import (the conversation is described in cli/RunningProgram.h).
    // ready() false: the data are away, the command is told to ask again. run(text) imports
    // and answers the command's exit status and output. Without a handler the requests are
    // not answered, and the command writes itself.
    struct CommandAnswer {
        int status = 0;
        QByteArray out;
        QByteArray err;
    };
    void SetImportHandler(std::function<bool()> ready,
                          std::function<CommandAnswer(const QByteArray&)> run);

    // The synchronisation commands of the command line, in the same way (request "sync-command").
    void SetSyncHandler(std::function<CommandAnswer(const QByteArray&)> run);

signals:
    // A later start asked this instance to come forward.
    void activationRequested();

private:
    bool Listen();
    bool AskFirst(int patienceMs) const;
    void Accept();

    std::function<bool()> importReady_;
    std::function<CommandAnswer(const QByteArray&)> importRun_;
    std::function<CommandAnswer(const QByteArray&)> syncRun_;
    QString name_;
    int lockFd_ = -1;
    QLocalServer* server_ = nullptr;
};

// The lock file "onlyforquenlariscalendar" in RuntimeFolder(), held (shared) for the life of
// the process so that an installer can tell whether the program runs. The program itself never
// tests it.
class ProcessMarker {
public:
    ProcessMarker();
    ~ProcessMarker();
    ProcessMarker(const ProcessMarker&) = delete;
    ProcessMarker& operator=(const ProcessMarker&) = delete;

    bool Held() const { return fd_ >= 0; }
    static QString Path();

private:
    int fd_ = -1;
};

}  // namespace qcal::desktop
