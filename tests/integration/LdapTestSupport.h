// What the LDAP integration tests share: fixture files, client configurations naming test
// servers, a client started as the window starts it, and names read from schema files by a
// plain scan (independent of the code under test) for what the tests expect.
#pragma once

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <array>
#include <cctype>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "RecordingUi.h"
#include "TempDir.h"
#include "core/directory/D_NW.h"
#include "core/model/TreeSchema.h"
#include "sources/ClientFactory.h"

inline std::string LdapData(const std::string& name) {
    return std::string(KALVIX_TEST_DATA) + "/ldap/" + name;
}

inline std::vector<std::string> DebianSchemas(std::initializer_list<const char*> names) {
    std::vector<std::string> paths;
    for (const char* n : names) paths.push_back(std::string("/etc/ldap/schema/") + n + ".schema");
    return paths;
}

inline QJsonObject LdapConnection(const std::string& uri, const std::string& treeName = {}) {
    QJsonObject o{{"kind", "ldap"}, {"uri", QString::fromStdString(uri)}, {"timeout", 5}};
    if (!treeName.empty()) o["treeName"] = QString::fromStdString(treeName);
    return o;
}

inline QJsonObject FilesConnection(const std::string& treeName,
                                   const std::vector<std::string>& files) {
    QJsonArray list;
    for (const std::string& f : files) list.append(QString::fromStdString(f));
    return QJsonObject{
        {"kind", "schema-files"}, {"treeName", QString::fromStdString(treeName)}, {"files", list}};
}

// An LDIF dump of a schema whose type 'kxFuzzy' needs a matching rule no server has: it,
// the type derived from it and the class using that one must stay out of a fix-up document;
// 'kxPlain' and 'kxPlainThing' go in.
inline const char* const kUnknownRuleDump =
    "dn: cn=schema\n"
    "matchingRules: ( 1.3.6.1.4.1.99999.30.9 NAME 'kalvixFuzzyMatch' SYNTAX "
    "1.3.6.1.4.1.1466.115.121.1.15 )\n"
    "attributeTypes: ( 1.3.6.1.4.1.99999.30.1 NAME 'kxFuzzy' EQUALITY kalvixFuzzyMatch SYNTAX "
    "1.3.6.1.4.1.1466.115.121.1.15 )\n"
    "attributeTypes: ( 1.3.6.1.4.1.99999.30.2 NAME 'kxFuzzier' SUP kxFuzzy )\n"
    "attributeTypes: ( 1.3.6.1.4.1.99999.30.3 NAME 'kxPlain' EQUALITY caseIgnoreMatch SYNTAX "
    "1.3.6.1.4.1.1466.115.121.1.15 )\n"
    "objectClasses: ( 1.3.6.1.4.1.99999.30.4 NAME 'kxFuzzyThing' SUP top AUXILIARY MAY ( "
    "kxPlain $ kxFuzzier ) )\n"
    "objectClasses: ( 1.3.6.1.4.1.99999.30.5 NAME 'kxPlainThing' SUP top AUXILIARY MAY kxPlain "
    ")\n";

// A client configuration in dir; its path.
inline std::string WriteClientConfig(const TempDir& dir, const QJsonArray& connections,
                                     const std::string& name = "client.json") {
    return dir.write(
        name, QJsonDocument(QJsonObject{{"connections", connections}}).toJson().toStdString());
}

// The first NAME of every definition a slapd schema file declares with keyword
// ("attributetype", "objectclass"), commented-out ones left out.
inline std::vector<std::string> DeclaredNames(const std::string& path, const std::string& keyword) {
    std::ifstream in(path);
    std::vector<std::string> directives;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (std::isspace(static_cast<unsigned char>(line[0]))) {
            if (!directives.empty()) directives.back() += " " + line;
        } else {
            directives.push_back(line);
        }
    }
    std::vector<std::string> names;
    for (const std::string& d : directives) {
        std::string head = d.substr(0, keyword.size());
        for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (head != keyword) continue;
        const std::size_t name = d.find("NAME");
        const std::size_t open = d.find('\'', name);
        const std::size_t close = d.find('\'', open + 1);
        if (name != std::string::npos && close != std::string::npos)
            names.push_back(d.substr(open + 1, close - open - 1));
    }
    return names;
}

// A client from a configuration, started and listing its trees as the window does, with
// one directory context.
class LiveSession {
  public:
    explicit LiveSession(const std::string& configPath)
        : client_(CreateClientFromConfig(configPath)) {
        client_->dcNewContext(context);
        NwSession session;
        startCode = InitNetWare(*client_, session, ui) & 0xFFFF;
        if (startCode == 0) ListReachableTrees(*client_, ui, trees);
    }
    ~LiveSession() { client_->dcDropContext(context); }
    LiveSession(const LiveSession&) = delete;
    LiveSession& operator=(const LiveSession&) = delete;

    DirClient& client() { return *client_; }
    DirCode change(const std::string& tree) { return DSChangeCurrentTree(*client_, context, tree); }
    // The tree read whole, as the window and kalvix-cli load it.
    SchemaLoad load(const std::string& tree) {
        const std::shared_ptr<SchemaSource> source = client_->treeSource(tree);
        return source ? source->load() : SchemaLoad{};
    }
    std::string explain(DirCode code) { return ClientErrorText(*client_, code); }
    std::string nameContext() {
        std::array<char, DCK_TEXT_SIZE> text{};
        client_->dcReadContext(context, DCK_NAME_CONTEXT, text.data());
        return text.data();
    }
    std::vector<std::string> classNames(DirCode* code = nullptr) {
        NameList list;
        const DirCode c = U_DSReadAvailableClasses(*client_, context, list);
        if (code != nullptr) *code = c;
        return Names(list);
    }
    std::vector<std::string> attributeNames(DirCode* code = nullptr) {
        NameList list;
        const DirCode c = U_DSReadAvailableAttributes(*client_, context, "*", list);
        if (code != nullptr) *code = c;
        return Names(list);
    }
    // The flags text, or "error N".
    std::string classFlags(const std::string& name) {
        DirClassInfo info;
        const DirCode c = U_DSGetClassDef(*client_, context, name, info);
        return c == 0 ? ClassFlagsText(info.classFlags) : "error " + std::to_string(c);
    }
    std::vector<std::string> items(const std::string& className, int kind) {
        std::vector<std::string> list;
        const DirCode c = U_DSReadAttributes(*client_, ui, context, className, kind, list);
        if (c != 0) list.push_back("error " + std::to_string(c));
        return list;
    }
    std::string attribute(const std::string& name) {
        std::string text;
        const DirCode c = U_DSGetAttributeInfo(*client_, context, name, text);
        return c == 0 ? text : "error " + std::to_string(c);
    }

    DirContext context = 0;
    std::uint32_t startCode = 0;
    std::vector<std::string> trees;
    RecordingUi ui;

  private:
    static std::vector<std::string> Names(const NameList& list) {
        std::vector<std::string> names;
        for (const NameEntry& e : list) names.push_back(e.name);
        return names;
    }
    std::unique_ptr<DirClient> client_;
};
