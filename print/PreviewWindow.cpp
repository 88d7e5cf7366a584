#include "print/PreviewWindow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "core/Names.h"
#include "print/Printing.h"
#include "store/DataModule.h"
#include "widgets/ColouredRow.h"
#include "widgets/Dialogs.h"
#include "widgets/Glyphs.h"
#include "widgets/Help.h"

namespace qcal {
namespace print {

QValidator::State ScaleSpinBox::validate(QString& input, int& pos) const {
    const QValidator::State state = QSpinBox::validate(input, pos);
    if (state != QValidator::Invalid)
        return state;
    // A number beyond the limits may be typed; it is brought within them when read.
    bool number = false;
    input.trimmed().toLongLong(&number);
    return number ? QValidator::Intermediate : QValidator::Invalid;
}

void ScaleSpinBox::fixup(QString& input) const {
    bool number = false;
    const qlonglong value = input.trimmed().toLongLong(&number);
    if (number)
        input = QString::number(std::clamp<qlonglong>(value, minimum(), maximum()));
}

void ScaleSpinBox::keyPressEvent(QKeyEvent* event) {
    QSpinBox::keyPressEvent(event);
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        emit returnPressed();
}

}  // namespace print

namespace {

QString MonthName(int month) {
    const std::string_view name = kMonthNames[std::size_t(std::clamp(month, 1, 12) - 1)];
    return QString::fromLatin1(name.data(), qsizetype(name.size()));
}

QLabel* Caption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    return label;
}

QToolButton* Button(QWidget* parent, const char* name, const char* hint, const char* themeIcon,
                    QStyle::StandardPixmap fallback) {
    QToolButton* button =
        desktop::FlatButton(parent, name, QRect(0, 0, 30, 27), QString::fromLatin1(hint),
                            desktop::Glyph(themeIcon, fallback));
    button->setFixedSize(30, 27);
    button->setIconSize(QSize(20, 20));
    return button;
}

}  // namespace

