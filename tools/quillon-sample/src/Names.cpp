#include "Names.h"

#include <array>

namespace qln::sample {
namespace {

constexpr std::array<const char*, 24> kHeads = {
    "Quen", "Brask", "Tolv", "Ardu", "Vesk", "Kelm", "Orv", "Dray", "Pell", "Sorn", "Yarn", "Fesk",
    "Gald", "Hov", "Istr", "Jorv", "Lask", "Mird", "Nabb", "Rusk", "Tarv", "Ulm", "Wend", "Zell"};
constexpr std::array<const char*, 16> kTails = {"ara", "by", "cote", "dell", "en", "ford",
                                                "ick", "lund", "mar", "ness", "ock", "rey",
                                                "set", "tor", "vale", "wyn"};
constexpr std::array<const char*, 12> kCountyTails = {"haven", "moor", "field", "water", "ridge",
                                                      "holt", "brook", "stead", "crag", "lea",
                                                      "mere", "shire"};

} // namespace

std::size_t seriesNameCount() { return kHeads.size() * kTails.size(); }

std::string seriesName(std::size_t index)
{
    // Walk the tails fastest but start each head at a different tail, so that neighbouring
    // numbers do not share their ending.
    const std::size_t head = index % kHeads.size();
    const std::size_t tail = (index / kHeads.size() + head * 5) % kTails.size();
    return std::string(kHeads[head]) + kTails[tail];
}

std::string countyName(std::size_t index)
{
    const std::size_t head = (index * 7 + 3) % kHeads.size();
    const std::size_t tail = (index + index / kHeads.size()) % kCountyTails.size();
    std::string name = std::string(kHeads[head]) + kCountyTails[tail];
    if (index >= kHeads.size() * kCountyTails.size())
        name += " " + std::to_string(index / (kHeads.size() * kCountyTails.size()) + 1);
    return name;
}

std::string textureClass(double sand, double clay)
{
    const double silt = 100.0 - sand - clay;
    if (clay >= 40.0)
        return silt >= 40.0 ? "silty clay" : (sand > 45.0 ? "sandy clay" : "clay");
    if (clay >= 27.0)
        return sand > 45.0 ? "sandy clay loam" : (silt >= 40.0 ? "silty clay loam" : "clay loam");
    if (sand >= 85.0)
        return "sand";
    if (sand >= 70.0)
        return "loamy sand";
    if (clay >= 20.0 && sand > 45.0)
        return "sandy clay loam";
    if (sand >= 52.0 || (clay < 7.0 && silt < 50.0))
        return "sandy loam";
    if (silt >= 80.0 && clay < 12.0)
        return "silt";
    if (silt >= 50.0)
        return "silt loam";
    return "loam";
}

} // namespace qln::sample
