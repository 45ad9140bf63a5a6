#pragma once

#include "quillon/utils/clsGenUtils.h"

namespace qln::genutil {

// clsGenUtils over ambutil's exports. Holds no state: the watch flag lives in ambutil.
class GenUtils final : public utils::clsGenUtils {
public:
    std::int32_t cGenerateUUID(std::string& aUUIdBuff, std::int32_t aBuffSize) override;
    std::int32_t cGetRegistrySize(std::uint32_t aHive, const std::string& aKey, const std::string& aField,
                                  std::int32_t& aSize) override;
    std::int32_t cGetRegistryString(std::uint32_t aHive, const std::string& aKey, const std::string& aField,
                                    std::string& aResult) override;
    std::int32_t cGetRegistryInt(std::uint32_t aHive, const std::string& aKey, const std::string& aField,
                                 std::int32_t& aResult) override;
    std::int32_t cPutRegistryString(std::uint32_t aHive, const std::string& aKey, const std::string& aField,
                                    const std::string& aInputValue) override;
    std::int32_t cPutRegistryInt(std::uint32_t aHive, const std::string& aKey, const std::string& aField,
                                 std::int32_t aInputValue) override;
    std::int32_t cDeleteRegistryKey(std::uint32_t aHive, const std::string& aKey) override;
    std::string cGenerateUUIDStr() override;
    std::string cGetHelpPath() override;
    std::string cGetToken(const std::string& aString, const std::string& aDelim, std::int16_t aSegNum) override;
    std::int32_t cNotifyChangeKey(std::uint32_t aHive, const std::string& aKeyField, std::int32_t aNotifyFilter,
                                  RegChangeCallback aCallbackHandle) override;
    void cStopRegChangeNotifications() override;
    std::string cShortFilename(const std::string& sLongName) override;
};

} // namespace qln::genutil
