#include "quillon/ado/Transaction.h"

namespace qln::ado {

Transaction::Transaction(Connection& connection) : m_connection(connection)
{
    m_connection.beginTrans();
}

Transaction::~Transaction()
{
    if (m_done || !m_connection.isOpen())
        return;
    try {
        m_connection.rollbackTrans();
    } catch (...) {
        // SQLite has already rolled back when a failed statement ended the transaction.
    }
}

void Transaction::commit()
{
    m_connection.commitTrans();
    m_done = true;
}

} // namespace qln::ado
