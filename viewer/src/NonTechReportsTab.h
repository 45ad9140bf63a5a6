#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class NonTechReportsTab;
}

namespace qln::viewer {

// The Non-Tech Reports tab: the non-technical descriptions of chosen map units.
class NonTechReportsTab : public QWidget {
    Q_OBJECT
public:
    explicit NonTechReportsTab(QWidget* parent = nullptr);
    ~NonTechReportsTab() override;

    Ui::NonTechReportsTab& ui() { return *m_ui; }

private:
    std::unique_ptr<Ui::NonTechReportsTab> m_ui;
};

} // namespace qln::viewer
