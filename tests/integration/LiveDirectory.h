// What the tests on 389 Directory Server and Samba AD share: one server of a kind per test
// executable, client connections that bind to it, and its subschema entry read by the test
// itself with ldapsearch and a plain parse (independent of the code under test).
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "LdapTestSupport.h"
#include "ServerSupport.h"

// A server as the tests reach it.
struct LiveDirectory {
    std::string uri;
    std::string ldapsUri;
    std::string caFile;
    std::string bindDn;  // empty: anonymous
    std::string passwordFile;
    std::string subschemaDn;
};

template <class Server>
LiveDirectory Describe(const Server& s) {
    return {s.uri(), s.ldapsUri(), s.caFile(), s.bindDn(), s.passwordFile(), s.subschemaDn()};
}

// One server of a kind for the whole test executable, made at its first use and stopped
// when the tests end; a failed start is reported to every test that asks, and tried once.
template <class Server>
class SharedServer final : public ::testing::Environment {
  public:
    static Server* Get() {
        SharedServer& self = Instance();
        if (!self.server_ && self.error_.empty()) {
            try {
                self.server_ = std::make_unique<Server>();
            } catch (const std::exception& e) {
                self.error_ = e.what();
            }
        }
        return self.server_.get();
    }
    static const std::string& Error() { return Instance().error_; }
    void TearDown() override { server_.reset(); }

  private:
    // googletest owns its environments and tears them down after the last test.
    static SharedServer& Instance() {
        static SharedServer* instance =
            static_cast<SharedServer*>(::testing::AddGlobalTestEnvironment(new SharedServer));
        return *instance;
    }
    std::unique_ptr<Server> server_;
    std::string error_;
};

template <class Server>
class LiveServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server = SharedServer<Server>::Get();
        ASSERT_NE(server, nullptr) << SharedServer<Server>::Error();
        live = Describe(*server);
    }
    Server* server = nullptr;
    LiveDirectory live;
    TempDir dir;
};

enum class Transport { Plain, Ldaps, StartTls };

// A connection that binds as the server's administrator over transport, trusting the
// test CA unless trustCa is false.
inline QJsonObject BoundConnection(const LiveDirectory& d, const std::string& treeName,
                                   Transport transport = Transport::Plain, bool trustCa = true) {
    QJsonObject o = LdapConnection(transport == Transport::Ldaps ? d.ldapsUri : d.uri, treeName);
    o["timeout"] = 20;
    if (!d.bindDn.empty()) {
        o["bindDn"] = QString::fromStdString(d.bindDn);
        o["passwordFile"] = QString::fromStdString(d.passwordFile);
    }
    if (transport == Transport::StartTls) o["startTls"] = true;
    if (transport != Transport::Plain && trustCa) o["caFile"] = QString::fromStdString(d.caFile);
    return o;
}

// ldapsearch's or ldapmodify's command line for d, bound as its administrator.
inline std::string LdapTool(const std::string& tool, const LiveDirectory& d) {
    using testserver::ShellQuoted;
    std::string command = tool + " -x -H " + ShellQuoted(d.uri);
    if (!d.bindDn.empty())
        command += " -D " + ShellQuoted(d.bindDn) + " -y " + ShellQuoted(d.passwordFile);
    return command;
}

// Applies LDIF changes with ldapmodify; its output when it fails, else "".
inline std::string LdapModify(const LiveDirectory& d, const TempDir& dir, const std::string& ldif) {
    const std::string file = dir.write("change.ldif", ldif);
    const std::string log = dir.file("ldapmodify.log");
    try {
        testserver::RunLogged(
            "ldapmodify", LdapTool("ldapmodify", d) + " -f " + testserver::ShellQuoted(file), log);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

// One definition of the subschema entry as the test reads it.
struct ServerDefinition {
    std::string name;  // the first NAME, else the OID
    std::vector<std::string> sup;
    std::vector<std::string> must;
    std::vector<std::string> may;
    std::string syntax;  // without quotes and {len} bound
    bool singleValue = false;
};

struct ServerSchema {
    std::vector<ServerDefinition> classes;
    std::vector<ServerDefinition> attributes;

    static std::vector<std::string> Names(const std::vector<ServerDefinition>& list) {
        std::vector<std::string> names;
        for (const ServerDefinition& d : list) names.push_back(d.name);
        return names;
    }
};

// "( 2.5.6.6 NAME 'person' SUP top MUST ( sn $ cn ) )" as words, quoted strings and the
// parentheses on their own.
inline std::vector<std::string> DefinitionTokens(const std::string& text) {
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\t') {
            ++i;
        } else if (c == '(' || c == ')') {
            tokens.emplace_back(1, c);
            ++i;
        } else if (c == '\'') {
            const std::size_t end = text.find('\'', i + 1);
            const std::size_t stop = end == std::string::npos ? text.size() : end;
            tokens.push_back(text.substr(i, stop - i + 1));
            i = stop + 1;
        } else {
            const std::size_t end = text.find_first_of(" \t()'", i);
            const std::size_t stop = end == std::string::npos ? text.size() : end;
            tokens.push_back(text.substr(i, stop - i));
            i = stop;
        }
    }
    return tokens;
}