TFormPreview::TFormPreview(TDataMod& dm, print::MonthHost& host, QPrinter& printer, QWidget* parent)
    : QDialog(parent), dm_(dm), host_(host), printer_(printer) {
    setObjectName(QStringLiteral("FormPreview"));
    setWindowTitle(QStringLiteral("Quenlaris Calendar Preview"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowState(Qt::WindowMaximized);
    resize(800, 600);

    auto* toolbar = new QWidget(this);
    toolbar->setObjectName(QStringLiteral("PanelTool"));
    toolbar->setFixedHeight(41);
    auto* row = new QHBoxLayout(toolbar);
    row->setContentsMargins(6, 4, 6, 4);

    RxSpinYear = new QSpinBox(toolbar);
    RxSpinYear->setObjectName(QStringLiteral("RxSpinYear"));
    RxSpinYear->setRange(1000, 9999);
    // The year is stepped, not typed.
    if (auto* edit = RxSpinYear->findChild<QLineEdit*>())
        edit->setReadOnly(true);
    row->addWidget(RxSpinYear);

    comMonth = new QComboBox(toolbar);
    comMonth->setObjectName(QStringLiteral("comMonth"));
    for (int m = 1; m <= 12; ++m)
        comMonth->addItem(MonthName(m));
    row->addWidget(comMonth);

    row->addSpacing(8);
    row->addWidget(Caption(QStringLiteral("Font:"), toolbar));
    EFontOfPrint = new QLineEdit(toolbar);
    EFontOfPrint->setObjectName(QStringLiteral("EFontOfPrint"));
    EFontOfPrint->setReadOnly(true);
    EFontOfPrint->setMinimumWidth(160);
    row->addWidget(EFontOfPrint);
    SpeedButton4 = Button(toolbar, "SpeedButton4", "Select Font", "preferences-desktop-font",
                          QStyle::SP_FileDialogDetailedView);
    row->addWidget(SpeedButton4);

    row->addSpacing(8);
    row->addWidget(Caption(QStringLiteral("Scale ( % ) :"), toolbar));
    spinscale = new print::ScaleSpinBox(toolbar);
    spinscale->setObjectName(QStringLiteral("spinscale"));
    spinscale->setRange(20, 100);
    row->addWidget(spinscale);

    row->addSpacing(8);
    row->addWidget(Caption(QStringLiteral("Colours:"), toolbar));
    comColours = new QComboBox(toolbar);
    comColours->setObjectName(QStringLiteral("comColours"));
    comColours->addItems(
        {QStringLiteral("full"), QStringLiteral("light tint"), QStringLiteral("none")});
    row->addWidget(comColours);

    btnrefresh =
        Button(toolbar, "btnrefresh", "Refresh View", "view-refresh", QStyle::SP_BrowserReload);
    btnsetup = Button(toolbar, "btnsetup", "Print Setup", "document-page-setup",
                      QStyle::SP_FileDialogListView);
    btnprint = Button(toolbar, "btnprint", "Print", "document-print", QStyle::SP_ComputerIcon);
    btnhelp = Button(toolbar, "btnhelp", "Help", "help-contents", QStyle::SP_DialogHelpButton);
    SpeedButton3 =
        Button(toolbar, "SpeedButton3", "Exit", "application-exit", QStyle::SP_DialogCloseButton);
    for (QToolButton* b : {btnrefresh, btnsetup, btnprint, btnhelp, SpeedButton3})
        row->addWidget(b);
    row->addStretch(1);

    PanelPreview = new QWidget(this);
    PanelPreview->setObjectName(QStringLiteral("PanelPreview"));
    const QString hint = QStringLiteral(
        "While printing, the grid space will be larger than it is in\r\nthis preview window, so "
        "more events will be printed in grid");
    PanelPreview->setToolTip(hint);
    Image1 = new QLabel(PanelPreview);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setToolTip(hint);
    PanelPreview->installEventFilter(this);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(toolbar);
    column->addWidget(PanelPreview, 1);

    connect(RxSpinYear, &QSpinBox::valueChanged, this, &TFormPreview::RxSpinYearChange);
    connect(comMonth, &QComboBox::currentIndexChanged, this, &TFormPreview::RxSpinYearChange);
    connect(SpeedButton4, &QToolButton::clicked, this, &TFormPreview::SpeedButton4Click);
    connect(comColours, &QComboBox::currentIndexChanged, this, &TFormPreview::btnrefreshClick);
    connect(spinscale, &print::ScaleSpinBox::returnPressed, this, &TFormPreview::btnrefreshClick);
    connect(btnrefresh, &QToolButton::clicked, this, &TFormPreview::btnrefreshClick);
    connect(btnsetup, &QToolButton::clicked, this, &TFormPreview::btnsetupClick);
    connect(btnprint, &QToolButton::clicked, this, &TFormPreview::btnprintClick);
    connect(btnhelp, &QToolButton::clicked, this,
            [this] { desktop::ShowHelp(kHelpContext, this); });
    connect(SpeedButton3, &QToolButton::clicked, this, &QDialog::reject);
}

void TFormPreview::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!activated_) {
        activated_ = true;
        FormActivate();
    }
}

void TFormPreview::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        desktop::ShowHelp(kHelpContext, this);
        return;
    }
    // Enter belongs to the scale box, not to the dialog's default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return;
    QDialog::keyPressEvent(event);
}

bool TFormPreview::eventFilter(QObject* watched, QEvent* event) {
    // The image follows the panel, which takes its size when the window is maximised.
    if (watched == PanelPreview && event->type() == QEvent::Resize && activated_) {
        FitPreview();
        DrawPreview();
    }
    return QDialog::eventFilter(watched, event);
}

void TFormPreview::SetPrintFont(const QString& name, int size) {
    QFont font(name);
    font.setPointSize(size > 0 ? size : 8);
    EFontOfPrint->setFont(font);
    EFontOfPrint->setText(name + QStringLiteral(", Size:") + QString::number(font.pointSize()));
}

