// Help: every window asks for its own topic, every topic the program asks for has a page with
// a title, and the about box with its links.

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest>

#include <functional>
#include <map>
#include <set>

#include "alarm/AlarmWindow.h"
#include "platform/desktop/Shell.h"
#include "support/TestText.h"
#include "support/WindowFixture.h"
#include "ui/editor/EventEditor.h"
#include "ui/main/AboutBox.h"
#include "ui/main/LayerDialog.h"
#include "ui/main/PreferencesDialog.h"
#include "widgets/Help.h"
#include "widgets/HelpWindow.h"

using namespace qcal;
using namespace qcal::test;

namespace {

const TDateTime kNow = EncodeDateTime(2027, 1, 7, 10, 0);
const QString kHelpFolder = QStringLiteral(QCAL_HELP_DIR);

struct Asked {
    int context;
    QWidget* parent;
};

// Each way of asking for help, by the window and the key or button it is asked with.
using Trigger = std::function<void(WindowFixture&, std::vector<Asked>&)>;

const std::map<QString, Trigger>& Triggers() {
    static const std::map<QString, Trigger> triggers{
        {Q("main window Help button"),
         [](WindowFixture& fx, auto&) { Child<QToolButton>(*fx.window, "btnHelp")->click(); }},
        {Q("main window Help menu item"),
         [](WindowFixture& fx, auto&) { Child<QAction>(*fx.window, "Help1")->trigger(); }},
        {Q("main window F1"),
         [](WindowFixture& fx, auto&) { QTest::keyClick(fx.window, Qt::Key_F1); }},
        {Q("new event Help button"),
         [](WindowFixture& fx, auto&) {
             TmyFormNewOrEdit dlg(*fx.store.dm, TmyFormNewOrEdit::Mode::New, {}, nullptr);
             dlg.show();
             dlg.BitBtn1->click();
         }},
        {Q("edited event F1"),
         [](WindowFixture& fx, auto&) {
             TmyFormNewOrEdit dlg(*fx.store.dm, TmyFormNewOrEdit::Mode::Edit, {}, nullptr);
             dlg.show();
             QTest::keyClick(dlg.EditSubject, Qt::Key_F1);
         }},
        {Q("edited event Help button"),
         [](WindowFixture& fx, auto&) {
             TmyFormNewOrEdit dlg(*fx.store.dm, TmyFormNewOrEdit::Mode::Edit, {}, nullptr);
             dlg.show();
             dlg.BitBtn1->click();
         }},
        {Q("layer dialog F1"),
         [](WindowFixture& fx, auto&) {
             TmyFormLayer dlg(*fx.store.dm, TmyFormLayer::Mode::New, -1, nullptr);
             dlg.show();
             QTest::keyClick(dlg.Edit1, Qt::Key_F1);
         }},
        {Q("alarm window Help button"),
         [](WindowFixture& fx, auto&) {
             Child<QPushButton>(fx.shell->AlarmWindow(), "SpeedButton4")->click();
         }},
        {Q("preferences Help button"),
         [](WindowFixture& fx, auto&) {
             TFormPreferences dlg(*fx.store.dm, platform::Autorun(fx.store.folder()), "x");
             dlg.show();
             dlg.BitBtn1->click();
         }},
        {Q("preferences F1"),
         [](WindowFixture& fx, auto&) {
             TFormPreferences dlg(*fx.store.dm, platform::Autorun(fx.store.folder()), "x");
             dlg.show();
             QTest::keyClick(dlg.cbChar, Qt::Key_F1);
         }},
        {Q("about box F1"),
         [](WindowFixture&, auto&) {
             Taboutform about;
             about.show();
             QTest::keyClick(about.Button1, Qt::Key_F1);
         }},
    };
    return triggers;
}

// The contexts every window of the program asks for, and the print preview's.
const std::set<int> kContexts{1, 23, 25, 30, 31, 41, 328, 501};

}  // namespace

