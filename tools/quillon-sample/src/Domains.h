#pragma once

#include <string>
#include <vector>

namespace qln::sample {

class Database;

struct Domain {
    std::string name;                  // mdstatdomdet.domainname
    std::vector<std::string> choices;  // in their natural order: choicesequence 1, 2, ...
};

// The coded value domains of the generated database. The generator draws coded columns
// from these lists only, so every stored value is a choice of its domain.
const std::vector<Domain>& domains();
const std::vector<std::string>& choices(const std::string& domainName);

// Writes mdstatdommas and mdstatdomdet.
void writeDomains(Database& db);

} // namespace qln::sample
