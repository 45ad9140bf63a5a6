#include "NonTechReportsTab.h"

#include "ui_NonTechReportsTab.h"

namespace qln::viewer {

NonTechReportsTab::NonTechReportsTab(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::NonTechReportsTab>())
{
    m_ui->setupUi(this);
}

NonTechReportsTab::~NonTechReportsTab() = default;

} // namespace qln::viewer
