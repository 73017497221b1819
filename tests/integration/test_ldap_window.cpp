// The window on live servers: a tree read online, saved, loaded back beside it and compared
// in full; a server that cannot be read shows its error and the window goes on.
#include <sys/stat.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "FormFixture.h"
#include "LdapTestSupport.h"
#include "SlapdServer.h"
#include "sources/LdapSchema.h"

namespace {

class LdapWindow : public FormFixture {
  protected:
    void choose(QComboBox* combo, const QString& tree) {
        const int index = combo->findText(tree);
        ASSERT_GE(index, 0) << tree.toStdString();
        combo->setCurrentIndex(index);
        form->ChangeTreeOnline(combo);
    }
    QStringList messageTexts() const {
        QStringList out;
        for (const ShownMessage& m : dialogs.messages) out << m.text;
        return out;
    }
    TempDir dir;
};

TEST_F(LdapWindow, ALiveTreeAndTheSchemaFileSavedFromItHaveNoDifference) {
    SlapdServer::Options options;
    options.schemas = {"core", "cosine", "inetorgperson", "nis", LdapData("nds.schema")};
    options.rootDse = {{"directoryTreeName", "NDS_TEST_TREE"}, {"defaultNamingContext", "o=acme"}};
    SlapdServer server(options);
    makeForm(CreateClientFromConfig(WriteClientConfig(dir, {LdapConnection(server.uri())})));
    ASSERT_TRUE(dialogs.messages.empty()) << messageTexts().join("\n").toStdString();
    ASSERT_EQ(form->ComboBoxTree1->count(), 1);
    EXPECT_EQ(form->ComboBoxTree1->itemText(0), "NDS_TEST_TREE");

    choose(form->ComboBoxTree1, "NDS_TEST_TREE");
    EXPECT_TRUE(dialogs.messages.empty()) << messageTexts().join("\n").toStdString();
    EXPECT_EQ(form->LabelTree1->text(), "Tree #1:  NDS_TEST_TREE (online)");
    const QStringList classes = texts(form->ListBoxClasses1);
    EXPECT_TRUE(classes.contains("User"));
    EXPECT_TRUE(texts(form->ListBoxAttr1).contains("Login Time"));

    const QString path = QString::fromStdString(dir.file("nds.txt"));
    dialogs.answers.push_back(path);
    form->BitBtnSaveTreeClick(form->BitBtnSaveTree1);
    dialogs.answers.push_back(path);
    form->BitBtnLoadTreeOfflineClick(form->BitBtnLoadTreeOffline2);
    ASSERT_TRUE(dialogs.messages.empty()) << messageTexts().join("\n").toStdString();
    EXPECT_EQ(form->LabelTree2->text(), "Tree #2:  NDS_TEST_TREE (offline)");
    EXPECT_EQ(texts(form->ListBoxClasses2), classes);
    EXPECT_EQ(form->ListBoxClassesCommon->count(), classes.size());

    form->BitBtnCompareClassesClick(form->BitBtnCompareClasses);
    form->BitBtnCompareAttrClick(form->BitBtnCompareAttr);
    EXPECT_EQ(form->ListBoxCompareClassesResults->count(), 0)
        << texts(form->ListBoxCompareClassesResults).join("\n").toStdString();
    EXPECT_EQ(form->ListBoxCompareAttrResults->count(), 0)
        << texts(form->ListBoxCompareAttrResults).join("\n").toStdString();
    EXPECT_EQ(messageTexts(), QStringList({"No differences found", "No differences found"}));
}

TEST_F(LdapWindow, AServerThatCannotBeReadShowsAnErrorAndTheWindowGoesOn) {
    SlapdServer server;
    SlapdServer down;
    const std::string password = dir.write("wrong.pw", "wrong\n");
    ASSERT_EQ(chmod(password.c_str(), 0600), 0);
    QJsonObject refused = LdapConnection(server.uri(), "REFUSED");
    refused["bindDn"] = "cn=admin,dc=example,dc=com";
    refused["passwordFile"] = QString::fromStdString(password);
    makeForm(CreateClientFromConfig(WriteClientConfig(
        dir, {LdapConnection(server.uri(), "LIVE"), LdapConnection(down.uri(), "DOWN"), refused})));
    down.stop();
    ASSERT_EQ(form->ComboBoxTree1->count(), 3);

    choose(form->ComboBoxTree1, "LIVE");
    const QStringList live = texts(form->ListBoxClasses1);
    ASSERT_FALSE(live.isEmpty());

    choose(form->ComboBoxTree1, "DOWN");
    choose(form->ComboBoxTree2, "REFUSED");
    // One error dialog each, headed with the server, and beneath it the cause and what to do.
    ASSERT_EQ(dialogs.messages.size(), 2u) << messageTexts().join("\n").toStdString();
    EXPECT_EQ(messageTexts()[0].toStdString(),
              "Cannot read the schema of the LDAP server " + down.uri());
    EXPECT_EQ(messageTexts()[1].toStdString(),
              "Cannot read the schema of the LDAP server " + server.uri());
    EXPECT_EQ(dialogs.messages[0].detail.toStdString(),
              "Cannot connect: Can't contact LDAP server.\nCheck that the server runs and that "
              "the directory client configuration gives its address.");
    EXPECT_EQ(dialogs.messages[1].detail.toStdString(),
              "Bind as \"cn=admin,dc=example,dc=com\" refused: Invalid credentials.\nCheck the "
              "bind DN and the password file the directory client configuration names.");
    for (const ShownMessage& m : dialogs.messages) EXPECT_EQ(m.type, DlgType::Error);
    // The client's message table says which server and why.
    EXPECT_EQ(ClientErrorText(form->workspace().client(), ldapcode::kUnreachable),
              "0xFFFFFD8F (" + down.uri() + ": cannot connect: Can't contact LDAP server)");
    EXPECT_EQ(ClientErrorText(form->workspace().client(), ldapcode::kBindRefused),
              "0xFFFFFD63 (" + server.uri() +
                  ": bind as \"cn=admin,dc=example,dc=com\" refused: Invalid credentials)");
    // Slot 1 keeps what it had; both selectors still work.
    EXPECT_EQ(texts(form->ListBoxClasses1), live);
    EXPECT_TRUE(form->ComboBoxTree1->isEnabled());
    dialogs.messages.clear();
    choose(form->ComboBoxTree2, "LIVE");
    EXPECT_TRUE(dialogs.messages.empty()) << messageTexts().join("\n").toStdString();
    EXPECT_EQ(texts(form->ListBoxClasses2), live);
    EXPECT_EQ(form->LabelTree2->text(), "Tree #2:  LIVE (online)");
}

// The password file is looked at before anything reaches the server: one others may read
// stops the tree change, and the error dialog says why and what to do.
TEST_F(LdapWindow, APasswordFileOthersCanReadIsRefusedInTheDialog) {
    SlapdServer server;
    const std::string password = dir.write("acme.pw", "secret\n");
    ASSERT_EQ(chmod(password.c_str(), 0644), 0);
    QJsonObject open = LdapConnection(server.uri(), "OPEN");
    open["bindDn"] = "cn=admin,dc=example,dc=com";
    open["passwordFile"] = QString::fromStdString(password);
    makeForm(CreateClientFromConfig(WriteClientConfig(dir, {open})));
    choose(form->ComboBoxTree1, "OPEN");
    ASSERT_EQ(dialogs.messages.size(), 1u) << messageTexts().join("\n").toStdString();
    EXPECT_EQ(messageTexts()[0].toStdString(),
              "Cannot read the schema of the LDAP server " + server.uri());
    EXPECT_EQ(dialogs.messages[0].detail.toStdString(),
              "Permissions 0644 for the password file \"" + password +
                  "\" are too open; run chmod 600 " + password +
                  ".\nCheck the bind DN and the password file the directory client configuration "
                  "names.");
}

}  // namespace
