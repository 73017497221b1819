// The screenshots in docs/, taken by the window itself: it is driven through the handlers
// the user's clicks run, on the directory client the environment configures, and each
// page is grabbed as painted. Needs no window manager or input tools; see
// docs/screenshots.sh.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <cstdio>

#include "gui/Application.h"
#include "gui/FindBar.h"
#include "gui/TMainForm.h"
#include "sources/ClientFactory.h"

namespace {

void Settle() {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QTest::qWait(20);
    }
}

bool Shot(TMainForm& form, const QString& folder, const QString& name) {
    Settle();
    QTest::qWait(400);  // the find field's clear button fades in
    Settle();
    const QString path = QDir(folder).filePath(name + ".png");
    if (form.grab().save(path)) return true;
    std::fprintf(stderr, "window_screenshots: cannot write %s\n", qPrintable(path));
    return false;
}

// The first line of the list the predicate takes, or -1.
template <typename Pred>
int FirstRow(const ListBox* list, Pred pred) {
    for (int row = 0; row < list->count(); ++row)
        if (pred(row)) return row;
    return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    ConfigureApplication();
    QApplication::setCursorFlashTime(0);  // a steady text cursor: the same shot every time
    const QStringList args = QApplication::arguments();
    if (args.size() != 3) {
        std::fputs("Usage: window_screenshots FOLDER SCHEMA-FILE\n", stderr);
        return 2;
    }
    const QString folder = args[1];
    TMainForm form(CreateConfiguredClient());
    form.show();
    form.move(294, 108);
    form.resize(745, 736);
    form.activateWindow();
    Settle();

    // Tree #1 the first tree online, Tree #2 the schema file as a drop loads it.
    form.PageControl->setCurrentWidget(form.TabSheetSelector);
    form.ComboBoxTree1->setCurrentIndex(0);
    form.ChangeTreeOnline(form.ComboBoxTree1);
    form.OpenTreeFile(2, args[2]);
    form.PageControl->setCurrentWidget(form.TabSheetSelector);
    bool written = Shot(form, folder, "select-trees");

    form.PageControl->setCurrentWidget(form.TabSheetSchemaTree1);
    form.ListBoxClasses1->chooseRow(6);
    written = Shot(form, folder, "schema-tree") && written;

    // The full class comparison, then the quick check it has marked.
    form.PageControl->setCurrentWidget(form.TabSheetCompareClasses);
    form.PageControlClasses->setCurrentWidget(form.TabSheetClassesDetails);
    form.BitBtnCompareClassesClick(form.BitBtnCompareClasses);
    written = Shot(form, folder, "kalvix") && written;

    form.PageControlClasses->setCurrentWidget(form.TabSheetClassesQuick);
    ListBox* common = form.ListBoxClassesCommon;
    // A marked class near the end, where the demo's marked classes gather, and the find
    // bar on another.
    common->chooseRow(FirstRow(common, [common](int row) {
        return common->itemMarked(row) && common->itemText(row) == "Template";
    }));
    common->setFocus();
    auto* bar = common->parentWidget()->findChild<FindBar*>();
    bar->open();
    QTest::keyClicks(bar->field(), "user");
    common->scrollToBottom();
    written = Shot(form, folder, "quick-check") && written;
    bar->close();

    form.PageControl->setCurrentWidget(form.TabSheetCompareAttributes);
    form.PageControlAttr->setCurrentWidget(form.TabSheetAttrDetail);
    form.BitBtnCompareAttrClick(form.BitBtnCompareAttr);
    written = Shot(form, folder, "compare-attributes") && written;
    return written ? 0 : 1;
}
