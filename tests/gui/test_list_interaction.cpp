// How the lists answer the user: which gestures run a handler, where a refilled list opens,
// the find bar, copying, and the colours of the comparison lines.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFocusEvent>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>

#include "FakeDirClient.h"
#include "FormFixture.h"
#include "core/compare/Compare.h"
#include "gui/FindBar.h"
#include "gui/ListDelegate.h"

namespace {

// Two live trees, so that every handler run shows up as calls to the directory client.
class ListInteraction : public FormFixture {
  protected:
    void SetUp() override {
        auto client = std::make_unique<FakeDirClient>();
        fake = client.get();
        fake->setConnections({"ONE"});
        for (const char* name : {"Alias", "Country", "Locality", "Organization", "Person"})
            fake->addClass(name, 0x02, {}, {"Top"}, {}, {"CN"}, {"CN"});
        fake->addClass("Top", 0x06);
        fake->addAttr("CN", 0x02, 3, 1, 64);
        fake->addAttr("Surname", 0x02, 3, 1, 64);
        fake->addConnection("TWO", fake->tree());
        makeForm(std::move(client));
        for (QComboBox* combo : {form->ComboBoxTree1, form->ComboBoxTree2}) {
            combo->setCurrentIndex(combo == form->ComboBoxTree1 ? 0 : 1);
            form->ChangeTreeOnline(combo);
        }
        ASSERT_TRUE(dialogs.messages.empty());
        fake->clearCalls();
    }

    static FindBar* barOf(ListBox* list) { return list->parentWidget()->findChild<FindBar*>(); }

    FakeDirClient* fake = nullptr;
};

TEST_F(ListInteraction, OnlyAClickOrAKeyboardMoveRunsTheHandler) {
    ListBox* list = form->ListBoxClasses1;
    ASSERT_EQ(list->count(), 6);

    // Focus entering a list without a current line: Qt makes line 1 current, nobody chose it.
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(list, &focusIn);
    EXPECT_EQ(form->ListBoxDetailTree1->count(), 0);
    EXPECT_TRUE(fake->calls().empty());
    EXPECT_FALSE(list->selectedBytes());

    // A right click opens the menu and leaves the selection and the pane alone.
    clickLine(list, 0);
    ASSERT_GT(form->ListBoxDetailTree1->count(), 0);
    EXPECT_EQ(form->ListBoxDetailTree1->itemText(0), "Alias");
    fake->clearCalls();
    const QModelIndex fourth = list->model()->index(3, 0);
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, list->visualRect(fourth).center());
    EXPECT_EQ(form->ListBoxDetailTree1->itemText(0), "Alias");
    EXPECT_EQ(list->selectedBytes(), std::optional<std::string>("Alias"));
    EXPECT_TRUE(fake->calls().empty());

    // A keyboard move is a choice.
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(form->ListBoxDetailTree1->itemText(0), "Country");
    EXPECT_FALSE(fake->calls().empty());

    // A click on the line already shown shows it again.
    form->ListBoxDetailTree1->clear();
    clickLine(list, 1);
    EXPECT_EQ(form->ListBoxDetailTree1->itemText(0), "Country");
}

TEST_F(ListInteraction, ARefilledListStartsAtItsTop) {
    NameList many;
    for (int i = 0; i < 400; ++i) many.push_back({"class" + std::to_string(1000 + i), 0});
    fillSlot(1, many, names({"CN"}), false);
    fillSlot(2, many, names({"CN"}), false);
    form->show();
    form->PageControl->setCurrentWidget(form->TabSheetCompareClasses);
    ListBox* common = form->ListBoxClassesCommon;
    QApplication::processEvents();
    common->scrollToBottom();
    ASSERT_GT(common->verticalScrollBar()->value(), 0);
    ListBox* classes = form->ListBoxClasses1;
    classes->scrollToBottom();

    fillSlot(1, many, names({"CN"}), false);
    fillSlot(2, many, names({"CN"}), false);
    QApplication::processEvents();
    EXPECT_EQ(common->verticalScrollBar()->value(), 0);
    EXPECT_EQ(classes->verticalScrollBar()->value(), 0);
}

