#include "quillon/reporter/Reporter.h"

#include "Catalog.h"
#include "Log.h"
#include "Screen.h"
#include "quillon/reporter/Format.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <optional>

namespace qln::reporter {

namespace {

constexpr std::int32_t kWarning = 8;
constexpr std::int32_t kDefaultLevel = 14;  // fatal, error, warning

// The process-wide state of reporting. One mutex covers the settings, the catalogs and the
// log writes; the display has its own lock (Display.cpp), so a question waiting for the
// user does not hold up other threads' records.
class Reporter {
public:
    static Reporter& instance()
    {
        static Reporter reporter;
        return reporter;
    }

    void setLevel(std::int32_t level) { m_level = level; }

    bool start(std::string_view base, std::int32_t version, std::int32_t category, bool batch)
    {
        if (base.empty()) return false;
        const std::string source = std::string(base) + std::to_string(version);
        std::error_code error;
        std::filesystem::create_directories(logPath(source).parent_path(), error);
        if (error) return false;
        const std::lock_guard lock(m_mutex);
        m_source = source;
        m_category = category;
        m_batch = batch;
        m_catalogs.reset();
        ensureCatalogs();
        return true;
    }

    void report(std::int32_t type, std::int32_t destination, std::string_view procedure, std::int32_t msgId,
                const std::vector<std::string>& inserts, std::int32_t sysErrNum, std::string_view sysErrDescription)
    {
        Notice notice{type, msgId, std::string(procedure), {}};
        bool batch = false;
        {
            const std::lock_guard lock(m_mutex);
            ensureCatalogs();
            notice.text = textOf(msgId, inserts);
            batch = m_batch;
            if ((type & m_level) != 0)
                record({type, categoryName(), notice.procedure, msgId, sysErrNum, std::string(sysErrDescription),
                        notice.text});
        }
        if (destination != 0 && !batch) showNotice(notice);
    }

    std::int32_t prompt(std::int32_t promptType, std::string_view title, std::int32_t msgId,
                        const std::vector<std::string>& inserts)
    {
        std::string text;
        {
            const std::lock_guard lock(m_mutex);
            ensureCatalogs();
            text = textOf(msgId, inserts);
        }
        return box(promptType, title, text);
    }

    std::int32_t box(std::int32_t promptType, std::string_view title, std::string_view text)
    {
        bool batch = false;
        {
            const std::lock_guard lock(m_mutex);
            batch = m_batch;
        }
        if (batch) return defaultAnswer(promptType);
        return askQuestion({promptType, std::string(title), std::string(text)});
    }

private:
    // Loads the catalogs once per start; what is wrong with them is recorded whatever the
    // log level, since every later message would otherwise lose its text unexplained.
    void ensureCatalogs()
    {
        if (m_catalogs) return;
        m_catalogs = loadCatalogs(m_source);
        for (const std::string& problem : m_catalogs->problems)
            record({kWarning, categoryName(), "Reporter", 0, 0, {},
                    "The catalogs of the event source " + m_source + " are not usable: " + problem});
    }

    std::string textOf(std::int32_t msgId, const std::vector<std::string>& inserts) const
    {
        if (m_catalogs->messages)
            if (const std::string* stored = m_catalogs->messages->find(static_cast<std::uint32_t>(msgId)))
                return formatMessage(*stored, inserts);
        std::string text = "Message " + std::to_string(msgId) + " is not in the message catalog.";
        if (!inserts.empty()) {
            text += " Inserts: ";
            for (const std::string& insert : inserts) text += "|" + insert;
        }
        return text;
    }

    std::string categoryName() const
    {
        if (m_catalogs && m_catalogs->categories)
            if (const std::string* stored = m_catalogs->categories->find(static_cast<std::uint32_t>(m_category)))
                return formatMessage(*stored, {});
        return std::to_string(m_category);
    }

    // A record that cannot be written goes to standard error rather than being lost.
    void record(const LogRecord& entry) const
    {
        const std::string line = logLine(entry, std::chrono::system_clock::now());
        const auto file = logPath(m_source);
        if (!appendLine(file, line))
            std::fprintf(stderr, "%s: cannot write the log %s: %s\n", program_invocation_short_name,
                         file.c_str(), line.c_str());
    }

