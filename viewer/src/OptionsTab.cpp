#include "OptionsTab.h"

#include "ui_OptionsTab.h"

namespace qln::viewer {

OptionsTab::OptionsTab(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::OptionsTab>())
{
    m_ui->setupUi(this);
    // Nothing is selected yet: the method, option list, frames and column name wait for
    // an attribute.
    for (QWidget* w : {static_cast<QWidget*>(m_ui->lblInterpOptions), static_cast<QWidget*>(m_ui->cboInterpOptions),
                       static_cast<QWidget*>(m_ui->lblOptionList), static_cast<QWidget*>(m_ui->cboOptionList),
                       static_cast<QWidget*>(m_ui->frmCompOptions), static_cast<QWidget*>(m_ui->frmSoilLayer),
                       static_cast<QWidget*>(m_ui->frmSeason), static_cast<QWidget*>(m_ui->frmRate),
                       static_cast<QWidget*>(m_ui->lblDBFColumn), static_cast<QWidget*>(m_ui->txtDBFColumn)})
        w->hide();
}

OptionsTab::~OptionsTab() = default;

} // namespace qln::viewer
