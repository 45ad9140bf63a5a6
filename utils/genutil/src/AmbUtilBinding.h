#pragma once

namespace qln::genutil {

// An export of libambutil.so, found by name. The library is the one beside libgenutil.so,
// loaded at the first call and kept for the rest of the process (its watch threads run its
// code). Throws qln::EngineError 53 when it cannot be loaded and 453 when it lacks the export.
void* ambutilExport(const char* name);

template <class Function>
Function* ambutil(const char* name)
{
    return reinterpret_cast<Function*>(ambutilExport(name));
}

} // namespace qln::genutil
