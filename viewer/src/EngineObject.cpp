#include "EngineObject.h"

#include "quillon/components/Components.h"

namespace qln::viewer {

std::unique_ptr<EngineObject> createEngine()
{
    return components::create<EngineObject>(engine::kQuillonProgId);
}

} // namespace qln::viewer
