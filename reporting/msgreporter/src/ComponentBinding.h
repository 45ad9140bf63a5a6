#pragma once

#include <functional>

namespace qln::reporting {

// Finds an entry point of the Reporter component by name. Throws qln::EngineError 53 when
// the component cannot be loaded and 453 when it lacks the entry.
using EntryResolver = std::function<void*(const char* name)>;

// Binds libReporter.so on its first use and each entry when it is first asked for; a
// failed load is tried again at the next call.
EntryResolver componentResolver();

} // namespace qln::reporting
