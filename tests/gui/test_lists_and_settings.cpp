// "Save as ..." on the lists, and the window's geometry kept in the settings file.
#include <sys/stat.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "FormFixture.h"
#include "TempDir.h"
#include "core/ini/D_Ini.h"

namespace {

class SaveAs : public FormFixture {
  protected:
    void SetUp() override {
        makeOfflineForm();
        fillSlot(1, names({"Top", "person", "Alias"}), names({"CN"}), false, "LAB");
        fillSlot(2, names({"Top", "Device"}), names({"CN", "Title"}), false, "SALES");
    }
    void saveVia(ListBox* list, const std::optional<QString>& answer) {
        form->PopupComponent = list;
        dialogs.answers.push_back(answer);
        form->PopupSaveAs->trigger();
    }
    TempDir dir;
};

TEST_F(SaveAs, ProposesANameAfterTheTreeThatHasTheList) {
    const std::vector<std::pair<ListBox*, QString>> cases = {
        {form->ListBoxClasses1, "LAB - Classes.txt"},
        {form->ListBoxAttr2, "SALES - Attributes.txt"},
        {form->ListBoxUniqueClasses1, "LAB - Unique Classes.txt"},
        {form->ListBoxUniqueAttr2, "SALES - Unique Attributes.txt"},
        {form->ListBoxClassesCommon, "*.txt"},
        {form->ListBoxDetailTree2, "*.txt"},
        {form->ListBoxCompareAttrResults, "*.txt"},
    };
    for (const auto& [list, proposed] : cases) {
        saveVia(list, std::nullopt);
        ASSERT_FALSE(dialogs.saveSetups.empty());
        EXPECT_EQ(dialogs.saveSetups.back().fileName, proposed) << list->objectName().toStdString();
        EXPECT_EQ(dialogs.saveSetups.back().defaultSuffix, "txt");
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SaveAs, WritesTheLinesAsShownWithCrLf) {
    const std::string path = dir.file("classes.txt");
    saveVia(form->ListBoxClasses1, QString::fromStdString(path));
    EXPECT_EQ(TempDir::read(path), "Alias\r\nperson\r\nTop\r\n");
    EXPECT_TRUE(dialogs.questions.empty());  // a new file needs no question

    const std::string empty = dir.file("empty.txt");
    saveVia(form->ListBoxCompareClassesResults, QString::fromStdString(empty));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(empty)));
    EXPECT_EQ(TempDir::read(empty), "");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SaveAs, AnExistingFileIsReplacedOnlyAfterAYes) {
    const std::string path = dir.write("classes.txt", "old content");
    dialogs.confirmations.push_back(false);
    saveVia(form->ListBoxClasses1, QString::fromStdString(path));
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_TRUE(dialogs.questions[0].contains(QString::fromStdString(path)));
    EXPECT_EQ(TempDir::read(path), "old content");

    dialogs.confirmations.push_back(true);
    saveVia(form->ListBoxClasses1, QString::fromStdString(path));
    EXPECT_EQ(dialogs.questions.size(), 2u);
    EXPECT_EQ(TempDir::read(path), "Alias\r\nperson\r\nTop\r\n");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SaveAs, DialogsStartInTheSchemaFolderElseAtHome) {
    // Never the working folder or the program's: with nothing remembered, home.
    saveVia(form->ListBoxClasses1, std::nullopt);
    EXPECT_EQ(dialogs.saveSetups.back().directory, QDir::homePath());
    dialogs.answers.push_back(std::nullopt);
    form->BitBtnLoadTreeOfflineClick(form->BitBtnLoadTreeOffline1);
    EXPECT_EQ(dialogs.openSetups.back().directory, QDir::homePath());

    // A schema file loaded from a folder: every dialog starts there.
    const std::string schema =
        dir.write("lab.txt", TempDir::read(std::string(KALVIX_TEST_DATA) + "/cli/lab_1.txt"));
    dialogs.answers.push_back(QString::fromStdString(schema));
    form->BitBtnLoadTreeOfflineClick(form->BitBtnLoadTreeOffline1);
    const QString folder = QString::fromStdString(dir.path().string());
    saveVia(form->ListBoxAttrDetail, std::nullopt);
    EXPECT_EQ(QDir(dialogs.saveSetups.back().directory), QDir(folder));
    dialogs.answers.push_back(std::nullopt);
    form->BitBtnLoadTreeOfflineClick(form->BitBtnLoadTreeOffline2);
    EXPECT_EQ(QDir(dialogs.openSetups.back().directory), QDir(folder));

    // A remembered folder that has gone: home again.
    {
        TempDir gone;
        const std::string other = gone.write("lab.txt", TempDir::read(schema));
        dialogs.answers.push_back(QString::fromStdString(other));
        form->BitBtnLoadTreeOfflineClick(form->BitBtnLoadTreeOffline2);
    }
    saveVia(form->ListBoxClasses2, std::nullopt);
    EXPECT_EQ(dialogs.saveSetups.back().directory, QDir::homePath());
}

