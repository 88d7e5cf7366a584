#pragma once

// Small conversions and file reads shared by the test programs.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <string>

namespace qcal::test {

inline QString Q(const char* s) {
    return QString::fromUtf8(s);
}
inline std::string Std(const QString& s) {
    return s.toStdString();
}
inline std::string Std(const QByteArray& b) {
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

// The whole file, or nothing when it cannot be read.
inline QByteArray ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    return f.readAll();
}

}  // namespace qcal::test
