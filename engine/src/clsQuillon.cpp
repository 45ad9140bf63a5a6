#include "Quillon.h"

#include "BatchCopies.h"
#include "CheckRunData.h"
#include "DataProcessing.h"
#include "FieldValues.h"
#include "MapunitBatches.h"
#include "modCLSFuncs.h"
#include "modErrorCodes.h"
#include "modGetWhere.h"
#include "modShapeFuncs.h"
#include "modXMLFunctions.h"
#include "rsFunctions.h"
#include "quillon/Error.h"
#include "quillon/SqlText.h"
#include "quillon/ado/Connection.h"
#include "quillon/ado/ReadWatch.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

namespace qln::engine {
namespace {

// A component-level run over more map units than this reads its soils this many map units
// at a time, so that its memory does not grow with the size of the database.
constexpr std::size_t kBatchMapunits = 2000;

std::string componentQuery(const std::string& mapunitCondition)
{
    return "SELECT musym,comppct_r,component.cokey,mapunit.lkey,mapunit.mukey  FROM component,mapunit "
           "WHERE component.mukey=mapunit.mukey AND (" + mapunitCondition + ") ORDER BY comppct_r DESC";
}

// The type of the rating field: that of the attribute's column in the SHAPE result.
int RatingType(const ado::Recordset& shape, const RunInputs& in)
{
    int ratingType = ado::adVariant;
    long ratingSize = 0;
    GetDataTypeSize(shape, in.telvaTable, in.valueColumn, ratingType, ratingSize);
    return ratingType;
}

// The empty results record set of a run (step 8 of ProcessData).
ado::Recordset createResults(int ratingType, const RunInputs& in)
{
    ado::Recordset results;
    results.appendField("musym", ado::adVarChar, 6, ado::adFldUpdatable);
    results.appendField("mukey", ado::adVarChar, 30, ado::adFldUpdatable);
    if (in.singleType)
        results.appendField(in.outputTable, ado::adSingle, 0, ado::adFldUpdatable);
    else
        results.appendField(in.outputTable, ratingType, in.definedSize, ado::adFldUpdatable);
    if (in.componentLevel) {
        results.appendField("cokey", ado::adVarChar, 1000, ado::adFldUpdatable);
        results.appendField("NumComponents", ado::adInteger, 0, ado::adFldUpdatable);
    }
    results.open();
    return results;
}

[[noreturn]] void raiseCancelled()
{
    RaiseError(qlnErrCancelled, "", "The run was cancelled.");
}

// Tells the progress handler the rows the queries of this thread have read while it lives.
ado::ReadWatch rowsRead(const std::function<bool(long, long)>& progress)
{
    return ado::ReadWatch([&progress](long rows) {
        if (progress && !progress(rows, 0))
            raiseCancelled();
    });
}

[[noreturn]] void raiseChanged(const std::string& mukey)
{
    RaiseError(qlnErrSoilsDatabase, "",
               "The soils database changed while it was read: map unit " + mukey + " is no longer there.");
}

} // namespace

// The connections and component rows of the latest run; replaced by the next run.
struct Quillon::State {
    ado::Connection soils;
    ado::Connection shaped;
    ado::Recordset components;
    std::function<bool(long, long)> progress;
    InvertedHorizons inverted;
    std::size_t batchMapunits = kBatchMapunits;
    unsigned threads = std::max(1u, std::thread::hardware_concurrency());
};

namespace {

// The caller's connection string with a provider added. The viewer's plain string ends in
// "DBQ=" + file, without a closing ";": joined bare, the provider would become part of the
// file name.
std::string withProvider(const std::string& connect, const char* provider)
{
    const bool closed = connect.empty() || connect.back() == ';';
    return connect + (closed ? "" : ";") + "Provider=" + provider + ";";
}

} // namespace

Quillon::Quillon() : m_state(std::make_unique<State>()) {}
Quillon::~Quillon() = default;

std::unique_ptr<clsQuillon> createQuillon()
{
    return std::make_unique<Quillon>();
}

void Quillon::setProgressHandler(std::function<bool(long, long)> handler)
{
    m_state->progress = std::move(handler);
}

const InvertedHorizons& Quillon::invertedHorizons() const
{
    return m_state->inverted;
}

ado::Recordset Quillon::GetMainQLNRS(const std::string& iSQL)
{
    try {
        return sGetMainQLNRS(iSQL);
    } catch (...) {
        rethrowWithTrail("GetMainQLNRS", 1);
    }
}

ado::Recordset Quillon::GetSoilsDataRS(const std::string& iSoils_CS, const std::string& iSQL)
{
    try {
        return sGetDisconnectedRS(iSoils_CS, iSQL);
    } catch (...) {
        rethrowWithTrail("GetSoilsDataRS", 1);
    }
}

short Quillon::CheckForAlternateMUKey(const std::string& iConnectStr)
{
    int line = 1;
    try {
        ado::Connection connection;
        adoOpenDatabase(connection, iConnectStr, ado::adUseClient);
        line = 2;
        ado::Recordset mapunit;
        adoOpenRecordset(connection, mapunit, "SELECT * FROM mapunit", ado::adLockOptimistic);
        short result = -1;
        for (int i = 0; i < mapunit.fieldCount(); ++i) {
            if (mapunit.field(i).name == "mukey") {
                result = 1;
                break;
            }
        }
        adoCloseRecordset(mapunit);
        adoCloseDatabase(connection);
        return result;
    } catch (...) {
        rethrowWithTrail("CheckForAlternateMUKey", line);
    }
}

std::optional<ado::Recordset> Quillon::GetOptionListsRS(const std::string& iSoils_CS, const std::string& iNodeKey)
{
    int line = 1;
    try {
        ado::Recordset lists = GetMainQLNRS("SELECT * FROM OptionList WHERE NodeKey='" + escapeQuotes(iNodeKey) + "'");
        if (lists.recordCount() <= 0)
            return std::nullopt;
        line = 2;
        ado::Connection soils;
        adoOpenDatabase(soils, iSoils_CS, ado::adUseClient);
        ado::Recordset result;
        result.appendField("ListName", ado::adChar, 20);
        result.appendField("ListData", ado::adVarChar, 255);
        result.open();
        line = 3;
        for (lists.moveFirst(); !lists.eof(); lists.moveNext()) {
            const std::string label = textField(lists, "Label");
            ado::Recordset items;
            adoOpenRecordset(soils, items, textField(lists, "SelectStmt"), ado::adLockOptimistic);
            if (items.recordCount() <= 0) {
                result.addNew();
                result.setValue("ListName", label);
                result.setValue("ListData", "No Data");
                result.update();
                RaiseError(qlnErrEmptyList, "", label + " dropdown list is empty.");
            }
            for (items.moveFirst(); !items.eof(); items.moveNext()) {
                const Variant& item = items.value(0);
                if (item.isNull() || item.text().empty())
                    continue;
                result.addNew();
                result.setValue("ListName", label);
                result.setValue("ListData", item.text());
                result.update();
            }
            adoCloseRecordset(items);
        }
        adoCloseDatabase(soils);
        result.moveFirst();
        return result;
    } catch (EngineError& error) {
        // The partly filled lists are not returned; the caller sees where it failed.
        throw EngineError(error.number(), "GetOptionListsRS", error.description());
    } catch (...) {
        rethrowWithTrail("GetOptionListsRS", line);
    }
}

std::optional<ado::Recordset> Quillon::ProcessData(const std::string& iSoils_CS, ado::Recordset& iRSUserData,
                                                      ado::Recordset& rsMapunits)
{
    int line = 1;
    try {
        m_state->inverted = InvertedHorizons{};
        if (iRSUserData.recordCount() <= 0)
            return std::nullopt;
        line = 2;
        if (rsMapunits.recordCount() <= 0)
            RaiseError(qlnErrNoMapunits, "", "There are no input mapunit records.");

        line = 3;
        iRSUserData.moveFirst();
        const std::string key = textField(iRSUserData, "InterpKey");
        ado::Recordset attr = GetMainQLNRS("SELECT * FROM Attributes WHERE NodeKey='" + escapeQuotes(key) + "'");
        if (attr.recordCount() <= 0)
            RaiseError(qlnErrNoAttribute, "GetMainQLNRS", "Main QLN Rules table does not have NodeKey='" + key + "'");
        const RunInputs in = ReadRunInputs(attr, iRSUserData);
        line = 4;
        if (GetMainQLNRS("SELECT * FROM OptionList").recordCount() <= 0)
            RaiseError(qlnErrNoOptionList, "GetMainQLNRS", "Main QLN Rules table does not have OptionList records.");

        line = 5;
        State& state = *m_state;
        adoOpenDatabase(state.soils, withProvider(iSoils_CS, "MSDASQL.1"), ado::adUseClient);
        adoOpenDatabase(state.shaped, withProvider(iSoils_CS, "MSDataShape"), ado::adUseClient);

        line = 6;
        if (in.componentLevel && static_cast<std::size_t>(rsMapunits.recordCount()) > state.batchMapunits &&
            !attr.value("AttrColText").isNull())
            return ProcessBatches(iSoils_CS, attr, iRSUserData, rsMapunits, in, line);
        const std::string command = SetAdoTelvaRS(*this, state.soils, attr, iRSUserData, rsMapunits);
        ado::Recordset shape;
        {
            const auto watch = rowsRead(state.progress);
            adoOpenRecordset(state.shaped, shape, command, ado::adLockOptimistic);
        }

        line = 7;
        RunContext run;
        if (in.componentLevel) {
            state.components = ado::Recordset();
            const std::string query = componentQuery(GetMapunitKeyList(rsMapunits));
            run.allComponents = [this, iSoils_CS, query]() -> const ado::Recordset& {
                State& current = *m_state;
                if (!current.components.isOpen())
                    current.components = GetSoilsDataRS(iSoils_CS, query);
                return current.components;
            };
        }

        line = 8;
        ado::Recordset results = createResults(RatingType(shape, in), in);

        line = 9;
        CheckRunData(shape, in, state.inverted);
        if (state.progress) {
            long total = 0;
            for (ado::Recordset legend = shape.clone(); hasRow(legend); legend.moveNext()) {
                if (legend.fieldIndex("cmdmapunit") >= 0)
                    total += legend.chapter("cmdmapunit").recordCount();
            }
            run.onMapunit = [&state, total](long done) {
                if (!state.progress(done, total))
                    raiseCancelled();
            };
        }
        for (shape.moveFirst(); hasRow(shape); shape.moveNext()) {
            ado::Recordset mapunits = shape.chapter("cmdmapunit");
            ProcessMapunits(run, mapunits, rsMapunits, in, results);
        }

        line = 10;
        if (results.recordCount() > 0)
            results.moveFirst();
        return results.clone();
    } catch (...) {
        rethrowWithTrail("ProcessData", line);
    }
}

namespace {

// What rating one batch gives: the rows it stored, each with the index of its entry in the
// rating order, the entries whose method stopped their legend row, and the inverted
// horizons its check met.
struct BatchRating {
    ado::Recordset results;
    std::vector<std::size_t> rowEntries;
    std::vector<std::size_t> stops;
    std::vector<std::string> inverted;
};

// The inputs every batch of one run shares.
struct BatchInputs {
    const std::string& soilsConnect;
    const ado::Recordset& attr;
    const RunInputs& in;
    const ShapePieces& pieces;
    const RatingOrder& order;
    const MapunitKeyOrder& keys;
    int ratingType;
    const BatchCopies& copies;
};

// Reads one batch (entries [begin, end)) on the connections given, checks it and rates its
// map units in order, skipping those of `stopped`, a legend row an earlier batch stopped.
// Errors end it; `line` tells ProcessData's step.
BatchRating rateBatch(const BatchInputs& batch, std::size_t begin, std::size_t end, std::uint32_t stopped,
                      ado::Connection& soils, ado::Connection& shaped, ado::Recordset& rsMapunits, int& line)
{
    line = 6;
    ShapePieces pieces = batch.pieces;
    pieces.mapunitCondition = batch.keys.condition(batch.order, begin, end);
    pieces.childRestriction = pieces.mapunitCondition;
    std::string command;
    try {
        command = GetMainInformation(soils, pieces, batch.attr);
    } catch (...) {
        rethrowWithTrail("SetAdoTelvaRS", 5);
    }
    ado::Recordset shape;
    adoOpenRecordset(shaped, shape, command, ado::adLockOptimistic);

    line = 9;
    BatchRating rating;
    rating.results = createResults(batch.ratingType, batch.in);
    BatchRows rows(shape);
    std::vector<long> positions(end - begin);
    RunDataCheck check(batch.in);
    for (std::size_t i = begin; i < end; ++i) {
        const auto& entry = batch.order.entries[i];
        if (rows.legendRows() != batch.order.legendRows || !rows.next(entry, positions[i - begin]))
            raiseChanged(entry.mukey);
        check.checkMapunit(rows.chapter(entry.legend));
    }
    rating.inverted = check.inverted();

    RunContext run;
    ado::Recordset components;
    const bool copied = !batch.copies.components.table.empty();
    const std::string componentsQuery = copied ? CopiedComponentsQuery(batch.copies.components, pieces.mapunitCondition)
                                               : componentQuery(pieces.mapunitCondition);
    const std::string componentsConnect =
        copied ? "DBQ=" + ado::quoteConnectionValue(batch.copies.file->path().string()) + ";Mode=Read;"
               : batch.soilsConnect;
    run.allComponents = [&]() -> const ado::Recordset& {
        if (!components.isOpen()) {
            try {
                components = sGetDisconnectedRS(componentsConnect, componentsQuery);
            } catch (...) {
                rethrowWithTrail("GetSoilsDataRS", 1);
            }
        }
        return components;
    };
    for (std::size_t i = begin; i < end; ++i) {
        const auto& entry = batch.order.entries[i];
        if (entry.legend == stopped)
            continue;
        ado::Recordset& mapunits = rows.chapter(entry.legend);
        mapunits.setAbsolutePosition(positions[i - begin]);
        const long stored = rating.results.recordCount();
        if (RateMapunit(run, mapunits, rsMapunits, batch.in, rating.results) == kStopLegend) {
            rating.stops.push_back(i);
            stopped = entry.legend;
        }
        if (rating.results.recordCount() > stored)
            rating.rowEntries.push_back(i);
    }
    return rating;
}

// Batches rated on worker threads, each with connections of its own, handed over in their
// order. A batch that fails on a worker is left to the caller, who rates it again knowing
// what the batches before it stopped, so that the run ends exactly as a serial one would.
class BatchWorkers {
public:
    BatchWorkers(const BatchInputs& batch, const std::vector<std::pair<std::size_t, std::size_t>>& batches,
                 const ado::Recordset& rsMapunits, unsigned threads)
        : m_batch(batch), m_batches(batches), m_done(batches.size())
    {
        for (unsigned t = 0; t < threads; ++t) {
            // Clones made here share the map units' rows, whose key index the caller built.
            m_threads.emplace_back([this, units = rsMapunits.clone()]() mutable { work(units); });
        }
    }

