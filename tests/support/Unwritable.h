#pragma once

// While it lives, the test process cannot write into folder: its mode is 0555, and a process
// running as root, whom modes do not stop, acts as the user nobody (root, the temporary folder
// holding folder, is opened for nobody to reach it).

#include <sys/stat.h>
#include <unistd.h>

#include <QString>

namespace qcal::test {

class Unwritable {
public:
    Unwritable(const QString& root, const QString& folder) : folder_(folder.toLocal8Bit()) {
        ::chmod(folder_.constData(), 0555);
        if (::geteuid() == 0 && ::chmod(root.toLocal8Bit().constData(), 0755) == 0)
            nobody_ = ::seteuid(65534) == 0;
    }
    ~Unwritable() {
        if (nobody_ && ::seteuid(0) != 0)
            ::abort();
        ::chmod(folder_.constData(), 0755);
    }

private:
    QByteArray folder_;
    bool nobody_ = false;
};

}  // namespace qcal::test
