#include "NonTechReportsTab.h"

#include "MapunitGrid.h"
#include "quillon/ado/Recordset.h"
#include "ui_NonTechReportsTab.h"

namespace qln::viewer {

NonTechReportsTab::NonTechReportsTab(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::NonTechReportsTab>())
{
    m_ui->setupUi(this);
    m_grid = new MapunitGrid(m_ui->dtSelNTMUs);
    connect(m_ui->cmdNTSelectAll, &QPushButton::clicked, this, [this] { m_grid->SetAllRows(true); });
    connect(m_ui->cmdNTUnSelectAll, &QPushButton::clicked, this, [this] { m_grid->SetAllRows(false); });
    connect(m_ui->cmdRepNTShowMU, &QPushButton::toggled, this, [this](bool only) {
        m_grid->ShowSelectedRows(only);
        m_ui->cmdRepNTShowMU->setText(only ? "Show All" : "Show Selected");
    });
}

NonTechReportsTab::~NonTechReportsTab() = default;

void NonTechReportsTab::setCategories(const std::vector<std::string>& categories)
{
    m_ui->lstCategories->clear();
    for (const std::string& category : categories) m_ui->lstCategories->addItem(QString::fromStdString(category));
}

std::vector<std::string> NonTechReportsTab::selectedCategories() const
{
    std::vector<std::string> chosen;
    for (int i = 0; i < m_ui->lstCategories->count(); ++i) {
        const QListWidgetItem* item = m_ui->lstCategories->item(i);
        if (item->isSelected()) chosen.push_back(item->text().toStdString());
    }
    return chosen;
}


NonTechOptions NonTechReportsTab::options() const
{
    NonTechOptions chosen;
    chosen.categories = selectedCategories();
    chosen.chkCustomerAddress = m_ui->chkCustomerAddress->isEnabled() && m_ui->chkCustomerAddress->isChecked();
    return chosen;
}

ado::Recordset NonTechReportsTab::selection() const
{
    const ado::Recordset& rows = m_grid->model().rows();
    return rows.isOpen() ? rows.clone(true) : ado::Recordset();
}

} // namespace qln::viewer
