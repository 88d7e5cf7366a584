#include "ui/main/LayerDialog.h"

#include <QCheckBox>
#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QToolButton>

#include <string>

#include "core/Ascii.h"
#include "store/DataModule.h"
#include "store/LayerEvents.h"
#include "widgets/ColouredRow.h"
#include "widgets/Convert.h"
#include "widgets/Dialogs.h"
#include "widgets/Glyphs.h"
#include "widgets/Help.h"
#include "widgets/MessageBox.h"

namespace qcal {
namespace {

constexpr TColor kNewLayerColor = 12639424;  // 0xC0DCC0, a pale green

// The colour-selection glyph of the icon theme, else a small four-colour palette.
QIcon ColorGlyph() {
    for (const char* name : {"preferences-desktop-color", "color-select"}) {
        if (QIcon::hasThemeIcon(QString::fromLatin1(name)))
            return QIcon::fromTheme(QString::fromLatin1(name));
    }
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    const QColor colors[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
    for (int i = 0; i < 4; ++i) {
        const QRect square(1 + (i % 2) * 7, 1 + (i / 2) * 7, 6, 6);
        painter.fillRect(square, colors[i]);
        painter.drawRect(square);
    }
    return QIcon(pixmap);
}

}  // namespace

TmyFormLayer::TmyFormLayer(TDataMod& dm, Mode mode, int editIndex, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      dm_(dm),
      mode_(mode),
      editIndex_(editIndex) {
    setFixedSize(266, 188);
    // The layout is measured in pixels for an 8-point sans serif at 96 dpi; a larger desktop
    // font would cut the texts.
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    setFont(font);

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Raised);
    frame->setGeometry(0, 0, 266, 136);

    auto* nameLabel = new QLabel(QStringLiteral("Layer Name"), this);
    nameLabel->move(12, 23);
    nameLabel->adjustSize();

    Edit1 = desktop::TextLine(this);
    Edit1->setGeometry(94, 21, 154, 24);
    nameLabel->setBuddy(Edit1);

    auto* colorLabel = new QLabel(QStringLiteral("Layer Color"), this);
    colorLabel->move(12, 65);
    colorLabel->adjustSize();

    auto* swatch = new QFrame(this);
    swatch->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    swatch->setLineWidth(1);
    swatch->setGeometry(95, 62, 135, 23);
    const QRect inside = swatch->contentsRect();

    Panel1 = new QLabel(QStringLiteral("Highlight"), swatch);
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setAutoFillBackground(true);
    Panel1->setGeometry(inside.left(), inside.top(), 60, inside.height());
    Panel1->installEventFilter(this);

    Panel2 = new QLabel(QStringLiteral("Foreground"), swatch);
    Panel2->setAlignment(Qt::AlignCenter);
    Panel2->setAutoFillBackground(true);
    Panel2->setGeometry(inside.left() + 60, inside.top(), inside.width() - 60, inside.height());

    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setGeometry(228, 62, 25, 22);
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setToolTip(QStringLiteral("Select Color"));
    SpeedButton1->setIcon(ColorGlyph());
    connect(SpeedButton1, &QToolButton::clicked, this, &TmyFormLayer::SpeedButton1Click);

    CheckBox1 = new QCheckBox(QStringLiteral("Display all events belong to this layer"), this);
    CheckBox1->setGeometry(13, 100, 239, 17);

    btnOk = new QPushButton(QStringLiteral("&OK"), this);
    btnOk->setGeometry(45, 150, 75, 26);
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &TmyFormLayer::btnOkClick);

    BtnCancel = new QPushButton(QStringLiteral("Can&cel"), this);
    BtnCancel->setGeometry(150, 150, 75, 26);
    connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    desktop::InstallHelpKey(this, [] { return kHelpTopic; });

