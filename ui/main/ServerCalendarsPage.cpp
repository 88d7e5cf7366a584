#include "ui/main/ServerCalendarsPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

#include "store/DataModule.h"
#include "ui/main/SyncQuestions.h"
#include "widgets/Convert.h"
#include "widgets/MessageBox.h"

namespace qcal {
namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

// A small square of the calendar's colour; none when the server gave no colour.
QIcon Swatch(const QString& colour) {
    const QColor c(colour.left(7));
    if (colour.isEmpty() || !c.isValid())
        return {};
    QPixmap square(12, 12);
    square.fill(c);
    QPainter painter(&square);
    painter.setPen(Qt::darkGray);
    painter.drawRect(0, 0, 11, 11);
    return QIcon(square);
}

// The scheme, host and port of address, for the server field.
QString Origin(const QString& address) {
    const QUrl url(address);
    if (!url.isValid() || url.host().isEmpty())
        return {};
    return url
        .adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment |
                  QUrl::RemoveUserInfo)
        .toString();
}

}  // namespace

ServerCalendarsPage::ServerCalendarsPage(sync::SyncService& sync, const TDataMod& dm,
                                         QWidget* parent)
    : PreferencesPage(parent), sync_(sync), dm_(dm) {
    setObjectName(S("ServerCalendarsPage"));
    auto* layout = new QVBoxLayout(this);

    auto* account = new QGridLayout;
    EditServer = desktop::TextLine(this);
    EditServer->setObjectName(S("EditServer"));
    EditServer->setPlaceholderText(S("https://cloud.example.org/"));
    EditUser = desktop::TextLine(this);
    EditUser->setObjectName(S("EditUser"));
    EditPassword = desktop::TextLine(this);
    EditPassword->setObjectName(S("EditPassword"));
    EditPassword->setEchoMode(QLineEdit::Password);
    const struct {
        const char* label;
        QLineEdit* edit;
    } fields[] = {
        {"Server address:", EditServer},
        {"User name:", EditUser},
        {"Password:", EditPassword},
    };
    int row = 0;
    for (const auto& f : fields) {
        account->addWidget(new QLabel(S(f.label), this), row, 0);
        account->addWidget(f.edit, row++, 1, 1, 2);
    }
    chUnencrypted = new QCheckBox(S("allow unencrypted connection"), this);
    chUnencrypted->setObjectName(S("chUnencrypted"));
    account->addWidget(chUnencrypted, row, 1);
    btnDiscover = new QPushButton(S("&Find Calendars"), this);
    btnDiscover->setObjectName(S("btnDiscover"));
    btnDiscover->setAutoDefault(false);
    account->addWidget(btnDiscover, row, 2);
    account->setColumnStretch(1, 1);
    layout->addLayout(account);

    LabelFound = new QLabel(S("Calendars of the account:"), this);
    LabelFound->setObjectName(S("LabelFound"));
    layout->addWidget(LabelFound);
    ListCalendars = new QListWidget(this);
    ListCalendars->setObjectName(S("ListCalendars"));
    layout->addWidget(ListCalendars, 1);
    auto* bindRow = new QHBoxLayout;
    bindRow->addWidget(new QLabel(S("Bind to:"), this));
    cbLayer = new QComboBox(this);
    cbLayer->setObjectName(S("cbLayer"));
    bindRow->addWidget(cbLayer, 1);
    btnBind = new QPushButton(S("&Bind"), this);
    btnBind->setObjectName(S("btnBind"));
    btnBind->setAutoDefault(false);
    bindRow->addWidget(btnBind);
    layout->addLayout(bindRow);

    layout->addWidget(new QLabel(S("Layers on a server:"), this));
    TreeBindings = new QTreeWidget(this);
    TreeBindings->setObjectName(S("TreeBindings"));
    TreeBindings->setRootIsDecorated(false);
    TreeBindings->setHeaderLabels({S("Layer"), S("Calendar"), S("Last synchronised"), S("Status")});
    TreeBindings->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    TreeBindings->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    TreeBindings->setColumnWidth(1, 150);
    layout->addWidget(TreeBindings, 1);
    auto* lastRow = new QHBoxLayout;
    lastRow->addWidget(new QLabel(S("Synchronise every"), this));
    spinMinutes = new QSpinBox(this);
    spinMinutes->setObjectName(S("spinMinutes"));
    spinMinutes->setRange(kMinSyncMinutes, kMaxSyncMinutes);
    lastRow->addWidget(spinMinutes);
    lastRow->addWidget(new QLabel(S("minutes"), this));
    lastRow->addStretch(1);
    btnUnbind = new QPushButton(S("&Unbind"), this);
    btnUnbind->setObjectName(S("btnUnbind"));
    btnUnbind->setAutoDefault(false);
    lastRow->addWidget(btnUnbind);
    layout->addLayout(lastRow);

    for (QLineEdit* edit : {EditServer, EditUser})
        connect(edit, &QLineEdit::textChanged, this, &ServerCalendarsPage::UpdateButtons);
    connect(ListCalendars, &QListWidget::currentRowChanged, this,
            &ServerCalendarsPage::UpdateButtons);
    connect(TreeBindings, &QTreeWidget::currentItemChanged, this,
            &ServerCalendarsPage::UpdateButtons);
    connect(btnDiscover, &QPushButton::clicked, this, &ServerCalendarsPage::Discover);
    connect(btnBind, &QPushButton::clicked, this, &ServerCalendarsPage::Bind);
    connect(btnUnbind, &QPushButton::clicked, this, &ServerCalendarsPage::Unbind);
    connect(&sync_, &sync::SyncService::discovered, this, &ServerCalendarsPage::Discovered);
    connect(&sync_, &sync::SyncService::failed, this, &ServerCalendarsPage::Failed);
    connect(&sync_, &sync::SyncService::certificateNotTrusted, this,
            &ServerCalendarsPage::CertificateNotTrusted);
    connect(&sync_, &sync::SyncService::bindingsChanged, this,
            &ServerCalendarsPage::RefreshBindings);

    // The account of the first binding fills the fields, for one more calendar from it.
    const QList<sync::Binding> bindings = sync_.Bindings();
    if (!bindings.isEmpty()) {
        EditServer->setText(Origin(bindings.first().calendarUrl));
        EditUser->setText(bindings.first().user);
        chUnencrypted->setChecked(bindings.first().allowUnencrypted);
    }
    RefreshBindings();
}

