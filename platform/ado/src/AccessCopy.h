#pragma once

#include "ChildProcess.h"

#include <cstdint>
#include <filesystem>

namespace qln::ado::detail {

// Exit statuses of the reader program beside 0 (done) and 64 (wrong arguments); its
// report channel then holds the reason.
inline constexpr int kReaderDamaged = 3;
inline constexpr int kReaderCannotWrite = 4;

// The SQLite user_version of a mirror whose every table was copied and keyed: set in the
// same transaction as the last row, so a file without it is incomplete. Mirrors made
// before they had keys carry 0x514C4E01 and are made again.
inline constexpr int kMirrorComplete = 0x514C4E02;

// Copies every user table of an Access file into an existing, empty SQLite file, adds the
// keys and indexes its metadata declares (load/SurveyKeys.h) and marks it complete. Runs
// in the reader program only: libmdb may crash or loop on a damaged file.
// A damaged file is an EngineError saying what is wrong; a failure to write the SQLite
// file is a std::runtime_error.
void copyAccessTables(const std::filesystem::path& accessFile, const std::filesystem::path& sqliteFile);

// The memory and time a reader may take for an Access file of this many bytes.
ChildLimits accessReadLimits(std::uintmax_t fileSize);

// importAccessFile under given limits: the reader program copies the file into a
// temporary file beside the target, which replaces the target only when complete.
void importAccessFile(const std::filesystem::path& accessFile, const std::filesystem::path& sqliteFile,
                      const ChildLimits& limits);

// Whether a SQLite file is a whole, complete mirror: marked complete, as long as its pages
// say, and its structure intact. Never throws.
bool isCompleteMirror(const std::filesystem::path& sqliteFile);

} // namespace qln::ado::detail
