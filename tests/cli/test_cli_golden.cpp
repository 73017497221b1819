// kalvix-cli over fixture pairs, output compared byte for byte with the expected files. The
// quirks pair runs the INI layer's odd cases end to end: quoted values, duplicate keys and
// sections, comments, CR-only line ends, a byte-order mark and text before the first
// section, a line without "=", a section name in other letter case with trailing text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CliRunner.h"

namespace {

struct Golden {
    const char* name;
    std::vector<std::string> args;  // fixture names are resolved in tests/data/cli
    const char* expected;           // empty: no output at all
    int status;
};

class CliGolden : public testing::TestWithParam<Golden> {};

TEST_P(CliGolden, PrintsTheExpectedBytes) {
    const Golden& g = GetParam();
    std::vector<std::string> args;
    for (const std::string& arg : g.args)
        args.push_back(arg.ends_with(".txt") ? CliData(arg) : arg);
    args.insert(args.begin() + 1, "--quiet");
    const CliResult r = RunCli(args);
    EXPECT_EQ(r.status, g.status) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string expected = *g.expected ? ReadBytes(CliData(g.expected)) : std::string();
    if (*g.expected) {
        ASSERT_NE(expected, "") << "missing fixture " << g.expected;
    }
    EXPECT_EQ(r.out, expected);
}

const Golden kGolden[] = {
    {"lab_quick", {"quick", "lab_1.txt", "lab_2.txt"}, "lab_quick_expected.txt", 1},
    {"lab_compare_classes",
     {"compare-classes", "lab_1.txt", "lab_2.txt"},
     "lab_compare-classes_expected.txt",
     1},
    {"lab_compare_attributes",
     {"compare-attributes", "lab_1.txt", "lab_2.txt"},
     "lab_compare-attributes_expected.txt",
     1},
    {"lab_compare", {"compare", "lab_1.txt", "lab_2.txt"}, "lab_compare_expected.txt", 1},
    {"lab_same", {"compare", "lab_2.txt", "lab_2.txt"}, "", 0},
    // Trees without published definitions: --ignore changes nothing.
    {"lab_compare_ignore_none",
     {"compare", "--ignore=none", "lab_1.txt", "lab_2.txt"},
     "lab_compare_expected.txt",
     1},
    {"lab_show_class", {"show", "lab_1.txt", "Person"}, "lab_show-person_expected.txt", 0},
    {"lab_show_attribute", {"show", "lab_1.txt", "surname"}, "lab_show-surname_expected.txt", 0},
    {"quirks_quick", {"quick", "quirks_1.txt", "quirks_2.txt"}, "quirks_quick_expected.txt", 0},
    {"quirks_compare",
     {"compare", "quirks_1.txt", "quirks_2.txt"},
     "quirks_compare_expected.txt",
     1},
    {"quirks_show_class", {"show", "quirks_1.txt", "Person"}, "quirks_show-person_expected.txt", 0},
    {"quirks_show_flags",
     {"show", "--class", "quirks_1.txt", "top"},
     "quirks_show-top_expected.txt",
     0},
    {"bytes_compare", {"compare", "bytes_1.txt", "bytes_2.txt"}, "bytes_compare_expected.txt", 1},
};

INSTANTIATE_TEST_SUITE_P(Fixtures, CliGolden, testing::ValuesIn(kGolden),
                         [](const testing::TestParamInfo<Golden>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
