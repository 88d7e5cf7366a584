#pragma once

// The data module: the database connection and its shared query objects, the options,
// the layer table and the date and time formats.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Event.h"
#include "platform/ProfileFile.h"
#include "platform/Sqlite.h"
#include "platform/System.h"
#include "store/ErrorReporter.h"
#include "store/Options.h"

namespace qcal {

struct TFieldForDisplay {
    std::string SubjectText;
    std::string BeginText;
    std::string EndText;
    std::string AlertText;
    std::string ArchiveText;
    std::string RepeatText;
    bool operator==(const TFieldForDisplay&) const = default;
};

struct SelectedIds {
    std::vector<std::int64_t> ids;  // in row order
    std::string text;               // " (12,15,40) " or empty, as the statements write them
    int count = 0;
};

class TDataMod {
public:
    // Connects to dataFolder/user.mdb and fills the format lists. A failed connection
    // is reported through errors; the module then stays disconnected. A read-only module
    // never writes the database file (readers beside a running program). A writing module on
    // a folder that cannot be written reports so once and connects read-only: every change
    // is then refused with that message (ChangeRefusal).
    TDataMod(std::string dataFolder, ErrorReporter& errors,
             platform::OpenMode access = platform::OpenMode::ReadWrite);
    ~TDataMod();
    TDataMod(const TDataMod&) = delete;
    TDataMod& operator=(const TDataMod&) = delete;

    // Connection. Connect runs ADOConnectionWillConnect first; failures are reported and
    // answered with false.
    bool Connect();
    void Disconnect();
    bool Reconnect() {
        Disconnect();
        return Connect();
    }
    bool Connected() const { return ADOConnection.isOpen(); }
    // Closes the connection for a backup, restore or compaction. Until the next Connect()
    // nothing may read or write the data: the settings saves write nothing then.
    void Release();
    bool Released() const { return released_; }
    void ADOConnectionWillConnect(std::string& connectionString, std::string& userId,
                                  std::string& password) const;
    // What the last connect used.
    const std::string& ConnectionString() const { return connectionString_; }

    // Settings file.
    std::string SetupIniPath() const;
    void LoadOptions();
    // Writes every option; reports "Unable to write to <path>" and answers false when the
    // file cannot be written. Runs OnOptionsSaved afterwards in every case. An option that
    // this program left as it was read takes the file's value, so a change made meanwhile by
    // another program is kept (and read).
    bool SaveOptions();
    // Reads the layer table. A layer name used by events but missing from the table is added
    // (checked, pure blue) and saved, so that no event is ever hidden by a lost or older
    // setup.ini; events that the layer limit still hides are reported.
    void LoadLayers();
    // Writes the layer table. Layers that another program added to the file since it was
    // read are kept (appended to Layers), and so are its changes to entries this program left
    // as they were. Nothing is written while released.
    bool SaveLayers();

    // Display texts of an event for the search and alarm lists.
    TFieldForDisplay MakeDisplayTexts(const tfield& event) const;
    // The id list of the selected rows (indexes into events) and their number.
    static SelectedIds SelectedIdList(const std::vector<int>& selectedRows,
                                      const tArrayofField& events);

    // The data folder: user.mdb, setup.ini, music/.
    const std::string& ProgramFolder() const { return programFolder_; }
    // The files of the data folder.
    std::string DatabasePath() const;
    std::string SoundFolder() const;
    // When path names one of the files the program keeps its data in (the same file, by
    // device and inode: user.mdb, its journal, setup.ini or a file below the sound folder),
    // that file's path; else empty.
    std::string OwnFileAt(const std::string& path) const;
    // Why changes cannot be kept, or empty when they can.
    const std::string& ChangeRefusal() const { return refusal_; }
    // Shows the refusal and answers true when changes cannot be kept.
    bool RefuseChange() const;
    ErrorReporter& Errors() const { return errors_; }

    // Formats a date-time value with the user's separators.
    std::string Format(const std::string& format, TDateTime value) const;

    platform::Database ADOConnection;
    platform::Query ADOQuery{ADOConnection};
    platform::Query ADOQueryForTimer{ADOConnection};
    platform::Query ADOQueryForUpdate{ADOConnection};
    std::vector<std::string> DateFormats;
    std::vector<std::string> TimeFormats;
    arraylayinfo Layers;
    bool IsAlarmShowing = false;
    ROptions Options;

    // Date and time separators used by the format letters "/" and ":".
    platform::LocaleSeparators Separators;
    // Run after every SaveOptions; the main window re-registers its hot key here.
    std::function<void()> OnOptionsSaved;
    // When set, answers the layer names the events use, in the order of their first use,
    // without reading the table; false leaves the question to the table.
    std::function<bool(std::vector<std::string>&)> LayersOfEvents;

    // Most layers read from the settings file; a larger "Total" is cut to this.
    static constexpr int kMaxLayers = 10000;

    // Whether the event table has the columns added after the first files (exception days,
    // series link, reminder lead, all-day, open end). A file opened for writing gets them.
    bool HasLaterColumns() const { return laterColumns_; }

private:
    // Makes sure the event table has the index on begin date and time.
    void AddDateIndex();
    // Adds the layer names of the events that Layers lacks; true when it added one.
    bool AddLayersOfEvents();
    // Adds the later columns a file from before them lacks.
    void AddLaterColumns();
    // Adds the tables and triggers of the synchronisation with servers.
    void AddSyncTables();
    bool FindLaterColumns();
    bool laterColumns_ = false;
    // Writes the settings file; a refused change, or a failed write, is reported.
    bool SaveProfile(const platform::ProfileFile& ini) const;

    std::string programFolder_;
    ErrorReporter& errors_;
    std::string connectionString_;
    platform::OpenMode access_ = platform::OpenMode::ReadWrite;
    bool released_ = false;
    // What the file held at the last load or save: the base that tells this program's
    // changes from another program's.
    std::optional<ROptions> optionsRead_;
    std::optional<arraylayinfo> layersRead_;
    // What the last load said about events it could not show, so it is said once.
    int hiddenReported_ = 0;
    int unnamedReported_ = 0;
    std::string refusal_;
};

}  // namespace qcal
