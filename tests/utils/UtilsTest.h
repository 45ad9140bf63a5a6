#pragma once

// A fresh registry and log per test, the message catalogs registered and reporting started
// with every message type recorded, and the log read back record by record.

#include "../support/LoadedLibrary.h"
#include "../support/TempFolder.h"

#include "quillon/reporter/Reporter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qln::test {

struct Logged {
    std::string type, procedure, msgId, sysErr, text;
    friend bool operator==(const Logged&, const Logged&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const Logged& record)
{
    return out << record.type << " | " << record.procedure << " | " << record.msgId << " | " << record.sysErr
               << " | " << record.text;
}

class UtilsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(LoadedLibrary(AMBMESSAGES_LIBRARY).call("DllRegisterServer"), 0);
        ASSERT_EQ(LoadedLibrary(AMBCATEGORIES_LIBRARY).call("DllRegisterServer"), 0);
        ASSERT_EQ(InitBatchMsgReportingVers("AMBApps", 2, 14), 1);
        SetLogLevel(30);
    }

    // Every record of the log; the log writes a line break inside a text as "\n".
    std::vector<Logged> logged() const
    {
        std::ifstream in(folder / "state" / "quillon" / "AMBApps2.log");
        std::vector<Logged> records;
        for (std::string line; std::getline(in, line);) {
            std::vector<std::string> fields;
            // The text, last, may itself hold the separator.
            for (std::size_t start = 0;;) {
                const std::size_t end = fields.size() == 7 ? std::string::npos : line.find(" | ", start);
                fields.push_back(line.substr(start, end - start));
                if (end == std::string::npos) break;
                start = end + 3;
            }
            if (fields.size() == 8) records.push_back({fields[1], fields[4], fields[5], fields[6], fields[7]});
        }
        return records;
    }

    ::testing::AssertionResult wasLogged(const Logged& expected) const
    {
        std::ostringstream all;
        for (const Logged& record : logged()) {
            if (record == expected) return ::testing::AssertionSuccess();
            all << "\n  " << record;
        }
        return ::testing::AssertionFailure() << "not in the log: " << expected << "\nthe log:" << all.str();
    }

    TempFolder folder;
};

// A text as the log writes it.
inline std::string oneLine(std::string text)
{
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2) text.replace(at, 1, "\\n");
    return text;
}

} // namespace qln::test
