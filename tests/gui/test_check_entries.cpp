// "Check Entries ..." on a schema page: the demo's people against the 389 dump list the
// lines kalvix-cli fit prints, the heading counts them, a double click shows the entry as
// the file holds it, and a tree without published definitions says so.
#include <QLabel>
#include <QPushButton>

#include "FormFixture.h"

namespace {

class CheckEntries : public FormFixture {};

TEST_F(CheckEntries, ListsTheRefusedEntriesAndShowsOne) {
    makeOfflineForm();
    dialogs.answers.push_back(QString(KALVIX_SOURCE_DIR "/data/demo/initech-389.ldif"));
    form->BitBtnLoadTreeOffline2->click();
    ASSERT_TRUE(form->Trees(2).Schema);
    dialogs.answers.push_back(QString(KALVIX_SOURCE_DIR "/data/demo/initech-people.ldif"));
    form->BitBtnCheckEntries[2]->click();

    ListBox* list = form->ListBoxEntries[2];
    const QStringList lines = texts(list);
    ASSERT_EQ(lines.size(), 8) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.last(),
              "initech-people.ldif:56: cn=Bob Porter,ou=People,o=Initech: no "
              "structural object class");
    EXPECT_TRUE(form->HeadingEntries[2]->text().startsWith(
        "Refused Entries: 4 of 7 (3 fit, 0 cannot be read)"));

    form->ListBoxEntriesDoubleClick(list, 7);
    EXPECT_EQ(texts(form->ListBoxDetailTree2),
              QStringList({"dn: cn=Bob Porter,ou=People,o=Initech",
                           "objectClass: initechContractor", "objectClass: extensibleObject",
                           "cn: Bob Porter", "initechCostCenter: CC-CONSULT"}));

    dialogs.messages.clear();
    form->BitBtnCheckEntries[1]->click();
    ASSERT_EQ(dialogs.messages.size(), 1U);
    EXPECT_TRUE(dialogs.messages[0].text.contains("no published LDAP definitions"));
}

}  // namespace
