#pragma once

#include <string>
#include <string_view>

namespace qln::ado::detail {

// The one translation of the Access-style SQL the engine and the viewer build into
// PostgreSQL's dialect, with SQLite's results as the reference:
//  - [bracketed names] become "quoted names";
//  - text concatenation with & becomes ||;
//  - #date# literals (#2004-05-01#, #5/1/2004 13:05:00#) become TIMESTAMP '...';
//  - LIKE compares without regard to case, as SQLite and Access do (ILIKE);
//  - ORDER BY puts Nulls where SQLite does: first when ascending, last when descending;
//  - an empty IN () list matches nothing instead of being a syntax error.
// TRUE and FALSE stay; the reader gives a boolean expression column the integers 0 and 1
// that SQLite gives. Quoted texts and "names" pass unchanged.
std::string translateAccessSql(std::string_view sql);

} // namespace qln::ado::detail
