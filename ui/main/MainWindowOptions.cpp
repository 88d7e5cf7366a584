// The main window's preferences, help and about box commands.

#include <memory>

#include "platform/Autorun.h"
#include "platform/DataFolder.h"
#include "platform/System.h"
#include "platform/desktop/Dialogs.h"
#include "platform/desktop/Help.h"
#include "store/DataModule.h"
#include "ui/main/AboutBox.h"
#include "ui/main/MainWindow.h"
#include "ui/main/PreferencesDialog.h"

namespace qcal {

void TFormMainCalendar::Preferences1Click() {
    if (dm_.RefuseChange())
        return;
    // A data folder given at this start is given to the autostart entry too.
    const std::string& folder = dm_.ProgramFolder();
    const bool given = platform::ChooseDataFolder(std::string()).folder != folder;
    auto dialog = std::make_unique<TFormPreferences>(
        dm_, platform::Autorun({}, given ? folder : std::string()), platform::LauncherPath(), this);
    if (desktop::ExecModal(*dialog) != QDialog::Accepted)
        return;
    // Saving the options also registers the hot key again (OnOptionsSaved).
    dm_.SaveOptions();
    ApplyDisplayFont();
    RefreshShownPage();
}

void TFormMainCalendar::RefreshShownPage() {
    // The month, or the search page's results, in the new formats.
    if (DatePageShowing())
        RxSpinYearChange();
    else
        RerunSearch();
}

void TFormMainCalendar::btnHelpClick() {
    desktop::ShowHelp(kHelpTopic, this);
}

void TFormMainCalendar::About1Click() {
    Taboutform about(this);
    desktop::ExecModal(about);
}

}  // namespace qcal
