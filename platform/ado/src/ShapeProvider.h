#pragma once

#include "Table.h"

#include <memory>
#include <string_view>

namespace qln::ado::detail {

class Database;

// Runs a SHAPE command: one query per level, children related to their parents through a
// hash of the relation columns, so the cost grows with the rows, not rows x parents.
// Each appended child becomes a chapter field at the end of its parent's fields.
std::shared_ptr<Table> runShapeCommand(Database& database, std::string_view text);

} // namespace qln::ado::detail
