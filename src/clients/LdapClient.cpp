#include "LdapClient.h"

#include <arpa/inet.h>
#include <ldap.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <QDir>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "D_Util.h"
#include "LdapSchema.h"
#include "RegularFile.h"
#include "SchemaFileTree.h"

namespace {

constexpr std::size_t kMaxPasswordFile = 64 * 1024;
constexpr double kMaxTimeout = 3600;
constexpr const char* kDefaultSubschema = "cn=Subschema";

struct Failure {
    DirCode code = 0;
    std::string message;
};

bool IsConnectionLoss(int rc) { return rc == LDAP_SERVER_DOWN || rc == LDAP_CONNECT_ERROR; }
bool IsTimeout(int rc) { return rc == LDAP_TIMEOUT || rc == LDAP_TIMELIMIT_EXCEEDED; }

DirCode CodeFor(int rc) {
    if (IsConnectionLoss(rc)) return ldapcode::kUnreachable;
    if (IsTimeout(rc)) return ldapcode::kTimedOut;
    switch (rc) {
        case LDAP_INVALID_CREDENTIALS:
        case LDAP_INAPPROPRIATE_AUTH:
        case LDAP_AUTH_UNKNOWN:
        case LDAP_INVALID_DN_SYNTAX:
            return ldapcode::kBindRefused;
        case LDAP_INSUFFICIENT_ACCESS:
        case LDAP_UNWILLING_TO_PERFORM:
        case LDAP_STRONG_AUTH_REQUIRED:
        case LDAP_CONFIDENTIALITY_REQUIRED:
            return ldapcode::kNoAccess;
        case LDAP_NO_SUCH_OBJECT:
            return ldapcode::kNoSubschema;
        default:
            return ldapcode::kLdapError;
    }
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

timeval Timeval(double seconds) {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(std::floor(seconds));
    tv.tv_usec = static_cast<suseconds_t>((seconds - std::floor(seconds)) * 1e6);
    return tv;
}

std::string Trimmed(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\n' || s.back() == '\r')) s.pop_back();
    std::size_t start = 0;
    while (start < s.size() && s[start] == ' ') ++start;
    return s.substr(start);
}

// A server that drops the connection must not end the program: a write to a socket the
// peer closed raises SIGPIPE, whose default action ends the process.
void IgnoreBrokenPipes() {
    struct sigaction current {};
    if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
        std::signal(SIGPIPE, SIG_IGN);
}

// The password as the file holds it, without the line end that ends it. Like ssh with a
// private key, a file its group or others may read is refused: the password is no secret.
bool ReadPassword(const std::string& path, std::string& password, std::string& error) {
    RegularFile file(path);  // never blocks, even on a FIFO
    if (!file.ok()) {
        error = "the password file \"" + path + "\" cannot be read (" + file.reason() + ")";
        return false;
    }
    struct stat st;
    if (::fstat(file.fd(), &st) != 0) {
        error = "the password file \"" + path + "\" cannot be read (" + std::strerror(errno) + ")";
        return false;
    }
    if ((st.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        error = std::string("permissions ") + mode + " for the password file \"" + path +
                "\" are too open; run chmod 600 " + path;
        return false;
    }
    std::string why;
    const bool read = file.readAll(password, kMaxPasswordFile, why);
    if (!read) {
        const bool tooLarge = password.size() > kMaxPasswordFile;
        explicit_bzero(password.data(), password.size());
        password.clear();
        error = "the password file \"" + path + "\" " +
                (tooLarge ? std::string("is larger than 64 KiB") : "cannot be read (" + why + ")");
        return false;
    }
    if (!password.empty() && password.back() == '\n') password.pop_back();
    if (!password.empty() && password.back() == '\r') password.pop_back();
    if (password.empty()) {
        error = "the password file \"" + path + "\" is empty";
        return false;
    }
    return true;
}

// libldap reads ldap.conf, ~/.ldaprc, ~/ldaprc and ./ldaprc (and LDAP* variables) once, when
// it first starts; any of them can turn certificate checks off. A working folder someone
// else can write to would be enough. LDAPNOINIT stops all of it; it is set only for that
// moment, so programs started later see the environment as it was.
void StartLibldapWithoutItsConfiguration() {
    static std::once_flag once;
    std::call_once(once, [] {
        const bool had = std::getenv("LDAPNOINIT") != nullptr;
        if (!had) ::setenv("LDAPNOINIT", "1", 1);
        int version = 0;
        ldap_get_option(nullptr, LDAP_OPT_PROTOCOL_VERSION, &version);  // starts libldap
        if (!had) ::unsetenv("LDAPNOINIT");
    });
}

// The system's trust store as Debian keeps it (ca-certificates).
constexpr const char* kSystemTrustStore = "/etc/ssl/certs/ca-certificates.crt";

// A loopback address or a local socket: a password sent there stays on this machine.
bool StaysOnThisMachine(const std::string& uri) {
    LDAPURLDesc* url = nullptr;
    if (ldap_url_parse(uri.c_str(), &url) != LDAP_URL_SUCCESS || url == nullptr) return false;
    const std::string scheme = url->lud_scheme != nullptr ? url->lud_scheme : "";
    const std::string host = url->lud_host != nullptr ? url->lud_host : "";
    ldap_free_urldesc(url);
    if (scheme == "ldapi") return true;
    if (host.empty() || host == "localhost" || host == "::1" || host == "[::1]") return true;
    in_addr v4{};
    return ::inet_pton(AF_INET, host.c_str(), &v4) == 1 && (ntohl(v4.s_addr) >> 24) == 127;
}

// One connection for one read: opened, bound, read and closed again.
class Connection {
  public:
    explicit Connection(const LdapSettings& settings) : settings_(settings) {}
    ~Connection() {
        if (ld_ != nullptr) ldap_unbind_ext_s(ld_, nullptr, nullptr);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Failure open();
    Failure readRootDse(LdapRootDse& dse);
    Failure readSubschema(const std::string& dn, SchemaDefinitions& definitions);

  private:
    Failure failure(int rc, const std::string& step);
    std::string diagnostic();
    std::vector<std::string> values(LDAPMessage* entry, const char* attribute);
    int search(const std::string& base, const char* filter, const char* const* attributes,
               LDAPMessage*& result);

    const LdapSettings& settings_;
    LDAP* ld_ = nullptr;
};

std::string Connection::diagnostic() {
    char* text = nullptr;
    if (ldap_get_option(ld_, LDAP_OPT_DIAGNOSTIC_MESSAGE, &text) != LDAP_OPT_SUCCESS ||
        text == nullptr)
        return {};
    std::string diagnostic = Trimmed(text);
    ldap_memfree(text);
    return diagnostic;
}

Failure Connection::failure(int rc, const std::string& step) {
    std::string what = step;
    if (IsTimeout(rc))
        what = "no answer within " + Seconds(settings_.timeoutSeconds) + " (" + step + ")";
    std::string message = settings_.uri + ": " + what + ": " + ldap_err2string(rc);
    std::string said = diagnostic();
    // A refused connection says nothing more; a failed TLS handshake says little that helps.
    const bool tls = settings_.startTls || settings_.uri.rfind("ldaps:", 0) == 0;
    if (tls && IsConnectionLoss(rc) && !said.empty())
        said = "TLS handshake failed" +
               (said == "(unknown error code)" ? std::string() : ": " + said) +
               "; is the server's certificate trusted through caFile and issued for this host?";
    if (!said.empty() && said != ldap_err2string(rc)) message += " (" + said + ")";
    return {CodeFor(rc), message};
}

Failure Connection::open() {
    IgnoreBrokenPipes();
    StartLibldapWithoutItsConfiguration();
    int rc = ldap_initialize(&ld_, settings_.uri.c_str());
    if (rc != LDAP_SUCCESS || ld_ == nullptr)
        return {ldapcode::kLdapError, settings_.uri + ": not a usable server address: " +
                                          std::string(ldap_err2string(rc))};
    const int version = LDAP_VERSION3;
    ldap_set_option(ld_, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld_, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    const timeval timeout = Timeval(settings_.timeoutSeconds);
    ldap_set_option(ld_, LDAP_OPT_NETWORK_TIMEOUT, &timeout);
    ldap_set_option(ld_, LDAP_OPT_TIMEOUT, &timeout);

    // Every TLS connection demands a valid certificate, trusted through caFile or else the
    // system's store, whatever libldap's defaults or the environment say.
    const bool tls = settings_.startTls || settings_.uri.rfind("ldaps:", 0) == 0;
    if (tls) {
        std::string trust = settings_.caFile;
        if (!trust.empty()) {
            const RegularFile ca(trust);  // never blocks on a FIFO
            if (!ca.ok())
                return {ldapcode::kUnreachable, settings_.uri + ": the CA file \"" + trust +
                                                    "\" cannot be read (" + ca.reason() + ")"};
        } else if (RegularFile(kSystemTrustStore).ok()) {
            trust = kSystemTrustStore;
        }
        if (!trust.empty()) ldap_set_option(ld_, LDAP_OPT_X_TLS_CACERTFILE, trust.c_str());
        const int demand = LDAP_OPT_X_TLS_DEMAND;
        ldap_set_option(ld_, LDAP_OPT_X_TLS_REQUIRE_CERT, &demand);
        const int client = 0;
        rc = ldap_set_option(ld_, LDAP_OPT_X_TLS_NEWCTX, &client);
        if (rc != LDAP_OPT_SUCCESS)
            return {ldapcode::kUnreachable,
                    settings_.uri + ": TLS cannot be set up with " +
                        (settings_.caFile.empty() ? std::string("the system's trust store")
                                                  : "the CA file \"" + settings_.caFile + "\"")};
    }

    if (settings_.startTls) {
        rc = ldap_start_tls_s(ld_, nullptr, nullptr);
        if (rc != LDAP_SUCCESS) return failure(rc, "StartTLS failed");
    }

    std::string password;
    if (!settings_.bindDn.empty()) {
        if (!tls && !settings_.allowCleartextBind && !StaysOnThisMachine(settings_.uri))
            return {ldapcode::kBindRefused,
                    settings_.uri +
                        ": the password would cross the network unencrypted; use ldaps:// or "
                        "\"startTls\": true, or set \"allowCleartextBind\": true to send it "
                        "anyway"};
        std::string error;
        if (!ReadPassword(settings_.passwordFile, password, error))
            return {ldapcode::kBindRefused, settings_.uri + ": " + error};
    }
    berval credentials{};
    credentials.bv_val = password.data();
    credentials.bv_len = password.size();
    rc = ldap_sasl_bind_s(ld_, settings_.bindDn.c_str(), LDAP_SASL_SIMPLE, &credentials, nullptr,
                          nullptr, nullptr);
    explicit_bzero(password.data(), password.size());
    if (rc == LDAP_SUCCESS) return {};
    if (IsConnectionLoss(rc)) return failure(rc, "cannot connect");
    if (IsTimeout(rc)) return failure(rc, "connecting");
    return failure(rc, settings_.bindDn.empty() ? std::string("anonymous bind refused")
                                                : "bind as \"" + settings_.bindDn + "\" refused");
}

int Connection::search(const std::string& base, const char* filter, const char* const* attributes,
                       LDAPMessage*& result) {
    timeval timeout = Timeval(settings_.timeoutSeconds);
    result = nullptr;
    return ldap_search_ext_s(ld_, base.c_str(), LDAP_SCOPE_BASE, filter,
                             const_cast<char**>(attributes), 0, nullptr, nullptr, &timeout, 0,
                             &result);
}

std::vector<std::string> Connection::values(LDAPMessage* entry, const char* attribute) {
    std::vector<std::string> out;
    berval** list = ldap_get_values_len(ld_, entry, attribute);
    for (berval** v = list; v != nullptr && *v != nullptr; ++v)
        out.emplace_back((*v)->bv_val, (*v)->bv_len);
    if (list != nullptr) ldap_value_free_len(list);
    return out;
}

Failure Connection::readRootDse(LdapRootDse& dse) {
    static const char* const attributes[] = {"subschemaSubentry", "namingContexts",
                                             "defaultNamingContext", "directoryTreeName", nullptr};
    LDAPMessage* result = nullptr;
    const int rc = search("", "(objectClass=*)", attributes, result);
    std::unique_ptr<LDAPMessage, int (*)(LDAPMessage*)> owned(result, ldap_msgfree);
    // A root DSE hidden from this bind leaves the defaults; the subschema read decides.
    if (rc == LDAP_NO_SUCH_OBJECT || rc == LDAP_INSUFFICIENT_ACCESS) return {};
    if (rc != LDAP_SUCCESS) return failure(rc, "reading the root DSE failed");
    LDAPMessage* entry = ldap_first_entry(ld_, result);
    if (entry == nullptr) return {};
    auto first = [&](const char* attribute) {
        const std::vector<std::string> v = values(entry, attribute);
        return v.empty() ? std::string() : v.front();
    };
    dse.subschemaSubentry = first("subschemaSubentry");
    dse.namingContexts = values(entry, "namingContexts");
    dse.defaultNamingContext = first("defaultNamingContext");
    dse.directoryTreeName = first("directoryTreeName");
    return {};
}

Failure Connection::readSubschema(const std::string& dn, SchemaDefinitions& definitions) {
    static const char* const attributes[] = {
        "objectClasses",   "attributeTypes",    "ldapSyntaxes", "matchingRules", "matchingRuleUse",
        "dITContentRules", "dITStructureRules", "nameForms",    nullptr};
    LDAPMessage* result = nullptr;
    const int rc = search(dn, "(objectClass=subschema)", attributes, result);
    std::unique_ptr<LDAPMessage, int (*)(LDAPMessage*)> owned(result, ldap_msgfree);
    const std::string step = "reading the subschema entry \"" + dn + "\" failed";
    if (rc != LDAP_SUCCESS) return failure(rc, step);
    LDAPMessage* entry = ldap_first_entry(ld_, result);
    if (entry == nullptr)
        return {ldapcode::kNoSubschema,
                settings_.uri + ": the subschema entry \"" + dn + "\" cannot be found"};
    for (int t = 0; t < kElementTypes; ++t) {
        const auto type = static_cast<ElementType>(t);
        definitions.texts(type) = values(entry, std::string(ElementAttribute(type)).c_str());
    }
    return {};
}

std::string Text(const QJsonValue& v) { return v.toString().toStdString(); }

std::string Resolved(const std::string& baseDir, const std::string& path) {
    return QDir::cleanPath(
               QDir(QString::fromStdString(baseDir)).absoluteFilePath(QString::fromStdString(path)))
        .toStdString();
}

}  // namespace

std::string LdapUriHost(const std::string& uri) {
    StartLibldapWithoutItsConfiguration();
    LDAPURLDesc* url = nullptr;
    std::string host;
    if (ldap_url_parse(uri.c_str(), &url) == LDAP_URL_SUCCESS && url != nullptr) {
        const std::string scheme = url->lud_scheme != nullptr ? url->lud_scheme : "";
        if (url->lud_host != nullptr && scheme != "ldapi") host = url->lud_host;
    }
    if (url != nullptr) ldap_free_urldesc(url);
    return host.empty() ? std::string("localhost") : host;
}

bool ParseLdapSettings(const QJsonObject& entry, const std::string& baseDir, LdapSettings& settings,
                       std::string& error) {
    StartLibldapWithoutItsConfiguration();
    settings = LdapSettings{};
    static const char* const known[] = {"treeName", "kind",    "uri",
                                        "startTls", "bindDn",  "passwordFile",
                                        "caFile",   "timeout", "allowCleartextBind"};
    for (auto it = entry.begin(); it != entry.end(); ++it) {
        const QString key = it.key();
        if (key.startsWith('_') || std::any_of(std::begin(known), std::end(known),
                                               [&](const char* k) { return key == k; }))
            continue;
        error = "unknown key \"" + key.toStdString() + "\"";
        return false;
    }
    auto text = [&](const char* key, std::string& out, bool resolve) {
        if (!entry.contains(key)) return true;
        const QJsonValue v = entry.value(key);
        if (!v.isString() || v.toString().isEmpty() || v.toString().contains(QChar(0))) {
            error = std::string("\"") + key + "\": expected a text that is not empty";
            return false;
        }
        out = resolve ? Resolved(baseDir, Text(v)) : Text(v);
        return true;
    };
    if (!entry.contains("uri")) {
        error = "the key \"uri\" is missing";
        return false;
    }
    if (!text("uri", settings.uri, false) || !text("bindDn", settings.bindDn, false) ||
        !text("passwordFile", settings.passwordFile, true) ||
        !text("caFile", settings.caFile, true))
        return false;
    if (entry.contains("treeName") && entry.value("treeName").isString())
        settings.treeName = Text(entry.value("treeName"));

    LDAPURLDesc* url = nullptr;
    const bool parsed = ldap_url_parse(settings.uri.c_str(), &url) == LDAP_URL_SUCCESS;
    const std::string scheme = parsed && url->lud_scheme != nullptr ? url->lud_scheme : "";
    if (url != nullptr) ldap_free_urldesc(url);
    if (!parsed || (scheme != "ldap" && scheme != "ldaps" && scheme != "ldapi")) {
        error = "\"uri\": \"" + settings.uri +
                "\" is not an LDAP address such as ldap://dir.example.com/ or "
                "ldaps://dir.example.com:636/";
        return false;
    }
    if (entry.contains("startTls")) {
        if (!entry.value("startTls").isBool()) {
            error = "\"startTls\": expected true or false";
            return false;
        }
        settings.startTls = entry.value("startTls").toBool();
        if (settings.startTls && scheme != "ldap") {
            error = "\"startTls\" needs an ldap:// address (" + scheme + ":// has its own)";
            return false;
        }
    }
    if (entry.contains("allowCleartextBind")) {
        if (!entry.value("allowCleartextBind").isBool()) {
            error = "\"allowCleartextBind\": expected true or false";
            return false;
        }
        settings.allowCleartextBind = entry.value("allowCleartextBind").toBool();
    }
    if (settings.bindDn.empty() != settings.passwordFile.empty()) {
        error = "\"bindDn\" and \"passwordFile\" go together";
        return false;
    }
    if (entry.contains("timeout")) {
        const QJsonValue v = entry.value("timeout");
        const double seconds = v.toDouble(-1);
        if (!v.isDouble() || !(seconds > 0) || seconds > kMaxTimeout) {
            error = "\"timeout\": expected seconds, more than 0 and at most 3600";
            return false;
        }
        settings.timeoutSeconds = seconds;
    }
    return true;
}

LdapTreeSource::LdapTreeSource(LdapSettings settings) : settings_(std::move(settings)) {}

std::string LdapTreeSource::treeName() {
    if (!settings_.treeName.empty()) return settings_.treeName;
    Connection connection(settings_);
    LdapRootDse dse;
    if (connection.open().code == 0 && connection.readRootDse(dse).code == 0 &&
        !dse.directoryTreeName.empty())
        return dse.directoryTreeName;
    return LdapUriHost(settings_.uri);
}

DirCode LdapTreeSource::load(SimTree& tree, std::map<std::int32_t, std::string>& messages) {
    Connection connection(settings_);
    auto failed = [&messages](const Failure& f) {
        messages[f.code] = f.message;
        return f.code;
    };
    Failure f = connection.open();
    if (f.code != 0) return failed(f);
    LdapRootDse dse;
    f = connection.readRootDse(dse);
    if (f.code != 0) return failed(f);
    const std::string dn =
        dse.subschemaSubentry.empty() ? kDefaultSubschema : dse.subschemaSubentry;
    SchemaDefinitions definitions;
    f = connection.readSubschema(dn, definitions);
    if (f.code != 0) return failed(f);

    TreeSchema schema = MapLdapSchema(definitions);
    if (schema.classes.empty() && schema.attributes.empty()) {
        if (schema.skipped.empty())
            return failed({ldapcode::kNoSubschema,
                           settings_.uri + ": the subschema entry \"" + dn +
                               "\" shows no object classes or attribute types (this bind may "
                               "not be allowed to read them)"});
        return failed({ldapcode::kBadSchema,
                       SkippedDefinitionsText(schema.skipped,
                                              settings_.uri + ": the subschema does not parse")});
    }
    schema.defaultContext = !dse.defaultNamingContext.empty() ? dse.defaultNamingContext
                            : dse.namingContexts.empty()      ? std::string()
                                                              : dse.namingContexts.front();
    schema.origin.description = settings_.uri;
    schema.origin.server = true;
    schema.origin.subschemaDn = dse.subschemaSubentry;
    schema.origin.activeDirectory = IsActiveDirectorySubschema(dse.subschemaSubentry);
    tree = ServedTree(schema);
    const std::string skipped = MarkSkippedDefinitions(tree, schema.skipped, settings_.uri);
    if (!skipped.empty()) messages[ldapcode::kBadSchema] = skipped;
    return 0;
}

bool IsActiveDirectorySubschema(const std::string& dn) {
    // Active Directory publishes its schema as CN=Aggregate,CN=Schema,CN=Configuration,...
    std::string flat;
    for (char c : dn)
        if (c != ' ') flat += c;
    return AsciiLower(flat).starts_with("cn=aggregate,cn=schema,cn=configuration,");
}

bool IsTreeSourceKind(const std::string& kind) {
    return kind == "ldap" || kind == "schema-files" || kind == "ldif";
}

std::shared_ptr<SimTreeSource> MakeTreeSource(const std::string& kind, const QJsonObject& entry,
                                              const std::string& baseDir, std::string& error) {
    if (kind == "ldap") {
        LdapSettings settings;
        if (!ParseLdapSettings(entry, baseDir, settings, error)) return nullptr;
        return std::make_shared<LdapTreeSource>(std::move(settings));
    }
    if (kind == "schema-files" || kind == "ldif") {
        SchemaFilesSettings settings;
        const SchemaFileFormat format =
            kind == "ldif" ? SchemaFileFormat::Ldif : SchemaFileFormat::Detect;
        if (!ParseSchemaFilesSettings(entry, baseDir, format, settings, error)) return nullptr;
        return std::make_shared<SchemaFilesSource>(std::move(settings));
    }
    error = "unknown kind \"" + kind + "\"";
    return nullptr;
}
