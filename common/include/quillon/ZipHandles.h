#pragma once

// std::unique_ptr owners of libzip's handles, for the targets that link libzip: every
// early return or exception discards what was opened. An archive that zip_close() wrote
// is released by its owner, as libzip has freed it.

#include <zip.h>

#include <memory>

namespace qln {

struct ZipDiscarder {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct ZipFileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
struct ZipSourceFreer {
    void operator()(zip_source_t* source) const { zip_source_free(source); }
};
using ZipArchive = std::unique_ptr<zip_t, ZipDiscarder>;
using ZipFile = std::unique_ptr<zip_file_t, ZipFileCloser>;
using ZipSource = std::unique_ptr<zip_source_t, ZipSourceFreer>;

} // namespace qln
