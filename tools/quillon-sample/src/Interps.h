#pragma once

#include "Model.h"

#include <string>
#include <vector>

namespace qln::sample {

// One row of cointerp: ruledepth 0 is the rating of the main rule, ruledepth 1 a reason.
struct InterpRow {
    std::string mrulekey;
    std::string mrulename;
    int seqnum = 0;
    std::string rulekey;
    std::string rulename;
    int ruledepth = 0;
    OptD interphr;
    std::string interphrc;
};

// The names of the interpretation rules the generator rates, in rating order.
const std::vector<std::string>& interpRuleNames();

// The rating classes, from the least to the most limited.
inline constexpr const char* kFewLimitations = "Few limitations";
inline constexpr const char* kModerateLimitations = "Moderate limitations";
inline constexpr const char* kSevereLimitations = "Severe limitations";
inline constexpr const char* kNotRated = "Not rated";

// The rating rows of every rule for one component, each followed by its reasons (the
// strongest first, at most maxReasons of them).
std::vector<InterpRow> interpret(const Component& c, int maxReasons);

// Shallowest wet zone of the component over the given months (1-12), if any.
OptI wettestTop(const Component& c, int firstMonth = 1, int lastMonth = 12);

} // namespace qln::sample
