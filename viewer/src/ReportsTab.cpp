#include "ReportsTab.h"

#include "ui_ReportsTab.h"

namespace qln::viewer {

ReportsTab::ReportsTab(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::ReportsTab>())
{
    m_ui->setupUi(this);
}

ReportsTab::~ReportsTab() = default;

} // namespace qln::viewer
