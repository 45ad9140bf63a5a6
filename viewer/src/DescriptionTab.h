#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class DescriptionTab;
}

namespace qln::viewer {

// The Description tab: the description of the selected folder or attribute.
class DescriptionTab : public QWidget {
    Q_OBJECT
public:
    explicit DescriptionTab(QWidget* parent = nullptr);
    ~DescriptionTab() override;

    Ui::DescriptionTab& ui() { return *m_ui; }

private:
    std::unique_ptr<Ui::DescriptionTab> m_ui;
};

} // namespace qln::viewer
