#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class OptionsTab;
}

namespace qln::viewer {

// The Options tab: the soils database, the aggregation method and the option frames of
// the selected attribute. The frames stay hidden until an attribute asks for them.
class OptionsTab : public QWidget {
    Q_OBJECT
public:
    explicit OptionsTab(QWidget* parent = nullptr);
    ~OptionsTab() override;

    Ui::OptionsTab& ui() { return *m_ui; }

private:
    std::unique_ptr<Ui::OptionsTab> m_ui;
};

} // namespace qln::viewer
