#include "sync/CalDavSync.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QMap>

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "session/CalendarSession.h"
#include "store/Colors.h"
#include "store/DataModule.h"
#include "store/SyncState.h"
#include "sync/Dav.h"

namespace qcal::sync {

namespace {

constexpr int kBatch = 50;              // resources fetched per request
constexpr int kFirstRunDelayMs = 3000;  // after the start
constexpr int kChangeDelayMs = 5000;    // after a local change
constexpr int kMostRedirects = 5;

std::string Std(const QString& text) {
    return text.toStdString();
}
QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// A server path in one spelling: every byte that is not unreserved percent-encoded.
QString Canonical(const QUrl& base, const QString& href) {
    const QUrl resolved = base.resolved(QUrl::fromEncoded(href.toUtf8(), QUrl::TolerantMode));
    const QByteArray decoded =
        QByteArray::fromPercentEncoding(resolved.path(QUrl::FullyEncoded).toUtf8());
    return QString::fromLatin1(decoded.toPercentEncoding("/"));
}

QUrl UrlOf(const QUrl& base, const QString& href) {
    QUrl url = base;
    url.setPath(href, QUrl::TolerantMode);
    return url;
}

// The resource name for a UID: itself when it is made of unreserved characters only.
QString ResourceName(const QString& uid) {
    QString name;
    bool replaced = false;
    for (const QChar c : uid) {
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                           (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                           c == QLatin1Char('-') || c == QLatin1Char('.') || c == QLatin1Char('_');
        name += plain ? c : QLatin1Char('-');
        replaced = replaced || !plain;
    }
    if (replaced || name.isEmpty()) {
        name +=
            QLatin1Char('-') +
            QString::fromLatin1(
                QCryptographicHash::hash(uid.toUtf8(), QCryptographicHash::Sha1).toHex().left(8));
    }
    return name + QStringLiteral(".ics");
}

QString NowText() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

// "#rrggbb" as a layer colour (red in the low byte).
std::optional<TColor> ColourOf(const QString& text) {
    if (text.size() < 7 || text[0] != QLatin1Char('#')) {
        return std::nullopt;
    }
    bool ok = false;
    const uint rgb = text.mid(1, 6).toUInt(&ok, 16);
    if (!ok) {
        return std::nullopt;
    }
    return TColor(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
}

}  // namespace

QString AccountKey(const QString& calendarUrl, const QString& user) {
    return user + QLatin1Char('@') + CleanUrl(QUrl(calendarUrl)).toString();
}

// ---------------------------------------------------------------------------------------------
// One run over every bound layer, one layer after the other.

class CalDavSync::Run : public QObject {
public:
    Run(CalDavSync& owner, std::vector<syncstate::BindingRow> rows)
        : owner_(owner), rows_(std::move(rows)) {}

    void Next() {
        client_.reset();
        if (next_ >= rows_.size()) {
            Done();
            return;
        }
        row_ = rows_[next_++];
        layerFailed_ = false;
        layerProblems_ = {};
        collection_ = QUrl(Q(row_.url));
        const QString key = AccountKey(Q(row_.url), Q(row_.user));
        QString password;
        if (const auto it = owner_.sessionPasswords_.find(key);
            it != owner_.sessionPasswords_.end()) {
            password = *it;
        } else if (owner_.passwords_.read) {
            const SecretAnswer answer = owner_.passwords_.read(key);
            if (answer.password) {
                password = *answer.password;
            } else {
                emit owner_.passwordNeeded(Q(row_.url), Q(row_.user));
                Fail(Failure::Unauthorised,
                     answer.storeAvailable
                         ? QStringLiteral("no password is kept for %1").arg(Q(row_.user))
                         : QStringLiteral("no secret store answered (%1); the password is asked "
                                          "for once per run")
                               .arg(answer.problem));
                EndLayer();
                return;
            }
        }
        client_ = std::make_unique<DavClient>(
            owner_.network_,
            DavAccount{Q(row_.user), password, row_.allowUnencrypted, Q(row_.fingerprint)});
        if (const QString problem = TransportProblem(collection_, row_.allowUnencrypted);
            !problem.isEmpty()) {
            Fail(Failure::Unencrypted, problem);
            EndLayer();
            return;
        }
        if (!collection_.path().endsWith(QLatin1Char('/'))) {
            collection_.setPath(collection_.path() + QLatin1Char('/'));
        }
        collectionPath_ = Canonical(collection_, collection_.path(QUrl::FullyEncoded));
        listing_.clear();
        removed_.clear();
        toFetch_.clear();
        if (owner_.syncCollection_) {
            SyncCollection(Q(row_.token));
        } else {
            Propfind();
        }
    }

private:
    TDataMod& Data() { return owner_.session_.Data(); }
    platform::Database& Db() { return Data().ADOConnection; }

    // The data may be away (a backup): nothing is written then.
    bool DataHere() {
        if (Data().Connected() && !Data().Released()) {
            return true;
        }
        Fail(Failure::Database, QStringLiteral("the calendar's data are in use by a backup"));
        EndLayer();
        return false;
    }

    // Runs a database step; a failure ends the layer's run.
    template <typename F>
    bool Write(F&& step) {
        if (!DataHere()) {
            return false;
        }
        try {
            step();
            return true;
        } catch (const platform::DbError& error) {
            Fail(Failure::Database, QStringLiteral("the calendar could not be written: %1")
                                        .arg(QString::fromUtf8(error.what())));
            EndLayer();
            return false;
        }
    }

    // One message per kind of failure, however many requests or calendars met it; a change
    // the server refused tells how many more it refused.
    struct Problems {
        QList<Failure> kinds;
        QStringList texts;
        QList<int> counts;
        void Add(Failure kind, const QString& text) {
            if (const qsizetype at = kinds.indexOf(kind); at >= 0) {
                ++counts[at];
            } else {
                kinds.append(kind);
                texts.append(text);
                counts.append(1);
            }
        }
        QString Text() const {
            QStringList lines;
            for (qsizetype i = 0; i < kinds.size(); ++i) {
                lines << (kinds[i] == Failure::Refused && counts[i] > 1
                              ? texts[i] + QStringLiteral(" and %1 more").arg(counts[i] - 1)
                              : texts[i]);
            }
            return lines.join(QStringLiteral("; "));
        }
    };

    void Fail(Failure kind, const QString& problem) {
        layerFailed_ = true;
        ok_ = false;
        problems_.Add(kind, problem);
        layerProblems_.Add(kind, problem);
    }

    void FailReply(const DavReply& reply) {
        if (reply.failure == Failure::Certificate) {
            emit owner_.certificateNotTrusted(Q(row_.url), reply.fingerprint, reply.problem);
        }
        Fail(reply.failure == Failure::None ? Failure::Server : reply.failure,
             reply.problem.isEmpty()
                 ? QStringLiteral("the server answered HTTP %1").arg(reply.status)
                 : reply.problem);
    }

    void SyncCollection(const QString& token) {
        client_->Send("REPORT", collection_, SyncCollectionBody(token),
                      {{"Depth", "0"}, {"Content-Type", "application/xml; charset=utf-8"}},
                      [this, token](const DavReply& reply) {
                          if (reply.status == 207) {
                              const Multistatus ms = ParseMultistatus(reply.body);
                              if (ms.ok) {
                                  full_ = token.isEmpty();
                                  newToken_ = ms.syncToken;
                                  for (const DavResponse& r : ms.responses) {
                                      const QString href = Canonical(collection_, r.href);
                                      if (href == collectionPath_) {
                                          continue;
                                      }
                                      if (r.status == 404) {
                                          removed_.insert(href);
                                      } else {
                                          listing_.insert(href, r.etag);
                                      }
                                  }
                                  Compare();
                                  return;
                              }
                          }
                          if (reply.failure == Failure::Offline ||
                              reply.failure == Failure::Certificate ||
                              reply.failure == Failure::Unauthorised ||
                              reply.failure == Failure::Unencrypted) {
                              FailReply(reply);
                              EndLayer();
                          } else if (!token.isEmpty()) {
                              // The token is no longer valid: everything again.
                              SyncCollection(QString());
                          } else {
                              // No sync-collection here: the ETags of every member.
                              Propfind();
                          }
                      });
    }

    void Propfind() {
        client_->Send("PROPFIND", collection_, PropfindBody({"d:getetag"}),
                      {{"Depth", "1"}, {"Content-Type", "application/xml; charset=utf-8"}},
                      [this](const DavReply& reply) {
                          const Multistatus ms =
                              reply.status == 207 ? ParseMultistatus(reply.body) : Multistatus{};
                          if (!ms.ok) {
                              FailReply(reply);
                              EndLayer();
                              return;
                          }
                          full_ = true;
                          newToken_.clear();
                          for (const DavResponse& r : ms.responses) {
                              const QString href = Canonical(collection_, r.href);
                              if (href != collectionPath_ &&
                                  href.endsWith(QStringLiteral(".ics"), Qt::CaseInsensitive)) {
                                  listing_.insert(href, r.etag);
                              } else if (href != collectionPath_ && !r.etag.isEmpty()) {
                                  listing_.insert(href, r.etag);
                              }
                          }
                          Compare();
                      });
    }

    void Compare() {
        const std::string layer = row_.layer;
        std::map<QString, syncstate::Item> items;
        std::map<QString, std::string> deletions;
        if (!Write([&] {
                for (syncstate::Item& item : syncstate::Items(Db(), layer)) {
                    if (!item.href.empty()) {
                        items[Q(item.href)] = item;
                    }
                }
                for (const syncstate::Deletion& d : syncstate::Deletions(Db(), layer)) {
                    deletions[Q(d.href)] = d.etag;
                }
            })) {
            return;
        }
        for (auto it = listing_.cbegin(); it != listing_.cend(); ++it) {
            const auto known = items.find(it.key());
            if (known != items.end() && !it.value().isEmpty() &&
                known->second.etag == it.value().toStdString()) {
                continue;
            }
            if (known == items.end()) {
                const auto deleted = deletions.find(it.key());
                if (deleted != deletions.end() && !it.value().isEmpty() &&
                    deleted->second == it.value().toStdString()) {
                    continue;
                }
            }
            toFetch_.append(it.key());
        }
        if (full_) {
            for (const auto& [href, item] : items) {
                if (!listing_.contains(href)) {
                    removed_.insert(href);
                }
            }
        }
        const QSet<QString> removed = removed_;
        for (const QString& href : removed) {
            bool deleted = false;
            if (!Write(
                    [&] { deleted = syncstate::ApplyServerDeletion(Data(), layer, Std(href)); })) {
                return;
            }
            if (deleted) {
                ++counts_.deletedHere;
                changed_ = true;
            }
        }
        total_ = int(toFetch_.size());
        done_ = 0;
        if (total_ > 0) {
            emit owner_.syncProgress(0, total_);
        }
        Fetch();
    }

    void Fetch() {
        if (toFetch_.isEmpty()) {
            if (!Write([&] { syncstate::SetToken(Db(), row_.layer, Std(newToken_)); })) {
                return;
            }
            PushDeletions();
            return;
        }
        const QStringList batch = toFetch_.mid(0, kBatch);
        toFetch_.remove(0, batch.size());
        client_->Send("REPORT", collection_, MultigetBody(batch),
                      {{"Depth", "1"}, {"Content-Type", "application/xml; charset=utf-8"}},
                      [this, batch](const DavReply& reply) {
                          const Multistatus ms =
                              reply.status == 207 ? ParseMultistatus(reply.body) : Multistatus{};
                          if (!ms.ok) {
                              FailReply(reply);
                              EndLayer();
                              return;
                          }
                          Store(ms, batch);
                      });
    }

    void Store(const Multistatus& ms, const QStringList& asked) {
        std::vector<syncstate::ServerCopy> copies;
        QSet<QString> gone(asked.begin(), asked.end());
        for (const DavResponse& r : ms.responses) {
            const QString href = Canonical(collection_, r.href);
            if (!gone.contains(href)) {
                continue;
            }
            if (r.calendarData.isEmpty()) {
                if (r.status != 404) {
                    gone.remove(href);  // not readable now: asked again next time
                }
                continue;
            }
            gone.remove(href);
            copies.push_back({Std(href), r.etag.toStdString(), r.calendarData.toStdString()});
        }
        std::vector<syncstate::Applied> applied;
        if (!Write([&] {
                applied = syncstate::ApplyServerResources(Data(), row_.layer, copies);
                for (const QString& href : gone) {
                    if (syncstate::ApplyServerDeletion(Data(), row_.layer, Std(href))) {
                        ++counts_.deletedHere;
                    }
                }
            })) {
            return;
        }
        for (const syncstate::Applied& a : applied) {
            Count(a);
        }
        done_ += int(asked.size());
        emit owner_.syncProgress(done_, total_);
        Fetch();
    }

    void Count(const syncstate::Applied& a) {
        switch (a.kind) {
            case syncstate::Applied::Kind::Stored:
                ++counts_.received;
                changed_ = true;
                break;
            case syncstate::Applied::Kind::Conflict:
                ++counts_.received;
                ++counts_.conflicts;
                conflictSubjects_.append(Q(a.subject));
                changed_ = true;
                break;
            case syncstate::Applied::Kind::Skipped:
            case syncstate::Applied::Kind::Unchanged:
                break;
        }
        if (a.lossy && a.kind != syncstate::Applied::Kind::Unchanged) {
            ++counts_.lossy;
        }
    }

    // Fetches the server's copy of href after it refused a change, and keeps it.
    void Refetch(const QString& href, std::function<void()> then) {
        client_->Send("GET", UrlOf(collection_, href), {}, {},
                      [this, href, then = std::move(then)](const DavReply& reply) {
                          if (reply.status == 404) {
                              if (!Write([&] {
                                      syncstate::ApplyServerDeletion(Data(), row_.layer, Std(href));
                                  })) {
                                  return;
                              }
                          } else if (!reply.Success()) {
                              FailReply(reply);
                          } else {
                              syncstate::Applied applied;
                              if (!Write([&] {
                                      applied = syncstate::ApplyServerResource(
                                          Data(), row_.layer, Std(href), reply.etag.toStdString(),
                                          reply.body.toStdString());
                                  })) {
                                  return;
                              }
                              Count(applied);
                          }
                          then();
                      });
    }

    void PushDeletions() {
        std::vector<syncstate::Deletion> deletions;
        if (!Write([&] { deletions = syncstate::Deletions(Db(), row_.layer); })) {
            return;
        }
        deletions_ = std::move(deletions);
        NextDeletion();
    }

    void NextDeletion() {
        if (deletions_.empty()) {
            PushChanges();
            return;
        }
        const syncstate::Deletion deletion = deletions_.front();
        deletions_.erase(deletions_.begin());
        Headers headers;
        if (!deletion.etag.empty()) {
            headers.append(std::pair<QByteArray, QByteArray>(
                "If-Match", QByteArray::fromStdString(deletion.etag)));
        }
        const QString href = Q(deletion.href);
        client_->Send("DELETE", UrlOf(collection_, href), {}, headers,
                      [this, deletion, href](const DavReply& reply) {
                          if (reply.Success() || reply.status == 404 || reply.status == 410) {
                              if (!Write([&] { syncstate::ForgetDeletion(Db(), deletion.id); })) {
                                  return;
                              }
                              if (reply.Success()) {
                                  ++counts_.deletedThere;
                              }
                              NextDeletion();
                          } else if (reply.status == 412) {
                              // Changed there since: the changed event stays.
                              if (!Write([&] { syncstate::ForgetDeletion(Db(), deletion.id); })) {
                                  return;
                              }
                              Refetch(href, [this] { NextDeletion(); });
                          } else if (Transport(reply)) {
                              FailReply(reply);
                              EndLayer();
                          } else {
                              // This deletion waits for the next run; the others go.
                              Fail(Failure::Refused,
                                   QStringLiteral("the server refused a deletion (HTTP %1)")
                                       .arg(reply.status));
                              NextDeletion();
                          }
                      });
    }

    void PushChanges() {
        std::vector<syncstate::Item> items;
        if (!Write([&] { items = syncstate::Items(Db(), row_.layer); })) {
            return;
        }
        pushes_.clear();
        for (const syncstate::Item& item : items) {
            if (item.dirty > 0 && !item.localOnly) {
                pushes_.push_back(item.eventId);
            }
        }
        NextPush();
    }

    void NextPush() {
        if (pushes_.empty()) {
            EndLayer();
            return;
        }
        const std::int64_t id = pushes_.front();
        pushes_.erase(pushes_.begin());
        std::optional<syncstate::Item> item;
        std::string text;
        std::string uid;
        bool exported = false;
        if (!Write([&] {
                item = syncstate::ItemOfEvent(Db(), id);
                exported = item && syncstate::ResourceText(Data(), id, text, uid);
            })) {
            return;
        }
        if (!item || !exported || item->dirty <= 0) {
            NextPush();  // deleted or sent meanwhile
            return;
        }
        QString href = Q(item->href);
        Headers headers{{"Content-Type", "text/calendar; charset=utf-8"}};
        if (href.isEmpty()) {
            href = collectionPath_ + ResourceName(Q(uid));
            if (!Write([&] { syncstate::SetHref(Db(), id, Std(href)); })) {
                return;
            }
        }
        if (item->etag.empty()) {
            headers.append(std::pair<QByteArray, QByteArray>("If-None-Match", "*"));
        } else {
            headers.append(std::pair<QByteArray, QByteArray>(
                "If-Match", QByteArray::fromStdString(item->etag)));
        }
        const std::int64_t dirty = item->dirty;
        client_->Send(
            "PUT", UrlOf(collection_, href), QByteArray::fromStdString(text), headers,
            [this, id, href, dirty](const DavReply& reply) {
                if (reply.Success()) {
                    if (!Write([&] {
                            syncstate::Confirm(Db(), id, reply.etag.toStdString(), dirty);
                        })) {
                        return;
                    }
                    ++counts_.sent;
                    NextPush();
                } else if (reply.status == 412) {
                    // Changed there too: the server's version wins, this one stays
                    // as a conflict copy.
                    Refetch(href, [this] { NextPush(); });
                } else if (Transport(reply)) {
                    FailReply(reply);
                    EndLayer();
                } else {
                    // This change waits for the next run; the others go.
                    tfield event;
                    const bool known = owner_.session_.LoadEvent(id, event);
                    Fail(Failure::Refused,
                         QStringLiteral("the server refused the change of \"%1\" (HTTP %2)")
                             .arg(known ? Q(event.subject) : href)
                             .arg(reply.status));
                    NextPush();
                }
            });
    }

    // A failure of the connection itself: nothing more goes to this calendar in this run.
    static bool Transport(const DavReply& reply) {
        return reply.failure == Failure::Offline || reply.failure == Failure::Unauthorised ||
               reply.failure == Failure::Certificate || reply.failure == Failure::Unencrypted;
    }

    void EndLayer() {
        const QString status = layerFailed_
                                   ? QStringLiteral("Not synchronised: ") + layerProblems_.Text()
                                   : QStringLiteral("Synchronised");
        if (Data().Connected() && !Data().Released()) {
            try {
                syncstate::SetResult(Db(), row_.layer,
                                     layerFailed_ ? std::string() : Std(NowText()), Std(status));
            } catch (const platform::DbError&) {
            }
        }
        if (changed_) {
            owner_.session_.ChangesStored(false);
            changed_ = false;
        }
        QMetaObject::invokeMethod(
            this, [this] { Next(); }, Qt::QueuedConnection);
    }

    void Done() {
        QStringList parts;
        parts << QStringLiteral("%1 received").arg(counts_.received)
              << QStringLiteral("%1 sent").arg(counts_.sent)
              << QStringLiteral("%1 deleted here").arg(counts_.deletedHere)
              << QStringLiteral("%1 deleted on the server").arg(counts_.deletedThere);
        QString summary = QStringLiteral("%1 calendars synchronised: ").arg(rows_.size()) +
                          parts.join(QStringLiteral(", "));
        if (counts_.conflicts > 0) {
            summary += QStringLiteral(
                           "; %1 conflicts: the server's version was kept, yours as "
                           "\"(conflict) %2\"")
                           .arg(counts_.conflicts)
                           .arg(conflictSubjects_.first());
        }
        if (counts_.lossy > 0) {
            summary += QStringLiteral(
                           "; %1 events kept with changes (not sent back unless you "
                           "edit them)")
                           .arg(counts_.lossy);
        }
        if (!ok_) {
            summary = QStringLiteral("Not synchronised: ") + problems_.Text();
        }
        owner_.Finished(ok_, summary);
    }

    struct Counts {
        int received = 0;
        int sent = 0;
        int deletedHere = 0;
        int deletedThere = 0;
        int conflicts = 0;
        int lossy = 0;
    };

    CalDavSync& owner_;
    std::vector<syncstate::BindingRow> rows_;
    std::size_t next_ = 0;
    syncstate::BindingRow row_;
    std::unique_ptr<DavClient> client_;
    QUrl collection_;
    QString collectionPath_;
    QMap<QString, QByteArray> listing_;
    QSet<QString> removed_;
    QStringList toFetch_;
    bool full_ = false;
    QString newToken_;
    std::vector<syncstate::Deletion> deletions_;
    std::vector<std::int64_t> pushes_;
    int total_ = 0;
    int done_ = 0;
    Counts counts_;
    QStringList conflictSubjects_;
    bool changed_ = false;
    bool ok_ = true;
    bool layerFailed_ = false;
    Problems layerProblems_;
    Problems problems_;
};

// ---------------------------------------------------------------------------------------------
// Discovery: the given address, else its /.well-known/caldav; the principal, its calendar home,
// and the event calendars there.

class CalDavSync::Discovery : public QObject {
public:
    Discovery(CalDavSync& owner, const QUrl& start, DavAccount account)
        : owner_(owner), client_(owner.network_, std::move(account)), start_(start) {}

    void Begin() { Ask(start_, 0); }

private:
    void Ask(const QUrl& url, int redirects) {
        client_.Send("PROPFIND", url,
                     PropfindBody({"d:resourcetype", "d:displayname", "a:calendar-color",
                                   "c:supported-calendar-component-set", "d:current-user-principal",
                                   "c:calendar-home-set"}),
                     {{"Depth", "0"}, {"Content-Type", "application/xml; charset=utf-8"}},
                     [this, url, redirects](const DavReply& reply) {
                         if (reply.status >= 300 && reply.status < 400 &&
                             reply.location.isValid() && redirects < kMostRedirects) {
                             Ask(reply.location, redirects + 1);
                             return;
                         }
                         const Multistatus ms =
                             reply.status == 207 ? ParseMultistatus(reply.body) : Multistatus{};
                         if (!ms.ok || ms.responses.isEmpty()) {
                             if (!triedWellKnown_ && reply.failure != Failure::Offline &&
                                 reply.failure != Failure::Certificate &&
                                 reply.failure != Failure::Unencrypted) {
                                 triedWellKnown_ = true;
                                 Ask(url.resolved(QUrl(QStringLiteral("/.well-known/caldav"))), 0);
                                 return;
                             }
                             Fail(reply);
                             return;
                         }
                         const DavResponse& r = ms.responses.first();
                         if (r.isCalendar) {
                             Finish({{CleanUrl(url).toString(), r.displayName, r.colour}});
                         } else if (!r.home.isEmpty()) {
                             ListHome(url.resolved(QUrl(r.home)));
                         } else if (!r.principal.isEmpty() && !askedPrincipal_) {
                             askedPrincipal_ = true;
                             Ask(url.resolved(QUrl(r.principal)), 0);
                         } else if (!triedWellKnown_) {
                             triedWellKnown_ = true;
                             Ask(url.resolved(QUrl(QStringLiteral("/.well-known/caldav"))), 0);
                         } else {
                             Fail(reply, QStringLiteral("no calendars were found at this address"));
                         }
                     });
    }

    void ListHome(const QUrl& home) {
        client_.Send("PROPFIND", home,
                     PropfindBody({"d:resourcetype", "d:displayname", "a:calendar-color",
                                   "c:supported-calendar-component-set"}),
                     {{"Depth", "1"}, {"Content-Type", "application/xml; charset=utf-8"}},
                     [this, home](const DavReply& reply) {
                         const Multistatus ms =
                             reply.status == 207 ? ParseMultistatus(reply.body) : Multistatus{};
                         if (!ms.ok) {
                             Fail(reply);
                             return;
                         }
                         QList<ServerCalendar> calendars;
                         for (const DavResponse& r : ms.responses) {
                             if (r.isCalendar && (!r.hasComponentSet || r.holdsEvents)) {
                                 const QUrl url = home.resolved(QUrl(r.href));
                                 const QString name =
                                     r.displayName.isEmpty()
                                         ? url.path().section(QLatin1Char('/'), -2, -2)
                                         : r.displayName;
                                 calendars.append({CleanUrl(url).toString(), name, r.colour});
                             }
                         }
                         Finish(calendars);
                     });
    }

    void Fail(const DavReply& reply, const QString& fallback = {}) {
        if (reply.failure == Failure::Certificate) {
            emit owner_.certificateNotTrusted(CleanUrl(start_).toString(), reply.fingerprint,
                                              reply.problem);
        }
        const QString problem = reply.problem.isEmpty() ? fallback : reply.problem;
        emit owner_.failed(QStringLiteral("The calendars could not be listed: ") +
                           (problem.isEmpty()
                                ? QStringLiteral("the server answered HTTP %1").arg(reply.status)
                                : problem));
        End();
    }

    void Finish(const QList<ServerCalendar>& calendars) {
        for (const ServerCalendar& c : calendars) {
            owner_.discoveredColours_.insert(c.url, c.colour);
        }
        emit owner_.discovered(calendars);
        End();
    }

    void End() {
        // Only this discovery ends: a new one may have taken its place meanwhile.
        QMetaObject::invokeMethod(
            &owner_,
            [o = &owner_, self = this] {
                if (o->discovery_.get() == self) {
                    o->discovery_.reset();
                }
            },
            Qt::QueuedConnection);
    }

    CalDavSync& owner_;
    DavClient client_;
    QUrl start_;
    bool triedWellKnown_ = false;
    bool askedPrincipal_ = false;
};

// ---------------------------------------------------------------------------------------------

CalDavSync::CalDavSync(CalendarSession& session, PasswordStore passwords, QObject* parent)
    : SyncService(parent), session_(session), passwords_(std::move(passwords)) {
    periodic_.setInterval(IntervalMinutes() * 60000);
    connect(&periodic_, &QTimer::timeout, this, &CalDavSync::SyncNow);
    changeDelay_.setSingleShot(true);
    changeDelay_.setInterval(kChangeDelayMs);
    connect(&changeDelay_, &QTimer::timeout, this, &CalDavSync::SyncNow);
    connect(&session_, &CalendarSession::eventsChanged, this, &CalDavSync::LocalChange);
    // The interval follows the options (SyncMinutes) as they are saved.
    connect(&session_, &CalendarSession::optionsChanged, this,
            [this] { SetIntervalMinutes(IntervalMinutes()); });
}

CalDavSync::~CalDavSync() = default;

QList<Binding> CalDavSync::Bindings() const {
    QList<Binding> out;
    TDataMod& dm = session_.Data();
    if (!dm.Connected()) {
        return out;
    }
    try {
        for (const syncstate::BindingRow& row : syncstate::LoadBindings(dm.ADOConnection)) {
            Binding b;
            b.layer = Q(row.layer);
            b.calendarUrl = Q(row.url);
            b.user = Q(row.user);
            b.allowUnencrypted = row.allowUnencrypted;
            b.acceptedFingerprint = Q(row.fingerprint);
            b.lastSync = QDateTime::fromString(Q(row.lastSync), Qt::ISODate);
            b.lastStatus = Q(row.lastStatus);
            out.append(b);
        }
    } catch (const platform::DbError&) {
    }
    return out;
}

void CalDavSync::Discover(const QString& serverUrl, const QString& user, const QString& password,
                          bool allowUnencrypted, const QString& acceptedFingerprint) {
    QUrl url = QUrl::fromUserInput(serverUrl);
    if (const QString problem = TransportProblem(url, allowUnencrypted); !problem.isEmpty()) {
        emit failed(QStringLiteral("The calendars could not be listed: ") + problem);
        return;
    }
    discovery_ = std::make_unique<Discovery>(
        *this, CleanUrl(url), DavAccount{user, password, allowUnencrypted, acceptedFingerprint});
    discovery_->Begin();
}

bool CalDavSync::Bind(const Binding& binding, const QString& password) {
    TDataMod& dm = session_.Data();
    const QUrl url(binding.calendarUrl);
    if (binding.layer.trimmed().isEmpty() || binding.layer.contains(QLatin1Char('\''))) {
        emit failed(QStringLiteral("The layer name may not be empty nor hold a single quote."));
        return false;
    }
    if (const QString problem = TransportProblem(url, binding.allowUnencrypted);
        !problem.isEmpty()) {
        emit failed(QStringLiteral("The calendar cannot be bound: ") + problem);
        return false;
    }
    if (!dm.Connected() || !dm.ChangeRefusal().empty()) {
        emit failed(QStringLiteral("The calendar cannot be bound: ") +
                    (dm.ChangeRefusal().empty() ? QStringLiteral("the data are not open")
                                                : Q(dm.ChangeRefusal())));
        return false;
    }
    const std::string layer = Std(binding.layer);
    const bool newLayer = std::none_of(dm.Layers.begin(), dm.Layers.end(),
                                       [&](const tlayinfo& l) { return l.name == layer; });
    QString url2 = CleanUrl(url).toString();
    if (!url2.endsWith(QLatin1Char('/'))) {
        url2 += QLatin1Char('/');
    }
    try {
        for (const syncstate::BindingRow& row : syncstate::LoadBindings(dm.ADOConnection)) {
            if (row.layer != layer && Q(row.url) == url2) {
                emit failed(QStringLiteral("The calendar is bound to the layer \"%1\" already.")
                                .arg(Q(row.layer)));
                return false;
            }
        }
        syncstate::BindingRow row;
        if (const auto existing = syncstate::FindBinding(dm.ADOConnection, layer)) {
            row = *existing;
            if (row.url != Std(url2)) {
                row.token.clear();
            }
        }
        row.layer = layer;
        row.url = Std(url2);
        row.user = Std(binding.user);
        row.allowUnencrypted = binding.allowUnencrypted;
        row.fingerprint = Std(binding.acceptedFingerprint);
        syncstate::SaveBinding(dm.ADOConnection, row);
    } catch (const platform::DbError& error) {
        emit failed(QStringLiteral("The calendar cannot be bound: ") +
                    QString::fromUtf8(error.what()));
        return false;
    }
    if (newLayer) {
        TColor colour = kUnknownLayerColor;
        if (const auto c = ColourOf(discoveredColours_.value(binding.calendarUrl))) {
            colour = *c;
        }
        dm.Layers.push_back(tlayinfo{layer, colour, true});
        dm.SaveLayers();
        session_.LayersEdited();
    }
    if (!password.isEmpty()) {
        const QString key = AccountKey(url2, binding.user);
        QString problem;
        if (!passwords_.write || !passwords_.write(key, password, &problem)) {
            // Kept for this run of the program only.
            sessionPasswords_.insert(key, password);
            emit failed(QStringLiteral("No secret store keeps the password (%1); it is asked for "
                                       "again at the next start.")
                            .arg(problem.isEmpty() ? QStringLiteral("none answered") : problem));
        }
    }
    emit bindingsChanged();
    return true;
}

void CalDavSync::CheckCalendar(const Binding& binding, const QString& password,
                               std::function<void(const CalendarCheck&)> done) {
    const QUrl url = CleanUrl(QUrl(binding.calendarUrl));
    if (const QString problem = TransportProblem(url, binding.allowUnencrypted);
        !problem.isEmpty()) {
        QMetaObject::invokeMethod(
            this,
            [done = std::move(done), problem] {
                done({problem, {}});
            },
            Qt::QueuedConnection);
        return;
    }
    QString known = password;
    if (known.isEmpty()) {
        QString slashed = url.toString();
        if (!slashed.endsWith(QLatin1Char('/'))) {
            slashed += QLatin1Char('/');
        }
        const QString key = AccountKey(slashed, binding.user);
        if (sessionPasswords_.contains(key)) {
            known = sessionPasswords_.value(key);
        } else if (passwords_.read) {
            known = passwords_.read(key).password.value_or(QString());
        }
    }
    CheckAt(std::make_shared<DavClient>(network_,
                                        DavAccount{binding.user, known, binding.allowUnencrypted,
                                                   binding.acceptedFingerprint}),
            url, 0, std::move(done));
}

void CalDavSync::CheckAt(const std::shared_ptr<DavClient>& client, const QUrl& url, int redirects,
                         std::function<void(const CalendarCheck&)> done) {
    client->Send(
        "PROPFIND", url,
        PropfindBody(
            {"d:resourcetype", "c:supported-calendar-component-set", "c:calendar-home-set"}),
        {{"Depth", "0"}, {"Content-Type", "application/xml; charset=utf-8"}},
        [this, client, redirects, done = std::move(done)](const DavReply& reply) {
            if (reply.status >= 300 && reply.status < 400 && reply.location.isValid() &&
                redirects < kMostRedirects) {
                CheckAt(client, reply.location, redirects + 1, done);
                return;
            }
            if (reply.status != 207) {
                done({reply.problem.isEmpty()
                          ? QStringLiteral("the server answered HTTP %1").arg(reply.status)
                          : reply.problem,
                      reply.fingerprint});
                return;
            }
            const Multistatus ms = ParseMultistatus(reply.body);
            if (!ms.ok || ms.responses.isEmpty()) {
                done({QStringLiteral("the server's answer about the address could not be read"),
                      {}});
                return;
            }
            done({CalendarProblem(ms.responses.first()), {}});
        });
}

void CalDavSync::Unbind(const QString& layer) {
    TDataMod& dm = session_.Data();
    try {
        const auto row = syncstate::FindBinding(dm.ADOConnection, Std(layer));
        syncstate::DeleteBinding(dm.ADOConnection, Std(layer));
        if (row && passwords_.remove) {
            bool shared = false;
            for (const syncstate::BindingRow& other : syncstate::LoadBindings(dm.ADOConnection)) {
                shared = shared || AccountKey(Q(other.url), Q(other.user)) ==
                                       AccountKey(Q(row->url), Q(row->user));
            }
            if (!shared) {
                passwords_.remove(AccountKey(Q(row->url), Q(row->user)));
            }
        }
    } catch (const platform::DbError& error) {
        emit failed(QString::fromUtf8(error.what()));
        return;
    }
    emit bindingsChanged();
}

void CalDavSync::SyncNow() {
    if (run_) {
        return;
    }
    TDataMod& dm = session_.Data();
    std::vector<syncstate::BindingRow> rows;
    if (dm.Connected() && !dm.Released()) {
        try {
            rows = syncstate::LoadBindings(dm.ADOConnection);
        } catch (const platform::DbError&) {
        }
    }
    changeDelay_.stop();
    again_ = false;
    run_ = std::make_unique<Run>(*this, std::move(rows));
    emit syncStarted();
    run_->Next();
}

void CalDavSync::SetSessionPassword(const QString& calendarUrl, const QString& user,
                                    const QString& password) {
    QString url = CleanUrl(QUrl(calendarUrl)).toString();
    if (!url.endsWith(QLatin1Char('/'))) {
        url += QLatin1Char('/');
    }
    sessionPasswords_.insert(AccountKey(url, user), password);
}

void CalDavSync::Start() {
    QTimer::singleShot(kFirstRunDelayMs, this, &CalDavSync::SyncNow);
    periodic_.start();
}

int CalDavSync::IntervalMinutes() const {
    return std::clamp(session_.Data().Options.SyncMinutes, kMinSyncMinutes, kMaxSyncMinutes);
}

void CalDavSync::SetIntervalMinutes(int minutes) {
    periodic_.setInterval(std::clamp(minutes, kMinSyncMinutes, kMaxSyncMinutes) * 60000);
}

bool CalDavSync::AcceptCertificate(const QString& calendarUrl, const QString& fingerprint) {
    TDataMod& dm = session_.Data();
    bool found = false;
    try {
        for (syncstate::BindingRow row : syncstate::LoadBindings(dm.ADOConnection)) {
            if (Q(row.url) == calendarUrl || Q(row.url) == calendarUrl + QLatin1Char('/')) {
                row.fingerprint = Std(fingerprint.toLower());
                syncstate::SaveBinding(dm.ADOConnection, row);
                found = true;
            }
        }
    } catch (const platform::DbError&) {
        return false;
    }
    if (found) {
        emit bindingsChanged();
    }
    return found;
}

void CalDavSync::Finished(bool ok, const QString& summary) {
    lastSummary_ = summary;
    // The run is destroyed once its last call has returned.
    QMetaObject::invokeMethod(
        this,
        [this, ok, summary] {
            run_.reset();
            emit syncFinished(ok, summary);
            emit bindingsChanged();
            if (again_) {
                again_ = false;
                changeDelay_.start();
            }
        },
        Qt::QueuedConnection);
}

void CalDavSync::LocalChange() {
    TDataMod& dm = session_.Data();
    if (!dm.Connected() || dm.Released()) {
        return;
    }
    bool waiting = false;
    try {
        waiting = syncstate::ChangesWaiting(dm.ADOConnection);
    } catch (const platform::DbError&) {
    }
    if (!waiting) {
        return;
    }
    if (run_) {
        again_ = true;
    } else {
        changeDelay_.start();
    }
}

}  // namespace qcal::sync
