#pragma once

// A program folder in a temporary directory with a copy of the delivered user.mdb, and a
// data module on it whose errors are recorded instead of shown.

#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

#include "core/DateTime.h"
#include "core/Event.h"
#include "store/DataModule.h"
#include "store/ErrorReporter.h"

namespace qcal::test {

class RecordingErrorReporter final : public ErrorReporter {
public:
    void ShowError(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

class StoreFixture {
public:
    explicit StoreFixture(bool withDatabase = true) {
        if (withDatabase) {
            QFile::copy(QStringLiteral(QCAL_DELIVERED_DB),
                        dir.filePath(QStringLiteral("user.mdb")));
            QFile::setPermissions(dir.filePath(QStringLiteral("user.mdb")),
                                  QFile::ReadOwner | QFile::WriteOwner);
        }
        dm = std::make_unique<TDataMod>(folder(), errors);
        dm->Separators = {'/', ':'};
    }

    std::string folder() const { return dir.path().toStdString(); }
    std::string file(const char* name) const {
        return dir.filePath(QString::fromUtf8(name)).toStdString();
    }

    QTemporaryDir dir;
    RecordingErrorReporter errors;
    std::unique_ptr<TDataMod> dm;
};

// A one-time event on the given day, in the given layer.
inline tfield OnceEvent(const std::string& subject, TDateTime day, TDateTime time = 0,
                        const std::string& layer = "Work") {
    tfield e;
    e.subject = subject;
    e.layername = layer;
    e.repeatType = kRepeatNone;
    e.begindate = day;
    e.enddate = day;
    e.beginTime = time;
    e.endtime = time;
    return e;
}

inline tfield DailyEvent(const std::string& subject, TDateTime from, TDateTime to, int every,
                         TDateTime time = 0, const std::string& layer = "Work") {
    tfield e = OnceEvent(subject, from, time, layer);
    e.repeatType = kRepeatDaily;
    e.enddate = to;
    e.dayType = 0;
    e.dayEvery0 = every;
    return e;
}

// The subjects of events, in their order.
inline std::vector<std::string> Subjects(const tArrayofField& events) {
    std::vector<std::string> subjects;
    for (const tfield& e : events)
        subjects.push_back(e.subject);
    return subjects;
}

inline tfield Alarm(tfield e) {
    e.alert = true;
    return e;
}

}  // namespace qcal::test
