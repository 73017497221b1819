// cmake --install into a temporary prefix, then the installed tool run from there.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "CliRunner.h"
#include "TempDir.h"

namespace {

namespace fs = std::filesystem;

TEST(CliInstall, InstalledCopyRunsAndFindsItsFiles) {
    TempDir dir;
    const fs::path prefix = dir.path() / "prefix with space";
    const CliResult install =
        RunProgram(KALVIX_CMAKE, {"--install", KALVIX_BUILD_DIR, "--prefix", prefix.string()});
    ASSERT_EQ(install.status, 0) << install.out << install.err;

    const fs::path cli = prefix / "bin" / "kalvix-cli";
    ASSERT_TRUE(fs::is_regular_file(cli));
    EXPECT_NE(fs::status(cli).permissions() & fs::perms::owner_exec, fs::perms::none);
    const fs::path share = prefix / "share" / "kalvix";
    // What a distribution expects beside the program: manuals, completion, licence.
    for (const char* file :
         {"share/man/man1/kalvix-cli.1.gz", "share/man/man5/kalvix-client.json.5.gz",
          "share/bash-completion/completions/kalvix-cli", "share/doc/kalvix/LICENSE",
          "share/doc/kalvix/examples/kalvix-client.json",
          "share/doc/kalvix/examples/kalvix-survey.service",
          "share/doc/kalvix/examples/kalvix-survey.timer"})
        EXPECT_TRUE(fs::is_regular_file(prefix / file)) << file;
    EXPECT_EQ(ReadBytes((share / "kalvix.txt").string()),
              ReadBytes(std::string(KALVIX_SOURCE_DIR) + "/data/kalvix.txt"));
    EXPECT_TRUE(fs::is_directory(share / "demo"));

    // Started from elsewhere, with nothing of the build around it.
    const CliResult version = RunProgram(cli.string(), {"--version"}, {}, dir.path().string());
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.substr(0, version.out.find('\n')), "kalvix-cli (Kalvix) 1.02");
    const CliResult compare =
        RunProgram(cli.string(), {"compare", "-q", CliData("lab_1.txt"), CliData("lab_2.txt")}, {},
                   dir.path().string());
    EXPECT_EQ(compare.status, 1);
    EXPECT_EQ(compare.out, ReadBytes(CliData("lab_compare_expected.txt")));

    // The installed demo configuration reaches its trees.
    const fs::path demo = share / "demo" / "kalvix-client.json";
    if (fs::exists(demo)) {
        const CliResult trees =
            RunProgram(cli.string(), {"trees"}, {{"KALVIX_CLIENT", demo.string()}});
        EXPECT_EQ(trees.status, 0) << trees.err;
        EXPECT_NE(trees.out, "");
        // Without a configuration, the installed copy points to its own demo.
        const CliResult none = RunProgram(cli.string(), {"trees"},
                                          {{"KALVIX_CLIENT", ""},
                                           {"HOME", dir.path().string()},
                                           {"XDG_CONFIG_HOME", ""},
                                           {"XDG_CONFIG_DIRS", dir.file("none")},
                                           {"XDG_DATA_DIRS", dir.file("none")}});
        EXPECT_EQ(none.status, 2);
        EXPECT_EQ(none.err,
                  "kalvix-cli: no directory client configuration (set KALVIX_CLIENT, or create "
                  "~/.config/kalvix/kalvix-client.json as kalvix-client.json(5) describes; the "
                  "demo is " +
                      demo.string() + ")\n");
    }

    if (!KALVIX_HAS_GUI) return;
    const fs::path program = prefix / "bin" / "kalvix";
    EXPECT_TRUE(fs::is_regular_file(program));
    const fs::path icon = prefix / "share/icons/hicolor/scalable/apps/kalvix.svg";
    EXPECT_TRUE(fs::is_regular_file(icon));
    for (const char* file :
         {"share/icons/hicolor/16x16/apps/kalvix.png",
          "share/icons/hicolor/256x256/apps/kalvix.png",
          "share/metainfo/example.dellmar.Kalvix.metainfo.xml", "share/man/man1/kalvix.1.gz",
          "share/bash-completion/completions/kalvix"})
        EXPECT_TRUE(fs::is_regular_file(prefix / file)) << file;
    const std::string entry =
        ReadBytes((prefix / "share/applications/example.dellmar.Kalvix.desktop").string());
    EXPECT_NE(entry.find("\nExec=\"" + program.string() + "\" %F\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nTryExec=" + program.string() + "\n"), std::string::npos);
    EXPECT_NE(entry.find("\nIcon=" + icon.string() + "\n"), std::string::npos);
    EXPECT_NE(entry.find("\nExec=env \"KALVIX_CLIENT=" + demo.string() + "\" \"" +
                         program.string() + "\"\n"),
              std::string::npos);
}

}  // namespace