inline ServerDefinition ParseDefinition(const std::string& text) {
    const std::vector<std::string> t = DefinitionTokens(text);
    ServerDefinition d;
    if (t.size() > 1) d.name = t[1];
    const auto unquoted = [](const std::string& s) {
        return s.size() >= 2 && s.front() == '\'' ? s.substr(1, s.size() - 2) : s;
    };
    // The value after t[k]: one word or a parenthesised list, without '$'.
    const auto list = [&](std::size_t& k) {
        std::vector<std::string> out;
        if (k + 1 >= t.size()) return out;
        if (t[++k] != "(") {
            out.push_back(unquoted(t[k]));
            return out;
        }
        while (++k < t.size() && t[k] != ")")
            if (t[k] != "$") out.push_back(unquoted(t[k]));
        return out;
    };
    for (std::size_t k = 2; k < t.size(); ++k) {
        if (t[k] == "NAME") {
            const std::vector<std::string> names = list(k);
            if (!names.empty()) d.name = names.front();
        } else if (t[k] == "SUP") {
            d.sup = list(k);
        } else if (t[k] == "MUST") {
            d.must = list(k);
        } else if (t[k] == "MAY") {
            d.may = list(k);
        } else if (t[k] == "SINGLE-VALUE") {
            d.singleValue = true;
        } else if (t[k] == "SYNTAX") {
            const std::vector<std::string> syntax = list(k);
            if (!syntax.empty()) d.syntax = syntax.front().substr(0, syntax.front().find('{'));
        }
    }
    return d;
}

// The subschema entry's classes and attributes, read with ldapsearch (unwrapped lines,
// base64 values decoded).
inline ServerSchema ReadPublishedSchema(const LiveDirectory& d) {
    const std::string command = LdapTool("ldapsearch", d) + " -LLL -o ldif-wrap=no -s base -b " +
                                testserver::ShellQuoted(d.subschemaDn) +
                                " '(objectClass=subschema)' objectClasses attributeTypes";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) throw std::runtime_error("cannot run ldapsearch");
    std::string output;
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    if (pclose(pipe) != 0) throw std::runtime_error("ldapsearch failed: " + command);

    ServerSchema schema;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(start, end - start);
        start = end + 1;
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string attribute = line.substr(0, colon);
        std::transform(attribute.begin(), attribute.end(), attribute.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        std::string value;
        if (line.compare(colon, 2, "::") == 0)
            value = QByteArray::fromBase64(QByteArray::fromStdString(line.substr(colon + 2)))
                        .toStdString();
        else if (const std::size_t v = line.find_first_not_of(' ', colon + 1);
                 v != std::string::npos)
            value = line.substr(v);
        if (attribute == "objectclasses")
            schema.classes.push_back(ParseDefinition(value));
        else if (attribute == "attributetypes")
            schema.attributes.push_back(ParseDefinition(value));
    }
    return schema;
}

// Names folded as the comparisons fold them (ASCII letters only).
inline std::set<std::string> FoldedNames(const std::vector<std::string>& names) {
    std::set<std::string> out;
    for (std::string n : names) {
        for (char& c : n)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        out.insert(n);
    }
    return out;
}

inline std::vector<std::string> LongerThan(const std::vector<std::string>& names,
                                           std::size_t length) {
    std::vector<std::string> out;
    for (const std::string& n : names)
        if (n.size() > length) out.push_back(n);
    return out;
}
