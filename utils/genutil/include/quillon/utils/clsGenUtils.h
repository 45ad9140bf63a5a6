#pragma once

// The utilities class (ProgID "GenericKelvaroUtilities.clsGenUtils", library libgenutil.so)
// over ambutil's exports, which it finds by name in libambutil.so beside itself. Programs
// create it with qln::components::create<qln::utils::clsGenUtils>(kGenUtilsProgId). No
// operation lets a failure out: it is reported as a system error under the operation's
// name, and the operation returns 0 or the empty text.

#include "quillon/utils/AmbUtil.h"

#include <cstdint>
#include <string>

namespace qln::utils {

inline constexpr const char* kGenUtilsProgId = "GenericKelvaroUtilities.clsGenUtils";

// The operations in the order of the class's interface. Results 1 and 0 are ambutil's.
class clsGenUtils {
public:
    virtual ~clsGenUtils() = default;

    // Shows the box "THIS IS A NON-SUPPORTED FUNCTION. DO NOT CALL IT!" and returns 0.
    [[deprecated("This interface is obsolete!  Use the GenerateUUIDStr interface instead.")]]
    virtual std::int32_t cGenerateUUID(std::string& aUUIdBuff, std::int32_t aBuffSize) = 0;
    // Queries for a specific registry field, and returns the size of the value associated to
    // the field. The return integer is an indicator of success (1) or failure (0).
    virtual std::int32_t cGetRegistrySize(std::uint32_t aHive, const std::string& aKey, const std::string& aField,
                                          std::int32_t& aSize) = 0;
    // aResult is left as it was when the value cannot be read or is empty.
    virtual std::int32_t cGetRegistryString(std::uint32_t aHive, const std::string& aKey, const std::string& aField,
                                            std::string& aResult) = 0;
    virtual std::int32_t cGetRegistryInt(std::uint32_t aHive, const std::string& aKey, const std::string& aField,
                                         std::int32_t& aResult) = 0;
    virtual std::int32_t cPutRegistryString(std::uint32_t aHive, const std::string& aKey, const std::string& aField,
                                            const std::string& aInputValue) = 0;
    virtual std::int32_t cPutRegistryInt(std::uint32_t aHive, const std::string& aKey, const std::string& aField,
                                         std::int32_t aInputValue) = 0;
    virtual std::int32_t cDeleteRegistryKey(std::uint32_t aHive, const std::string& aKey) = 0;
    // A new UUID as 36 lower-case characters; "" when none could be made.
    virtual std::string cGenerateUUIDStr() = 0;
    // The value "VBHelpPath" of HKEY_LOCAL_MACHINE\SOFTWARE\Kelvaro\Ambrel, or "".
    virtual std::string cGetHelpPath() = 0;
    // Token aSegNum (from 1) of aString between occurrences of aDelim (case-sensitive, any
    // length): a number past the last token gives the last; "" when aString holds no aDelim
    // or aSegNum is below 1.
    virtual std::string cGetToken(const std::string& aString, const std::string& aDelim, std::int16_t aSegNum) = 0;
    // Calls aCallbackHandle on a thread of its own after each change in the key or its
    // sub-keys (ambutil's NotifyChangeKey).
    virtual std::int32_t cNotifyChangeKey(std::uint32_t aHive, const std::string& aKeyField,
                                          std::int32_t aNotifyFilter, RegChangeCallback aCallbackHandle) = 0;
    virtual void cStopRegChangeNotifications() = 0;
    // Returns the MS-DOS formatted short filename for a given long filepath. Names are their
    // own short names here: the file's name without its folder, or "" when no file has that
    // path.
    virtual std::string cShortFilename(const std::string& sLongName) = 0;
};

} // namespace qln::utils
