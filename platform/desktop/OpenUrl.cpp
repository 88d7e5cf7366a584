#include "platform/desktop/OpenUrl.h"

#include <QDesktopServices>

namespace qcal::desktop {
namespace {

UrlOpener& urlOpener() {
    static UrlOpener opener;
    return opener;
}

}  // namespace

bool OpenUrl(const QUrl& url) {
    if (urlOpener())
        return urlOpener()(url);
    return QDesktopServices::openUrl(url);
}

void SetUrlOpenerForTesting(UrlOpener opener) {
    urlOpener() = std::move(opener);
}

}  // namespace qcal::desktop
