// "Save as ..." on a full comparison's results list also writes that comparison's HTML
// report; the other lists save their lines only.
#include <QAction>
#include <QPushButton>

#include "FormFixture.h"
#include "HtmlDoc.h"
#include "TempDir.h"

namespace {

class ReportSave : public FormFixture {
  protected:
    void SetUp() override {
        makeOfflineForm();
        fillSlot(1, names({"Top", "person", "Alias"}), names({"CN"}), false, "LAB");
        fillSlot(2, names({"Top", "Device"}), names({"CN", "Title"}), false, "SALES");
    }
    void saveVia(ListBox* list, const std::string& path) {
        form->PopupComponent = list;
        dialogs.answers.push_back(QString::fromStdString(path));
        form->PopupSaveAs->trigger();
    }
    static bool OffersHtml(const FileDialogSetup& setup) {
        return setup.filter.contains("HTML report (*.html)");
    }
    TempDir dir;
};

TEST_F(ReportSave, ResultsOfARunSaveAsItsReport) {
    // No run yet: nothing to report.
    saveVia(form->ListBoxCompareClassesResults, dir.file("none.txt"));
    EXPECT_FALSE(OffersHtml(dialogs.saveSetups.back()));

    form->BitBtnCompareClassesClick(form->BitBtnCompareClasses);
    form->BitBtnCompareAttrClick(form->BitBtnCompareAttr);
    dialogs.messages.clear();

    const std::string path = dir.file("classes.html");
    saveVia(form->ListBoxCompareClassesResults, path);
    EXPECT_TRUE(OffersHtml(dialogs.saveSetups.back()));
    const HtmlDoc doc(TempDir::read(path));
    ASSERT_EQ(doc.error(), "");
    // The class comparison's report: its unique names, no attribute part.
    std::vector<std::string> unique1;
    for (int li : doc.find(doc.byId("classes-unique1"), "li")) unique1.push_back(doc.at(li).text);
    EXPECT_EQ(unique1, (std::vector<std::string>{"Alias", "person"}));
    EXPECT_EQ(doc.byId("attributes"), -1);
    EXPECT_EQ(doc.at(doc.find(doc.byId("tree2"), "td", "tree")[0]).text, "SALES");

    saveVia(form->ListBoxCompareAttrResults, dir.file("attrs.HTM"));
    const HtmlDoc attrs(TempDir::read(dir.file("attrs.HTM")));
    ASSERT_EQ(attrs.error(), "");
    EXPECT_EQ(attrs.byId("classes"), -1);
    EXPECT_EQ(attrs.find(attrs.byId("attributes-unique2"), "li").size(), 1u);

    // Another name still gets the lines, and other lists offer no report.
    saveVia(form->ListBoxCompareClassesResults, dir.file("lines.txt"));
    EXPECT_EQ(TempDir::read(dir.file("lines.txt")),
              "Tree #1 - Unique Class: \"Alias\"\r\nTree #1 - Unique Class: \"person\"\r\n"
              "Tree #2 - Unique Class: \"Device\"\r\n");
    saveVia(form->ListBoxClasses1, dir.file("c.html"));
    EXPECT_FALSE(OffersHtml(dialogs.saveSetups.back()));
    EXPECT_EQ(TempDir::read(dir.file("c.html")), "Alias\r\nperson\r\nTop\r\n");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ReportSave, AReportThatCannotBeWrittenSaysSo) {
    form->BitBtnCompareClassesClick(form->BitBtnCompareClasses);
    dialogs.messages.clear();
    saveVia(form->ListBoxCompareClassesResults, dir.file("no/such/folder/r.html"));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("Cannot create file"));
}

}  // namespace
