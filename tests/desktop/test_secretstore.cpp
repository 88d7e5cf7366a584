// The secret store against a real Secret Service (gnome-keyring on a private session bus), and
// without any store. secret_store.sh runs the functions in the matching surroundings.

#include <QElapsedTimer>
#include <QtTest>

#include "platform/SecretStore.h"
#include "support/TestText.h"

using namespace qcal;
using namespace qcal::test;

class TestSecretStore : public QObject {
    Q_OBJECT
private slots:
    void storeAnswers();
    void roundTrip_data();
    void roundTrip();
    void noStore();
};

// A keyring daemon just started may take longer than a call waits (on a loaded machine, under
// the sanitizers) to make its first collection: wait here until it answers.
void TestSecretStore::storeAnswers() {
    QElapsedTimer clock;
    clock.start();
    while (!ReadSecret(Q("warm-up@https://h/")).storeAvailable && clock.elapsed() < 60000)
        QTest::qWait(200);
    QVERIFY2(clock.elapsed() < 60000, "the keyring daemon never answered");
}

void TestSecretStore::roundTrip_data() {
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("plain") << Q("anna@https://dav.example.org/") << Q("s3cret") << Q("other");
    QTest::newRow("odd characters") << Q("b\xc3\xa9"
                                         "a@http://127.0.0.1:5232/b\xc3\xa9"
                                         "a/")
                                    << Q("p\xc3\xa4"
                                         "ss 'w\"rd\n;=")
                                    << Q("\xe2\x82\xac\xe2\x82\xac");
    QTest::newRow("empty password") << Q("c@https://h/") << QString() << Q("x");
}

// Written, read back, replaced, deleted; two accounts of one server never see each other's.
void TestSecretStore::roundTrip() {
    QFETCH(QString, account);
    QFETCH(QString, first);
    QFETCH(QString, second);
    const QString neighbour = Q("neighbour@") + account.section(QLatin1Char('@'), 1);

    QString problem;
    QVERIFY2(WriteSecret(account, first, &problem), qPrintable(problem));
    QVERIFY2(WriteSecret(neighbour, Q("theirs"), &problem), qPrintable(problem));
    SecretAnswer read = ReadSecret(account);
    QVERIFY2(read.storeAvailable, qPrintable(read.problem));
    QCOMPARE(read.password.value_or(Q("<none>")), first);

    QVERIFY(WriteSecret(account, second));
    QCOMPARE(ReadSecret(account).password.value_or(Q("<none>")), second);

    DeleteSecret(account);
    read = ReadSecret(account);
    QVERIFY(read.storeAvailable);
    QVERIFY(!read.password.has_value());
    QCOMPARE(ReadSecret(neighbour).password.value_or(Q("<none>")), Q("theirs"));
    DeleteSecret(neighbour);
}

// Without a store every call answers at once (well within the wait of a call): never a hang,
// never a success, and the reason is given without the password.
void TestSecretStore::noStore() {
    QElapsedTimer clock;
    clock.start();
    const SecretAnswer read = ReadSecret(Q("anna@https://dav.example.org/"));
    QVERIFY(!read.storeAvailable);
    QVERIFY(!read.password.has_value());
    QVERIFY(!read.problem.isEmpty());
    QString problem;
    QVERIFY(!WriteSecret(Q("anna@https://dav.example.org/"), Q("s3cret"), &problem));
    QVERIFY(!problem.isEmpty() && !problem.contains(Q("s3cret")));
    DeleteSecret(Q("anna@https://dav.example.org/"));
    QVERIFY2(clock.elapsed() < 10000, "the store's calls hung");
}

QTEST_GUILESS_MAIN(TestSecretStore)
#include "test_secretstore.moc"
