#pragma once

// The preferences page "Calendars on a server": an account (server address, user name,
// password), the calendars that discovery finds there, their binding to layers (a new layer
// named after the calendar or an existing one), the bindings with their last synchronisation,
// and the interval between two synchronisations. Binding and unbinding take effect at once;
// the interval is an option and is kept on OK with the dialog's others.

#include <QList>
#include <QString>

#include <optional>

#include "sync/SyncService.h"
#include "ui/main/PreferencesDialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTreeWidget;

namespace qcal {

class TDataMod;

class ServerCalendarsPage : public PreferencesPage {
    Q_OBJECT
public:
    ServerCalendarsPage(sync::SyncService& sync, const TDataMod& dm, QWidget* parent = nullptr);

    // The size the preferences dialog takes to show this page.
    static QSize DialogSize() { return {560, 520}; }

    void FillOptions(const ROptions& options) override;
    void TakeOptions(ROptions& options) const override;

    // The name of the layer that a calendar binds to when no existing layer is chosen: its
    // own name, else the last step of its address, made unique among layers (and without a
    // straight quote, which layer names cannot hold).
    static QString NewLayerName(const sync::ServerCalendar& calendar,
                                const QStringList& layerNames);

    QLineEdit* EditServer = nullptr;
    QLineEdit* EditUser = nullptr;
    QLineEdit* EditPassword = nullptr;
    QCheckBox* chUnencrypted = nullptr;
    QPushButton* btnDiscover = nullptr;
    QLabel* LabelFound = nullptr;
    QListWidget* ListCalendars = nullptr;
    QComboBox* cbLayer = nullptr;  // first a new layer, then the layers not yet bound
    QPushButton* btnBind = nullptr;
    QTreeWidget* TreeBindings = nullptr;  // layer, calendar, last synchronisation, status
    QPushButton* btnUnbind = nullptr;
    QSpinBox* spinMinutes = nullptr;

private:
    void Discover();
    void Discovered(const QList<sync::ServerCalendar>& calendars);
    void Failed(const QString& message);
    void CertificateNotTrusted(const QString& url, const QString& fingerprint,
                               const QString& problem);
    void AskCertificate();
    void Bind();
    void Unbind();
    void RefreshBindings();
    void UpdateButtons();
    QString ServerAddress() const;

    sync::SyncService& sync_;
    const TDataMod& dm_;
    QList<sync::ServerCalendar> calendars_;
    bool discovering_ = false;
    bool binding_ = false;
    QString bindFailure_;
    // A certificate that did not verify during the discovery, asked about once the engine has
    // ended it.
    struct Certificate {
        QString url, fingerprint, problem;
    };
    std::optional<Certificate> untrusted_;
    // The fingerprint of a certificate the user accepted for the server of the fields.
    QString acceptedFingerprint_;
    QString acceptedFor_;
};

}  // namespace qcal
