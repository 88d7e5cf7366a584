// The main window's preferences, help and about box commands.

#include <memory>

#include "platform/Autorun.h"
#include "platform/DataFolder.h"
#include "platform/System.h"
#include "session/CalendarSession.h"
#include "store/DataModule.h"
#include "ui/main/AboutBox.h"
#include "ui/main/MainWindow.h"
#include "ui/main/PreferencesDialog.h"
#include "widgets/Dialogs.h"
#include "widgets/Help.h"

namespace qcal {

void TFormMainCalendar::Preferences1Click() {
    if (dm_.RefuseChange())
        return;
    // A data folder given at this start is given to the autostart entry too.
    const std::string& folder = dm_.ProgramFolder();
    const bool given = platform::ChooseDataFolder(std::string()).folder != folder;
    auto dialog = std::make_unique<TFormPreferences>(
        dm_, platform::Autorun({}, given ? folder : std::string()), platform::LauncherPath(), this);
    emit preferencesOpened(dialog.get());
    if (desktop::ExecModal(*dialog) != QDialog::Accepted)
        return;
    // The session announces the save: the font, the shown page and the hot key follow it.
    session_.SaveOptions();
}

void TFormMainCalendar::OptionsChanged() {
    ApplyDisplayFont();
    // The search page searches again by itself.
    if (DatePageShowing())
        RxSpinYearChange();
}

void TFormMainCalendar::btnHelpClick() {
    desktop::ShowHelp(kHelpTopic, this);
}

void TFormMainCalendar::About1Click() {
    Taboutform about(this);
    desktop::ExecModal(about);
}

}  // namespace qcal
