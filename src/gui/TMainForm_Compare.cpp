// The quick check, the full comparisons and the detail panes: the core computes the
// lines, the window only shows them.
#include <QTabWidget>

#include "BusyCursor.h"
#include "Compare.h"
#include "ConnectionKind.h"
#include "DefinitionAccess.h"
#include "HtmlReport.h"
#include "QuickCheck.h"
#include "Render.h"
#include "TMainForm.h"

void TMainForm::QuickCompare() {
    if (!isTabShown(TabSheetCompareClasses)) return;
    SavedCursor savedCursor;
    for (ListBox* list : {ListBoxUniqueClasses1, ListBoxClassesCommon, ListBoxUniqueClasses2,
                          ListBoxUniqueAttr1, ListBoxAttrCommon, ListBoxUniqueAttr2})
        list->clear();
    const QuickCheckLists classes = QuickCheckNames(Trees(1).ClassNames, Trees(2).ClassNames);
    const QuickCheckLists attrs = QuickCheckNames(Trees(1).AttrNames, Trees(2).AttrNames);
    ListBoxUniqueClasses1->addSortedItems(classes.unique1);
    ListBoxClassesCommon->addSortedItems(classes.common);
    ListBoxUniqueClasses2->addSortedItems(classes.unique2);
    ListBoxUniqueAttr1->addSortedItems(attrs.unique1);
    ListBoxAttrCommon->addSortedItems(attrs.common);
    ListBoxUniqueAttr2->addSortedItems(attrs.unique2);
}

void TMainForm::TabSheetCompareClassesShow(QObject*) {
    PageControlClasses->setCurrentWidget(TabSheetClassesQuick);
}

void TMainForm::TabSheetCompareAttributesShow(QObject*) {
    PageControlAttr->setCurrentWidget(TabSheetAttrQuick);
}

namespace {

// The report of a full run as it stands when the run ends: both slots, the names, the
// findings.
std::shared_ptr<const ReportInput> RunReport(Workspace& ws, bool classes, Findings findings) {
    auto report = std::make_shared<ReportInput>();
    for (int t = 1; t <= 2; ++t) {
        const TTreeInfo& slot = ws.tree(t);
        report->trees[t - 1] = ReportTreeOf(slot, slot.Online ? LiveTreeHow(slot.TreeName) : "");
    }
    report->madeAt = ReportTimestamp();
    report->program = std::string("Kalvix ") + ProgramVersion();
    if (classes)
        report->classes =
            ReportPartOf(ws.tree(1).ClassNames, ws.tree(2).ClassNames, std::move(findings));
    else
        report->attributes =
            ReportPartOf(ws.tree(1).AttrNames, ws.tree(2).AttrNames, std::move(findings));
    return report;
}

}  // namespace

void TMainForm::BitBtnCompareClassesClick(QObject*) {
    LongOperation operation(*this);
    {
        SavedCursor savedCursor;
        ListBoxCompareClassesResults->clear();
        classReport_.reset();
        Findings found;
        CompareAllClasses(
            ws_, *this, [this](const std::string& name) { StatusMsg(name); },
            [&](const Finding& f) {
                ListBoxCompareClassesResults->addFinding(f);
                found.push_back(f);
            });
        classReport_ = RunReport(ws_, true, std::move(found));
        StatusBarReset();
    }
    if (ListBoxCompareClassesResults->count() == 0)
        showMsgDlg(DlgType::Plain, "No differences found");
}

void TMainForm::BitBtnCompareAttrClick(QObject*) {
    LongOperation operation(*this);
    {
        SavedCursor savedCursor;
        ListBoxCompareAttrResults->clear();
        attrReport_.reset();
        Findings found;
        CompareAllAttributes(
            ws_, *this, [this](const std::string& name) { StatusMsg(name); },
            [&](const Finding& f) {
                ListBoxCompareAttrResults->addFinding(f);
                found.push_back(f);
            });
        attrReport_ = RunReport(ws_, false, std::move(found));
        StatusBarReset();
    }
    if (ListBoxCompareAttrResults->count() == 0) showMsgDlg(DlgType::Plain, "No differences found");
}

void TMainForm::BitBtnCompareOtherClick(QObject*) {
    LongOperation operation(*this);
    {
        SavedCursor savedCursor;
        ListBoxCompareOtherResults->clear();
        CompareOtherElements(
            ws_, [this](const Finding& f) { ListBoxCompareOtherResults->addFinding(f); });
    }
    if (ListBoxCompareOtherResults->count() == 0)
        showMsgDlg(DlgType::Plain, "No differences found");
}