    ~BatchWorkers()
    {
        m_stop = true;
        for (auto& thread : m_threads)
            thread.join();
    }

    // The rating of batch b once done; nothing when it failed.
    std::optional<BatchRating> take(std::size_t b)
    {
        std::unique_lock lock(m_mutex);
        m_ready.wait(lock, [&] { return m_done[b].finished; });
        m_done[b].finished = false;
        return std::move(m_done[b].rating);
    }

private:
    struct Done {
        bool finished = false;
        std::optional<BatchRating> rating;
    };

    void work(ado::Recordset& rsMapunits)
    {
        ado::Connection soils;
        ado::Connection shaped;
        bool connected = true;
        try {
            adoOpenDatabase(soils, m_batch.soilsConnect + "Provider=MSDASQL.1;", ado::adUseClient);
            adoOpenDatabase(shaped, m_batch.soilsConnect + "Provider=MSDataShape;", ado::adUseClient);
            if (m_batch.copies.file)
                m_batch.copies.file->attach(shaped);
        } catch (...) {
            connected = false;
        }
        for (std::size_t b = m_next++; b < m_batches.size() && !m_stop; b = m_next++) {
            std::optional<BatchRating> rating;
            if (connected) {
                try {
                    int line = 0;
                    rating = rateBatch(m_batch, m_batches[b].first, m_batches[b].second, UINT32_MAX, soils, shaped,
                                       rsMapunits, line);
                } catch (...) {
                    rating.reset();
                }
            }
            {
                std::lock_guard lock(m_mutex);
                m_done[b].finished = true;
                m_done[b].rating = std::move(rating);
            }
            m_ready.notify_all();
        }
    }

