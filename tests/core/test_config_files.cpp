// Where the settings file and the client configuration are looked for, and the settings
// file's move out of the old place.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "EnvVar.h"
#include "RecordingUi.h"
#include "TempDir.h"
#include "core/ConfigFiles.h"
#include "core/directory/D_NW.h"
#include "core/ini/D_Ini.h"
#include "sources/ClientFactory.h"

namespace {

namespace fs = std::filesystem;

// A user's configuration home and two system folders, all empty at first.
class ConfigFolders : public ::testing::Test {
  protected:
    ConfigFolders()
        : home_("XDG_CONFIG_HOME", (dir.path() / "home").string()),
          system_("XDG_CONFIG_DIRS", "relative/ignored::" + (dir.path() / "sys1").string() + ":" +
                                         (dir.path() / "sys2").string()),
          client_("KALVIX_CLIENT", std::nullopt) {}

    std::string put(const std::string& relative, const std::string& bytes = "x") {
        fs::create_directories((dir.path() / relative).parent_path());
        return dir.write(relative, bytes);
    }

    TempDir dir;

  private:
    EnvVar home_;
    EnvVar system_;
    EnvVar client_;
};

TEST_F(ConfigFolders, UserCopyThenOldPlaceThenSystemFolders) {
    const std::string user = (dir.path() / "home/kalvix/kalvix-client.json").string();
    EXPECT_EQ(UserConfigFolder(), (dir.path() / "home/kalvix").string());

    ConfigLocation none = FindConfigFile("kalvix-client.json", true);
    EXPECT_EQ(none.origin, ConfigLocation::Origin::None);
    EXPECT_EQ(none.path, user);
    EXPECT_EQ(none.userPath, user);

    // The later system folder serves until an earlier one has the file.
    const std::string sys2 = put("sys2/kalvix/kalvix-client.json");
    EXPECT_EQ(FindConfigFile("kalvix-client.json", true).path, sys2);
    EXPECT_EQ(FindConfigFile("kalvix-client.json", true).origin, ConfigLocation::Origin::System);
    EXPECT_EQ(FindConfigFile("kalvix-client.json", false).origin, ConfigLocation::Origin::None);
    const std::string sys1 = put("sys1/kalvix/kalvix-client.json");
    EXPECT_EQ(FindConfigFile("kalvix-client.json", true).path, sys1);

    const std::string old = put("home/kalvix-client.json");
    EXPECT_EQ(FindConfigFile("kalvix-client.json", true).path, old);
    EXPECT_EQ(FindConfigFile("kalvix-client.json", true).origin, ConfigLocation::Origin::OldPlace);

    put("home/kalvix/kalvix-client.json");
    EXPECT_EQ(FindConfigFile("kalvix-client.json", true).path, user);
    EXPECT_EQ(FindConfigFile("kalvix-client.json", true).origin, ConfigLocation::Origin::User);
}

TEST_F(ConfigFolders, WithoutXdgVariablesTheHomeFolderServes) {
    EnvVar xdg("XDG_CONFIG_HOME", "not/absolute");
    EnvVar home("HOME", (dir.path() / "h").string());
    EXPECT_EQ(UserConfigFolder(), (dir.path() / "h/.config/kalvix").string());
    EnvVar dirs("XDG_CONFIG_DIRS", (dir.path() / "h/etc").string());
    const std::string system = put("h/etc/kalvix/kalvix-client.json");
    EXPECT_EQ(ClientConfigPath(), system);
}

TEST_F(ConfigFolders, ClientConfigurationFromTheSystemFolderWhenTheUserHasNone) {
    // Its tree descriptions are found beside it.
    const fs::path demo = fs::path(KALVIX_SOURCE_DIR) / "data/demo";
    fs::create_directories(dir.path() / "sys2");
    fs::copy(demo, dir.path() / "sys2/kalvix");
    EXPECT_EQ(ClientConfigPath(), (dir.path() / "sys2/kalvix/kalvix-client.json").string());
    auto client = CreateConfiguredClient();
    RecordingUi ui;
    NwSession session;
    EXPECT_EQ(InitNetWare(*client, session, ui), 0);
    EXPECT_TRUE(ui.dialogs.empty());

    // A user's own configuration, even a broken one, takes over from the administrator's.
    const std::string own = put("home/kalvix/kalvix-client.json", "{ broken");
    EXPECT_EQ(ClientConfigPath(), own);
    auto broken = CreateConfiguredClient();
    RecordingUi brokenUi;
    NwSession brokenSession;
    EXPECT_NE(InitNetWare(*broken, brokenSession, brokenUi), 0);
    ASSERT_FALSE(brokenUi.dialogs.empty());
    EXPECT_NE(brokenUi.dialogs.front().text.find(own), std::string::npos);

    // KALVIX_CLIENT wins over both.
    EnvVar chosen("KALVIX_CLIENT", (demo / "kalvix-client.json").string());
    EXPECT_EQ(ClientConfigPath(), (demo / "kalvix-client.json").string());
}

TEST_F(ConfigFolders, NoClientConfigurationAnywhereNamesTheUsersPath) {
    auto client = CreateConfiguredClient();
    RecordingUi ui;
    NwSession session;
    EXPECT_NE(InitNetWare(*client, session, ui), 0);
    ASSERT_FALSE(ui.dialogs.empty());
    EXPECT_NE(ui.dialogs.front().text.find("set KALVIX_CLIENT or create " + dir.path().string() +
                                           "/home/kalvix/kalvix-client.json"),
              std::string::npos)
        << ui.dialogs.front().text;
}

// The window started with no configuration at all serves the installed demo and says so.
TEST_F(ConfigFolders, TheWindowWithoutAConfigurationServesTheDemo) {
    const fs::path demo = dir.path() / "share/kalvix/demo";
    fs::create_directories(demo);
    for (const auto& file : fs::directory_iterator(fs::path(KALVIX_SOURCE_DIR) / "data/demo"))
        fs::copy(file.path(), demo / file.path().filename());
    EnvVar data("XDG_DATA_DIRS", (dir.path() / "share").string());
    std::string notice;
    auto client = CreateWindowClient(notice);
    RecordingUi ui;
    NwSession session;
    ASSERT_EQ(InitNetWare(*client, session, ui), 0);
    std::vector<std::string> trees;
    ListReachableTrees(*client, ui, trees);
    EXPECT_TRUE(ui.dialogs.empty());
    EXPECT_NE(std::find(trees.begin(), trees.end(), "INITECH-LDAP"), trees.end());
    EXPECT_NE(notice.find("the demo directory of " + (demo / "kalvix-client.json").string()),
              std::string::npos)
        << notice;
    // A configuration of the user's own: no demo, no notice.
    put("home/kalvix/kalvix-client.json", R"({"connections": []})");
    CreateWindowClient(notice);
    EXPECT_EQ(notice, "");
}

TEST_F(ConfigFolders, SettingsAtTheOldPlaceAreReadThereAndMovedByTheFirstWriter) {
    const std::string name = SettingsFileName();
    const std::string old = put("home/" + name, "[Settings]\r\nOffline Path=/old/\r\n");
    const std::string moved = (dir.path() / "home/kalvix" / name).string();
    // Reading leaves the file where it is; a system folder never holds settings.
    put("sys1/kalvix/" + name, "[Settings]\r\nOffline Path=/system/\r\n");
    EXPECT_EQ(SettingsFilePath(), old);
    FormGeometry g;
    RestoreFormGeometryFromFile(name, "Settings", "MainForm", g);
    EXPECT_TRUE(fs::exists(old));
    EXPECT_FALSE(fs::exists(moved));

    auto settings = OpenSettingsFile();
    EXPECT_EQ(settings->ReadString("Settings", "Offline Path", ""), "/old/");
    settings->WriteString("Settings", "Offline Path", "/new/");
    EXPECT_FALSE(fs::exists(old));
    EXPECT_EQ(SettingsFilePath(), moved);
    EXPECT_EQ(TempDir::read(moved), "[Settings]\r\nOffline Path=/new/\r\n");
}

TEST_F(ConfigFolders, SettingsInTheFolderAreNotOverwrittenByTheOldCopy) {
    const std::string name = SettingsFileName();
    const std::string old = put("home/" + name, "[Settings]\r\nOffline Path=/old/\r\n");
    const std::string current = put("home/kalvix/" + name, "[Settings]\r\nOffline Path=/new/\r\n");
    EXPECT_EQ(SettingsFilePath(), current);
    SaveFormGeometryToFile(name, "Settings", "MainForm", FormGeometry{1, 2, 3, 4});
    EXPECT_EQ(TempDir::read(old), "[Settings]\r\nOffline Path=/old/\r\n");
    EXPECT_NE(TempDir::read(current).find("MainForm.Width=3"), std::string::npos);

    // A first writer with no settings anywhere makes the folder.
    fs::remove_all(dir.path() / "home");
    SaveFormGeometryToFile(name, "Settings", "MainForm", FormGeometry{1, 2, 3, 4});
    EXPECT_TRUE(fs::is_regular_file(dir.path() / "home/kalvix" / name));
}

}  // namespace
