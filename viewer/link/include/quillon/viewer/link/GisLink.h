#pragma once

// The viewer's side of the link with the GIS: the command line it was started with, the
// conversation that runs the GIS's display and clean-up scripts, the commands the GIS sends
// back on "messageToVB", and the enable/disable handshake through the settings key.

#include "quillon/ado/Recordset.h"
#include "quillon/dde/Dde.h"
#include "quillon/viewer/link/CommandLine.h"
#include "quillon/viewer/link/LinkWindow.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>

namespace qln::reporting { class clsReporter; }
namespace qln::utils { class clsGenUtils; }
namespace qln::dde { class QtConversation; class QtServer; }

namespace qln::viewer::link {

// What Refresh_DDE_Data reads from the window's controls.
struct SelectedAttribute {
    std::string nodeKey;          // key of the selected tree node
    std::string methodText;       // text of cboInterpOptions
    std::string optionItem;       // text of cboOptionList
    std::string column;           // text of txtDBFColumn
};

// All procedures run on the GUI thread except RegistryChanged. Results: 1 success, -1 failure.
class GisLink : public QObject {
public:
    // The window, reporter and utilities must outlive the link. One link per process.
    GisLink(LinkWindow& window, reporting::clsReporter& reporter, utils::clsGenUtils& genutils,
            QObject* parent = nullptr);
    ~GisLink() override;

    // Parses the command line; sets ArcViewLinked, ShapeDirectory, AttributeFileName.
    std::int16_t Initialize_DDE_Connection(std::string_view commandLine);
    // When linked: opens the conversation with the GIS and serves "messageToVB".
    std::int16_t Open_DDE_Connection();
    // Builds CurrentThemeTitle for the attribute and, when linked, asks the GIS to display
    // the column. rsAttributes keeps the filter on the attribute's row.
    std::int16_t Refresh_DDE_Data(ado::Recordset& rsAttributes, const SelectedAttribute& selected,
                                  const std::string& LegendFolder);
    // When linked, asks the GIS to remove the viewer's themes.
    std::int16_t Reset_DDE_Data();
    // When linked, closes the conversation and stops serving.
    std::int16_t End_DDE_Connection();

    // The callback for the settings watcher: enables Timer1 of the process's link. Safe on
    // any thread; notifications before the timer fires merge into one reading.
    static void RegistryChanged();
    // Reads "EnableQLNDialog" once and enables or disables the window by it.
    void Timer1_Timer();
    // The commands the GIS executes on "messageToVB".
    dde::Reply Form_LinkExecute(const std::string& command);

    QTimer& Timer1() { return m_timer1; }
    bool ArcViewLinked() const { return m_linked; }
    const std::string& ShapeDirectory() const { return m_shapeDirectory; }
    const std::string& AttributeFileName() const { return m_attributeFileName; }
    const std::string& CurrentThemeTitle() const { return m_currentThemeTitle; }
    // Commands sent and not yet answered.
    int pendingCommands() const;

private:
    void send(const std::string& command, const char* procedure);
    void reportText(const char* procedure, const std::string& text);

    LinkWindow& m_window;
    reporting::clsReporter& m_reporter;
    utils::clsGenUtils& m_genutils;
    QTimer m_timer1;
    bool m_linked = false;
    std::string m_shapeDirectory;
    std::string m_attributeFileName;
    std::string m_currentThemeTitle;
    std::unique_ptr<dde::QtConversation> m_conversation;
    std::unique_ptr<dde::QtServer> m_server;
};

} // namespace qln::viewer::link