    const BatchInputs& m_batch;
    const std::vector<std::pair<std::size_t, std::size_t>>& m_batches;
    std::vector<Done> m_done;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::atomic<std::size_t> m_next{0};
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

} // namespace

ado::Recordset Quillon::ProcessBatches(const std::string& iSoils_CS, const ado::Recordset& attr,
                                      ado::Recordset& iRSUserData, ado::Recordset& rsMapunits, const RunInputs& in,
                                      int& line)
{
    State& state = *m_state;
    std::string mapunitCondition;
    try {
        mapunitCondition = GetMapunitKeyList(rsMapunits);
    } catch (...) {
        rethrowWithTrail("SetAdoTelvaRS", 1);
    }
    ShapePieces pieces = GetShapePieces(*this, attr, iRSUserData);

    // The legend rows and the map units alone fix the order of the run: nothing below them
    // is read here.
    pieces.mapunitCondition = std::move(mapunitCondition);
    pieces.childRestriction = "0=1";
    RatingOrder order;
    int ratingType = ado::adVariant;
    std::future<MapunitKeyOrder> keysRead;
    {
        std::string command;
        try {
            command = GetMainInformation(state.soils, pieces, attr);
        } catch (...) {
            rethrowWithTrail("SetAdoTelvaRS", 5);
        }
        // The database's key order does not depend on the run's order: with threads to spare
        // it is read on the plain connection while the order query runs on the SHAPE one.
        // Nothing else may use the plain connection until the keys are taken: a server
        // connection serves one query at a time.
        keysRead = std::async(m_state->threads > 1 ? std::launch::async : std::launch::deferred,
                              [&state] { return ReadMapunitKeyOrder(state.soils); });
        ado::Recordset whole;
        {
            const auto watch = rowsRead(state.progress);
            adoOpenRecordset(state.shaped, whole, command, ado::adLockOptimistic);
        }
        order = ReadRatingOrder(whole);
        line = 8;
        ratingType = RatingType(whole, in);
    }
    ado::Recordset results = createResults(ratingType, in);
    state.components = ado::Recordset();

    line = 9;
    const auto batches = SplitIntoBatches(order, m_state->batchMapunits);
    MapunitKeyOrder keys;
    try {
        keys = keysRead.get();
    } catch (...) {
        rethrowWithTrail("SetAdoTelvaRS", 5);
    }
    // Levels the database cannot seek by a batch's keys are read once, into copies that can.
    const std::string probe = batches.empty() ? std::string() : keys.condition(order, batches[0].first, batches[0].second);
    const bool percentBase = in.algorithm == 0;
    BatchCopies copies;
    if (!probe.empty())
        copies = CopyForBatches(state.soils, pieces, attr, probe, percentBase ? componentQuery(probe) : std::string(),
                                percentBase ? componentQuery("1=1") : std::string(), [&state](long rows) {
                                    if (state.progress && !state.progress(rows, 0))
                                        raiseCancelled();
                                });
    const MapunitKeyOrder keyLists;  // copies are sought by key lists, not the database's ranges
    struct Attached {
        ado::Connection& shaped;
        bool on;
        ~Attached()
        {
            if (on) {
                try {
                    ado::QueryCopies::detach(shaped);
                } catch (...) {
                }
            }
        }
    } attached{state.shaped, false};
    if (copies.file) {
        copies.file->attach(state.shaped);
        attached.on = true;
    }
    const BatchInputs batch{iSoils_CS, attr, in, pieces, order, copies.file ? keyLists : keys, ratingType, copies};
    const auto threads = static_cast<unsigned>(std::min<std::size_t>(m_state->threads, batches.size()));
    std::optional<BatchWorkers> workers;
    if (threads > 1 && !order.entries.empty()) {
        // Builds the key index of the map units' shared rows before the workers read it.
        rsMapunits.setFilter("mukey='" + escapeQuotes(order.entries.front().mukey) + "'");
        workers.emplace(batch, batches, rsMapunits, threads);
    }

    std::set<std::string> counted;
    const long total = static_cast<long>(order.entries.size());
    long visited = 0;
    std::uint32_t stopped = UINT32_MAX;  // the legend row whose rest a method stopped
    const RatingOrder::Entry* last = nullptr;
    for (std::size_t b = 0; b < batches.size(); ++b) {
        const auto [begin, end] = batches[b];
        std::optional<BatchRating> rating;
        if (workers)
            rating = workers->take(b);
        if (!rating)
            rating = rateBatch(batch, begin, end, stopped, state.soils, state.shaped, rsMapunits, line);
        line = 9;
        CountInverted(rating->inverted, counted, state.inverted);
        std::size_t row = 0;
        std::size_t stop = 0;
        ado::Recordset& rows = rating->results;
        if (rows.recordCount() > 0)
            rows.moveFirst();
        for (std::size_t i = begin; i < end; ++i) {
            const auto& entry = order.entries[i];
            const bool skipped = entry.legend == stopped;
            const bool stored = row < rating->rowEntries.size() && rating->rowEntries[row] == i;
            if (!skipped) {
                last = &entry;
                if (state.progress && !state.progress(++visited, total))
                    raiseCancelled();
                if (stored) {
                    results.addNew();
                    for (int f = 0; f < rows.fieldCount(); ++f)
                        results.setValue(f, rows.value(f));
                    results.update();
                }
            }
            if (stored) {
                ++row;
                rows.moveNext();
            }
            if (stop < rating->stops.size() && rating->stops[stop] == i) {
                ++stop;
                if (!skipped)
                    stopped = entry.legend;
            }
        }
    }
    // As a serial run leaves it: filtered on the last map unit it looked at.
    if (last)
        rsMapunits.setFilter("mukey='" + escapeQuotes(last->mukey) + "'");

    line = 10;
    if (results.recordCount() > 0)
        results.moveFirst();
    return results.clone();
}

void Quillon::setRunLimits(std::size_t batchMapunits, unsigned threads)
{
    m_state->batchMapunits = batchMapunits > 0 ? batchMapunits : kBatchMapunits;
    m_state->threads = threads > 0 ? threads : std::max(1u, std::thread::hardware_concurrency());
}

void Quillon::PopulateXMLReport(const std::string& iSoils_CS, ado::Recordset& iRSUserData,
                                ado::Recordset& rsResults, ado::Recordset& rsSelection,
                                std::unique_ptr<pugi::xml_document>& oDocument)
{
    int line = 1;
    oDocument.reset();
    try {
        if (!iRSUserData.isOpen() || iRSUserData.recordCount() <= 0)
            return;
        line = 2;
        iRSUserData.moveFirst();
        const std::string key = textField(iRSUserData, "InterpKey");
        ado::Recordset attr = GetMainQLNRS("SELECT * FROM Attributes WHERE NodeKey='" + escapeQuotes(key) + "'");
        if (attr.recordCount() <= 0)
            RaiseError(qlnErrNoAttribute, "", "Main QLN Rules table does not have NodeKey='" + key + "'");
        line = 3;
        if (GetMainQLNRS("SELECT * FROM OptionList").recordCount() <= 0)
            RaiseError(qlnErrNoOptionList, "GetMainQLNRS", "Main QLN Rules table does not have OptionList records.");

        line = 4;
        const std::string title = GetReportTitle(attr, iRSUserData);
        const std::string description = GetReportDescription(attr);

        line = 5;
        ado::Connection soils;
        ado::Connection shaped;
        // Either connection failing means the soils database cannot be read.
        try {
            adoOpenDatabase(soils, withProvider(iSoils_CS, "MSDASQL.1"), ado::adUseClient);
            adoOpenDatabase(shaped, withProvider(iSoils_CS, "MSDataShape"), ado::adUseClient);
        } catch (const EngineError&) {
            RaiseError(qlnErrSoilsDatabase, "", "Error opening Soils database.");
        }
        ado::Recordset soilsRS;
        try {
            // The report takes the survey areas alone from it: nothing below them is read.
            const std::string command = SetAdoTelvaRS(*this, soils, attr, iRSUserData, rsSelection, "0=1");
            adoOpenRecordset(shaped, soilsRS, command, ado::adLockOptimistic);
        } catch (const EngineError&) {
            RaiseError(qlnErrNoOptionList, "", "Error opening Soils Recordset.");
        }

        line = 6;
        ado::Recordset table;
        const auto progress = m_state->progress;
        const auto watch = rowsRead(progress);
        GetReportBody(rsResults, attr, soils, soilsRS, table, rsSelection, [&progress](long done, long total) {
            if (progress && !progress(done, total))
                raiseCancelled();
        });
        auto document = PopulateXMLDocument(title, description, table, iRSUserData);

        line = 7;
        adoCloseRecordset(soilsRS);
        adoCloseDatabase(shaped);
        adoCloseDatabase(soils);
        oDocument = std::move(document);
    } catch (...) {
        rethrowWithTrail("PopulateXMLReport", line);
    }
}

} // namespace qln::engine
