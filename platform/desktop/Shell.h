#pragma once

// The desktop shell's services the program asks for: whether a notification area (tray) is
// there to keep the program, and opening a web or mail address with the user's default
// program. Tests replace both.

#include <QIcon>
#include <QUrl>

#include <functional>
#include <optional>

namespace qcal::desktop {

// The product's web page and the support mail address (the about box shows them).
inline constexpr char kWebsiteAddress[] = "https://quenlaris-calendar.example.org/";
inline constexpr char kSupportMailAddress[] = "support@quenlaris-calendar.example.org";

// The program's icon (a calendar page), drawn for the window, the task bar and the tray.
QIcon ProgramIcon();

// True when a tray host runs, so that a window sent to the tray can be brought back from it.
bool TrayAvailable();
// Tests: pretend a tray host is (true) or is not (false) there; std::nullopt asks the desktop.
void SetTrayAvailableForTesting(std::optional<bool> available);

// Opens url with the desktop's default handler. A failure is left to the desktop to show.
void OpenUrl(const QUrl& url);
// The product's web page; "mailto:" + the support address.
void OpenWebsite();
void OpenSupportMail();
// Tests: receive the addresses instead of a browser or mail program; an empty function ends
// the replacement.
void SetUrlOpenerForTesting(std::function<void(const QUrl&)> opener);

}  // namespace qcal::desktop
