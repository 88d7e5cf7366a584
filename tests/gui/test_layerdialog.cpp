// The layer dialog: presets, name checks, colour choice, saving and cancelling.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <optional>

#include "support/StoreFixture.h"
#include "support/TestText.h"
#include "ui/main/LayerDialog.h"
#include "widgets/ColouredRow.h"
#include "widgets/Convert.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageBox.h"

using namespace qcal;
using qcal::desktop::MessageBox;
using qcal::test::Q;
using qcal::test::ReadFile;
using qcal::test::StoreFixture;
using Mode = TmyFormLayer::Mode;

Q_DECLARE_METATYPE(TmyFormLayer::Mode)
Q_DECLARE_METATYPE(qcal::tlayinfo)
Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(std::optional<QColor>)

namespace {

constexpr TColor kRed = 0x000000FF;
constexpr TColor kSystemHighlight = 0x8000000D;
constexpr TColor kPaleGreen = 0x00C0DCC0;

const arraylayinfo kStartLayers{{"Work", kRed, true}, {"Home", kSystemHighlight, false}};

QString IniPath(const StoreFixture& fx) {
    return desktop::Q(fx.dm->SetupIniPath());
}

// A fixture whose table and setup.ini hold kStartLayers.
void Prepare(StoreFixture& fx) {
    fx.dm->Layers = kStartLayers;
    QVERIFY(fx.dm->SaveLayers());
}

// What a fresh start reads from setup.ini.
arraylayinfo Reloaded(StoreFixture& fx) {
    test::RecordingErrorReporter errors;
    TDataMod other(fx.folder(), errors);
    other.LoadLayers();
    return other.Layers;
}

QList<MessageBox::Shown> OneError(const QString& text) {
    return {MessageBox::Shown{MessageBox::Kind::Error, text}};
}

QColor Background(const QLabel* panel) {
    return panel->palette().color(QPalette::Window);
}

}  // namespace

class TestLayerDialog : public QObject {
    Q_OBJECT

private slots:
    void init() { MessageBox::StartRecording(); }
    void cleanup() {
        MessageBox::StopRecording();
        desktop::SetColorPickerForTesting({});
    }

    void presets_data() {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("okText");
        QTest::addColumn<QString>("name");
        QTest::addColumn<uint>("color");
        QTest::addColumn<bool>("checked");
        QTest::newRow("new") << Mode::New << -1 << Q("New Layer") << Q("&Add")
                             << Q("Input a new name") << uint(kPaleGreen) << true;
        QTest::newRow("edit active")
            << Mode::Edit << 0 << Q("Edit Layer") << Q("&Save") << Q("Work") << uint(kRed) << true;
        QTest::newRow("edit system colour") << Mode::Edit << 1 << Q("Edit Layer") << Q("&Save")
                                            << Q("Home") << uint(kSystemHighlight) << false;
    }
    void presets() {
        QFETCH(Mode, mode);
        QFETCH(int, index);
        QFETCH(QString, title);
        QFETCH(QString, okText);
        QFETCH(QString, name);
        QFETCH(uint, color);
        QFETCH(bool, checked);
        StoreFixture fx;
        Prepare(fx);
        TmyFormLayer dlg(*fx.dm, mode, index, nullptr);
        dlg.show();
        QCOMPARE(dlg.windowTitle(), title);
        QCOMPARE(dlg.btnOk->text(), okText);
        QCOMPARE(dlg.Edit1->text(), name);
        QCOMPARE(dlg.CheckBox1->isChecked(), checked);
        const QColor swatch = desktop::ToQColor(TColor(color));
        QCOMPARE(Background(dlg.Panel1), swatch);
        QCOMPARE(Background(dlg.Panel2), swatch);
        // Both samples write in the ink that reads on the layer colour.
        QCOMPARE(dlg.Panel1->palette().color(QPalette::WindowText), ContrastingTextColor(swatch));
        QCOMPARE(dlg.Panel2->palette().color(QPalette::WindowText), ContrastingTextColor(swatch));
        QVERIFY(dlg.btnOk->isDefault());
        QVERIFY(dlg.btnOk->isEnabled());
        QCOMPARE(dlg.size(), QSize(266, 188));
        QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
        QVERIFY(
            !(dlg.windowFlags() & (Qt::WindowContextHelpButtonHint | Qt::WindowMinimizeButtonHint |
                                   Qt::WindowMaximizeButtonHint)));
        if (mode == Mode::New)
            QCOMPARE(dlg.focusWidget(), dlg.Edit1);
        // A second show keeps what the user typed.
        dlg.Edit1->setText(QStringLiteral("typed"));
        dlg.hide();
        dlg.show();
        QCOMPARE(dlg.Edit1->text(), QStringLiteral("typed"));
    }

