#include "GenUtils.h"

#include "AmbUtilBinding.h"
#include "SysErr.h"
#include "quillon/reporter/Reporter.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace qln::genutil {

namespace {

constexpr std::int32_t kUuidBufferSize = 80;
// The system error of a failed UUID generation.
constexpr std::int32_t kNoUuid = 94;

// Guard of every operation: a failure in the body is reported under the operation's name
// and the operation returns its default result.
template <class Result, class Body>
Result guarded(const char* operation, Result fallback, Body&& body)
{
    try {
        return body();
    } catch (...) {
        HandleSysErr(operation, caughtError());
        return fallback;
    }
}

} // namespace

std::int32_t GenUtils::cGenerateUUID(std::string& /*aUUIdBuff*/, std::int32_t /*aBuffSize*/)
{
    return guarded("cGenerateUUID", 0, [] {
        ReporterMessageBox("GenericKelvaroUtilities", "THIS IS A NON-SUPPORTED FUNCTION. DO NOT CALL IT!", 0);
        return 0;
    });
}

std::int32_t GenUtils::cGetRegistrySize(std::uint32_t aHive, const std::string& aKey, const std::string& aField,
                                        std::int32_t& aSize)
{
    return guarded("cGetRegistrySize", 0, [&] {
        return ambutil<decltype(GetRegistrySize)>("GetRegistrySize")(aHive, aKey.c_str(), aField.c_str(), &aSize);
    });
}

std::int32_t GenUtils::cGetRegistryString(std::uint32_t aHive, const std::string& aKey, const std::string& aField,
                                          std::string& aResult)
{
    return guarded("cGetRegistryString", 0, [&] {
        std::int32_t size = 0;
        const std::int32_t sized = cGetRegistrySize(aHive, aKey, aField, size);
        if (size <= 0) return sized;
        std::vector<char> buffer(static_cast<std::size_t>(size), '\0');
        const std::int32_t result = ambutil<decltype(GetRegistryString)>("GetRegistryString")(
            aHive, aKey.c_str(), aField.c_str(), buffer.data(), size);
        // The text up to its first zero, whatever the data held.
        aResult.assign(buffer.data(), std::find(buffer.begin(), buffer.end(), '\0') - buffer.begin());
        return result;
    });
}

std::int32_t GenUtils::cGetRegistryInt(std::uint32_t aHive, const std::string& aKey, const std::string& aField,
                                       std::int32_t& aResult)
{
    return guarded("cGetRegistryInt", 0, [&] {
        return ambutil<decltype(GetRegistryInt)>("GetRegistryInt")(aHive, aKey.c_str(), aField.c_str(), &aResult);
    });
}

std::int32_t GenUtils::cPutRegistryString(std::uint32_t aHive, const std::string& aKey, const std::string& aField,
                                          const std::string& aInputValue)
{
    return guarded("cPutRegistryString", 0, [&] {
        return ambutil<decltype(PutRegistryString)>("PutRegistryString")(aHive, aKey.c_str(), aField.c_str(),
                                                                         aInputValue.c_str());
    });
}

std::int32_t GenUtils::cPutRegistryInt(std::uint32_t aHive, const std::string& aKey, const std::string& aField,
                                       std::int32_t aInputValue)
{
    return guarded("cPutRegistryInt", 0, [&] {
        return ambutil<decltype(PutRegistryInt)>("PutRegistryInt")(aHive, aKey.c_str(), aField.c_str(), aInputValue);
    });
}

std::int32_t GenUtils::cDeleteRegistryKey(std::uint32_t aHive, const std::string& aKey)
{
    return guarded("cDeleteRegistryKey", 0,
                   [&] { return ambutil<decltype(DeleteRegistryKey)>("DeleteRegistryKey")(aHive, aKey.c_str()); });
}

std::string GenUtils::cGenerateUUIDStr()
{
    return guarded("cGenerateUUIDStr", std::string(), [] {
        char buffer[kUuidBufferSize] = {};
        if (ambutil<decltype(GenerateUUID)>("GenerateUUID")(buffer, kUuidBufferSize) != 1) {
            HandleSysErr("cGenerateUUIDStr", {kNoUuid, {}});
            return std::string();
        }
        return std::string(buffer);
    });
}

std::string GenUtils::cGetHelpPath()
{
    return guarded("cGetHelpPath", std::string(), [this] {
        std::string path;
        return cGetRegistryString(utils::HKEY_LOCAL_MACHINE, "SOFTWARE\\Kelvaro\\Ambrel", "VBHelpPath", path) == 1
                   ? path
                   : std::string();
    });
}

std::string GenUtils::cGetToken(const std::string& aString, const std::string& aDelim, std::int16_t aSegNum)
{
    return guarded("cGetToken", std::string(), [&] {
        std::string rest = aString;
        std::string token;
        for (int i = 0; i < aSegNum;) {
            const std::size_t at = rest.find(aDelim);
            if (at == std::string::npos) break;
            token = rest.substr(0, at);
            rest.erase(0, at + aDelim.size());
            // Should no delimiter follow, the rest is the last token.
            if (++i < aSegNum) token = rest;
        }
        return token;
    });
}

std::int32_t GenUtils::cNotifyChangeKey(std::uint32_t aHive, const std::string& aKeyField, std::int32_t aNotifyFilter,
                                        RegChangeCallback aCallbackHandle)
{
    return guarded("cNotifyChangeKey", 0, [&] {
        return ambutil<decltype(NotifyChangeKey)>("NotifyChangeKey")(aHive, aKeyField.c_str(), aNotifyFilter,
                                                                     aCallbackHandle);
    });
}

void GenUtils::cStopRegChangeNotifications()
{
    guarded("cStopRegChangeNotifications", 0, [] {
        ambutil<decltype(StopRegChangeNotifications)>("StopRegChangeNotifications")();
        return 0;
    });
}

std::string GenUtils::cShortFilename(const std::string& sLongName)
{
    return guarded("cShortFilename", std::string(), [&] {
        namespace fs = std::filesystem;
        std::error_code missing;
        const fs::path path(sLongName);
        if (sLongName < " " || !fs::exists(path, missing) || fs::is_directory(path, missing)) return std::string();
        return path.filename().string();
    });
}

} // namespace qln::genutil
