#pragma once

// Whole-file work on an SQLite database while the program's own connection is closed:
// a consistent copy, a check that a file is one of our databases, and compaction.

#include <string>

namespace qcal::platform {

// Copies the database file at source to dest byte for byte while holding the engine's shared
// lock, so no other connection can commit in the middle of the copy (and a journal left by a
// crashed writer is rolled back first). dest is created anew; it must not exist. Answers false
// with the reason in error.
bool CopyDatabaseFile(const std::string& source, const std::string& dest, std::string& error);

// Whether the file at path opens as a database that passes the engine's quick integrity check
// and holds the table named table. The file is opened read-only and not changed.
bool DatabaseHasTable(const std::string& path, const std::string& table, std::string& error);

// The same with the engine's full integrity check, which reads every page and index: what a
// file has to pass before it may take the place of the user's database.
bool DatabaseIsSound(const std::string& path, const std::string& table, std::string& error);

// The number of rows of table in the database at path (opened read-only), or -1 with error.
long long TableRowCount(const std::string& path, const std::string& table, std::string& error);

// Opens the database at path read-write under an exclusive lock, which rolls back what a writer
// that was cut short left in its journal, and removes a journal that is left over all the
// same. A missing file stays missing.
bool SettleJournal(const std::string& path, std::string& error);

// Writes a compacted copy of the database at source to dest (which must not exist) with
// VACUUM INTO. source is opened read-only and not changed.
bool VacuumInto(const std::string& source, const std::string& dest, std::string& error);

// Whether the linked engine can compact with VACUUM INTO.
bool VacuumIntoSupported();

}  // namespace qcal::platform
