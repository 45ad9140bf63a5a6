// consumer <rules database>: counts the attributes of the rules through the engine.
#include "quillon/ado/DataSources.h"
#include "quillon/engine/clsQuillon.h"

#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) return 64;
    qln::ado::defineDataSource(qln::engine::kRulesDataSource, argv[1]);
    const auto engine = qln::engine::createQuillon();
    auto attributes = engine->GetMainQLNRS("SELECT NodeKey FROM Attributes");
    std::cout << "attributes: " << attributes.recordCount() << "\n";
    return attributes.recordCount() > 0 ? 0 : 1;
}
