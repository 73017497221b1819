// Which published fields the comparisons leave out: chosen with "Fields ..." beside each
// "Start ...", kept in the settings file, read back at start.
#include <QLabel>
#include <QPushButton>

#include "gui/ListBox.h"
#include "gui/TMainForm.h"

namespace {

const char* const kComparisonSection = "Comparison";
const char* const kLeaveOutFields = "Leave Out Fields";

// What is left out, for the eye; "nothing" when every field is compared.
std::string ShownText(const FieldFilter& filter) {
    std::string text;
    for (const std::string& label : filter.described()) {
        if (!text.empty()) text += ", ";
        text += label;
    }
    return text.empty() ? "nothing" : text;
}

// The list as kalvix-cli --ignore takes it, which reads back as the same choice.
std::string ListText(const FieldFilter& filter) {
    const std::string text = filter.text();
    return text.empty() ? "none" : text;
}

bool BothPublish(Workspace& ws) { return ws.tree(1).Schema && ws.tree(2).Schema; }

}  // namespace

void TMainForm::ReadFieldsSetting() {
    const std::string stored = settings_->ReadString(kComparisonSection, kLeaveOutFields, "");
    ws_.Fields = FieldFilter();
    if (stored.empty()) return;
    std::vector<std::string> unknown;
    FieldFilter filter = FieldFilter::Parse(stored, unknown);
    // A value this version does not understand leaves the default in place.
    if (unknown.empty()) ws_.Fields = std::move(filter);
}

void TMainForm::UpdateFieldControls() {
    const QString text = QString("Leaving out: %1").arg(DecodeName(ShownText(ws_.Fields)));
    const std::array<ListBox*, 3> results = {ListBoxCompareClassesResults,
                                             ListBoxCompareAttrResults, ListBoxCompareOtherResults};
    for (std::size_t i = 0; i < LabelFields.size(); ++i) {
        // Results found with another choice are not what a run would find now.
        QString shown = text;
        if (results[i] && results[i]->count() > 0 && runFields_[i] != ws_.Fields)
            shown += QString(" - the results below left out %1; press Start to compare again")
                         .arg(DecodeName(ShownText(runFields_[i])));
        LabelFields[i]->setText(shown);
        LabelFields[i]->setToolTip(shown);
    }
    // Field findings need published definitions on both sides; without them the choice
    // means nothing and stays out of the way.
    const bool shown = BothPublish(ws_);
    for (std::size_t i = 0; i < BitBtnFields.size(); ++i) {
        BitBtnFields[i]->setVisible(shown);
        LabelFields[i]->setVisible(shown);
    }
}

void TMainForm::BitBtnFieldsClick(QObject*) {
    QString text = DecodeName(ListText(ws_.Fields));
    const QString question =
        "Fields to leave out of the comparisons besides X-ORIGIN and X-SCHEMA-FILE, separated "
        "by commas: field labels such as Description or Equality, the schema's keywords such "
        "as DESC or SYNTAX, X- extensions by name, \"extensions\" for all of them; "
        "\"none\" first to compare X-ORIGIN and X-SCHEMA-FILE too:";
    for (;;) {
        const std::optional<QString> answer = dialogs_->askText(question, text);
        if (!answer) return;
        text = *answer;
        std::vector<std::string> unknown;
        FieldFilter filter = FieldFilter::Parse(text.toStdString(), unknown);
        if (unknown.empty()) {
            ws_.Fields = std::move(filter);
            break;
        }
        // The typed list comes back for mending, nothing of it lost.
        QStringList names;
        for (const std::string& u : unknown) names << QString("\"%1\"").arg(DecodeName(u));
        QStringList labels;
        for (const std::string& l : FilterWords()) labels << DecodeName(l);
        showErrorDlg(QString("Unknown field%1: %2")
                         .arg(names.size() == 1 ? "" : "s", names.join(", "))
                         .toStdString(),
                     ("Fields: " + labels.join(", ") + ", X-... extensions.").toStdString());
    }
    UpdateFieldControls();
    try {
        settings_->WriteString(kComparisonSection, kLeaveOutFields, ListText(ws_.Fields));
    } catch (const IniWriteError& error) {
        showErrorDlg(error.what(), error.detail());
    }
}
