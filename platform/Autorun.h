#pragma once

#include <string>

namespace qcal::platform {

// The login start entry: an XDG autostart file that runs the program with "autorun".
class Autorun {
public:
    // autostartDir empty: $XDG_CONFIG_HOME/autostart, else ~/.config/autostart. dataFolder: the
    // folder the entry gives with --data-dir; empty for the folder the program finds itself.
    explicit Autorun(std::string autostartDir = {}, std::string dataFolder = {});

    std::string entryPath() const;
    // Writes the entry atomically; false with the reason in *error on failure.
    bool write(const std::string& executablePath, std::string* error = nullptr) const;
    // Deleting an absent entry is no error.
    bool remove(std::string* error = nullptr) const;
    bool exists() const;

    static std::string EntryText(const std::string& executablePath,
                                 const std::string& dataFolder = {});

private:
    std::string dir_;
    std::string dataFolder_;
};

}  // namespace qcal::platform