class TestHelp : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        desktop::SetHelpHandler({});
        desktop::SetUrlOpenerForTesting({});
    }

    void everyWindowAsksForItsTopic_data() {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<int>("context");
        const std::pair<const char*, int> rows[] = {
            {"main window Help button", 1},
            {"main window Help menu item", 1},
            {"main window F1", 1},
            {"new event Help button", 41},
            {"edited event Help button", 23},
            {"edited event F1", 23},
            {"layer dialog F1", 31},
            {"alarm window Help button", 25},
            {"preferences Help button", 501},
            {"preferences F1", 501},
            {"about box F1", 30},
        };
        for (const auto& [trigger, context] : rows)
            QTest::newRow(trigger) << Q(trigger) << context;
    }
    void everyWindowAsksForItsTopic() {
        QFETCH(QString, trigger);
        QFETCH(int, context);
        WindowFixture fx(kNow, {{"Work", 0xFF, true}});
        fx.Open();
        std::vector<Asked> asked;
        desktop::SetHelpHandler([&](int c, QWidget* parent) { asked.push_back({c, parent}); });
        Triggers().at(trigger)(fx, asked);
        QCOMPARE(asked.size(), std::size_t(1));
        QCOMPARE(asked[0].context, context);
        // Asked for over the window it comes from, so that it is not hidden behind it.
        QVERIFY(asked[0].parent != nullptr);
        QVERIFY(kContexts.count(context) == 1);
    }

    void everyTopicHasATitledPage_data() {
        QTest::addColumn<int>("context");
        for (int context : kContexts)
            QTest::newRow(qPrintable(QString::number(context))) << context;
    }
    void everyTopicHasATitledPage() {
        QFETCH(int, context);
        desktop::HelpWindow help(kHelpFolder);
        QVERIFY(help.ShowTopic(context));
        QCOMPARE(help.browser->source().toLocalFile(),
                 desktop::HelpWindow::PagePath(kHelpFolder, context));
        QVERIFY(!help.PageTitle().trimmed().isEmpty());
        QVERIFY(help.windowTitle().endsWith(help.PageTitle()));
        // A real page: more than its title.
        QVERIFY(help.browser->toPlainText().size() > 200);
    }

    void contentsLinkEveryTopicAndEveryLinkLeadsToAPage() {
        const QDir folder(kHelpFolder);
        const QStringList pages = folder.entryList({Q("*.html")}, QDir::Files);
        QVERIFY(pages.contains(Q("index.html")));
        std::set<int> linked;
        const QRegularExpression href(Q("href=\"([^\"#]+)\""));
        for (const QString& page : pages) {
            const QString html = QString::fromUtf8(ReadFile(folder.filePath(page)));
            QVERIFY2(html.contains(Q("<title>")), qPrintable(page));
            for (const auto& match : href.globalMatch(html)) {
                const QString target = match.captured(1);
                QVERIFY2(folder.exists(target), qPrintable(page + Q(" -> ") + target));
                if (page == Q("index.html"))
                    linked.insert(target.section(QLatin1Char('.'), 0, 0).toInt());
            }
        }
        for (int context : kContexts)
            QVERIFY2(linked.count(context) == 1, qPrintable(QString::number(context)));
    }

    void unknownTopicShowsTheContents() {
        desktop::HelpWindow help(kHelpFolder);
        QVERIFY(!help.ShowTopic(9999));
        QCOMPARE(help.browser->source().toLocalFile(), QDir(kHelpFolder).filePath(Q("index.html")));
        QCOMPARE(help.PageTitle(), Q("Quenlaris Calendar Help"));
    }

    void withoutHelpPagesTheWindowSaysWhere() {
        QTemporaryDir empty;
        desktop::HelpWindow help(empty.path());
        QVERIFY(!help.ShowTopic(1));
        QCOMPARE(help.PageTitle(), Q("Help not found"));
        QVERIFY(help.browser->toPlainText().contains(empty.path()));
    }

    void helpFromAModalDialogOpensAboveIt() {
        // No handler: the program's help window answers, as a child of the asking dialog so
        // that the dialog's modality does not block it.
        TFormPreferences* dlgPtr = nullptr;
        StoreFixture store;
        TFormPreferences dlg(*store.dm, platform::Autorun(store.folder()), "x");
        dlgPtr = &dlg;
        dlg.setWindowModality(Qt::ApplicationModal);
        dlg.show();
        dlg.BitBtn1->click();
        auto* help = dlg.findChild<desktop::HelpWindow*>();
        QVERIFY(help);
        QVERIFY(help->isVisible());
        QVERIFY(help->isWindow());
        QCOMPARE(help->window()->parentWidget(), static_cast<QWidget*>(dlgPtr));
        // Once the dialog is closed, the one help window stands on its own.
        dlg.hide();
        desktop::ShowHelp(1, nullptr);
        QVERIFY(!dlg.findChild<desktop::HelpWindow*>());
        QVERIFY(help->isVisible());
        QCOMPARE(help->parentWidget(), nullptr);
        // The test program's folder has no help pages.
        QCOMPARE(help->PageTitle(), Q("Help not found"));
        help->close();
    }

    void aboutBox() {
        Taboutform about;
        about.show();
        QCOMPARE(about.windowTitle(), Q("About Quenlaris Calendar"));
        QCOMPARE(about.size(), QSize(285, 201));
        QCOMPARE(about.Title->text(), Q("Quenlaris Calendar V1.01 (Build 17)"));
        QCOMPARE(about.Button1->text(), Q("Cl&ose"));
        QVERIFY(about.Button1->isDefault());
        QVERIFY(about.Label6->geometry().right() < about.width());
        QVERIFY(about.Label4->geometry().right() < about.width());

        QList<QUrl> opened;
        desktop::SetUrlOpenerForTesting([&](const QUrl& url) { opened << url; });
        QTest::mouseClick(about.Label6, Qt::LeftButton);
        QTest::mouseClick(about.Label4, Qt::LeftButton);
        QCOMPARE(opened, (QList<QUrl>{QUrl(Q(desktop::kWebsiteAddress)),
                                      QUrl(Q("mailto:") + Q(desktop::kSupportMailAddress))}));
        QCOMPARE(opened[1].scheme(), Q("mailto"));

        // Under the pointer a link turns red and underlined, and back to navy when it leaves.
        const auto colour = [](const QLabel* l) {
            return l->palette().color(QPalette::WindowText);
        };
        QCOMPARE(colour(about.Label4), QColor(0, 0, 128));
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QApplication::sendEvent(about.Label4, &enter);
        QCOMPARE(colour(about.Label4), QColor(255, 0, 0));
        QVERIFY(about.Label4->font().underline());
        QCOMPARE(about.Label4->cursor().shape(), Qt::PointingHandCursor);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(about.Label4, &leave);
        QCOMPARE(colour(about.Label4), QColor(0, 0, 128));
        QVERIFY(!about.Label4->font().underline());

        about.Button1->click();
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }

    void mainWindowOffersPreferencesHelpAndAbout() {
        WindowFixture fx(kNow);
        TFormMainCalendar& w = fx.Open();
        QVERIFY(Child<QToolButton>(w, "btnHelp")->isEnabled());
        for (QAction* action : {Child<QAction>(w, "Preferences1"), Child<QAction>(w, "Help1"),
                                Child<QAction>(w, "About1")})
            QVERIFY2(action->isEnabled(), qPrintable(action->text()));
        fx.answer = [](QDialog& dialog) {
            auto* about = qobject_cast<Taboutform*>(&dialog);
            return about ? int(QDialog::Accepted) : -1;
        };
        Child<QAction>(w, "About1")->trigger();
        QCOMPARE(fx.dialogsShown, 1);
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
