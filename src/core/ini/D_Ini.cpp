#include "core/ini/D_Ini.h"

#include <limits>

#include "core/ConfigFiles.h"
#include "core/D_Util.h"

void EraseAllSections(IniFile& file) {
    for (const std::string& section : file.ReadSections()) file.EraseSection(section);
    file.UpdateFile();
}

void WriteStringIfChanged(IniFile& file, const std::string& section, const std::string& key,
                          const std::string& value) {
    const std::string stored = file.ReadString(section, key, std::string());
    if (value != stored && value != DoubleQuote(stored)) file.WriteString(section, key, value);
}

void WriteListSection(IniFile& file, const std::string& section,
                      const std::vector<std::string>& list) {
    file.EraseSection(section);
    for (std::size_t i = 0; i < list.size(); ++i)
        WriteStringIfChanged(file, section, std::to_string(i), list[i]);
}

void WriteListSection(IniFile& file, const std::string& section, const NameList& list) {
    file.EraseSection(section);
    for (std::size_t i = 0; i < list.size(); ++i)
        WriteStringIfChanged(file, section, std::to_string(i), list[i].name);
}

// A listed value line is key=value and the key holds no "=", so the text after the
// first "=" is exactly the value the layer lists.
void ReadListSection(IniFile& file, const std::string& section, std::vector<std::string>& list) {
    std::vector<std::string> values = file.ReadSectionValueTexts(section);
    if (list.empty()) {
        list = std::move(values);
        return;
    }
    list.reserve(list.size() + values.size());
    for (std::string& v : values) list.push_back(std::move(v));
}

void ReadListSection(IniFile& file, const std::string& section, NameList& list) {
    // Straight into the entries: a schema file lists tens of thousands of names.
    struct Into final : IniFile::ValueTaker {
        explicit Into(NameList& l) : list(l), before(l.size()) {}
        NameList& list;
        std::size_t before;
        void restart() override { list.resize(before); }
        void reserve(std::size_t most) override { list.reserve(list.size() + most); }
        void take(std::string_view text) override {
            list.push_back(NameEntry{std::string(text), 0});
        }
    } into(list);
    file.ReadSectionValueTexts(section, into);
}

std::string SettingsFileName() {
    const std::string full = ProgramFileWithExt("ini");
    const std::size_t slash = full.rfind('/');
    return slash == std::string::npos ? full : full.substr(slash + 1);
}

namespace {

// A bare name lives in the user's configuration folder, so every copy of the program
// shares one settings file; a name with a folder is taken as it is. A file left at the
// old place is read there, and moved into the folder by the first writer.
std::string Resolve(const std::string& iniName, bool forWriting) {
    if (iniName.find('/') != std::string::npos) return iniName;
    ConfigLocation location = FindConfigFile(iniName, false);
    if (forWriting) MoveToUserFolder(location);
    return location.path;
}

}  // namespace

std::string SettingsFilePath() { return Resolve(SettingsFileName(), false); }

std::unique_ptr<IniFile> OpenSettingsFile() {
    // The settings file is read and written through this one object.
    auto file = std::make_unique<IniFile>(Resolve(SettingsFileName(), true));
    file->SetAutoFlush(true);
    return file;
}

void WriteIntegerIfChanged(IniFile& file, const std::string& section, const std::string& key,
                           std::int64_t value) {
    if (file.ReadInteger(section, key, 0) != value) file.WriteInteger(section, key, value);
}

void SaveFormGeometry(IniFile& file, const std::string& section, const std::string& componentName,
                      const FormGeometry& geometry) {
    try {
        const std::string& sec = section.empty() ? componentName : section;
        WriteIntegerIfChanged(file, sec, componentName + ".Top", geometry.top);
        WriteIntegerIfChanged(file, sec, componentName + ".Left", geometry.left);
        WriteIntegerIfChanged(file, sec, componentName + ".Width", geometry.width);
        WriteIntegerIfChanged(file, sec, componentName + ".Height", geometry.height);
    } catch (...) {
        // A window must close whatever the settings file does.
    }
}

void RestoreFormGeometry(IniFile& file, const std::string& section,
                         const std::string& componentName, FormGeometry& geometry) {
    try {
        const std::string& sec = section.empty() ? componentName : section;
        const std::int64_t width = file.ReadInteger(sec, componentName + ".Width", 0);
        const std::int64_t height = file.ReadInteger(sec, componentName + ".Height", 0);
        const std::int64_t left = file.ReadInteger(sec, componentName + ".Left", 0);
        const std::int64_t top = file.ReadInteger(sec, componentName + ".Top", 0);
        auto apply = [](int& measure, std::int64_t v) {
            // A value no window can have is treated as absent rather than wrapped.
            if (v != 0 && v >= std::numeric_limits<int>::min() &&
                v <= std::numeric_limits<int>::max())
                measure = static_cast<int>(v);
        };
        apply(geometry.width, width);
        apply(geometry.height, height);
        apply(geometry.left, left);
        apply(geometry.top, top);
    } catch (...) {
        // The window keeps its designed geometry.
    }
}

void SaveFormGeometryToFile(const std::string& iniName, const std::string& section,
                            const std::string& componentName, const FormGeometry& geometry) {
    try {
        IniFile file(Resolve(iniName, true));
        SaveFormGeometry(file, section, componentName, geometry);
        file.UpdateFile();
    } catch (...) {
    }
}

void RestoreFormGeometryFromFile(const std::string& iniName, const std::string& section,
                                 const std::string& componentName, FormGeometry& geometry) {
    try {
        IniFile file(Resolve(iniName, false));
        RestoreFormGeometry(file, section, componentName, geometry);
    } catch (...) {
    }
}
