// The quick check, the full comparisons and the detail panes: the core computes the
// lines, the window only shows them.
#include <QLabel>
#include <QTabWidget>

#include "core/Names.h"
#include "core/compare/Compare.h"
#include "core/compare/QuickCheck.h"
#include "core/compare/Render.h"
#include "core/directory/DefinitionAccess.h"
#include "core/writers/HtmlReport.h"
#include "gui/BusyCursor.h"
#include "gui/TMainForm.h"
#include "sources/ConnectionKind.h"

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
    ShowQuickCounts(nullptr, 0);
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

namespace {

// A finding about a name both trees have, as the common lists show it.
bool IsCommonNameFinding(const Finding& f) {
    return !IsUniqueFinding(f) && f.type != FindingType::SameOid &&
           f.type != FindingType::UniqueElement;
}

bool BothPublish(Workspace& ws) {
    for (int t = 1; t <= 2; ++t)
        if (!ws.tree(t).Schema || ws.tree(t).Schema->published.empty()) return false;
    return true;
}

}  // namespace

bool TMainForm::RunFull(bool classes) {
    LongOperation operation(*this);
    ListBox* results = classes ? ListBoxCompareClassesResults : ListBoxCompareAttrResults;
    ListBox* common = classes ? ListBoxClassesCommon : ListBoxAttrCommon;
    FindingRows& rows = classes ? classFindingRows_ : attrFindingRows_;
    std::shared_ptr<const ReportInput>& report = classes ? classReport_ : attrReport_;
    bool whole = false;
    {
        SavedCursor savedCursor;
        results->clear();
        report.reset();
        rows.clear();
        for (int row = 0; row < common->count(); ++row) common->setMarked(row, false);
        Findings found;
        FindingRows noted;
        auto progress = [this](const std::string& name) { StatusMsg(name); };
        auto sink = [&](const Finding& f) {
            const int first = results->count();
            results->addFinding(f);
            if (IsCommonNameFinding(f)) {
                auto [at, added] = noted.try_emplace(NameKey(f.name), first, results->count() - 1);
                if (!added) at->second.second = results->count() - 1;
            }
            found.push_back(f);
        };
        whole = classes ? CompareAllClasses(ws_, *this, progress, sink)
                        : CompareAllAttributes(ws_, *this, progress, sink);
        runFields_[classes ? 0 : 1] = ws_.Fields;
        UpdateFieldControls();
        // A run that stopped is not the comparison: no report of it, nothing marked.
        int marked = 0;
        std::array<int, 2> unique{};
        if (whole) {
            for (const Finding& f : found)
                if (IsUniqueFinding(f) && (f.tree == 1 || f.tree == 2)) ++unique[f.tree - 1];
            report = RunReport(ws_, classes, std::move(found));
            rows = std::move(noted);
            const QString tip = classes ? "Differs; double-click shows its lines in \"Check All "
                                          "Classes\""
                                        : "Differs; double-click shows its lines in \"Check All "
                                          "Attributes\"";
            for (int row = 0; row < common->count(); ++row)
                if (rows.count(NameKey(common->itemBytes(row))) != 0) {
                    common->setMarked(row, true, tip);
                    ++marked;
                }
        }
        ShowQuickCounts(common, marked);
        StatusBarReset();
        // Two LDAP trees: the run's outcome stays on the bar until the next message.
        if (whole && BothPublish(ws_) && results->count() > 0) {
            const char* what = classes ? "classes" : "attribute types";
            SetStatusPanel(2,
                           QString("%1 of %2 common %3 differ; %4 only in Tree #1, %5 only in "
                                   "Tree #2")
                               .arg(marked)
                               .arg(common->count())
                               .arg(what)
                               .arg(unique[0])
                               .arg(unique[1]),
                           Qt::ArrowCursor);
        }
    }
    return whole;
}

void TMainForm::ShowQuickCounts(ListBox* list, int marked) {
    for (const QuickHeading& h : quickHeadings_) {
        if (list != nullptr && h.list != list) continue;
        QString text = QString("%1 (%2").arg(h.caption).arg(h.list->count());
        if (h.list == list && marked > 0) text += QString(", %1 differ").arg(marked);
        h.label->setText(text + ")");
    }
}

void TMainForm::BitBtnCompareClassesClick(QObject*) {
    if (RunFull(true) && ListBoxCompareClassesResults->count() == 0)
        showMsgDlg(DlgType::Plain, "No differences found");
}

void TMainForm::BitBtnCompareAttrClick(QObject*) {
    if (RunFull(false) && ListBoxCompareAttrResults->count() == 0)
        showMsgDlg(DlgType::Plain, "No differences found");
}

void TMainForm::ListBoxCommonDoubleClick(QObject* sender, int row) {
    auto* common = static_cast<ListBox*>(sender);
    if (row < 0 || row >= common->count() || !common->itemMarked(row)) return;
    const bool classes = common == ListBoxClassesCommon;
    const FindingRows& rows = classes ? classFindingRows_ : attrFindingRows_;
    const auto found = rows.find(NameKey(common->itemBytes(row)));
    if (found == rows.end()) return;
    ListBox* results = classes ? ListBoxCompareClassesResults : ListBoxCompareAttrResults;
    (classes ? PageControlClasses : PageControlAttr)
        ->setCurrentWidget(classes ? TabSheetClassesDetails : TabSheetAttrDetail);
    results->selectRows(found->second.first, found->second.second);
    results->setFocus();
}

void TMainForm::BitBtnCompareOtherClick(QObject*) {
    LongOperation operation(*this);
    {
        SavedCursor savedCursor;
        ListBoxCompareOtherResults->clear();
        CompareOtherElements(
            ws_, [this](const Finding& f) { ListBoxCompareOtherResults->addFinding(f); });
        runFields_[2] = ws_.Fields;
        UpdateFieldControls();
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
    const Lines lines =
        DefinitionLines(ws_, *this, ws_.CurrentTree, ElementType::ObjectClass, *name, true);
    if (clearFirst) target->clear();
    target->addLines(lines);
}

void TMainForm::ShowAttributeDetails(ListBox* source, ListBox* target, bool clearFirst) {
    if (ws_.CurrentTree == 0) return;
    const std::optional<std::string> name = source->selectedBytes();
    if (!name) return;
    const Lines lines =
        DefinitionLines(ws_, *this, ws_.CurrentTree, ElementType::AttributeType, *name, true);
    if (clearFirst) target->clear();
    target->addLines(lines);
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
