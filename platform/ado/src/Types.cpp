#include "quillon/ado/Types.h"

namespace qln::ado {

bool isTextType(int type)
{
    switch (type) {
    case adChar:
    case adWChar:
    case adVarChar:
    case adLongVarChar:
    case adVarWChar:
    case adLongVarWChar:
        return true;
    default:
        return false;
    }
}

} // namespace qln::ado
