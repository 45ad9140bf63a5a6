#pragma once

#include "ComponentBinding.h"
#include "quillon/reporting/clsReporter.h"

namespace qln::reporting {

// clsReporter over the Reporter component. Holds no state of its own: reporting state
// lives in the component, the error state per thread.
class MsgReporter final : public clsReporter {
public:
    explicit MsgReporter(EntryResolver resolve = componentResolver());

    void cSetLogLevel(MRULogLevel aLogLevel) override;
    bool cInitReporting(std::string_view aEventSrc, std::optional<std::int32_t> aMRUVers,
                        std::int32_t aProcessCategory, std::optional<Variant> aBatchMode) override;
    void cReportMsg(MRUMsgType aMsgType, MRUMsgDest aOutputDest, std::string_view aProcName, std::int32_t aMsgId,
                    std::int32_t aSysErrNum, const InsertList& aArgListIn) override;
    void cHandleSysErr(std::string_view aProcName, const std::optional<ErrObject>& aErr) override;
    MRUPromptResp cMsgPrompt(MRUPromptType aPromptType, std::string_view aTitle, std::int32_t aMsgId,
                             const InsertList& aArgList) override;
    void cReportMsg2(std::int32_t aMsgType, std::int32_t aOutputDest, std::string_view aProcName,
                     std::int32_t aMsgId, const ErrObject& aErrObj, const InsertList& aArgListIn) override;
    ErrObject& Err() override;

    struct ArgString {
        std::int32_t count = 0;
        std::string text;
    };
    // The inserts as a count and "|a|5|c". A first element that is a list stands for the
    // whole list (repeatedly). An element that cannot be converted (a list further on) is
    // reported under "GenArgString" and gives count 0 and the empty text.
    ArgString GenArgString(const InsertList& aArgList);

private:
    bool InitReporting(std::string_view aEventSrc, std::optional<std::int32_t> aMRUVers,
                       std::int32_t aProcessCategory, bool batch);
    void ReportMsg(std::int32_t aMsgType, std::int32_t aOutputDest, std::string_view aProcName,
                   std::int32_t aMsgId, std::int32_t aSysErrNum, const InsertList& aArgListIn);
    void ReportErrMsg(std::int32_t aMsgType, std::int32_t aOutputDest, std::string_view aProcName,
                      std::int32_t aMsgId, ErrObject aErrObj, const InsertList& aArgListIn);
    void HandleSysErr(std::string_view aProcName, const std::optional<ErrObject>& aErr);

    template <class Function>
    Function* entry(const char* name) const
    {
        return reinterpret_cast<Function*>(m_resolve(name));
    }

    EntryResolver m_resolve;
};

} // namespace qln::reporting
