// The delivered alarm sound: a WAV file any player reads (PCM, 44.1 kHz, 16-bit mono), about
// a second long, audible, never clipped, and ending in silence rather than a click.

#include <QFile>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

std::uint32_t Le(const QByteArray& b, qsizetype at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = (v << 8) | std::uint8_t(b[at + i]);
    }
    return v;
}

}  // namespace

class TestDeliveredSound : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QFile file(QStringLiteral(QCAL_DELIVERED_SOUND));
        QVERIFY2(file.open(QIODevice::ReadOnly), QCAL_DELIVERED_SOUND);
        bytes_ = file.readAll();
    }

    void header() {
        QVERIFY(bytes_.size() > 44);
        QCOMPARE(bytes_.mid(0, 4), QByteArray("RIFF"));
        QCOMPARE(qsizetype(Le(bytes_, 4, 4)) + 8, bytes_.size());
        QCOMPARE(bytes_.mid(8, 8), QByteArray("WAVEfmt "));
        QCOMPARE(Le(bytes_, 16, 4), 16u);     // plain PCM fmt chunk
        QCOMPARE(Le(bytes_, 20, 2), 1u);      // PCM
        QCOMPARE(Le(bytes_, 22, 2), 1u);      // mono
        QCOMPARE(Le(bytes_, 24, 4), 44100u);  // rate
        QCOMPARE(Le(bytes_, 28, 4), 88200u);  // bytes per second
        QCOMPARE(Le(bytes_, 32, 2), 2u);      // frame
        QCOMPARE(Le(bytes_, 34, 2), 16u);     // bits
        QCOMPARE(bytes_.mid(36, 4), QByteArray("data"));
        QCOMPARE(qsizetype(Le(bytes_, 40, 4)), bytes_.size() - 44);
    }

    void sound() {
        QVERIFY(bytes_.size() > 44);
        std::vector<int> s;
        for (qsizetype at = 44; at + 1 < bytes_.size(); at += 2) {
            s.push_back(std::int16_t(Le(bytes_, at, 2)));
        }
        const double seconds = double(s.size()) / 44100;
        QVERIFY2(seconds >= 0.5 && seconds <= 2.0, qPrintable(QString::number(seconds)));

        int peak = 0;
        double energy = 0;
        for (int v : s) {
            peak = std::max(peak, std::abs(v));
            energy += double(v) * v;
        }
        const double rms = std::sqrt(energy / double(s.size()));
        // Clipped audio sits at full scale; a sound this quiet is not heard over a room.
        QVERIFY2(peak < 32000, qPrintable(QString::number(peak)));
        QVERIFY2(peak > 8000, qPrintable(QString::number(peak)));
        QVERIFY2(rms > 1000, qPrintable(QString::number(rms)));

        // Starts and ends near zero: no click at either end.
        QVERIFY(std::abs(s.front()) < 300);
        for (std::size_t i = s.size() - 441; i < s.size(); ++i) {  // the last 10 ms
            QVERIFY2(std::abs(s[i]) < 300, qPrintable(QString::number(s[i])));
        }
    }

private:
    QByteArray bytes_;
};

QTEST_GUILESS_MAIN(TestDeliveredSound)
#include "test_deliveredsound.moc"
