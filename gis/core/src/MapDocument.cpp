#include "quillon/gis/MapDocument.h"

#include "quillon/gis/GisError.h"
#include "quillon/gis/ThemeShapefile.h"

#include <algorithm>

namespace qln::gis {

MapDocument::MapDocument(ResultsLocator results)
    : m_results(std::move(results))
{
}

void MapDocument::addSoilsTheme(const std::filesystem::path& shp)
{
    auto layer = std::make_shared<const SoilsLayer>(SoilsLayer::load(shp));
    m_soils.push_back(std::move(layer));
    if (!m_linked)
        m_linked = 0;
    m_active = m_ratings.size() + m_soils.size() - 1;
}

void MapDocument::setLinkedSoilsTheme(std::size_t index)
{
    if (index >= m_soils.size())
        return;
    if (m_linked != index)
        cleanup();  // rating themes belong to the theme they were joined to
    m_linked = index;
}

std::optional<std::size_t> MapDocument::linkedSoilsTheme() const
{
    return m_linked;
}

std::vector<ThemeEntry> MapDocument::tableOfContents() const
{
    std::vector<ThemeEntry> out;
    for (std::size_t i = m_ratings.size(); i-- > 0;)
        out.push_back({m_ratings[i].title, true, m_ratings[i].permanent, i});
    for (std::size_t i = 0; i < m_soils.size(); ++i)
        out.push_back({m_soils[i]->title(), false, false, i});
    return out;
}

void MapDocument::setActiveRow(std::optional<std::size_t> row)
{
    m_active = row && *row < m_ratings.size() + m_soils.size() ? row : std::nullopt;
}

std::string MapDocument::enableValue() const
{
    if (!m_active || !m_linked)
        return "N";
    const ThemeEntry entry = tableOfContents()[*m_active];
    if (entry.rating)
        return entry.permanent ? "N" : "Y";
    return entry.index == *m_linked ? "Y" : "N";
}

dde::Reply MapDocument::execute(const std::string& command)
{
    const auto call = parseRunCommand(command);
    if (!call)
        return dde::Reply::refuse("Not a script call av.run(\"script\", \"argument\" ): " + command);
    if (call->script == kDisplayInterps)
        return display(call->argument);
    if (call->script == kInterpsCleanup) {
        cleanup();
        return dde::Reply::ack();
    }
    return dde::Reply::refuse("Unknown script " + call->script);
}

dde::Reply MapDocument::display(const std::string& argument)
{
    try {
        const DisplayRequest request = parseDisplayArgument(argument);
        if (!m_linked)
            throw GisError("No soils theme is open to show " + request.title);
        const auto results = m_results();
        if (!results)
            throw GisError("No results database is set (OutputDBDSN or the results folder and file of the settings)");
        RatingTheme theme = makeRatingTheme(m_soils[*m_linked], request, *results);
        const auto same = std::find_if(m_ratings.begin(), m_ratings.end(),
                                       [&](const RatingTheme& t) { return !t.permanent && t.title == theme.title; });
        if (same != m_ratings.end())
            m_ratings.erase(same);
        m_ratings.push_back(std::move(theme));
        m_active = 0;  // the newest rating theme is on top
    } catch (const GisError& e) {
        return dde::Reply::refuse(e.what());
    }
    return dde::Reply::ack();
}

void MapDocument::cleanup()
{
    // The active theme stays active when it survives; a removed rating theme hands the
    // focus to the linked soils theme.
    const auto toc = tableOfContents();
    std::optional<ThemeEntry> active;
    if (m_active)
        active = toc[*m_active];
    if (active && active->rating && !active->permanent)
        active = m_linked ? std::optional<ThemeEntry>(ThemeEntry {{}, false, false, *m_linked}) : std::nullopt;
    // Where a kept rating theme lands once the temporary ones are gone.
    std::optional<std::size_t> keptIndex;
    std::vector<RatingTheme> kept;
    for (std::size_t i = 0; i < m_ratings.size(); ++i) {
        if (!m_ratings[i].permanent)
            continue;
        if (active && active->rating && active->index == i)
            keptIndex = kept.size();
        kept.push_back(std::move(m_ratings[i]));
    }
    m_ratings = std::move(kept);
    if (!active)
        m_active = std::nullopt;
    else if (active->rating)
        m_active = m_ratings.size() - 1 - *keptIndex;
    else
        m_active = m_ratings.size() + active->index;
}

void MapDocument::convertToShapefile(std::size_t row, const std::filesystem::path& shp)
{
    const auto toc = tableOfContents();
    if (row >= toc.size() || !toc[row].rating)
        throw GisError("Make a rating theme active to convert it to a shapefile");
    const RatingTheme& source = m_ratings[toc[row].index];
    // An open soils theme's files stay as they are: the viewer may be reading them.
    for (const auto& soils : m_soils) {
        std::error_code error;
        if (std::filesystem::equivalent(soils->path(), shp, error))
            throw GisError(shp.string() + " is the soils theme " + soils->title() + "; choose another name");
    }
    const std::filesystem::path written = writeThemeShapefile(source, shp);
    RatingTheme theme;
    theme.layer = std::make_shared<const SoilsLayer>(SoilsLayer::load(written));
    if (theme.layer->size() != source.values.size())
        throw GisError("The shapefile " + written.string() + " does not read back as written");
    theme.title = written.filename().string();
    theme.column = ratingFieldName(source.column);
    theme.legend = source.legend;
    theme.values = source.values;
    theme.entryOf = source.entryOf;
    theme.permanent = true;

    // A theme drawn from the file just replaced goes; the one made now takes the top row.
    std::optional<ThemeEntry> active;
    if (m_active)
        active = toc[*m_active];
    std::vector<RatingTheme> kept;
    std::optional<std::size_t> activeIndex;
    for (std::size_t i = 0; i < m_ratings.size(); ++i) {
        std::error_code error;
        if (m_ratings[i].permanent && std::filesystem::equivalent(m_ratings[i].layer->path(), written, error))
            continue;
        if (active && active->rating && active->index == i)
            activeIndex = kept.size();
        kept.push_back(std::move(m_ratings[i]));
    }
    kept.push_back(std::move(theme));
    m_ratings = std::move(kept);
    if (!active)
        m_active = std::nullopt;
    else if (!active->rating)
        m_active = m_ratings.size() + active->index;
    else
        m_active = activeIndex ? m_ratings.size() - 1 - *activeIndex : 0;
}

} // namespace qln::gis
