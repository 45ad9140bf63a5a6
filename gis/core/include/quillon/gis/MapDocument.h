#pragma once

// What the map shows: soils themes and the rating themes made from them, one active, in the
// order of the table of contents. No widgets: the window draws it and tests drive it.

#include "quillon/dde/Dde.h"
#include "quillon/gis/RatingTheme.h"
#include "quillon/gis/SoilsLayer.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qln::gis {

struct ThemeEntry {
    std::string title;
    bool rating = false;     // a rating theme, temporary or permanent
    bool permanent = false;
    std::size_t index = 0;  // into soilsThemes() or ratingThemes()
};

class MapDocument {
public:
    // Where DisplayInterps reads MU_Data; asked each time, so a changed setting is seen.
    using ResultsLocator = std::function<std::optional<std::filesystem::path>()>;
    explicit MapDocument(ResultsLocator results);

    // Adds a soils theme from a shapefile and makes it active. Throws GisError and changes
    // nothing when it cannot be read.
    void addSoilsTheme(const std::filesystem::path& shp);
    // The soils theme the viewer works with: the one it was started for, else the first.
    void setLinkedSoilsTheme(std::size_t index);
    std::optional<std::size_t> linkedSoilsTheme() const;

    const std::vector<std::shared_ptr<const SoilsLayer>>& soilsThemes() const { return m_soils; }
    const std::vector<RatingTheme>& ratingThemes() const { return m_ratings; }
    // Rating themes first (temporary and converted ones), newest on top, then the soils themes.
    std::vector<ThemeEntry> tableOfContents() const;

    // Row of the table of contents; nothing when none is active.
    std::optional<std::size_t> activeRow() const { return m_active; }
    void setActiveRow(std::optional<std::size_t> row);
    // "Y" while the linked soils theme or one of its temporary rating themes is active, else
    // "N" (a converted theme is a shapefile of its own).
    std::string enableValue() const;

    // Runs a script call of the viewer: DisplayInterps adds (or replaces, by title) a rating
    // theme and makes it active; InterpsCleanup removes every rating theme. A request that
    // cannot be met is refused with its reason and leaves the document as it was.
    dde::Reply execute(const std::string& command);

    // Writes the rating theme of a table-of-contents row as a shapefile (writeThemeShapefile)
    // and adds that file as a permanent theme on top, with the same legend; the active theme
    // stays active. A converted theme of the same file is replaced. Throws GisError and
    // changes nothing in the map when the theme cannot be written or read back.
    void convertToShapefile(std::size_t row, const std::filesystem::path& shp);

private:
    dde::Reply display(const std::string& argument);
    void cleanup();

    ResultsLocator m_results;
    std::vector<std::shared_ptr<const SoilsLayer>> m_soils;
    std::vector<RatingTheme> m_ratings;
    std::optional<std::size_t> m_linked;
    std::optional<std::size_t> m_active;
};

} // namespace qln::gis
