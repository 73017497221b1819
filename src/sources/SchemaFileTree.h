// Schema files as trees: OpenLDAP .schema files and LDIF dumps of a subschema entry (or
// of cn=config schema entries) read into definitions and served through the same mapping
// as a live server, so a server can be compared with the files it should be running.
#pragma once

#include <QJsonObject>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/directory/SimulatedClient.h"
#include "sources/LdapSchema.h"

enum class SchemaFileFormat {
    Detect,  // by the name's extension (.schema, .ldif), else by the first line
    // slapd.conf directives: attributetype, objectclass, ldapsyntax, ditcontentrule,
    // objectidentifier; a subschema attribute's name (matchingRules, ...) too.
    Schema,
    Ldif,  // every subschema attribute (objectClasses:, ..., nameForms:) and its olc... form
};

// Appends what a text holds; a value that cannot be decoded is skipped and counted. Each
// definition is placed at file's line it begins on ("core.schema:212"); nowhere without a
// file.
void ParseSchemaFileText(std::string_view text, SchemaDefinitions& definitions,
                         std::vector<SkippedDefinition>& skipped, const std::string& file = {});
void ParseLdifText(std::string_view text, SchemaDefinitions& definitions,
                   std::vector<SkippedDefinition>& skipped, const std::string& file = {});
// The format a file's name and text suggest.
SchemaFileFormat DetectSchemaFileFormat(const std::string& path, std::string_view text);
// Reads one file; false with the reason (naming the file) when it cannot be read.
bool ReadSchemaFile(const std::string& path, SchemaFileFormat format,
                    SchemaDefinitions& definitions, std::vector<SkippedDefinition>& skipped,
                    std::string& error);

struct SchemaFilesSettings {
    std::vector<std::string> files;  // resolved paths, in the order given
    std::string defaultContext;
    SchemaFileFormat format = SchemaFileFormat::Detect;
    bool given = false;  // named on a command line or in a dialog, not by the configuration
};

// "files" (a list, or one path as "file"), optional "defaultContext"; paths relative to
// baseDir. Reads nothing.
bool ParseSchemaFilesSettings(const QJsonObject& entry, const std::string& baseDir,
                              SchemaFileFormat format, SchemaFilesSettings& settings,
                              std::string& error);

// Reads the files afresh on every tree change, so edits show at the next choice.
class SchemaFilesSource : public SimTreeSource {
  public:
    explicit SchemaFilesSource(SchemaFilesSettings settings);
    // The first file's name without its folder and extension.
    std::string treeName() override;
    SchemaLoad load() override;

  private:
    SchemaFilesSettings settings_;
};
