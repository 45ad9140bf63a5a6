#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qln::download {

// Tells how an import goes: a table of a survey loaded (rows stored), or a note for the
// user (a file missing, texts that were not UTF-8, the map layers copied).
struct ImportReport {
    std::function<void(std::string_view survey, std::string_view table, std::int64_t rows)> loaded;
    std::function<void(const std::string& note)> note;
};

// Reads one or more survey downloads (folders, their tabular folders or zips) into one new
// SQLite soils database: every table the download's metadata names, in its column order
// and types, the metadata tables once, each table's primary key and declared indexes, an
// index on every key of the relationships, and the map-unit sort table. The map-unit
// polygons go beside the database: one survey's layer as it is, several surveys' layers
// merged into one (see polygonLayers). The
// database and the copies are written under temporary names and take their places only
// when everything is read; on any error nothing is left behind and DownloadError (bad
// input, naming file, line and field) or another std::exception is thrown.
void importDownloads(const std::vector<std::filesystem::path>& downloads, const std::filesystem::path& sqliteFile,
                     const ImportReport& report = {});

// Whether a path looks like a survey download: a folder, or a file that starts as a zip.
bool isDownload(const std::filesystem::path& path);

} // namespace qln::download
