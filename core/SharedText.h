#pragma once

// A text that copies share: copying it takes no memory of its own. Read as a std::string;
// assigning a new text replaces it for this copy only.

#include <memory>
#include <string>

namespace qcal {

class SharedText {
public:
    SharedText() = default;
    SharedText(std::string text)  // NOLINT(google-explicit-constructor): reads as a string
        : text_(text.empty() ? nullptr : std::make_shared<const std::string>(std::move(text))) {}
    SharedText(const char* text) : SharedText(std::string(text)) {}  // NOLINT
    // A text kept elsewhere, for instance one of many that share one allocation.
    explicit SharedText(std::shared_ptr<const std::string> text) : text_(std::move(text)) {}

    const std::string& str() const { return text_ ? *text_ : Empty(); }
    operator const std::string&() const { return str(); }  // NOLINT
    bool empty() const { return str().empty(); }
    std::size_t size() const { return str().size(); }

    friend bool operator==(const SharedText& a, const SharedText& b) { return a.str() == b.str(); }

private:
    static const std::string& Empty() {
        static const std::string empty;
        return empty;
    }

    std::shared_ptr<const std::string> text_;
};

}  // namespace qcal