    void accepted_data() {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<int>("index");
        QTest::addColumn<std::optional<QString>>("typed");  // none: the preset stays
        QTest::addColumn<tlayinfo>("stored");
        QTest::newRow("new untouched") << Mode::New << -1 << std::optional<QString>()
                                       << tlayinfo{"Input a new name", kPaleGreen, true};
        QTest::newRow("new blanks trimmed")
            << Mode::New << -1 << std::optional<QString>(Q("  Travel \t"))
            << tlayinfo{"Travel", kPaleGreen, true};
        QTest::newRow("new control characters trimmed")
            << Mode::New << -1 << std::optional<QString>(Q("\x01\r\nTravel\x7f\x1b "))
            << tlayinfo{"Travel", kPaleGreen, true};
        QTest::newRow("new inner blanks kept")
            << Mode::New << -1 << std::optional<QString>(Q(" Day  off "))
            << tlayinfo{"Day  off", kPaleGreen, true};
        QTest::newRow("new non-ASCII") << Mode::New << -1 << std::optional<QString>(Q("Würk"))
                                       << tlayinfo{"Würk", kPaleGreen, true};
        QTest::newRow("edit own name in other case")
            << Mode::Edit << 0 << std::optional<QString>(Q("WORK")) << tlayinfo{"WORK", kRed, true};
        QTest::newRow("edit unchanged keeps system colour")
            << Mode::Edit << 1 << std::optional<QString>()
            << tlayinfo{"Home", kSystemHighlight, false};
    }
    void accepted() {
        QFETCH(Mode, mode);
        QFETCH(int, index);
        QFETCH(std::optional<QString>, typed);
        QFETCH(tlayinfo, stored);
        StoreFixture fx;
        Prepare(fx);
        TmyFormLayer dlg(*fx.dm, mode, index, nullptr);
        dlg.show();
        if (typed)
            dlg.Edit1->setText(*typed);
        dlg.btnOk->click();

        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(!dlg.isVisible());
        QCOMPARE(MessageBox::TakeShown(), QList<MessageBox::Shown>());
        arraylayinfo expected = kStartLayers;
        if (mode == Mode::New)
            expected.push_back(stored);
        else
            expected[std::size_t(index)] = stored;
        QCOMPARE(fx.dm->Layers, expected);
        QCOMPARE(Reloaded(fx), expected);
        QVERIFY(fx.errors.shown.empty());
    }

    void refused_data() {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        const QString exists = Q("The layer name already exists, please input again!");
        const QString blank = Q("The layer mame can not be blank!");
        const QString quote = Q("The layer mame can not include single quotation!");
        QTest::newRow("new same name other case") << Mode::New << -1 << Q("work") << exists;
        QTest::newRow("new duplicate after trimming")
            << Mode::New << -1 << Q(" \x02HOME\t") << exists;
        QTest::newRow("edit onto another layer") << Mode::Edit << 1 << Q("wOrK") << exists;
        QTest::newRow("new empty") << Mode::New << -1 << Q("") << blank;
        QTest::newRow("new blanks and controls only")
            << Mode::New << -1 << Q(" \t\x03\x7f ") << blank;
        QTest::newRow("edit empty") << Mode::Edit << 0 << Q("   ") << blank;
        QTest::newRow("new quote") << Mode::New << -1 << Q("Bob's") << quote;
        QTest::newRow("edit quote only") << Mode::Edit << 0 << Q("'") << quote;
    }
    void refused() {
        QFETCH(Mode, mode);
        QFETCH(int, index);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        StoreFixture fx;
        Prepare(fx);
        const QByteArray fileBefore = ReadFile(IniPath(fx));
        TmyFormLayer dlg(*fx.dm, mode, index, nullptr);
        dlg.show();
        dlg.Edit1->setText(typed);
        dlg.btnOk->click();

        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(MessageBox::TakeShown(), OneError(message));
        QCOMPARE(dlg.Edit1->text(), typed);
        QCOMPARE(fx.dm->Layers, kStartLayers);
        QCOMPARE(ReadFile(IniPath(fx)), fileBefore);
    }

