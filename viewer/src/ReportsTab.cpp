#include "ReportsTab.h"

#include "MapunitGrid.h"
#include "ui_ReportsTab.h"

namespace qln::viewer {

ReportsTab::ReportsTab(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::ReportsTab>())
{
    m_ui->setupUi(this);
    m_grid = new MapunitGrid(m_ui->dtSelectMU);
    connect(m_ui->cmdSelectAll, &QPushButton::clicked, this, [this] { m_grid->SetAllRows(true); });
    connect(m_ui->cmdUnselectAll, &QPushButton::clicked, this, [this] { m_grid->SetAllRows(false); });
    connect(m_ui->cmdRepShowMU, &QPushButton::toggled, this, [this](bool only) {
        m_grid->ShowSelectedRows(only);
        m_ui->cmdRepShowMU->setText(only ? "Show All" : "Show Selected");
    });
}

ReportsTab::~ReportsTab() = default;

ReportOptions ReportsTab::options(const std::string& higherCaption, const std::string& lowerCaption) const
{
    ReportOptions chosen;
    chosen.chkMainDescription = m_ui->chkMainDescription->isChecked();
    chosen.chkInterpReason = m_ui->chkInterpReason->isChecked();
    chosen.chkAmbrelAddress = m_ui->chkAmbrelAddress->isEnabled() && m_ui->chkAmbrelAddress->isChecked();
    chosen.optHigherCaption = higherCaption;
    chosen.optLowerCaption = lowerCaption;
    return chosen;
}

} // namespace qln::viewer
