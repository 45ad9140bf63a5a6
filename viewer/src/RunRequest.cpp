#include "RunRequest.h"

#include "OptionsTab.h"
#include "frmQuillon.h"
#include "ui_OptionsTab.h"

#include <charconv>

namespace qln::viewer {

namespace {

// The leading whole number of a text, as a decimal reader takes it: "12cm" 12, "" 0.
long leadingNumber(const QString& text)
{
    const std::string digits = text.trimmed().toStdString();
    long value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

} // namespace

RunOptions currentRunOptions(frmQuillon& form)
{
    auto& o = form.optionsTab().ui();
    RunOptions options;
    options.attribute = form.selectedNodeKey().toStdString();
    if (!o.cboInterpOptions->isHidden() && !o.cboInterpOptions->currentText().isEmpty())
        options.method = o.cboInterpOptions->currentText().toStdString();
    options.column = o.txtDBFColumn->text().toStdString();
    if (!o.cboOptionList->isHidden()) {
        QString label = o.lblOptionList->text();
        label.chop(1);  // the caption ends in ":"
        options.list = label.toStdString() + "=" + o.cboOptionList->currentText().toStdString();
    }
    if (!o.frmSoilLayer->isHidden()) {
        options.top = leadingNumber(o.txtMinDepth->text());
        options.bottom = leadingNumber(o.txtMaxDepth->text());
    }
    if (!o.frmSeason->isHidden() && o.cboBegMonth->count() > 0) {
        options.beginMonth = o.cboBegMonth->currentIndex() + 1;
        options.endMonth = o.cboEndMonth->currentIndex() + 1;
    }
    if (!o.frmCompOptions->isHidden()) {
        if (o.chkIgnorePct->isChecked()) options.ignoreBelow = leadingNumber(o.txtIgnorePct->text());
        options.nullsZero = o.chkSetNullsZero->isChecked();
    }
    if (!o.frmRate->isHidden()) options.rate = o.optLower->isChecked() ? -1 : 1;
    return options;
}

} // namespace qln::viewer
