#pragma once

// The data folder: where user.mdb, setup.ini and music/ live. The program folder holds the
// executables, the help and the delivered files; the data folder is chosen at start, in order:
// the folder given with --data-dir; the program folder itself when it holds user.mdb and may be
// written (portable: the build tree, installs from before the data folder existed); else the
// user's $XDG_DATA_HOME/quenlaris-calendar, made at the first start from the delivered files.

#include <string>

namespace qcal::platform {

enum class DataFolderKind { Given, Portable, PerUser };

struct DataFolderPlace {
    std::string folder;
    DataFolderKind kind = DataFolderKind::PerUser;
};

// What the choice depends on.
struct DataFolderInputs {
    std::string given;          // --data-dir; empty when not given
    std::string programFolder;  //
    std::string xdgDataHome;    // $XDG_DATA_HOME; ignored unless absolute
    std::string home;           // the user's home folder
};

DataFolderPlace ChooseDataFolder(const DataFolderInputs& inputs);
// The same for this process: its program folder and environment. A relative given folder is
// taken from the current folder.
DataFolderPlace ChooseDataFolder(const std::string& given);

// The read-only delivered user.mdb, setup.ini and music/play.wav beside the program.
std::string DeliveredFolder(const std::string& programFolder);

// Makes the data folder ready: creates it when missing and, while it holds no user.mdb, copies
// in the delivered files it lacks (user.mdb last, so an interrupted first start is completed
// by the next). Empty when ready, else a one-line reason that names the path.
std::string PrepareDataFolder(const std::string& folder, const std::string& delivered);

// Why the data folder cannot be written ("<path>: <reason>"), or empty when it can: no file
// can be made in it, or its user.mdb cannot be opened for writing.
std::string WriteProblem(const std::string& folder);

}  // namespace qcal::platform