    void pickColor_data() {
        QTest::addColumn<bool>("doubleClick");
        QTest::addColumn<std::optional<QColor>>("answer");
        QTest::addColumn<uint>("stored");
        const std::optional<QColor> yellow = QColor(255, 255, 0);
        QTest::newRow("button, chosen") << false << yellow << 0x0000FFFFu;
        QTest::newRow("button, cancelled") << false << std::optional<QColor>() << uint(kRed);
        QTest::newRow("double click, chosen") << true << yellow << 0x0000FFFFu;
        QTest::newRow("double click, cancelled") << true << std::optional<QColor>() << uint(kRed);
    }
    void pickColor() {
        QFETCH(bool, doubleClick);
        QFETCH(std::optional<QColor>, answer);
        QFETCH(uint, stored);
        StoreFixture fx;
        Prepare(fx);
        QList<QColor> offered;
        desktop::SetColorPickerForTesting([&](const QColor& initial) {
            offered.append(initial);
            return answer;
        });
        TmyFormLayer dlg(*fx.dm, Mode::Edit, 0, nullptr);
        dlg.show();
        if (doubleClick)
            QTest::mouseDClick(dlg.Panel1, Qt::LeftButton);
        else
            dlg.SpeedButton1->click();

        QCOMPARE(offered, QList<QColor>{QColor(255, 0, 0)});
        const QColor shown = desktop::ToQColor(TColor(stored));
        QCOMPARE(Background(dlg.Panel1), shown);
        QCOMPARE(Background(dlg.Panel2), shown);
        dlg.btnOk->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(fx.dm->Layers[0].color, TColor(stored));
        QCOMPARE(Reloaded(fx)[0].color, TColor(stored));
    }

    void cancel_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("cancel button") << false;
        QTest::newRow("close box") << true;
    }
    void cancel() {
        QFETCH(bool, closeBox);
        StoreFixture fx;
        Prepare(fx);
        const QByteArray fileBefore = ReadFile(IniPath(fx));
        desktop::SetColorPickerForTesting([](const QColor&) { return QColor(Qt::yellow); });
        TmyFormLayer dlg(*fx.dm, Mode::Edit, 0, nullptr);
        dlg.show();
        dlg.Edit1->setText(QStringLiteral("Office"));
        dlg.CheckBox1->setChecked(false);
        dlg.SpeedButton1->click();
        if (closeBox)
            dlg.close();
        else
            dlg.BtnCancel->click();

        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(fx.dm->Layers, kStartLayers);
        QCOMPARE(ReadFile(IniPath(fx)), fileBefore);
        QCOMPARE(MessageBox::TakeShown(), QList<MessageBox::Shown>());
    }

    // An edit index outside the table leaves nothing to save: only Cancel is offered.
    void editIndexOutsideTable_data() {
        QTest::addColumn<int>("index");
        QTest::newRow("negative") << -1;
        QTest::newRow("one past the end") << 2;
        QTest::newRow("far past the end") << 1000;
    }
    void editIndexOutsideTable() {
        QFETCH(int, index);
        StoreFixture fx;
        Prepare(fx);
        const QByteArray fileBefore = ReadFile(IniPath(fx));
        TmyFormLayer dlg(*fx.dm, Mode::Edit, index, nullptr);
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Edit Layer"));
        QVERIFY(!dlg.btnOk->isEnabled());
        dlg.Edit1->setText(QStringLiteral("Travel"));
        QTest::keyClick(dlg.Edit1, Qt::Key_Return);
        dlg.btnOk->click();
        QVERIFY(dlg.isVisible());
        QCOMPARE(fx.dm->Layers, kStartLayers);
        QCOMPARE(ReadFile(IniPath(fx)), fileBefore);
        dlg.BtnCancel->click();
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
    }

    // When setup.ini cannot be written the table goes back to what the file holds and the
    // dialog stays open; a later try that succeeds closes it.
    void saveFailureKeepsTableAndDialog_data() {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<int>("index");
        QTest::newRow("new") << Mode::New << -1;
        QTest::newRow("edit") << Mode::Edit << 0;
    }
    void saveFailureKeepsTableAndDialog() {
        QFETCH(Mode, mode);
        QFETCH(int, index);
        StoreFixture fx;
        fx.dm->Layers = kStartLayers;
        QDir folder(fx.dir.path());
        QVERIFY(folder.mkdir(QStringLiteral("setup.ini")));
        TmyFormLayer dlg(*fx.dm, mode, index, nullptr);
        dlg.show();
        dlg.Edit1->setText(QStringLiteral("Travel"));
        dlg.btnOk->click();

        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(fx.dm->Layers, kStartLayers);
        QCOMPARE(fx.errors.shown.size(), std::size_t(1));
        QCOMPARE(dlg.Edit1->text(), QStringLiteral("Travel"));

        QVERIFY(folder.rmdir(QStringLiteral("setup.ini")));
        dlg.btnOk->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        arraylayinfo expected = kStartLayers;
        if (mode == Mode::New)
            expected.push_back({"Travel", kPaleGreen, true});
        else
            expected[0].name = "Travel";
        QCOMPARE(Reloaded(fx), expected);
        QCOMPARE(MessageBox::TakeShown(), QList<MessageBox::Shown>());
    }
};

QTEST_MAIN(TestLayerDialog)
#include "test_layerdialog.moc"