TEST_F(ListInteraction, FindBarMovesAHighlightAndOnlyEnterChooses) {
    ListBox* list = form->ListBoxClasses1;
    const std::vector<std::string> before = list->lines();
    FindBar* bar = barOf(list);
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isHidden());

    QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
    EXPECT_FALSE(bar->isHidden());
    QTest::keyClicks(bar->field(), "I");  // Alias, Locality, Organization
    EXPECT_EQ(list->highlightRow(), 0);
    EXPECT_EQ(bar->countText(), "1 of 3");
    QTest::keyClick(bar->field(), Qt::Key_F3);
    EXPECT_EQ(list->highlightRow(), 2);
    EXPECT_EQ(bar->countText(), "2 of 3");
    QTest::keyClick(bar->field(), Qt::Key_F3);
    QTest::keyClick(bar->field(), Qt::Key_F3);  // round to the first again
    EXPECT_EQ(bar->countText(), "1 of 3");
    QTest::keyClick(bar->field(), Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(list->highlightRow(), 3);
    EXPECT_EQ(bar->countText(), "3 of 3");
    // Typing and stepping never ran the handler nor touched the selection.
    EXPECT_EQ(form->ListBoxDetailTree1->count(), 0);
    EXPECT_TRUE(fake->calls().empty());
    EXPECT_FALSE(list->selectedBytes());

    QTest::keyClick(bar->field(), Qt::Key_Return);
    EXPECT_EQ(list->selectedBytes(), std::optional<std::string>("Organization"));
    EXPECT_EQ(form->ListBoxDetailTree1->itemText(0), "Organization");

    QTest::keyClicks(bar->field(), "zz");
    EXPECT_EQ(bar->countText(), "No match");
    EXPECT_EQ(list->highlightRow(), -1);
    QTest::keyClick(bar->field(), Qt::Key_Return);  // nothing to choose
    EXPECT_EQ(list->selectedBytes(), std::optional<std::string>("Organization"));

    QTest::keyClick(bar->field(), Qt::Key_Escape);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(list->highlightRow(), -1);
    EXPECT_EQ(list->lines(), before);

    // F3 in the list itself opens the bar again on the same text.
    QTest::keyClick(list, Qt::Key_F3);
    EXPECT_FALSE(bar->isHidden());
}

TEST_F(ListInteraction, FindBarFollowsAListThatGrows) {
    ListBox* results = form->ListBoxCompareClassesResults;
    results->addLines({"Tree #1 - Unique Class: \"A\"", "Tree #2 - Unique Class: \"B\""});
    FindBar* bar = barOf(results);
    bar->open();
    QTest::keyClicks(bar->field(), "unique");
    EXPECT_EQ(bar->countText(), "1 of 2");
    bar->step(false);
    results->addLines({"Tree #1 - Unique Class: \"C\""});
    QApplication::processEvents();
    EXPECT_EQ(bar->countText(), "2 of 3");
    EXPECT_EQ(results->highlightRow(), 1);
    results->clear();
    QApplication::processEvents();
    EXPECT_EQ(bar->countText(), "No match");
    EXPECT_EQ(results->highlightRow(), -1);
}

TEST_F(ListInteraction, CopyTakesTheSelectedLinesOfManySelectionLists) {
    ListBox* results = form->ListBoxCompareAttrResults;
    results->addLines({"Tree #1 - Unique Attribute: \"A\"", "", "      indented", "last"});
    clickLine(results, 0);
    clickLine(results, 2, Qt::ShiftModifier);
    QTest::keyClick(results, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
              "Tree #1 - Unique Attribute: \"A\"\n\n      indented");

    clickLine(results, 3, Qt::ControlModifier);
    clickLine(results, 1, Qt::ControlModifier);  // a Ctrl-click takes a line out again
    form->PopupComponent = results;
    form->PopupCopy->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(),
              "Tree #1 - Unique Attribute: \"A\"\n      indented\nlast");

    QTest::keyClick(results, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(results->selectedText().count('\n'), 3);
    for (ListBox* detail : {form->ListBoxDetailTree1, form->ListBoxClassesDetail})
        EXPECT_EQ(detail->selectionMode(), QAbstractItemView::ExtendedSelection);

    // A list with a handler keeps one line: Shift-click moves it.
    ListBox* classes = form->ListBoxClasses2;
    EXPECT_EQ(classes->selectionMode(), QAbstractItemView::SingleSelection);
    clickLine(classes, 0);
    clickLine(classes, 2, Qt::ShiftModifier);
    QTest::keyClick(classes, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "Locality");
    EXPECT_EQ(form->ListBoxDetailTree2->itemText(0), "Locality");
}

