#include "quillon/utils/AmbUtil.h"

#include <uuid/uuid.h>

#include <cstring>

namespace {
constexpr std::int32_t kUuidLength = 36;
}

// libuuid falls back to a random identifier when no network address is known, and such a
// local identifier is accepted; generation itself cannot fail.
extern "C" std::int32_t GenerateUUID(char* buffer, std::int32_t bufferSize)
{
    if (!buffer || bufferSize <= kUuidLength) return 0;
    uuid_t id;
    uuid_generate(id);
    char textForm[kUuidLength + 1];
    uuid_unparse_lower(id, textForm);
    std::memcpy(buffer, textForm, sizeof textForm);
    return 1;
}