std::shared_ptr<const ReportInput> TMainForm::reportFor(ListBox* listBox) const {
    if (listBox == ListBoxCompareClassesResults) return classReport_;
    if (listBox == ListBoxCompareAttrResults) return attrReport_;
    return nullptr;
}

void TMainForm::CompareOneClass(const std::string& className, ListBox* target, bool clearFirst,
                                bool reportIdentical) {
    if (clearFirst) target->clear();
    const OneComparison one = CompareOneClassFindings(ws_, *this, className);
    if (one.findings.empty()) {
        if (reportIdentical) target->addLines(one.identical);
    } else {
        target->addFindings(one.findings);
    }
}

void TMainForm::CompareOneAttr(const std::string& attrName, ListBox* target, bool clearFirst,
                               bool reportIdentical) {
    if (clearFirst) target->clear();
    const OneComparison one = CompareOneAttrFindings(ws_, *this, attrName);
    if (one.findings.empty()) {
        if (reportIdentical) target->addLines(one.identical);
    } else {
        target->addFindings(one.findings);
    }
}

void TMainForm::ShowClassDetails(ListBox* source, ListBox* target, bool clearFirst) {
    if (ws_.CurrentTree == 0) return;
    const std::optional<std::string> name = source->selectedBytes();
    if (!name) return;
    TClassInfo info;
    GetClassDef(ws_, *this, ws_.CurrentTree, *name, info);
    if (clearFirst) target->clear();
    DisplayClass(*name, info, target);
    ClassInfoFree(info);
    Lines published;
    AppendPublishedText(Trees(ws_.CurrentTree), ElementType::ObjectClass, *name, published);
    target->addLines(published);
}

void TMainForm::ShowAttributeDetails(ListBox* source, ListBox* target, bool clearFirst) {
    if (ws_.CurrentTree == 0) return;
    const std::optional<std::string> name = source->selectedBytes();
    if (!name) return;
    TAttrInfo info;
    GetAttrDef(ws_, *this, ws_.CurrentTree, *name, info.Definition);
    if (clearFirst) target->clear();
    DisplayAttribute(*name, info, target);
    Lines published;
    AppendPublishedText(Trees(ws_.CurrentTree), ElementType::AttributeType, *name, published);
    target->addLines(published);
}

void TMainForm::DisplayClass(const std::string& className, TClassInfo& info, ListBox* target) {
    target->addLines(::DisplayClass(className, info));
}

void TMainForm::DisplayAttribute(const std::string& attrName, const TAttrInfo& info,
                                 ListBox* target) {
    target->addLines(::DisplayAttribute(attrName, info));
}

void TMainForm::ListBoxClassesClick(QObject* sender) {
    SelectTreeBySender(sender, ListBoxClasses1, ListBoxClasses2);
    if (ws_.CurrentTree == 0) return;
    ShowClassDetails(static_cast<ListBox*>(sender), Controls(ws_.CurrentTree).DetailListBox, true);
}

void TMainForm::ListBoxAttrClick(QObject* sender) {
    SelectTreeBySender(sender, ListBoxAttr1, ListBoxAttr2);
    if (ws_.CurrentTree == 0) return;
    ShowAttributeDetails(static_cast<ListBox*>(sender), Controls(ws_.CurrentTree).DetailListBox,
                         true);
}

void TMainForm::ListBoxUniqueClassesClick(QObject* sender) {
    SelectTreeBySender(sender, ListBoxUniqueClasses1, ListBoxUniqueClasses2);
    ShowClassDetails(static_cast<ListBox*>(sender), ListBoxClassesDetail, true);
}

void TMainForm::ListBoxUniqueAttrClick(QObject* sender) {
    SelectTreeBySender(sender, ListBoxUniqueAttr1, ListBoxUniqueAttr2);
    ShowAttributeDetails(static_cast<ListBox*>(sender), ListBoxAttrDetail, true);
}

void TMainForm::ListBoxClassesCommonClick(QObject*) {
    const std::optional<std::string> name = ListBoxClassesCommon->selectedBytes();
    if (name) CompareOneClass(*name, ListBoxClassesDetail, true, true);
}

void TMainForm::ListBoxAttrCommonClick(QObject*) {
    const std::optional<std::string> name = ListBoxAttrCommon->selectedBytes();
    if (name) CompareOneAttr(*name, ListBoxAttrDetail, true, true);
}
