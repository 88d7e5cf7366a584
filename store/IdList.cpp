#include "store/IdList.h"

namespace qcal {

std::string IdListText(std::span<const std::int64_t> ids, IdListBlanks blanks) {
    if (ids.empty()) {
        return {};
    }
    std::string text = blanks == IdListBlanks::None ? "(" : " (";
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (i > 0) {
            text += ',';
        }
        text += std::to_string(ids[i]);
    }
    text += blanks == IdListBlanks::Around ? ") " : ")";
    return text;
}

}  // namespace qcal
