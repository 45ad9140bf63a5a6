#include "quillon/gis/RatingTheme.h"

#include "quillon/SqlText.h"
#include "quillon/Text.h"
#include "quillon/ado/Connection.h"
#include "quillon/ado/Recordset.h"
#include "quillon/gis/GisError.h"

namespace qln::gis {

std::optional<ScriptCall> parseRunCommand(std::string_view command)
{
    constexpr std::string_view head = "av.run(\"";
    constexpr std::string_view middle = "\", \"";
    constexpr std::string_view tail = "\" )";
    if (command.substr(0, head.size()) != head || command.size() < head.size() + middle.size() + tail.size() ||
        command.substr(command.size() - tail.size()) != tail)
        return std::nullopt;
    const std::size_t split = command.find(middle, head.size());
    if (split == std::string_view::npos || split + middle.size() > command.size() - tail.size())
        return std::nullopt;
    ScriptCall call;
    call.script = std::string(command.substr(head.size(), split - head.size()));
    if (call.script.find('"') != std::string::npos)
        return std::nullopt;
    const std::size_t begin = split + middle.size();
    call.argument = std::string(command.substr(begin, command.size() - tail.size() - begin));
    return call;
}

DisplayRequest parseDisplayArgument(std::string_view argument)
{
    const std::size_t first = argument.find('|');
    const std::size_t last = argument.rfind('|');
    if (first == std::string_view::npos || first == last)
        throw GisError("The display request \"" + std::string(argument) +
                       "\" must have three fields: column|title|legend");
    DisplayRequest request;
    request.column = std::string(argument.substr(0, first));
    request.title = std::string(argument.substr(first + 1, last - first - 1));
    request.legend = std::string(argument.substr(last + 1));
    if (request.column.empty())
        throw GisError("The display request \"" + std::string(argument) + "\" names no column");
    return request;
}

std::unordered_map<std::string, Variant> readRatings(const std::filesystem::path& results, const std::string& column)
{
    if (!std::filesystem::is_regular_file(results))
        throw GisError("The results database " + results.string() + " does not exist");
    std::unordered_map<std::string, Variant> out;
    try {
        ado::Connection connection;
        connection.setConnectionString("DBQ=" + results.string());
        connection.open();
        std::string stored;
        for (const auto& field : connection.columns("MU_Data"))
            if (lowerAscii(field.name) == lowerAscii(column))
                stored = field.name;
        if (stored.empty())
            throw GisError("The column " + column + " is not in MU_Data of " + results.string());
        ado::Recordset rs = connection.execute("SELECT mukey, " + quoteIdentifier(stored) + " FROM MU_Data");
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            out.emplace(rs.value(0).text(), rs.value(1));
    } catch (const GisError&) {
        throw;
    } catch (const std::exception& e) {
        throw GisError("Cannot read MU_Data of the results database " + results.string() + ": " + e.what());
    }
    return out;
}

RatingTheme makeRatingTheme(std::shared_ptr<const SoilsLayer> layer, const DisplayRequest& request,
                            const std::filesystem::path& results)
{
    return makeRatingTheme(std::move(layer), request, readRatings(results, request.column));
}

RatingTheme makeRatingTheme(std::shared_ptr<const SoilsLayer> layer, const DisplayRequest& request,
                            const std::unordered_map<std::string, Variant>& ratings)
{
    RatingTheme theme;
    theme.title = request.title;
    theme.column = request.column;
    theme.values.reserve(layer->size());
    for (std::size_t s = 0; s < layer->size(); ++s) {
        const auto it = ratings.find(layer->mukey(s));
        theme.values.push_back(it == ratings.end() ? Variant::null() : it->second);
    }
    if (request.legend == "DYNAMIC") {
        // Classes over the map units of MU_Data, not over polygons: a unit drawn as many
        // polygons counts once.
        std::vector<Variant> units;
        units.reserve(ratings.size());
        for (const auto& [key, value] : ratings)
            units.push_back(value);
        theme.legend = Legend::dynamic(units);
    } else {
        theme.legend = Legend::fromFile(request.legend);
    }
    theme.entryOf.reserve(theme.values.size());
    for (const Variant& v : theme.values)
        theme.entryOf.push_back(static_cast<std::uint32_t>(theme.legend.classify(v)));
    theme.layer = std::move(layer);
    return theme;
}

std::string themeSummary(const RatingTheme& theme)
{
    std::vector<std::size_t> counts(theme.legend.entries().size(), 0);
    for (const std::uint32_t entry : theme.entryOf)
        ++counts[entry];
    std::string out = "\"" + theme.title + "\" from " + theme.column + ":";
    for (std::size_t i = 0; i < counts.size(); ++i)
        out += (i ? "; " : " ") + theme.legend.entries()[i].label + " (" + std::to_string(counts[i]) + ")";
    return out;
}

} // namespace qln::gis
