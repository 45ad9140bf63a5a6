#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qln::ado::detail {

// A parsed SHAPE command: a parent query and the child commands appended to it, each
// related to the parent by pairs of columns.
//   SHAPE {sql} [AS alias] APPEND (child RELATE a TO b [, c TO d]) [AS alias] [, ...]
//   child := {sql} [AS alias] | (SHAPE ...) [AS alias]
// Column names may be bare, 'quoted' or [bracketed]; the first of a pair is the parent's.
struct ShapeCommand {
    struct Relation {
        std::string parentColumn;
        std::string childColumn;
    };
    struct Child;

    std::string sql;
    std::string alias;
    std::vector<Child> children;
};

struct ShapeCommand::Child {
    ShapeCommand command;
    std::vector<Relation> relations;
    std::string alias;  // the chapter field's name
};

// True when the text is a SHAPE command (its first word is SHAPE).
bool isShapeCommand(std::string_view text);
// Errors (EngineError kProviderError quoting the text and the place) on bad grammar.
ShapeCommand parseShapeCommand(std::string_view text);

} // namespace qln::ado::detail
