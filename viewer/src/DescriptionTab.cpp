#include "DescriptionTab.h"

#include "ui_DescriptionTab.h"

namespace qln::viewer {

DescriptionTab::DescriptionTab(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::DescriptionTab>())
{
    m_ui->setupUi(this);
}

DescriptionTab::~DescriptionTab() = default;

} // namespace qln::viewer
