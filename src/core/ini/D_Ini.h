// String lists stored as INI sections, and the settings file with the window geometry.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/Names.h"
#include "core/ini/IniFile.h"

void EraseAllSections(IniFile& file);
void WriteStringIfChanged(IniFile& file, const std::string& section, const std::string& key,
                          const std::string& value);
void WriteListSection(IniFile& file, const std::string& section,
                      const std::vector<std::string>& list);
void WriteListSection(IniFile& file, const std::string& section, const NameList& list);
void ReadListSection(IniFile& file, const std::string& section, std::vector<std::string>& list);
void ReadListSection(IniFile& file, const std::string& section, NameList& list);

// "kalvix.ini" for the program file "kalvix": a bare name.
std::string SettingsFileName();
// The settings file to read: in the user's configuration folder (ConfigFiles.h), else at
// the old place.
std::string SettingsFilePath();
// The settings file, flushing on every write; a file at the old place is moved into the
// user's configuration folder first.
std::unique_ptr<IniFile> OpenSettingsFile();
void WriteIntegerIfChanged(IniFile& file, const std::string& section, const std::string& key,
                           std::int64_t value);

// A window's geometry as the settings file keeps it.
struct FormGeometry {
    int top = 0;
    int left = 0;
    int width = 0;
    int height = 0;
};
// Writes componentName.Top/.Left/.Width/.Height (in that order) when changed; errors are
// swallowed. An empty section means the component name.
void SaveFormGeometry(IniFile& file, const std::string& section, const std::string& componentName,
                      const FormGeometry& geometry);
// Applies every stored measure that is not 0 onto geometry; errors are swallowed.
void RestoreFormGeometry(IniFile& file, const std::string& section,
                         const std::string& componentName, FormGeometry& geometry);
void SaveFormGeometryToFile(const std::string& iniName, const std::string& section,
                            const std::string& componentName, const FormGeometry& geometry);
void RestoreFormGeometryFromFile(const std::string& iniName, const std::string& section,
                                 const std::string& componentName, FormGeometry& geometry);
