#pragma once

// Finds a window's control by its object name; a missing control ends the test program.

#include <QObject>
#include <QString>

namespace qcal::test {

template <class T>
T* Child(const QObject& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr)
        qFatal("no control named %s", name);
    return child;
}

}  // namespace qcal::test
