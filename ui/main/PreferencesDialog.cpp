#include "ui/main/PreferencesDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>

#include <algorithm>
#include <utility>

#include "core/Clock.h"
#include "platform/AtomicFile.h"
#include "platform/System.h"
#include "store/DataModule.h"
#include "widgets/Convert.h"
#include "widgets/Dialogs.h"
#include "widgets/Glyphs.h"
#include "widgets/Help.h"
#include "widgets/MessageBox.h"

namespace qcal {
namespace {

using desktop::Q;
using desktop::Std;

QString S(const char* text) {
    return QString::fromUtf8(text);
}

QLabel* Label(QWidget* parent, const char* text, int left, int top) {
    auto* label = new QLabel(S(text), parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QCheckBox* CheckBox(QWidget* parent, const char* text, const QRect& bounds) {
    auto* box = new QCheckBox(S(text), parent);
    box->setGeometry(bounds);
    return box;
}

QLineEdit* ReadOnlyEdit(QWidget* parent, const QRect& bounds) {
    QLineEdit* edit = desktop::TextLine(parent);
    edit->setReadOnly(true);
    edit->setGeometry(bounds);
    return edit;
}

QFont FontOf(const std::string& name, std::int32_t size) {
    QFont font(Q(name));
    font.setPointSize(std::clamp(size, kMinFontSize, kMaxFontSize));
    return font;
}

// Copies source into folder under its own name, replacing a file of that name, without ever
// leaving a half-copied sound there. Answers the failure's reason, empty on success.
QString CopyInto(const QString& source, const QString& folder) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return in.errorString();
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return in.errorString();
    if (!QFileInfo(folder).isDir())
        return S("the folder does not exist");
    std::string error;
    const std::string target = Std(QDir(folder).filePath(QFileInfo(source).fileName()));
    if (!platform::WriteFileAtomically(target, bytes.toStdString(), &error))
        return Q(error);
    return {};
}

// The letters of the hot key list, "A" to "Z".
constexpr int kLetterCount = 26;
constexpr int kLastModifier = 4;

}  // namespace

TFormPreferences::TFormPreferences(TDataMod& dm, platform::Autorun autorun,
                                   std::string executablePath, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      dm_(dm),
      autorun_(std::move(autorun)),
      executablePath_(std::move(executablePath)) {
    setObjectName(QStringLiteral("FormPreferences"));
    setWindowTitle(S("Preferences"));
    setFixedSize(371, 316);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(0, 0, 371, 260);
    const struct {
        const char* title;
        void (TFormPreferences::*build)(QWidget*);
    } pages[] = {
        {"Startup", &TFormPreferences::BuildStartupPage},
        {"Event", &TFormPreferences::BuildEventPage},
        {"Display", &TFormPreferences::BuildDisplayPage},
        {"Print", &TFormPreferences::BuildPrintPage},
    };
    for (const auto& p : pages) {
        auto* page = new QWidget;
        PageControl1->addTab(page, S(p.title));
        (this->*p.build)(page);
    }

    BitBtn1 = new QPushButton(S("&Help"), this);
    BitBtn1->setGeometry(47, 275, 81, 27);
    BitBtn1->setAutoDefault(false);
    BitBtn1->setIcon(desktop::HelpGlyph());
    SpeedButton1 = new QPushButton(S("&OK"), this);
    SpeedButton1->setGeometry(145, 275, 81, 27);
    SpeedButton1->setDefault(true);
    SpeedButton2 = new QPushButton(S("Can&cel"), this);
    SpeedButton2->setGeometry(242, 275, 81, 27);
    SpeedButton2->setAutoDefault(false);

    connect(chStart, &QCheckBox::toggled, this, &TFormPreferences::chStartClick);
    connect(chplay, &QCheckBox::toggled, this, &TFormPreferences::chplayClick);
    connect(btnsound, &QToolButton::clicked, this, &TFormPreferences::btnsoundClick);
    connect(SpeedButton3, &QToolButton::clicked, this, [this] { ChooseFont(EditSample); });
    connect(SpeedButton4, &QToolButton::clicked, this, [this] { ChooseFont(EFontOfPrint); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { desktop::ShowHelp(kHelpTopic, this); });
    connect(SpeedButton1, &QPushButton::clicked, this, &TFormPreferences::SpeedButton1Click);
    connect(SpeedButton2, &QPushButton::clicked, this, &QDialog::reject);
    desktop::InstallHelpKey(this, [] { return kHelpTopic; });

    for (char letter = 'A'; letter < 'A' + kLetterCount; ++letter)
        cbChar->addItem(QString(QChar::fromLatin1(letter)));
    PageControl1->setCurrentIndex(0);
    FillControls();
}

void TFormPreferences::AddPage(PreferencesPage* page, const QString& title, QSize size) {
    PageControl1->addTab(page, title);
    addedPages_.push_back(page);
    page->FillOptions(dm_.Options);
    const int width = std::max(size.width(), this->width());
    const int height = std::max(size.height(), this->height());
    const int shift = (width - this->width()) / 2;
    const int down = height - this->height();
    setFixedSize(width, height);
    PageControl1->resize(width, PageControl1->height() + down);
    for (QPushButton* button : {BitBtn1, SpeedButton1, SpeedButton2})
        button->move(button->x() + shift, button->y() + down);
}

void TFormPreferences::BuildStartupPage(QWidget* page) {
    chStart = CheckBox(page, "Run Quenlaris Calendar when you log in", QRect(16, 20, 330, 19));
    chMin = CheckBox(page, "Run Minimized", QRect(40, 48, 290, 19));
}

void TFormPreferences::BuildEventPage(QWidget* page) {
    chplay = CheckBox(page, "If Alarm enabled, play music when new event occurs ",
                      QRect(12, 12, 345, 19));
    Label1 = Label(page, "File:", 14, 42);
    EditSound = ReadOnlyEdit(page, QRect(44, 38, 270, 22));
    btnsound =
        desktop::FlatButton(page, "btnsound", QRect(318, 37, 25, 24), S("Select WAV sound File"),
                            desktop::Glyph("document-open", QStyle::SP_DialogOpenButton));
    chArchiveAll = CheckBox(page, "Archive all events after closing Event Reminder window",
                            QRect(12, 76, 345, 19));
    Label8 = Label(page, "Press the hotkey below to show pending events window", 12, 114);
    cbControl = new QComboBox(page);
    cbControl->setGeometry(12, 136, 120, 22);
    cbControl->addItems({S("ALT"), S("CTRL"), S("SHIFT"), S("CTRL+ALT"), S("CTRL+SHIFT")});
    Label9 = Label(page, "+", 139, 139);
    cbChar = new QComboBox(page);
    cbChar->setGeometry(154, 136, 56, 22);
    cbChar->setMaxVisibleItems(13);
    LabelReminders = Label(page, "Show reminders as:", 12, 178);
    // Item index = the RemindersAs value.
    cbRemindersAs = new QComboBox(page);
    cbRemindersAs->setObjectName(S("cbRemindersAs"));
    cbRemindersAs->setGeometry(130, 174, 180, 22);
    cbRemindersAs->addItems({S("window"), S("desktop notification"), S("both")});
}

void TFormPreferences::BuildDisplayPage(QWidget* page) {
    Label2 = Label(page, "Font in event grid", 12, 12);
    EditSample = ReadOnlyEdit(page, QRect(12, 32, 300, 26));
    SpeedButton3 = desktop::FlatButton(
        page, "SpeedButton3", QRect(318, 33, 25, 24), S("Select Font"),
        desktop::Glyph("preferences-desktop-font", QStyle::SP_FileDialogInfoView));
    // The samples line up under each other in a fixed-pitch font.
    QFont fixed(S("Courier New"));
    fixed.setStyleHint(QFont::TypeWriter);
    Label6 = Label(page, "Format of Date", 12, 72);
    chDate = new QComboBox(page);
    chDate->setGeometry(12, 92, 331, 24);
    chDate->setFont(fixed);
    Label7 = Label(page, "Format of Time", 12, 130);
    chTime = new QComboBox(page);
    chTime->setGeometry(12, 150, 331, 24);
    chTime->setFont(fixed);
    LabelWeekStart = Label(page, "First day of the week", 12, 192);
    cbWeekStart = new QComboBox(page);
    cbWeekStart->setObjectName(QStringLiteral("cbWeekStart"));
    cbWeekStart->setGeometry(160, 188, 183, 24);
    const QString localeDay = QLocale().dayName(QLocale().firstDayOfWeek());
    cbWeekStart->addItems(
        {S("Sunday"), S("Monday"), S("As in your region (") + localeDay + S(")")});
}

void TFormPreferences::BuildPrintPage(QWidget* page) {
    Label3 = Label(page, "Preview and Print Scale", 12, 16);
    spinscale = new QSpinBox(page);
    spinscale->setGeometry(12, 36, 70, 22);
    spinscale->setRange(20, 100);
    Label4 = Label(page, "%", 88, 39);
    Label5 = Label(page, "Preview and Print Font", 12, 76);
    EFontOfPrint = ReadOnlyEdit(page, QRect(12, 96, 300, 26));
    SpeedButton4 = desktop::FlatButton(
        page, "SpeedButton4", QRect(318, 97, 25, 24), S("Select Font"),
        desktop::Glyph("preferences-desktop-font", QStyle::SP_FileDialogInfoView));
}

QString TFormPreferences::MusicFolder() const {
    return Q(platform::JoinPath(dm_.ProgramFolder(), "music")) + QLatin1Char('/');
}

QString TFormPreferences::FontText(const QFont& font) {
    return font.family() + S(", Size:") + QString::number(font.pointSize());
}

QString TFormPreferences::FormatLine(const std::string& format, const std::string& sample) {
    QString parts = Q(format);
    if (parts.contains(S("AM/PM"))) {
        parts = S("12-hour clock");
    } else if (parts.contains(S("hh"))) {
        parts = S("24-hour clock");
    } else {
        parts.replace(S("yyyy"), S("year"))
            .replace(S("yy"), S("year"))
            .replace(S("mm"), S("month"))
            .replace(S("dd"), S("day"));
    }
    return Q(sample) + S("   (") + parts + S(")");
}

void TFormPreferences::FillControls() {
    const ROptions& o = dm_.Options;
    chStart->setChecked(o.IsStartWhenWindow);
    chMin->setChecked(o.IsMinimize);
    chArchiveAll->setChecked(o.IsArchiveAllAfterClose);

    EditSample->setFont(FontOf(o.FontDisplayName, o.FontDisplaySize));
    EditSample->setText(FontText(EditSample->font()));
    spinscale->setValue(o.ForPrint.scaleOfPrint);
    EFontOfPrint->setFont(FontOf(o.ForPrint.PrintFontName, o.ForPrint.PrintFontSize));
    EFontOfPrint->setText(FontText(EFontOfPrint->font()));

    chplay->setChecked(o.Isplaysound);
    EditSound->setText(MusicFolder() + Q(o.FilenameOfSound));

    const TDateTime now = clock::Now();
    const auto fillFormats = [&](QComboBox* list, const std::vector<std::string>& formats,
                                 TDateTime value, const std::string& current) {
        list->clear();
        for (const std::string& format : formats)
            list->addItem(FormatLine(format, dm_.Format(format, value)));
        const auto it = std::find(formats.begin(), formats.end(), current);
        list->setCurrentIndex(it == formats.end() ? 0 : int(it - formats.begin()));
    };
    fillFormats(chDate, dm_.DateFormats, TDateTime(DayOf(now)), o.DateFormat);
    fillFormats(chTime, dm_.TimeFormats, now, o.TimeFormat);
    cbWeekStart->setCurrentIndex(
        o.FirstDayOfWeek >= 0 && o.FirstDayOfWeek < cbWeekStart->count() ? o.FirstDayOfWeek : 0);

    chStartClick();
    chplayClick();

    // The hot key reads values out of range as the nearest one it can register.
    cbControl->setCurrentIndex(std::clamp(o.myIndex, 0, kLastModifier));
    cbChar->setCurrentIndex(std::clamp(o.myKey, 0, kLetterCount - 1));
    cbRemindersAs->setCurrentIndex(std::clamp(o.ShowRemindersAs, std::int32_t(kRemindersInWindow),
                                              std::int32_t(kRemindersBoth)));
    for (PreferencesPage* page : addedPages_)
        page->FillOptions(o);
}

void TFormPreferences::TakeControls(ROptions& o) const {
    o.IsStartWhenWindow = chStart->isChecked();
    o.IsMinimize = chMin->isChecked();
    o.IsArchiveAllAfterClose = chArchiveAll->isChecked();
    o.FontDisplayName = Std(EditSample->font().family());
    o.FontDisplaySize = EditSample->font().pointSize();
    o.ForPrint.scaleOfPrint = spinscale->value();
    o.ForPrint.PrintFontName = Std(EFontOfPrint->font().family());
    o.ForPrint.PrintFontSize = EFontOfPrint->font().pointSize();
    o.Isplaysound = chplay->isChecked();
    // Only the name is kept: the sound is always played from the music folder.
    const QString sound = EditSound->text();
    o.FilenameOfSound = Std(sound.mid(sound.lastIndexOf(QLatin1Char('/')) + 1));
    const auto formatAt = [](const std::vector<std::string>& formats, int index,
                             const std::string& keep) {
        return index >= 0 && std::size_t(index) < formats.size() ? formats[std::size_t(index)]
                                                                 : keep;
    };
    o.DateFormat = formatAt(dm_.DateFormats, chDate->currentIndex(), o.DateFormat);
    o.TimeFormat = formatAt(dm_.TimeFormats, chTime->currentIndex(), o.TimeFormat);
    o.myIndex = cbControl->currentIndex();
    o.myKey = cbChar->currentIndex();
    o.FirstDayOfWeek = cbWeekStart->currentIndex();
    o.ShowRemindersAs = cbRemindersAs->currentIndex();
    for (const PreferencesPage* page : addedPages_)
        page->TakeOptions(o);
}

void TFormPreferences::chStartClick() {
    chMin->setEnabled(chStart->isChecked());
}

void TFormPreferences::chplayClick() {
    btnsound->setEnabled(chplay->isChecked());
    EditSound->setEnabled(btnsound->isEnabled());
}

void TFormPreferences::btnsoundClick() {
    const QString music = MusicFolder();
    desktop::FileRequest request;
    request.caption = S("Select WAV sound file");
    request.directory = music;
    request.filter = S("WAV File (*.wav)");
    const std::optional<QString> chosen = desktop::ChooseFile(this, request);
    if (!chosen || chosen->isEmpty())
        return;
    const QFileInfo file(*chosen);
    // A sound that is already in the music folder (by any spelling of its path) stays where
    // it is.
    const QString folder = file.absolutePath() + QLatin1Char('/');
    const QString canonicalMusic = QFileInfo(music).canonicalFilePath();
    if (folder == music || (!canonicalMusic.isEmpty() && file.canonicalPath() == canonicalMusic)) {
        EditSound->setText(music + file.fileName());
        return;
    }
    const QString reason = CopyInto(file.absoluteFilePath(), music);
    if (!reason.isEmpty()) {
        // The sound chosen before stays: a sound that was never copied could not be played.
        desktop::MessageBox::Error(this, S("The WAV file '") + file.absoluteFilePath() +
                                             S("' could not be copied to '") + music + S("': ") +
                                             reason);
        return;
    }
    desktop::MessageBox::Information(
        this, S("The WAV file has been copied to '") + music + S("'") + S(" successfully!"));
    EditSound->setText(music + file.fileName());
}

void TFormPreferences::ChooseFont(QLineEdit* edit) {
    const std::optional<QFont> chosen = desktop::PickFont(this, edit->font());
    if (!chosen)
        return;
    // Only the name and the size are kept, not the style or colour.
    QFont font(chosen->family());
    int size = chosen->pointSize();
    if (size <= 0)  // a font given in pixels
        size = edit->font().pointSize();
    font.setPointSize(std::clamp(size, int(kMinFontSize), int(kMaxFontSize)));
    edit->setFont(font);
    edit->setText(FontText(font));
}

void TFormPreferences::SpeedButton1Click() {
    // The options change only once everything on OK has worked: a dialog that stays open
    // and is then cancelled leaves them as they were.
    ROptions taken = dm_.Options;
    TakeControls(taken);
    const bool written =
        taken.IsStartWhenWindow ? autorun_.write(executablePath_) : (autorun_.remove(), true);
    if (!written) {
        desktop::MessageBox::Error(this, S("Failed to set data for 'Quenlaris Calendar'"));
        return;
    }
    dm_.Options = taken;
    accept();
}

}  // namespace qcal
