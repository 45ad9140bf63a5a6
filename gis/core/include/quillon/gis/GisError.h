#pragma once

#include <stdexcept>

namespace qln::gis {

// A theme could not be made (unreadable shapefile, missing column, broken legend file). The
// text names the file or value and is fit to show the user; the map stays as it was.
class GisError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace qln::gis
