#pragma once

// Stand-ins for the reporter and the utilities: what is reported and written is kept.

#include "quillon/reporting/clsReporter.h"
#include "quillon/utils/clsGenUtils.h"

#include <atomic>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qln::test {

struct Report {
    int type;
    int dest;
    std::string procedure;
    int message;
    std::vector<std::string> inserts;
};

struct FakeReporter : reporting::clsReporter {
    std::vector<Report> reports;
    // The reports of errors with their description (cReportMsg2), kept apart.
    std::vector<Report> errorReports;
    reporting::ErrObject err;
    // The answer to every question, and how many were asked.
    reporting::MRUPromptResp answer = reporting::OK;
    int questions = 0;

    void cSetLogLevel(reporting::MRULogLevel) override {}
    bool cInitReporting(std::string_view, std::optional<std::int32_t>, std::int32_t, std::optional<Variant>) override
    {
        return true;
    }
    void cReportMsg(reporting::MRUMsgType type, reporting::MRUMsgDest dest, std::string_view procedure,
                    std::int32_t message, std::int32_t, const reporting::InsertList& inserts) override
    {
        Report r {type, dest, std::string(procedure), message, {}};
        for (const auto& i : inserts)
            r.inserts.push_back(i.value().text());
        reports.push_back(std::move(r));
    }
    void cHandleSysErr(std::string_view, const std::optional<reporting::ErrObject>&) override {}
    reporting::MRUPromptResp cMsgPrompt(reporting::MRUPromptType, std::string_view, std::int32_t,
                                        const reporting::InsertList&) override
    {
        ++questions;
        return answer;
    }
    void cReportMsg2(std::int32_t type, std::int32_t dest, std::string_view procedure, std::int32_t message,
                     const reporting::ErrObject&, const reporting::InsertList& inserts) override
    {
        Report r {type, dest, std::string(procedure), message, {}};
        for (const auto& i : inserts)
            r.inserts.push_back(i.value().text());
        errorReports.push_back(std::move(r));
    }
    reporting::ErrObject& Err() override { return err; }
};

// Answers "EnableQLNDialog" with the value set (nothing: the read fails) and counts reads;
// keeps the strings written, by field.
struct FakeGenUtils : utils::clsGenUtils {
    std::optional<std::string> enableValue = "Y";
    std::map<std::string, std::string> written;
    std::atomic<int> reads {0};
    std::string lastKey, lastField;
    std::uint32_t lastHive = 0;

    std::int32_t cGenerateUUID(std::string&, std::int32_t) override { return 0; }
    std::int32_t cGetRegistrySize(std::uint32_t, const std::string&, const std::string&, std::int32_t&) override
    {
        return 0;
    }
    std::int32_t cGetRegistryString(std::uint32_t hive, const std::string& key, const std::string& field,
                                    std::string& out) override
    {
        ++reads;
        lastHive = hive;
        lastKey = key;
        lastField = field;
        if (!enableValue)
            return 0;
        out = *enableValue;
        return 1;
    }
    std::int32_t cGetRegistryInt(std::uint32_t, const std::string&, const std::string&, std::int32_t&) override
    {
        return 0;
    }
    std::int32_t cPutRegistryString(std::uint32_t, const std::string&, const std::string& field,
                                    const std::string& value) override
    {
        written[field] = value;
        return 1;
    }
    std::int32_t cPutRegistryInt(std::uint32_t, const std::string&, const std::string&, std::int32_t) override
    {
        return 0;
    }
    std::int32_t cDeleteRegistryKey(std::uint32_t, const std::string&) override { return 0; }
    std::string cGenerateUUIDStr() override { return {}; }
    std::string cGetHelpPath() override { return {}; }
    std::string cGetToken(const std::string&, const std::string&, std::int16_t) override { return {}; }
    std::int32_t cNotifyChangeKey(std::uint32_t, const std::string&, std::int32_t, ::RegChangeCallback) override
    {
        return 1;
    }
    void cStopRegChangeNotifications() override {}
    std::string cShortFilename(const std::string&) override { return {}; }
};

} // namespace qln::test
