#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class ReportsTab;
}

namespace qln::viewer {

// The Reports tab: the rating report of chosen map units.
class ReportsTab : public QWidget {
    Q_OBJECT
public:
    explicit ReportsTab(QWidget* parent = nullptr);
    ~ReportsTab() override;

    Ui::ReportsTab& ui() { return *m_ui; }

private:
    std::unique_ptr<Ui::ReportsTab> m_ui;
};

} // namespace qln::viewer