void TFormPreview::SetTitle() {
    title = MonthName(comMonth->currentIndex() + 1) + QLatin1Char(' ') +
            QString::number(RxSpinYear->value());
}

void TFormPreview::FormActivate() {
    const RForPrint& options = dm_.Options.ForPrint;
    {
        const QSignalBlocker block(spinscale);
        spinscale->setValue(int(options.scaleOfPrint));
        const QSignalBlocker blockColours(comColours);
        const int colours = int(options.PrintColours);
        comColours->setCurrentIndex(
            colours >= 0 && colours < comColours->count() ? colours : int(PrintColours::LightTint));
    }
    SetPrintFont(QString::fromStdString(options.PrintFontName), int(options.PrintFontSize));

    // The printer keeps the orientation for later prints.
    print::PrepareMonthPrinter(printer_);
    pageWidth = printer_.width();
    pageHeight = printer_.height();

    {
        const QSignalBlocker blockYear(RxSpinYear);
        const QSignalBlocker blockMonth(comMonth);
        RxSpinYear->setValue(host_.Year());
        comMonth->setCurrentIndex(host_.Month() - 1);
    }
    SetTitle();
    FitPreview();
    DrawPreview();
}

void TFormPreview::FitPreview() {
    if (pageWidth <= 0 || pageHeight <= 0)
        return;
    const int panelWidth = PanelPreview->width();
    const int panelHeight = PanelPreview->height();
    const double ratio = std::max(
        0.0, std::min(double(panelHeight - 25) / pageHeight, double(panelWidth - 25) / pageWidth));
    const int width = int(pageWidth * ratio);
    const int height = int(pageHeight * ratio);
    image_ = QImage(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    image_.fill(Qt::white);
    Image1->setGeometry((panelWidth - width) / 2, (panelHeight - height) / 2, width, height);
}

void TFormPreview::DrawPreview() {
    image_.fill(Qt::white);
    {
        QPainter painter(&image_);
        print::DrawMonth(painter, image_.width(), dm_.Options.ForPrint, title, image_.height(),
                         host_.Sheet());
    }
    Image1->setPixmap(QPixmap::fromImage(image_));
}

void TFormPreview::btnrefreshClick() {
    // Reads what was typed, brought within the limits.
    spinscale->interpretText();
    RForPrint& options = dm_.Options.ForPrint;
    options.scaleOfPrint = spinscale->value();
    options.PrintFontName = EFontOfPrint->font().family().toStdString();
    options.PrintFontSize = EFontOfPrint->font().pointSize();
    options.PrintColours = comColours->currentIndex();
    dm_.SaveOptions();
    FitPreview();
    DrawPreview();
}

void TFormPreview::SpeedButton4Click() {
    const std::optional<QFont> chosen = desktop::PickFont(this, EFontOfPrint->font());
    if (!chosen)
        return;
    const int size =
        chosen->pointSize() > 0 ? chosen->pointSize() : EFontOfPrint->font().pointSize();
    SetPrintFont(chosen->family(), size);
    btnrefreshClick();
}

void TFormPreview::RxSpinYearChange() {
    if (comMonth->currentIndex() < 0)
        return;
    host_.ShowMonth(RxSpinYear->value(), comMonth->currentIndex() + 1);
    SetTitle();
    btnrefreshClick();
}

void TFormPreview::btnsetupClick() {
    QPageSetupDialog dialog(&printer_, this);
    if (desktop::ExecModal(dialog) != QDialog::Accepted)
        return;
    pageWidth = printer_.width();
    pageHeight = printer_.height();
    FitPreview();
    DrawPreview();
}

void TFormPreview::btnprintClick() {
    print::PrintMonthPage(printer_, dm_.Options.ForPrint, title, host_.Sheet(), dm_.Errors(), this);
}

}  // namespace qcal
