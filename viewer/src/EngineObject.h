#pragma once

// The rating engine as the viewer holds it: created by ProgID, never linked.

#include "quillon/engine/clsQuillon.h"

#include <memory>

namespace qln::viewer {

using EngineObject = engine::clsQuillon;

// Throws qln::EngineError naming the ProgID when it is not registered or does not load.
std::unique_ptr<EngineObject> createEngine();

} // namespace qln::viewer
