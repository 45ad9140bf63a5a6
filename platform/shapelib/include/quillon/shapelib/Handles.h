#pragma once

// Deleters that let std::unique_ptr own shapelib's handles, so every early return closes
// the files it opened.

#include <shapefil.h>

namespace qln::shapelib {

struct ShpClose {
    void operator()(SHPInfo* h) const { SHPClose(h); }
};
struct DbfClose {
    void operator()(DBFInfo* h) const { DBFClose(h); }
};
struct ObjDestroy {
    void operator()(SHPObject* o) const { SHPDestroyObject(o); }
};

} // namespace qln::shapelib
