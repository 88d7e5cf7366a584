// The editor's input rules without a window: the first failing rule answers with its message.

#include <QTest>

#include <string>

#include "core/EventChecks.h"

using namespace qcal;

namespace {

double D(int y, unsigned m, unsigned d) {
    return EncodeDate(y, m, d);
}

}  // namespace

class TestEventChecks : public QObject {
    Q_OBJECT

private slots:
    void firstFailingRule_data() {
        QTest::addColumn<QByteArray>("layer");
        QTest::addColumn<QByteArray>("subject");
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<int>("type");
        QTest::addColumn<double>("begin");
        QTest::addColumn<double>("end");
        QTest::addColumn<QByteArray>("mask");
        QTest::addColumn<QByteArray>("message");
        const double t9 = EncodeTime(9, 0), t10 = EncodeTime(10, 0);
        const double jan1 = D(2027, 1, 1);
        auto row = [&](const char* name, const char* layer, const char* subject, double from,
                       double to, int type, double begin, double end, const char* mask,
                       const char* message) {
            QTest::newRow(name) << QByteArray(layer) << QByteArray(subject) << from << to << type
                                << begin << end << QByteArray(mask) << QByteArray(message);
        };
        const char* layerMsg = "The layer name can not be blank!";
        const char* subjectMsg = "The subject can not be blank!";
        const char* timeMsg = "The time of End must be later than the time of Begin!";
        const char* dailyMsg =
            "When the Daily item of Repeat selected,the date of And\r"
            "must later at least 1 day than the date of Between!";
        const char* weeklyMsg =
            "When the Weekly item of Repeat selected,the date of And\r"
            "must later at least 1 week than the date of Between!";
        const char* noDayMsg = "When the Weekly item selected,\rYou must select at least a day!";
        const char* monthlyMsg =
            "When the Monthly item of Repeat selected,the date of And\r"
            "must later at least 1 month than the date of Between!";
        const char* yearlyMsg =
            "When the Yearly item of Repeat selected,the date of And\r"
            "must later at least 1 year than the date of Between!";

        row("no layer", "", "Meeting", t9, t10, 0, jan1, jan1, "TTTTTTT", layerMsg);
        row("layer before everything", " \t", "", t10, t9, 2, jan1, jan1, "FFFFFFF", layerMsg);
        row("layer of a no-break space", "\xC2\xA0", "x", t9, t10, 0, jan1, jan1, "", layerMsg);
        row("subject of three spaces", "Work", "   ", t9, t10, 0, jan1, jan1, "", subjectMsg);
        row("subject of control characters", "Work", "\t \x01\x7F", t9, t10, 0, jan1, jan1, "",
            subjectMsg);
        row("subject of C1 control and ideographic space", "Work", "\xC2\x85\xE3\x80\x80", t9, t10,
            0, jan1, jan1, "", subjectMsg);
        row("subject before times", "Work", "", t10, t9, 0, jan1, jan1, "", subjectMsg);
        row("equal times on other days", "Work", "Meeting", t9, t9, 1, jan1, D(2027, 1, 5), "",
            timeMsg);
        row("end before begin", "Work", "Meeting", t10, t9, 0, jan1, jan1, "", timeMsg);
        row("daily same day", "Work", "Meeting", t9, t10, 1, jan1, jan1, "", dailyMsg);
        row("daily end before begin", "Work", "Meeting", t9, t10, 1, jan1, D(2026, 12, 1), "",
            dailyMsg);
        row("weekly 6 days", "Work", "Meeting", t9, t10, 2, jan1, D(2027, 1, 7), "TTTTTTT",
            weeklyMsg);
        row("weekly span before weekdays", "Work", "Meeting", t9, t10, 2, jan1, D(2027, 1, 7),
            "FFFFFFF", weeklyMsg);
        row("weekly no day", "Work", "Meeting", t9, t10, 2, jan1, D(2027, 1, 8), "FFFFFFF",
            noDayMsg);
        row("monthly 27 days", "Work", "Meeting", t9, t10, 3, jan1, D(2027, 1, 28), "", monthlyMsg);
        row("yearly 364 days", "Work", "Meeting", t9, t10, 4, D(2027, 3, 1), D(2028, 2, 28), "",
            yearlyMsg);

        row("once", "Work", "Meeting", t9, t10, 0, jan1, jan1, "FFFFFFF", "");
        row("padded texts", " Work\n", "\t x ", 0.0, EncodeTime(0, 0, 1), 0, jan1, jan1, "", "");
        row("subject of a non-breaking letter", "Work", "\xC3\xA9", t9, t10, 0, jan1, jan1, "", "");
        row("subject of a stray UTF-8 byte", "Work", "\x80", t9, t10, 0, jan1, jan1, "", "");
        row("subject of an overlong space", "Work", "\xC0\xA0", t9, t10, 0, jan1, jan1, "", "");
        row("daily 1 day", "Work", "Meeting", t9, t10, 1, jan1, D(2027, 1, 2), "", "");
        row("weekly 7 days, lower-case t", "Work", "Meeting", t9, t10, 2, jan1, D(2027, 1, 8),
            "ffffftf", "");
        row("monthly 28 days in January", "Work", "Meeting", t9, t10, 3, jan1, D(2027, 1, 29), "",
            "");
        row("yearly 365 days over a leap day", "Work", "Meeting", t9, t10, 4, D(2027, 3, 1),
            D(2028, 2, 29), "", "");
        row("kind outside the list has no date rule", "Work", "Meeting", t9, t10, 9, jan1,
            D(2026, 1, 1), "", "");
    }
    void firstFailingRule() {
        QFETCH(QByteArray, layer);
        QFETCH(QByteArray, subject);
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(int, type);
        QFETCH(double, begin);
        QFETCH(double, end);
        QFETCH(QByteArray, mask);
        QFETCH(QByteArray, message);
        tfield e;
        e.layername = layer.toStdString();
        e.subject = subject.toStdString();
        e.beginTime = from;
        e.endtime = to;
        e.repeatType = type;
        e.begindate = begin;
        e.enddate = end;
        e.weekSelected0 = mask.toStdString();
        QCOMPARE(QByteArray(CheckEvent(e).data(), qsizetype(CheckEvent(e).size())), message);
    }
};

QTEST_APPLESS_MAIN(TestEventChecks)
#include "test_eventchecks.moc"