    setTabOrder(Edit1, SpeedButton1);
    setTabOrder(SpeedButton1, CheckBox1);
    setTabOrder(CheckBox1, btnOk);
    setTabOrder(btnOk, BtnCancel);
}

QString TmyFormLayer::TrimmedName() const {
    return desktop::TrimBlanks(Edit1->text());
}

void TmyFormLayer::showEvent(QShowEvent* event) {
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
    QDialog::showEvent(event);
}

bool TmyFormLayer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Panel1 && event->type() == QEvent::MouseButtonDblClick) {
        SpeedButton1Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool TmyFormLayer::EditIndexValid() const {
    return editIndex_ >= 0 && std::size_t(editIndex_) < dm_.Layers.size();
}

void TmyFormLayer::FormShow() {
    if (QScreen* desktop = screen()) {
        QRect placed = frameGeometry();
        placed.moveCenter(desktop->availableGeometry().center());
        move(placed.topLeft());
    }

    if (mode_ == Mode::New) {
        setWindowTitle(QStringLiteral("New Layer"));
        btnOk->setText(QStringLiteral("&Add"));
        Edit1->setText(QStringLiteral("Input a new name"));
        color_ = kNewLayerColor;
        CheckBox1->setChecked(true);
        Edit1->selectAll();
        Edit1->setFocus();
    } else {
        setWindowTitle(QStringLiteral("Edit Layer"));
        btnOk->setText(QStringLiteral("&Save"));
        if (EditIndexValid()) {
            const tlayinfo& layer = dm_.Layers[std::size_t(editIndex_)];
            Edit1->setText(desktop::Q(layer.name));
            color_ = layer.color;
            CheckBox1->setChecked(layer.active);
        } else {
            // There is no such layer: nothing can be saved, only cancelled.
            color_ = kNewLayerColor;
            CheckBox1->setChecked(false);
            btnOk->setEnabled(false);
        }
    }

    ShowSwatch();
}

void TmyFormLayer::ShowSwatch() {
    // The samples show lines as the lists draw them: the layer colour behind the ink that
    // reads on it.
    const QColor color = desktop::ToQColor(color_);
    const QColor ink = ContrastingTextColor(color);
    for (QLabel* panel : {Panel1, Panel2}) {
        QPalette p = panel->palette();
        p.setColor(QPalette::Window, color);
        p.setColor(QPalette::WindowText, ink);
        panel->setPalette(p);
    }
}

void TmyFormLayer::SpeedButton1Click() {
    if (const auto chosen = desktop::PickColor(this, desktop::ToQColor(color_))) {
        color_ = desktop::FromQColor(*chosen);
        ShowSwatch();
    }
}

void TmyFormLayer::btnOkClick() {
    const bool editing = mode_ == Mode::Edit;
    if (editing && !EditIndexValid())
        return;

    const std::string t = desktop::Std(TrimmedName());
    for (std::size_t i = 0; i < dm_.Layers.size(); ++i) {
        if (editing && i == std::size_t(editIndex_))
            continue;
        // Only the letters a-z are folded; every other byte, UTF-8 included, compares exactly.
        if (EqualsIgnoringAsciiCase(dm_.Layers[i].name, t)) {
            desktop::MessageBox::Error(
                this, QStringLiteral("The layer name already exists, please input again!"));
            return;
        }
    }
    if (t.empty()) {
        desktop::MessageBox::Error(this, QStringLiteral("The layer mame can not be blank!"));
        return;
    }
    if (t.find('\'') != std::string::npos) {
        desktop::MessageBox::Error(
            this, QStringLiteral("The layer mame can not include single quotation!"));
        return;
    }

    const tlayinfo entry{t, color_, CheckBox1->isChecked()};
    if (editing) {
        // The events follow the new name before the file has it, and take it back when the
        // file cannot be written. A failure has been reported; the dialog stays open for
        // another try or Cancel.
        if (!RenameLayer(dm_, std::size_t(editIndex_), entry))
            return;
        accept();
        return;
    }
    const arraylayinfo before = dm_.Layers;
    dm_.Layers.push_back(entry);
    if (!dm_.SaveLayers()) {
        dm_.Layers = before;
        return;
    }
    accept();
}

}  // namespace qcal
