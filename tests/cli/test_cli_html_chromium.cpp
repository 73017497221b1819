// The demo trees' report as a person sees it: headless Chromium renders it at 1280 px wide
// and at print size (A4 at 96 dpi), and prints it to PDF, without trouble. Chromium is
// installed by scripts/setup-deps for this test.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "CliRunner.h"
#include "TempDir.h"

namespace {

// The chromium program on the PATH (empty when there is none).
std::string Chromium() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/chromium";
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

std::uint32_t BigEndian32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

class ChromiumReport : public testing::Test {
  protected:
    void SetUp() override {
        const CliResult r =
            RunCli({"compare", "--quiet", "--format", "html", "tree:ACME-CORP", "tree:GLOBEX"},
                   {{"KALVIX_CLIENT", KALVIX_SOURCE_DIR "/data/demo/kalvix-client.json"}});
        ASSERT_EQ(r.status, 1) << r.err;
        report = dir.write("report.html", r.out);
    }

    // Runs Chromium headless on the report with the given output options.
    CliResult chromium(const std::vector<std::string>& output) {
        std::vector<std::string> args = {
            "--headless",
            "--no-sandbox",
            "--disable-gpu",
            "--disable-quic",
            "--no-first-run",
            "--disable-background-networking",
            "--disable-component-update",
            "--disable-sync",
            "--user-data-dir=" + dir.file("profile-" + std::to_string(++runs))};
        args.insert(args.end(), output.begin(), output.end());
        args.push_back("file://" + report);
        const std::string program = Chromium();
        EXPECT_FALSE(program.empty()) << "chromium is not installed: run scripts/setup-deps";
        return RunProgram(program.empty() ? "chromium" : program, args,
                          {{"HOME", dir.path().string()}});
    }

    // A PNG of that size with something drawn on it (a blank page packs into a few KiB).
    void expectScreenshot(const std::string& path, std::uint32_t width, std::uint32_t height) {
        const std::string png = TempDir::read(path);
        ASSERT_GT(png.size(), 24u) << path;
        EXPECT_EQ(png.substr(1, 3), "PNG");
        EXPECT_EQ(BigEndian32(png, 16), width);
        EXPECT_EQ(BigEndian32(png, 20), height);
        EXPECT_GT(png.size(), 40u * 1024) << "a blank page?";
    }

    TempDir dir;
    std::string report;
    int runs = 0;
};

TEST_F(ChromiumReport, RendersOnScreenAndOnPaper) {
    const std::string wide = dir.file("wide.png");
    CliResult r = chromium({"--screenshot=" + wide, "--window-size=1280,1600"});
    ASSERT_EQ(r.status, 0) << r.err;
    expectScreenshot(wide, 1280, 1600);

    const std::string paper = dir.file("paper.png");
    r = chromium({"--screenshot=" + paper, "--window-size=794,1123"});
    ASSERT_EQ(r.status, 0) << r.err;
    expectScreenshot(paper, 794, 1123);

    const std::string pdf = dir.file("report.pdf");
    r = chromium({"--print-to-pdf=" + pdf, "--no-pdf-header-footer"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string printed = TempDir::read(pdf);
    EXPECT_TRUE(printed.starts_with("%PDF-")) << r.err;
    // Several pages: the report is long and nothing is cut off to one page.
    std::size_t pages = 0;
    for (std::size_t at = printed.find("/Type /Page"); at != std::string::npos;
         at = printed.find("/Type /Page", at + 1))
        if (printed.compare(at, 12, "/Type /Pages") != 0) ++pages;
    EXPECT_GE(pages, 2u);
}

// The survey's page of the demo trees: the summary and the drift matrix, wide as the
// trees are many, on screen and on paper.
TEST_F(ChromiumReport, RendersTheSurveyPage) {
    const CliResult page =
        RunCli({"survey", "--quiet", "--format", "html", "tree:ACME-CORP", "--all-trees"},
               {{"KALVIX_CLIENT", KALVIX_SOURCE_DIR "/data/demo/kalvix-client.json"}});
    ASSERT_EQ(page.status, 1) << page.err;
    report = dir.write("survey.html", page.out);

    const std::string wide = dir.file("survey.png");
    CliResult r = chromium({"--screenshot=" + wide, "--window-size=1280,1600"});
    ASSERT_EQ(r.status, 0) << r.err;
    expectScreenshot(wide, 1280, 1600);

    const std::string pdf = dir.file("survey.pdf");
    r = chromium({"--print-to-pdf=" + pdf, "--no-pdf-header-footer"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(TempDir::read(pdf).starts_with("%PDF-")) << r.err;
}

}  // namespace
