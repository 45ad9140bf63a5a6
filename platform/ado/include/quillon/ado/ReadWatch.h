#pragma once

#include <functional>

namespace qln::ado {

// While it lives, the SQLite queries this thread runs tell `seen` how many rows they have
// returned so far, often enough that a long query, even one still sorting before its first
// row, is heard from several times a second. `seen` may end the query by throwing: the
// query then stops and throws that. Watches nest; the innermost is told.
class ReadWatch {
public:
    using Seen = std::function<void(long rows)>;
    explicit ReadWatch(Seen seen);
    ~ReadWatch();
    ReadWatch(const ReadWatch&) = delete;
    ReadWatch& operator=(const ReadWatch&) = delete;

    // The innermost watch of this thread, or none.
    static ReadWatch* current();
    void seen(long rows) const { m_seen(rows); }

private:
    Seen m_seen;
    ReadWatch* m_outer;
};

} // namespace qln::ado
