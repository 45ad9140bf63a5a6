#pragma once

#include <QWidget>

#include "quillon/viewer/ReportOptions.h"

#include <memory>
#include <string>

namespace Ui {
class ReportsTab;
}

namespace qln::viewer {

class MapunitGrid;

// The Reports tab: the rating report of chosen map units.
class ReportsTab : public QWidget {
    Q_OBJECT
public:
    explicit ReportsTab(QWidget* parent = nullptr);
    ~ReportsTab() override;

    Ui::ReportsTab& ui() { return *m_ui; }
    // dtSelectMU with its select-all, unselect-all and show-selected buttons.
    MapunitGrid& grid() { return *m_grid; }
    // The report options as the check boxes say, with the Options tab's rate captions.
    ReportOptions options(const std::string& higherCaption, const std::string& lowerCaption) const;

private:
    std::unique_ptr<Ui::ReportsTab> m_ui;
    MapunitGrid* m_grid = nullptr;
};

} // namespace qln::viewer
