// Reading a list section's values: lists as the program writes them (rising plain
// numbers) and every other shape give what the key lookup gives, the first entry of a key
// shadowing later ones.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "core/ini/D_Ini.h"
#include "core/ini/IniFile.h"

namespace {

using Strings = std::vector<std::string>;

TEST(ListSectionValues, AnyShapeReadsAsTheKeysSay) {
    struct Case {
        const char* what;
        std::string body;
        Strings values;
    };
    std::vector<Case> cases = {
        {"as written", "0=a\r\n1=b\r\n2=c\r\n", {"a", "b", "c"}},
        {"gaps where entries were empty", "0=a\r\n2=b\r\n7=c\r\n", {"a", "b", "c"}},
        {"blank lines and comments between", "0=a\r\n\r\n;note\r\n1=b\r\n", {"a", "b"}},
        {"quotes stripped, blanks trimmed", "0=\"x y\"\r\n1=  z  \r\n", {"x y", "z"}},
        {"a key twice: the first one reads", "0=a\r\n1=b\r\n0=c\r\n", {"a", "b", "a"}},
        {"a key twice in a row", "0=a\r\n0=b\r\n", {"a", "a"}},
        {"falling keys", "1=a\r\n0=b\r\n", {"a", "b"}},
        {"leading zero is another spelling", "0=a\r\n01=b\r\n1=c\r\n", {"a", "b", "c"}},
        {"a key without = shadows the entry after it", "0\r\n0=a\r\n1=b\r\n", {"", "b"}},
        {"names as keys", "CN=a\r\ncn=b\r\n", {"a", "a"}},
        {"empty section", "", {}},
        {"huge numbers", "0=a\r\n99999999999999999999=b\r\n", {"a", "b"}},
    };
    // Long lists, around the length up to which lines are classified only once, some with
    // a blank line in each, or a key repeated near the end.
    for (const std::size_t n : {31, 32, 33, 100}) {
        for (const bool blanks : {false, true}) {
            for (const bool repeat : {false, true}) {
                Case c{"a long list", "", {}};
                for (std::size_t i = 0; i < n; ++i) {
                    const std::size_t key = repeat && i + 2 == n ? 0 : i;
                    c.body += std::to_string(key) + "=v" + std::to_string(i) + "\r\n";
                    if (blanks && i == n / 2) c.body += "\r\n";
                    c.values.push_back("v" + std::to_string(key));
                }
                cases.push_back(c);
            }
        }
    }
    for (const Case& c : cases) {
        TempDir dir;
        IniFile ini(dir.write("t.ini", "[L]\r\n" + c.body + "[M]\r\n0=m\r\n"));
        EXPECT_EQ(ini.ReadSectionValueTexts("L"), c.values) << c.what;
        EXPECT_EQ(ini.ReadSectionValueTexts("l"), c.values) << c.what << " (section case)";
        EXPECT_EQ(ini.ReadSectionValueTexts("M"), Strings{"m"}) << c.what;
        // Read into room held before, and into a list that already holds a name: a list
        // read again another way halfway through keeps nothing of the first try.
        Strings into(3, "old");
        ini.ReadSectionValueTexts("L", into);
        EXPECT_EQ(into, c.values) << c.what << " (into held room)";
        NameList names = {{"kept", 7}};
        ReadListSection(ini, "L", names);
        Strings read;
        for (const NameEntry& e : names) read.push_back(e.name);
        Strings expected = {"kept"};
        expected.insert(expected.end(), c.values.begin(), c.values.end());
        EXPECT_EQ(read, expected) << c.what << " (names)";
    }
}

}  // namespace
