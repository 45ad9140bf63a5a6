#pragma once

#include <filesystem>

namespace qln::ado {

enum class FileKind { SQLite, Access, Unknown };

// What a file holds, judged by its header (never by its name). Errors (EngineError naming
// the file) when the file cannot be read.
FileKind detectFileKind(const std::filesystem::path& file);

// Copies every user table of an Access file (.mdb or .accdb) into a new SQLite file:
// names, types, NULLs, dates and booleans kept, with the primary keys and indexes its
// metadata tables declare and an index on every key of its relationship table (the same
// keys a survey download import gets). The target is replaced atomically; on any
// error nothing is left behind and an EngineError names the file.
void importAccessFile(const std::filesystem::path& accessFile, const std::filesystem::path& sqliteFile);

// The SQLite mirror of an Access file in the user's cache folder, imported once and reused
// while the file's path, size and modification time stay the same.
std::filesystem::path mirrorAccessFile(const std::filesystem::path& accessFile);

} // namespace qln::ado
