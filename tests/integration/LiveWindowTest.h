// The window (offscreen) on a shared live server of a family: the live tree and a schema
// file saved from it, loaded side by side and compared in full.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "FormFixture.h"
#include "LiveDirectory.h"

template <class Server>
class LiveWindowTest : public FormFixture {
  protected:
    void SetUp() override {
        server = SharedServer<Server>::Get();
        ASSERT_NE(server, nullptr) << SharedServer<Server>::Error();
        live = Describe(*server);
    }

    QStringList messageTexts() const {
        QStringList out;
        for (const ShownMessage& m : dialogs.messages) out << m.text;
        return out;
    }

    void checkLiveTreeAndSavedFileHaveNoDifference() {
        makeForm(CreateClientFromConfig(WriteClientConfig(dir, {BoundConnection(live, "LIVE")})));
        ASSERT_TRUE(dialogs.messages.empty()) << messageTexts().join("\n").toStdString();
        const int index = form->ComboBoxTree1->findText("LIVE");
        ASSERT_GE(index, 0);
        form->ComboBoxTree1->setCurrentIndex(index);
        form->ChangeTreeOnline(form->ComboBoxTree1);
        ASSERT_TRUE(dialogs.messages.empty()) << messageTexts().join("\n").toStdString();
        EXPECT_EQ(form->LabelTree1->text(), "Tree #1:  LIVE (online)");
        const QStringList classes = texts(form->ListBoxClasses1);
        const QStringList attributes = texts(form->ListBoxAttr1);
        const ServerSchema published = ReadPublishedSchema(live);
        EXPECT_EQ(static_cast<std::size_t>(classes.size()), published.classes.size());
        EXPECT_EQ(static_cast<std::size_t>(attributes.size()), published.attributes.size());

        const QString path = QString::fromStdString(dir.file("live.sch"));
        dialogs.answers.push_back(path);
        form->BitBtnSaveTreeClick(form->BitBtnSaveTree1);
        dialogs.answers.push_back(path);
        form->BitBtnLoadTreeOfflineClick(form->BitBtnLoadTreeOffline2);
        ASSERT_TRUE(dialogs.messages.empty()) << messageTexts().join("\n").toStdString();
        EXPECT_EQ(form->LabelTree2->text(), "Tree #2:  LIVE (offline)");
        EXPECT_EQ(texts(form->ListBoxClasses2), classes);
        EXPECT_EQ(texts(form->ListBoxAttr2), attributes);
        EXPECT_EQ(form->ListBoxClassesCommon->count(), classes.size());

        form->BitBtnCompareClassesClick(form->BitBtnCompareClasses);
        form->BitBtnCompareAttrClick(form->BitBtnCompareAttr);
        EXPECT_EQ(form->ListBoxCompareClassesResults->count(), 0)
            << texts(form->ListBoxCompareClassesResults).join("\n").toStdString();
        EXPECT_EQ(form->ListBoxCompareAttrResults->count(), 0)
            << texts(form->ListBoxCompareAttrResults).join("\n").toStdString();
        EXPECT_EQ(messageTexts(), QStringList({"No differences found", "No differences found"}));
    }

    Server* server = nullptr;
    LiveDirectory live;
    TempDir dir;
};