// The pixels of a row that are close to a colour.
int PixelsNear(const QImage& image, const QRect& row, const QColor& colour) {
    int n = 0;
    for (int y = row.top(); y <= row.bottom(); ++y)
        for (int x = row.left(); x <= row.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                    std::abs(c.blue() - colour.blue()) <
                40)
                ++n;
        }
    return n;
}

double Luminance(const QColor& c) {
    auto channel = [](double v) {
        v /= 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(ListInteraction, TreeLinesCarryTheirTreesColourAndTextStaysAsItIs) {
    ListBox* results = form->ListBoxCompareAttrResults;
    const std::vector<std::string> lines = {
        R"(Tree #1 - Attribute Definition for "CN": "CI_STRING [Sized (1-64)\NonRem]")",
        R"(Tree #2 - Attribute Definition for "CN": "CI_STRING [Sized (1-128)\NonRem]")",
        "Attribute identical: "};
    Findings pair;
    CompareAttrDefs("CN", R"(CI_STRING [Sized (1-64)\NonRem])",
                    R"(CI_STRING [Sized (1-128)\NonRem])", pair);
    ASSERT_EQ(pair.size(), 1u);
    results->addFinding(pair.front());
    results->addLines({lines[2]});
    form->show();
    form->PageControl->setCurrentWidget(form->TabSheetCompareAttributes);
    form->PageControlAttr->setCurrentWidget(form->TabSheetAttrDetail);
    QApplication::processEvents();
    const QImage image = results->viewport()->grab().toImage();
    const QPalette palette = results->palette();
    auto row = [&](int r) { return results->visualRect(results->model()->index(r, 0)); };
    const QColor one = TreeLineColour(1, palette), two = TreeLineColour(2, palette);
    EXPECT_GT(PixelsNear(image, row(0), one), 10);
    EXPECT_EQ(PixelsNear(image, row(0), two), 0);
    EXPECT_GT(PixelsNear(image, row(1), two), 10);
    EXPECT_EQ(PixelsNear(image, row(1), one), 0);
    EXPECT_EQ(PixelsNear(image, row(2), one) + PixelsNear(image, row(2), two), 0);

    // The bound that differs is emphasised; the rest of the pair is not.
    auto* delegate = static_cast<ListDelegate*>(results->itemDelegate());
    const std::vector<TextSpan> first = delegate->emphasis(results->model()->index(0, 0));
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(results->itemText(0).mid(first[0].start, first[0].length), "Sized (1-64)");
    EXPECT_EQ(delegate->emphasis(results->model()->index(1, 0)).size(), 1u);
    EXPECT_TRUE(delegate->emphasis(results->model()->index(2, 0)).empty());
    // A line that is no finding's is shown plainly, whatever it says.
    form->ListBoxClasses1->addItem(lines[0]);
    auto* plain = static_cast<ListDelegate*>(form->ListBoxClasses1->itemDelegate());
    EXPECT_TRUE(plain->emphasis(form->ListBoxClasses1->model()->index(0, 0)).empty());

    EXPECT_EQ(results->lines(), lines);
    clickLine(results, 0);
    clickLine(results, 1, Qt::ShiftModifier);
    results->copySelection();
    EXPECT_EQ(QApplication::clipboard()->text(),
              QString::fromStdString(lines[0] + "\n" + lines[1]));
}

TEST(TreeLineColours, ReadableOnLightAndDarkAndApartFromEachOther) {
    QPalette light;
    light.setColor(QPalette::Base, Qt::white);
    QPalette dark;
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    for (const QPalette& p : {light, dark}) {
        const QColor one = TreeLineColour(1, p), two = TreeLineColour(2, p);
        EXPECT_GE(Contrast(one, p.color(QPalette::Base)), 4.5);
        EXPECT_GE(Contrast(two, p.color(QPalette::Base)), 4.5);
        // Blue against orange: apart in hue by far more than red and green are apart
        // for a colour-blind eye, and not told apart by lightness alone.
        EXPECT_GT(std::abs(one.hsvHue() - two.hsvHue()), 150);
        EXPECT_GT(one.blue(), one.red());
        EXPECT_GT(two.red(), two.blue());
    }
    EXPECT_NE(TreeLineColour(1, light), TreeLineColour(1, dark));
}

}  // namespace
