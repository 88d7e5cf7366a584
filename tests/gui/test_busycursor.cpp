// The hourglass guard: however a scope ends, the cursor is what it was before, and an inner
// guard released early never takes back an outer one's hourglass.

#include <QApplication>
#include <QtTest>

#include "widgets/BusyCursor.h"

class TestBusyCursor : public QObject {
    Q_OBJECT
private slots:
    void cursorComesBack() {
        for (int releases : {0, 1, 2}) {
            {
                qcal::desktop::BusyCursor outer;
                {
                    qcal::desktop::BusyCursor inner;
                    for (int i = 0; i < releases; ++i)
                        inner.Release();
                }
                QVERIFY(QApplication::overrideCursor() != nullptr);
            }
            QVERIFY(QApplication::overrideCursor() == nullptr);
        }
    }
};

QTEST_MAIN(TestBusyCursor)
#include "test_busycursor.moc"
