#pragma once

#include "DownloadFiles.h"
#include "FieldValues.h"

#include <string>
#include <vector>

namespace qln::download {

struct ColumnLayout {
    std::string name;
    ColumnType type;
};

// A table of the layout and the file (without ".txt") its rows are in.
struct TableLayout {
    std::string name;
    std::string file;
    std::vector<ColumnLayout> columns;
};

// The tables of a download in the order its table list gives them, each with its columns
// in file order, read from the download's own metadata (mstab.txt, mstabcol.txt). The
// column list describes itself: its first three fields are the table, the position and
// the column, and its rows for the metadata tables say where every other field is.
// Errors: DownloadError naming the file, line and field.
std::vector<TableLayout> readLayout(const DownloadFiles& files);

} // namespace qln::download
