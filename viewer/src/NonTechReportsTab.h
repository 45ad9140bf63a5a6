#pragma once

#include <QWidget>

#include "quillon/viewer/ReportOptions.h"

#include <memory>
#include <string>
#include <vector>

namespace qln::ado {
class Recordset;
}
namespace Ui {
class NonTechReportsTab;
}

namespace qln::viewer {

class MapunitGrid;

// The Non-Tech Reports tab: the non-technical descriptions of chosen map units.
class NonTechReportsTab : public QWidget {
    Q_OBJECT
public:
    explicit NonTechReportsTab(QWidget* parent = nullptr);
    ~NonTechReportsTab() override;

    Ui::NonTechReportsTab& ui() { return *m_ui; }
    // dtSelNTMUs with its select-all, unselect-all and show-selected buttons.
    MapunitGrid& grid() { return *m_grid; }

    // Fills the category list, nothing selected.
    void setCategories(const std::vector<std::string>& categories);
    // The categories selected in the list, in list order.
    std::vector<std::string> selectedCategories() const;
    // The chosen categories and the address check box (counted only while enabled).
    NonTechOptions options() const;
    // The grid's own view of the list, its ticks, filter and sort; closed without a list.
    ado::Recordset selection() const;

private:
    std::unique_ptr<Ui::NonTechReportsTab> m_ui;
    MapunitGrid* m_grid = nullptr;
};

} // namespace qln::viewer
