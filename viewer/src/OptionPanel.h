#pragma once

// The option panel: what the Options tab shows for the node selected in the tree, the
// input filters of its boxes, and the run's inputs read back from its controls. Holds the
// program-wide values of the selection: the method code, the output column name and the
// weighted-average multipliers.

#include "quillon/ado/Recordset.h"
#include "quillon/viewer/AttributeOptions.h"
#include "quillon/viewer/RunOptions.h"

#include <QObject>

#include <string>
#include <vector>

class QTreeWidgetItem;

namespace qln::viewer {

class Session;
class frmQuillon;

class OptionPanel : public QObject {
public:
    OptionPanel(Session& session, frmQuillon& form);

    // What a run rates and how: the selected attribute's rules row (a record set of the
    // Attributes table at that row) and the checked options of the visible controls; a
    // hidden control is an absent option (-1 in UserData, rate 0).
    struct RunInputs {
        ado::Recordset attribute;
        RunOptions options;
    };
    // The run's inputs as the panel holds them now. Throws OptionError with a message for
    // the user when no attribute is selected or a value is refused: a bottom depth above
    // the top, a depth above 32767, a percent above 100, an empty column name, a month or
    // list item missing. The run calls this from the process button before anything else.
    RunInputs runOptions() const;

    // Applies the selected node to the Options tab: an attribute shows the controls its
    // rules allow, a folder hides them and shows its description.
    void ProcessInterp(const std::string& nodeKey);
    // The methods, option list and frames of the attribute. 1, or -1 (frames hidden, no
    // report) when its option list cannot be filled.
    int SetValidOptions(const std::string& nodeKey);
    // The attribute's option list from the engine; "No data for this attribute." and -1
    // when it has no items.
    int PopulateOptionList(const std::string& nodeKey);
    // The month boxes from the open soils database's month list, the whole year chosen.
    void setMonths(const std::vector<std::string>& months);
    // Another method chosen: its code, its initials at the end of the column name, and the
    // rate frame as the method allows.
    void cboInterpOptions_Click();

    void tvInterps_NodeClick(QTreeWidgetItem* node);
    void tvInterps_Collapse(QTreeWidgetItem* node);

    long methodCode() const { return m_methodCode; }
    const std::string& outputColumn() const { return m_outputColumn; }
    const std::string& waMultipliers() const { return m_waMultipliers; }
    // The selected attribute's options are shown in full: it can be rated and reported.
    bool reportReady() const { return m_reportReady; }

protected:
    // A digit typed into the percent box while it holds the "0" of its check box.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void installInputFilters();
    void hideOptionControls();
    void followReportReady();

    Session& m_session;
    frmQuillon& m_form;
    AttributeOptions m_attribute;
    bool m_attributeSelected = false;
    long m_methodCode = -1;
    std::string m_outputColumn;
    std::string m_waMultipliers;
    bool m_reportReady = false;
};

} // namespace qln::viewer
