#include "quillon/gis/MapDocument.h"

#include "quillon/gis/GisError.h"

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
        out.push_back({m_ratings[i].title, true, i});
    for (std::size_t i = 0; i < m_soils.size(); ++i)
        out.push_back({m_soils[i]->title(), false, i});
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
    return entry.rating || entry.index == *m_linked ? "Y" : "N";
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
                                       [&](const RatingTheme& t) { return t.title == theme.title; });
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
    if (m_ratings.empty())
        return;
    // Keep the same theme active when it is a soils theme; a removed rating theme hands
    // the focus to the linked soils theme.
    std::optional<std::size_t> soils;
    if (m_active && *m_active >= m_ratings.size())
        soils = *m_active - m_ratings.size();
    else if (m_active)
        soils = m_linked;
    m_ratings.clear();
    m_active = soils;
}

} // namespace qln::gis