void ServerCalendarsPage::FillOptions(const ROptions& options) {
    spinMinutes->setValue(options.SyncMinutes);
}

void ServerCalendarsPage::TakeOptions(ROptions& options) const {
    options.SyncMinutes = spinMinutes->value();
}

QString ServerCalendarsPage::NewLayerName(const sync::ServerCalendar& calendar,
                                          const QStringList& layerNames) {
    QString base = desktop::TrimBlanks(calendar.name);
    if (base.isEmpty()) {
        base = QUrl(calendar.url)
                   .path(QUrl::FullyDecoded)
                   .section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty);
    }
    if (base.isEmpty())
        base = S("Calendar");
    // Layer names hold no straight quote; the typographic one reads the same.
    base.replace(QLatin1Char('\''), QChar(0x2019));
    QString name = base;
    for (int n = 2; layerNames.contains(name); ++n)
        name = base + S(" (") + QString::number(n) + S(")");
    return name;
}

QString ServerCalendarsPage::ServerAddress() const {
    QString address = desktop::TrimBlanks(EditServer->text());
    // A bare host name is meant as a secure address.
    if (!address.isEmpty() && !address.contains(S("://")))
        address = S("https://") + address;
    return address;
}

void ServerCalendarsPage::Discover() {
    const QString address = ServerAddress();
    if (acceptedFor_ != address)
        acceptedFingerprint_.clear();
    discovering_ = true;
    untrusted_.reset();
    calendars_.clear();
    ListCalendars->clear();
    LabelFound->setText(S("Looking for calendars at ") + address + S("..."));
    UpdateButtons();
    sync_.Discover(address, desktop::TrimBlanks(EditUser->text()), EditPassword->text(),
                   chUnencrypted->isChecked(), acceptedFingerprint_);
}

void ServerCalendarsPage::Discovered(const QList<sync::ServerCalendar>& calendars) {
    if (!discovering_)
        return;
    discovering_ = false;
    calendars_ = calendars;
    ListCalendars->clear();
    for (const sync::ServerCalendar& calendar : calendars_) {
        auto* item = new QListWidgetItem(Swatch(calendar.colour),
                                         calendar.name.isEmpty() ? calendar.url : calendar.name,
                                         ListCalendars);
        item->setToolTip(calendar.url);
    }
    LabelFound->setText(calendars_.isEmpty()
                            ? S("The account has no event calendars.")
                            : S("Calendars of the account (") + QString::number(calendars_.size()) +
                                  S(" found):"));
    if (!calendars_.isEmpty())
        ListCalendars->setCurrentRow(0);
    UpdateButtons();
}

void ServerCalendarsPage::Failed(const QString& message) {
    if (binding_) {
        bindFailure_ = message;
        return;
    }
    if (!discovering_)
        return;  // a synchronisation's failure: the status line shows it
    discovering_ = false;
    UpdateButtons();
    if (untrusted_)
        return;  // the certificate question says it
    LabelFound->setText(S("No calendars found."));
    desktop::MessageBox::Error(this, S("The calendars could not be found: ") + message);
}

