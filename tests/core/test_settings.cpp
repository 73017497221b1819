// The settings file: its name and folder, and the window geometry kept in it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "EnvVar.h"
#include "TempDir.h"
#include "core/D_Util.h"
#include "core/ini/D_Ini.h"

using namespace std::string_literals;

// Found by the test macros through the type's namespace.
bool operator==(const FormGeometry& a, const FormGeometry& b) {
    return a.top == b.top && a.left == b.left && a.width == b.width && a.height == b.height;
}
std::ostream& operator<<(std::ostream& os, const FormGeometry& g) {
    return os << g.left << "," << g.top << " " << g.width << "x" << g.height;
}

namespace {

const FormGeometry kDesigned{108, 294, 745, 736};

TEST(SettingsFile, NamedAfterTheProgramInTheConfigFolder) {
    EXPECT_EQ(SettingsFileName(), "core_test_settings.ini");
    const std::string full = ProgramFileWithExt("ini");
    EXPECT_EQ(full.substr(full.size() - SettingsFileName().size() - 1), "/" + SettingsFileName());

    TempDir dir;
    {
        EnvVar xdg("XDG_CONFIG_HOME", (dir.path() / "cfg" / "deep").string());
        EXPECT_EQ(SettingsFilePath(),
                  (dir.path() / "cfg/deep/kalvix/core_test_settings.ini").string());
        OpenSettingsFile();
        EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "cfg/deep/kalvix"));
    }
    for (const std::optional<std::string>& ignored :
         {std::optional<std::string>{}, std::optional<std::string>{""},
          std::optional<std::string>{"relative/cfg"}}) {
        EnvVar xdg("XDG_CONFIG_HOME", ignored);
        EnvVar home("HOME", dir.path().string());
        EXPECT_EQ(SettingsFilePath(),
                  (dir.path() / ".config/kalvix/core_test_settings.ini").string());
    }
}

TEST(SettingsFile, OpenedFileStoresEveryWriteAtOnce) {
    TempDir dir;
    EnvVar xdg("XDG_CONFIG_HOME", dir.path().string());
    auto settings = OpenSettingsFile();
    settings->WriteString("Settings", "Offline Path", "/data/schemas/");
    EXPECT_EQ(TempDir::read(SettingsFilePath()), "[Settings]\r\nOffline Path=/data/schemas/\r\n");
    WriteIntegerIfChanged(*settings, "Settings", "Zero", 0);
    WriteIntegerIfChanged(*settings, "Settings", "Count", 0x20);
    EXPECT_EQ(TempDir::read(SettingsFilePath()),
              "[Settings]\r\nOffline Path=/data/schemas/\r\nCount=32\r\n");
}

TEST(FormGeometry, FirstRunThenSaveRestoreRoundTrip) {
    TempDir dir;
    EnvVar xdg("XDG_CONFIG_HOME", dir.path().string());
    FormGeometry g = kDesigned;
    RestoreFormGeometryFromFile(SettingsFileName(), "Settings", "MainForm", g);
    EXPECT_EQ(g, kDesigned);

    SaveFormGeometryToFile(SettingsFileName(), "Settings", "MainForm", kDesigned);
    EXPECT_EQ(TempDir::read(SettingsFilePath()),
              "[Settings]\r\nMainForm.Top=108\r\nMainForm.Left=294\r\nMainForm.Width=745\r\n"
              "MainForm.Height=736\r\n");

    // Saving what is stored rewrites nothing.
    struct stat before {
    }, after{};
    ::stat(SettingsFilePath().c_str(), &before);
    SaveFormGeometryToFile(SettingsFileName(), "Settings", "MainForm", kDesigned);
    ::stat(SettingsFilePath().c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);

    const FormGeometry moved{-20, -300, 800, 600};
    SaveFormGeometryToFile(SettingsFilePath(), "Settings", "MainForm", moved);
    g = kDesigned;
    RestoreFormGeometryFromFile(SettingsFileName(), "Settings", "MainForm", g);
    EXPECT_EQ(g, moved);
}

TEST(FormGeometry, ZeroMeasuresKeepTheDesignedOnes) {
    TempDir dir;
    IniFile ini(dir.file("s.ini"));
    SaveFormGeometry(ini, "", "Form", FormGeometry{0, 0, 500, 0});
    EXPECT_EQ(ini.ReadSection("Form"), std::vector<std::string>{"Form.Width"});
    FormGeometry g = kDesigned;
    RestoreFormGeometry(ini, "", "Form", g);
    EXPECT_EQ(g, (FormGeometry{108, 294, 500, 736}));
}

TEST(FormGeometry, HandWrittenValues) {
    struct Case {
        std::string width;
        int expected;
    };
    const std::vector<Case> cases = {
        {"0x20", 32}, {"$40", 64},  {"abc", 745},         {"0", 745},
        {"", 745},    {"-12", -12}, {"99999999999", 745}, {"\"640\"", 640},
    };
    for (const Case& c : cases) {
        TempDir dir;
        IniFile ini(dir.write("s.ini", "[Settings]\nMainForm.Width=" + c.width + "\n"));
        FormGeometry g = kDesigned;
        RestoreFormGeometry(ini, "Settings", "MainForm", g);
        EXPECT_EQ(g.width, c.expected) << c.width;
        EXPECT_EQ(g.height, kDesigned.height);
    }
}

TEST(FormGeometry, BrokenSettingsFilesFallBackQuietly) {
    TempDir dir;
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919) % 251);
    garbage += "[Settings\nMainForm.Width=\n\0\0["s;
    const std::string garbagePath = dir.write("garbage.ini", garbage);
    std::filesystem::create_directory(dir.path() / "folder.ini");
    dir.write("plain", "not a folder");

    for (const std::string& path :
         {garbagePath, dir.file("folder.ini"), dir.file("plain/inside.ini")}) {
        FormGeometry g = kDesigned;
        EXPECT_NO_THROW(RestoreFormGeometryFromFile(path, "Settings", "MainForm", g)) << path;
        EXPECT_EQ(g, kDesigned) << path;
        EXPECT_NO_THROW(
            SaveFormGeometryToFile(path, "Settings", "MainForm", FormGeometry{1, 2, 3, 4}))
            << path;
        IniFile ini(path);
        EXPECT_NO_THROW(SaveFormGeometry(ini, "Settings", "MainForm", FormGeometry{5, 6, 7, 8}));
    }
    // Garbage stays in front, untouched; the keys follow it.
    const std::string after = TempDir::read(garbagePath);
    EXPECT_EQ(after.substr(0, garbage.size()), garbage);
    FormGeometry g = kDesigned;
    RestoreFormGeometryFromFile(garbagePath, "Settings", "MainForm", g);
    EXPECT_EQ(g, (FormGeometry{5, 6, 7, 8}));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "folder.ini"));
    EXPECT_EQ(TempDir::read(dir.file("plain")), "not a folder");
}

}  // namespace