    std::atomic<std::int32_t> m_level{kDefaultLevel};
    std::mutex m_mutex;
    std::string m_source = kDefaultEventSource;
    std::int32_t m_category = 1;
    bool m_batch = false;
    std::optional<Catalogs> m_catalogs;
};

std::string_view text(const char* value) { return value ? value : ""; }

std::vector<std::string> insertArray(std::int32_t count, const char* const* inserts)
{
    std::vector<std::string> out;
    for (std::int32_t i = 0; inserts && i < count; ++i) out.emplace_back(text(inserts[i]));
    return out;
}

// No exception may cross the C boundary; a failure there is said on standard error.
template <class Result, class Body>
Result shielded(const char* entry, Result fallback, Body&& body)
{
    try {
        return body();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: Reporter %s failed: %s\n", program_invocation_short_name, entry, error.what());
    } catch (...) {
        std::fprintf(stderr, "%s: Reporter %s failed\n", program_invocation_short_name, entry);
    }
    return fallback;
}

void report(const char* entry, std::int32_t type, std::int32_t destination, const char* procedure,
            std::int32_t msgId, std::vector<std::string> inserts, std::int32_t sysErrNum, const char* description)
{
    shielded(entry, 0, [&] {
        Reporter::instance().report(type, destination, text(procedure), msgId, inserts, sysErrNum, text(description));
        return 0;
    });
}

} // namespace

} // namespace qln::reporter

using qln::reporter::Reporter;
using qln::reporter::report;
using qln::reporter::shielded;
using qln::reporter::text;

extern "C" {

void SetLogLevel(std::int32_t level)
{
    Reporter::instance().setLevel(level);
}

std::int32_t InitMsgReportingVers(const char* eventSource, std::int32_t version, std::int32_t category)
{
    return shielded("InitMsgReportingVers", 0, [&] {
        return Reporter::instance().start(text(eventSource), version, category, false) ? 1 : 0;
    });
}

std::int32_t InitBatchMsgReportingVers(const char* eventSource, std::int32_t version, std::int32_t category)
{
    return shielded("InitBatchMsgReportingVers", 0, [&] {
        return Reporter::instance().start(text(eventSource), version, category, true) ? 1 : 0;
    });
}

void ReportSimpleMessage(std::int32_t type, std::int32_t destination, const char* procedure, std::int32_t msgId,
                         std::int32_t insertCount, const char* inserts)
{
    report("ReportSimpleMessage", type, destination, procedure, msgId,
           qln::reporter::splitInserts(insertCount, text(inserts)), 0, nullptr);
}

void ReportSimpleSysMessage2(std::int32_t type, std::int32_t destination, const char* procedure,
                             std::int32_t msgId, std::int32_t insertCount, const char* inserts,
                             std::int32_t sysErrNum, const char* sysErrDescription)
{
    report("ReportSimpleSysMessage2", type, destination, procedure, msgId,
           qln::reporter::splitInserts(insertCount, text(inserts)), sysErrNum, sysErrDescription);
}

void ReportSimpleSysMessage(std::int32_t type, std::int32_t destination, const char* procedure, std::int32_t msgId,
                            std::int32_t insertCount, const char* inserts, std::int32_t sysErrNum)
{
    report("ReportSimpleSysMessage", type, destination, procedure, msgId,
           qln::reporter::splitInserts(insertCount, text(inserts)), sysErrNum, nullptr);
}

void ReportMessageVector(std::int32_t type, std::int32_t destination, const char* procedure, std::int32_t msgId,
                         std::int32_t insertCount, const char* const* inserts)
{
    report("ReportMessageVector", type, destination, procedure, msgId,
           qln::reporter::insertArray(insertCount, inserts), 0, nullptr);
}

void ReportSysMessageVector(std::int32_t type, std::int32_t destination, const char* procedure,
                            std::int32_t msgId, std::int32_t insertCount, const char* const* inserts,
                            std::int32_t sysErrNum)
{
    report("ReportSysMessageVector", type, destination, procedure, msgId,
           qln::reporter::insertArray(insertCount, inserts), sysErrNum, nullptr);
}

std::int32_t SimpleMessagePrompt(std::int32_t promptType, const char* title, std::int32_t msgId,
                                 std::int32_t insertCount, const char* inserts)
{
    return shielded("SimpleMessagePrompt", qln::reporter::defaultAnswer(promptType), [&] {
        return Reporter::instance().prompt(promptType, text(title), msgId,
                                           qln::reporter::splitInserts(insertCount, text(inserts)));
    });
}

std::int32_t ReporterMessageBox(const char* title, const char* message, std::int32_t promptType)
{
    return shielded("ReporterMessageBox", qln::reporter::defaultAnswer(promptType), [&] {
        return Reporter::instance().box(promptType, text(title), text(message));
    });
}

} // extern "C"
