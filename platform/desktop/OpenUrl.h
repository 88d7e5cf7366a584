#pragma once

// Opening a web or mail address with the desktop's default program, behind a seam that tests
// replace so that no browser starts.

#include <QUrl>

#include <functional>

namespace qcal::desktop {

// False when the desktop has no program for the address.
bool OpenUrl(const QUrl& url);

using UrlOpener = std::function<bool(const QUrl&)>;
void SetUrlOpenerForTesting(UrlOpener opener);

}  // namespace qcal::desktop
