// Build step: creates an empty event database from a schema file.
// Usage: qcal_makedb schema.sql user.mdb

#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s schema.sql output.mdb\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream schema;
    schema << in.rdbuf();

    const std::string target = argv[2];
    const std::string temp = target + ".tmp";
    std::remove(temp.c_str());
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(temp.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        std::fprintf(stderr, "cannot create %s\n", temp.c_str());
        sqlite3_close(db);
        return 1;
    }
    char* message = nullptr;
    const std::string script = "PRAGMA journal_mode=DELETE;BEGIN;" + schema.str() + ";COMMIT;";
    if (sqlite3_exec(db, script.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::fprintf(stderr, "schema failed: %s\n", message ? message : "?");
        sqlite3_free(message);
        sqlite3_close(db);
        std::remove(temp.c_str());
        return 1;
    }
    sqlite3_close(db);
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        std::fprintf(stderr, "cannot move %s into place\n", temp.c_str());
        return 1;
    }
    return 0;
}
