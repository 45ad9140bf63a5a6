#pragma once

#include "quillon/ado/Connection.h"

namespace qln::ado {

// One transaction on a connection: begun on construction, rolled back on destruction
// unless commit() ran, so a write of several statements is stored whole or not at all.
// The destructor never throws.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Stores the writes; a failed commit leaves the transaction to be rolled back.
    void commit();

private:
    Connection& m_connection;
    bool m_done = false;
};

} // namespace qln::ado
