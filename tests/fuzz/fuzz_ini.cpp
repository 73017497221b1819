// Arbitrary bytes as an INI file, and arbitrary write sequences on a file object. Beyond
// the sanitizers, it checks that every listing agrees with itself and that what the layer
// holds after a flush is what a fresh read of the written file gives.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/ini/D_Ini.h"
#include "core/ini/IniFile.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_ini: broken invariant: %s\n", what);
        std::abort();
    }
}

// A temporary folder for the run, removed at exit.
struct Scratch {
    Scratch() {
        const std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        path = base + "/kalvix-fuzz-ini-XXXXXX";
        Check(::mkdtemp(path.data()) != nullptr, "temporary folder");
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

const std::string& Folder() {
    static const Scratch scratch;
    return scratch.path;
}

void WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    Check(static_cast<bool>(out), "writing the input file");
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool IsBlank(unsigned char c) { return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x1A; }

// What a value written as given reads back as.
std::string AsRead(std::string_view v) {
    while (!v.empty() && IsBlank(static_cast<unsigned char>(v.front()))) v.remove_prefix(1);
    while (!v.empty() && IsBlank(static_cast<unsigned char>(v.back()))) v.remove_suffix(1);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(v.substr(0, 2047));
}

// Reads everything a caller can see and checks the listings against the single reads.
struct Snapshot {
    std::vector<std::string> sections;
    std::vector<std::vector<std::string>> keys, values;
    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(IniFile& ini) {
    Snapshot s;
    s.sections = ini.ReadSections();
    for (const std::string& name : s.sections) {
        std::vector<std::string> keys = ini.ReadSection(name);
        std::vector<std::string> values = ini.ReadSectionValues(name);
        std::vector<std::string> texts = ini.ReadSectionValueTexts(name);
        std::vector<std::string> list;
        ReadListSection(ini, name, list);
        Check(ini.SectionExists(name), "a listed section exists");
        Check(keys.size() == values.size() && texts == list && texts.size() == keys.size(),
              "listings agree in length");
        for (std::size_t i = 0; i < keys.size(); ++i) {
            Check(values[i] == keys[i] + "=" + texts[i], "key=value lines");
            Check(texts[i].size() <= 2047, "values are cut");
            const std::string read = ini.ReadString(name, keys[i], "\x01");
            // A first line of the key without "=" reads as the default, lists as empty.
            Check(read == texts[i] || (read == "\x01" && texts[i].empty()), "reads by key");
            (void)ini.ReadInteger(name, keys[i], 0);
        }
        s.keys.push_back(std::move(keys));
        s.values.push_back(std::move(values));
    }
    return s;
}

// Compares the shared copy with a fresh parse of the bytes on disk.
void CheckAgainstDisk(IniFile& ini, const std::string& path) {
    const std::string copy = Folder() + "/copy.ini";
    std::error_code ec;
    std::filesystem::remove(copy, ec);
    if (std::filesystem::exists(path)) WriteFile(copy, ReadFile(path));
    IniFile fresh(copy);
    Check(Take(ini) == Take(fresh), "flushed copy equals a fresh read of the file");
}

class Ops {
  public:
    Ops(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
    bool Done() const { return n_ == 0; }
    std::uint8_t Byte() {
        if (n_ == 0) return 0;
        --n_;
        return *p_++;
    }
    // Short texts drawn from a small alphabet collide often; the rest are raw bytes.
    std::string Text(bool mayBeLong = false) {
        static constexpr std::string_view kAlphabet = "aAbB[]=;\"' \t\r\n0x$\x1A\xC3\xA9";
        const std::uint8_t head = Byte();
        std::string s;
        const std::size_t len = head & 0x1F;
        for (std::size_t i = 0; i < len && !Done(); ++i) {
            const std::uint8_t b = Byte();
            s += (head & 0x80) ? static_cast<char>(b) : kAlphabet[b % kAlphabet.size()];
        }
        if (mayBeLong && (head & 0x60) == 0x60) s += std::string(2100, 'L');  // past the limit
        return s;
    }

  private:
    const std::uint8_t* p_;
    std::size_t n_;
};

void RunWrites(const std::string& path, std::string_view content, Ops ops) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    WriteFile(path, content);
    IniFile ini(path);
    const bool utf16 = content.size() >= 2 && ((content[0] == '\xFF' && content[1] == '\xFE') ||
                                               (content[0] == '\xFE' && content[1] == '\xFF'));
    for (int step = 0; step < 64 && !ops.Done(); ++step) {
        const std::uint8_t op = ops.Byte() % 8;
        try {
            switch (op) {
                case 0:
                case 1: {
                    const std::string section = ops.Text(), key = ops.Text(),
                                      value = ops.Text(true);
                    ini.WriteString(section, key, value);
                    // UTF-16 files hold text: bytes that are not UTF-8 come back changed.
                    Check(utf16 || ini.ReadString(section, key, "\x01") == AsRead(value),
                          "a written value reads back");
                    break;
                }
                case 2:
                    ini.EraseSection(ops.Text());
                    break;
                case 3: {
                    std::vector<std::string> list;
                    for (int i = ops.Byte() % 6; i > 0; --i) list.push_back(ops.Text(true));
                    const std::string section = ops.Text();
                    WriteListSection(ini, section, list);
                    break;
                }
                case 4:
                    ini.UpdateFile();
                    CheckAgainstDisk(ini, path);
                    break;
                case 5:
                    EraseAllSections(ini);
                    Check(ini.ReadSections().empty(), "all sections erased");
                    break;
                case 6:
                    ini.SetAutoFlush(ops.Byte() & 1);
                    break;
                default:
                    WriteIntegerIfChanged(ini, ops.Text(), ops.Text(),
                                          static_cast<std::int8_t>(ops.Byte()));
                    break;
            }
        } catch (const IniWriteError&) {
            // Refused text (a line break, a key that would read as something else).
        }
    }
    ini.UpdateFile();
    CheckAgainstDisk(ini, path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = Folder() + "/input.ini";
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        WriteFile(path, bytes);
        IniFile ini(path);
        Take(ini);
    }
    // The first half is the file, the second half the writes made to it.
    RunWrites(path, bytes.substr(0, size / 2), Ops(data + size / 2, size - size / 2));
    return 0;
}
