#include "quillon/registry/Registry.h"