TEST_F(SaveAs, CancelWritesNothingAndAFailureSaysSo) {
    saveVia(form->ListBoxClasses1, std::nullopt);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

    const std::string blocked = dir.file("not-a-folder");
    dir.write("not-a-folder", "a file");
    const QString path = QString::fromStdString(blocked + "/list.txt");
    saveVia(form->ListBoxClasses1, path);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].type, DlgType::Error);
    EXPECT_EQ(dialogs.messages[0].text, "Cannot create file " + path);
    EXPECT_EQ(TempDir::read(blocked), "a file");
    EXPECT_EQ(form->ListBoxClasses1->count(), 3);
}

TEST_F(SaveAs, AFifoOrDanglingLinkIsNeitherWrittenNorReplaced) {
    const std::string fifo = dir.file("list.txt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string dangling = dir.file("dangling.txt");
    std::filesystem::create_symlink(dir.file("nowhere.txt"), dangling);
    saveVia(form->ListBoxClasses1, QString::fromStdString(fifo));
    saveVia(form->ListBoxClasses1, QString::fromStdString(dangling));
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].text, QString::fromStdString("Cannot create file " + fifo));
    EXPECT_EQ(dialogs.messages[0].detail, "not a regular file");
    EXPECT_EQ(dialogs.messages[1].detail, "a symbolic link that leads nowhere");
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_TRUE(std::filesystem::is_symlink(dangling));
    EXPECT_FALSE(std::filesystem::exists(dir.file("nowhere.txt")));
}

class Geometry : public FormFixture {};

// A FIFO as the settings file would block the window's start for ever if it were opened
// like a file.
TEST_F(Geometry, AFifoInPlaceOfTheSettingsFileDoesNotBlock) {
    makeOfflineForm();
    form.reset();
    ASSERT_EQ(::mkfifo(SettingsFilePath().c_str(), 0600), 0);
    form = std::make_unique<TMainForm>(CreateUnavailableClient(""),
                                       std::make_unique<ScriptedDialogs>(dialogs),
                                       std::make_unique<RecordingShell>(opened));
    form->show();
    EXPECT_EQ(form->pos(), QPoint(294, 108));
    form->close();
    form.reset();
    EXPECT_TRUE(std::filesystem::is_fifo(SettingsFilePath()));
    std::filesystem::remove(SettingsFilePath());
}

TEST_F(Geometry, FirstRunOpensAsDesignedAndCloseStoresIt) {
    makeOfflineForm();
    form->show();
    EXPECT_EQ(form->pos(), QPoint(294, 108));
    EXPECT_EQ(form->size(), QSize(745, 736));
    form->close();
    IniFile settings(SettingsFilePath());
    EXPECT_EQ(settings.ReadInteger("Settings", "MainForm.Top", -1), 108);
    EXPECT_EQ(settings.ReadInteger("Settings", "MainForm.Left", -1), 294);
    EXPECT_EQ(settings.ReadInteger("Settings", "MainForm.Width", -1), 745);
    EXPECT_EQ(settings.ReadInteger("Settings", "MainForm.Height", -1), 736);
}

TEST_F(Geometry, StoredValuesComeBackAndZeroKeepsTheDesign) {
    makeOfflineForm();
    {
        IniFile settings(SettingsFilePath());
        settings.WriteString("Settings", "MainForm.Left", "-40");
        settings.WriteString("Settings", "MainForm.Top", "0");
        settings.WriteString("Settings", "MainForm.Width", "0x320");
        settings.WriteString("Settings", "MainForm.Height", "abc");
        settings.UpdateFile();
    }
    form->show();
    EXPECT_EQ(form->pos(), QPoint(-40, 108));
    EXPECT_EQ(form->size(), QSize(800, 736));
}

TEST_F(Geometry, GarbageOrAFolderInPlaceOfTheSettingsFileIsHarmless) {
    makeOfflineForm();
    form.reset();
    std::filesystem::create_directories(SettingsFilePath());
    form = std::make_unique<TMainForm>(CreateUnavailableClient(""),
                                       std::make_unique<ScriptedDialogs>(dialogs),
                                       std::make_unique<RecordingShell>(opened));
    form->show();
    EXPECT_EQ(form->size(), QSize(745, 736));
    form->close();
    form.reset();
    std::filesystem::remove_all(SettingsFilePath());

    {
        QFile garbage(QString::fromStdString(SettingsFilePath()));
        ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray("\x00\xff[[[=\n\x1a\x1a", 9));
    }
    form = std::make_unique<TMainForm>(CreateUnavailableClient(""),
                                       std::make_unique<ScriptedDialogs>(dialogs),
                                       std::make_unique<RecordingShell>(opened));
    form->show();
    EXPECT_EQ(form->pos(), QPoint(294, 108));
    form->close();
}

}  // namespace