void ServerCalendarsPage::CertificateNotTrusted(const QString& url, const QString& fingerprint,
                                                const QString& problem) {
    if (!discovering_)
        return;  // asked by the status line during a synchronisation
    // Asked once the discovery has ended: the engine is still inside it now.
    untrusted_ = Certificate{url, fingerprint, problem};
    QMetaObject::invokeMethod(this, &ServerCalendarsPage::AskCertificate, Qt::QueuedConnection);
}

void ServerCalendarsPage::AskCertificate() {
    if (!untrusted_)
        return;
    const Certificate certificate = *untrusted_;
    untrusted_.reset();
    discovering_ = false;
    UpdateButtons();
    if (!AcceptCertificate(this, certificate.url, certificate.fingerprint, certificate.problem)) {
        LabelFound->setText(S("The server's certificate was not accepted."));
        return;
    }
    acceptedFingerprint_ = certificate.fingerprint;
    acceptedFor_ = ServerAddress();
    Discover();
}

void ServerCalendarsPage::Bind() {
    const int row = ListCalendars->currentRow();
    if (row < 0 || row >= calendars_.size())
        return;
    const sync::ServerCalendar& calendar = calendars_[row];
    QStringList layerNames;
    for (const tlayinfo& layer : dm_.Layers)
        layerNames << desktop::Q(layer.name);
    sync::Binding binding;
    binding.layer =
        cbLayer->currentIndex() <= 0 ? NewLayerName(calendar, layerNames) : cbLayer->currentText();
    binding.calendarUrl = calendar.url;
    binding.user = desktop::TrimBlanks(EditUser->text());
    binding.allowUnencrypted = chUnencrypted->isChecked();
    binding.acceptedFingerprint = acceptedFingerprint_;
    binding_ = true;
    bindFailure_.clear();
    const bool bound = sync_.Bind(binding, EditPassword->text());
    binding_ = false;
    if (!bound) {
        desktop::MessageBox::Error(
            this,
            S("The layer \"") + binding.layer + S("\" could not be bound: ") +
                (bindFailure_.isEmpty() ? S("the synchronisation refused it") : bindFailure_));
    } else if (!bindFailure_.isEmpty()) {
        // Bound, with a word on the password (no secret store keeps it, say).
        desktop::MessageBox::Warning(this, bindFailure_);
    }
    RefreshBindings();
}

void ServerCalendarsPage::Unbind() {
    const QTreeWidgetItem* item = TreeBindings->currentItem();
    if (item == nullptr)
        return;
    const QString layer = item->text(0);
    if (!desktop::MessageBox::Question(this, S("Stop synchronising the layer \"") + layer +
                                                 S("\"? Its events stay in the layer, and the "
                                                   "calendar on the server is left as it is.")))
        return;
    sync_.Unbind(layer);
    RefreshBindings();
}

void ServerCalendarsPage::RefreshBindings() {
    const QString chosen =
        TreeBindings->currentItem() ? TreeBindings->currentItem()->text(0) : QString();
    TreeBindings->clear();
    QStringList bound;
    for (const sync::Binding& binding : sync_.Bindings()) {
        auto* item = new QTreeWidgetItem(
            TreeBindings, {binding.layer, binding.calendarUrl, SyncTimeText(dm_, binding.lastSync),
                           binding.lastStatus});
        item->setToolTip(1, binding.calendarUrl);
        item->setToolTip(3, binding.lastStatus);
        if (binding.layer == chosen)
            TreeBindings->setCurrentItem(item);
        bound << binding.layer;
    }

    const QString layer = cbLayer->currentText();
    cbLayer->clear();
    cbLayer->addItem(S("A new layer named after the calendar"));
    for (const tlayinfo& info : dm_.Layers) {
        const QString name = desktop::Q(info.name);
        if (!bound.contains(name))
            cbLayer->addItem(name);
    }
    cbLayer->setCurrentIndex(std::max(0, cbLayer->findText(layer)));
    UpdateButtons();
}

void ServerCalendarsPage::UpdateButtons() {
    btnDiscover->setEnabled(!discovering_ && !desktop::TrimBlanks(EditServer->text()).isEmpty() &&
                            !desktop::TrimBlanks(EditUser->text()).isEmpty());
    btnBind->setEnabled(!discovering_ && ListCalendars->currentRow() >= 0);
    btnUnbind->setEnabled(TreeBindings->currentItem() != nullptr);
}

}  // namespace qcal
