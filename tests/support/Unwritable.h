#pragma once

// A folder the test process cannot write to while the guard lives: its mode is 0555, and a
// process running as root, whom the mode does not stop, acts as the user nobody meanwhile.

#include <sys/stat.h>
#include <unistd.h>

#include <QString>

#include <string>

namespace qcal::test {

class Unwritable {
public:
    // root: the temporary folder that holds folder, opened to others so that nobody reaches it.
    Unwritable(const QString& root, const QString& folder) : folder_(folder.toStdString()) {
        ::chmod(folder_.c_str(), 0555);
        if (::geteuid() == 0) {
            ::chmod(root.toStdString().c_str(), 0755);
            asNobody_ = ::seteuid(65534) == 0;
        }
    }
    ~Unwritable() {
        if (asNobody_) [[maybe_unused]]
            const int back = ::seteuid(0);
        ::chmod(folder_.c_str(), 0755);
    }
    Unwritable(const Unwritable&) = delete;
    Unwritable& operator=(const Unwritable&) = delete;

private:
    std::string folder_;
    bool asNobody_ = false;
};

}  // namespace qcal::test
