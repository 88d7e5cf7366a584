#pragma once

#include "platform/Sqlite.h"

namespace qcal {

// Groups several writes into one transaction; rolled back unless committed.
class Transaction {
public:
    explicit Transaction(platform::Database& db) : db_(db) { db_.exec("BEGIN"); }
    ~Transaction() {
        if (!done_) {
            try {
                db_.exec("ROLLBACK");
            } catch (const platform::DbError&) {
                // The engine rolls back by itself when it cannot go on.
            }
        }
    }
    void commit() {
        db_.exec("COMMIT");
        done_ = true;
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    platform::Database& db_;
    bool done_ = false;
};

}  // namespace qcal
