#pragma once

#include <QWidget>

#include <memory>

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

private:
    std::unique_ptr<Ui::ReportsTab> m_ui;
    MapunitGrid* m_grid = nullptr;
};

} // namespace qln::viewer
