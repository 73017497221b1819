#include "SchemaGenerator.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <random>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "core/Names.h"
#include "core/SchemaFile.h"
#include "core/TreeLoading.h"
#include "core/directory/D_NW.h"
#include "sources/ClientConfig.h"

namespace {

using Rng = std::mt19937_64;

std::size_t Pick(Rng& rng, std::size_t lo, std::size_t hi) {
    return std::uniform_int_distribution<std::size_t>(lo, hi)(rng);
}

bool Chance(Rng& rng, double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; }

// Skewed towards the front: a few entries are picked far more often than the rest.
std::size_t PickSkewed(Rng& rng, std::size_t n) {
    const double u = std::uniform_real_distribution<double>(0, 1)(rng);
    return std::min(n - 1, static_cast<std::size_t>(u * u * u * static_cast<double>(n)));
}

constexpr std::size_t kMaxName = 32;  // what a directory name may take

const char* const kWords[] = {
    "Account",    "Address",  "Admin",     "Alias",      "Allowed",     "Application",
    "Archive",    "Audit",    "Authority", "Backup",     "Billing",     "Binding",
    "Branch",     "Cache",    "Calendar",  "Catalog",    "Certificate", "Channel",
    "Client",     "Cluster",  "Code",      "Config",     "Contact",     "Container",
    "Context",    "Count",    "Country",   "Credential", "Default",     "Delivery",
    "Department", "Device",   "Directory", "Disk",       "Display",     "Domain",
    "Driver",     "Email",    "Employee",  "Entry",      "Event",       "Expiration",
    "Export",     "Facility", "Filter",    "Gateway",    "Grace",       "Group",
    "Home",       "Host",     "Identity",  "Import",     "Index",       "Interval",
    "Inventory",  "Job",      "Key",       "Language",   "Last",        "Lease",
    "Level",      "License",  "Limit",     "Link",       "Locality",    "Location",
    "Lock",       "Login",    "Mail",      "Manager",    "Maximum",     "Member",
    "Message",    "Method",   "Minimum",   "Mobile",     "Monitor",     "Name",
    "Network",    "Node",     "Notice",    "Object",     "Office",      "Option",
    "Order",      "Owner",    "Pager",     "Partition",  "Password",    "Path",
    "Period",     "Phone",    "Policy",    "Pool",       "Port",        "Postal",
    "Primary",    "Printer",  "Priority",  "Private",    "Profile",     "Project",
    "Protocol",   "Proxy",    "Public",    "Queue",      "Quota",       "Realm",
    "Record",     "Region",   "Remote",    "Replica",    "Report",      "Request",
    "Required",   "Reset",    "Resource",  "Retry",      "Revision",    "Role",
    "Route",      "Rule",     "Schedule",  "Scope",      "Secondary",   "Secret",
    "Security",   "Sequence", "Server",    "Service",    "Session",     "Setting",
    "Signature",  "Site",     "Source",    "Status",     "Storage",     "Subject",
    "Suffix",     "Sync",     "Target",    "Task",       "Template",    "Threshold",
    "Ticket",     "Time",     "Title",     "Token",      "Trustee",     "Type",
    "Unit",       "Usage",    "User",      "Value",      "Vault",       "Version",
    "View",       "Volume",   "Warning",   "Window",     "Workflow",    "Workstation",
    "Zone",
};
constexpr std::size_t kWordCount = std::size(kWords);

const char* const kPrefixes[] = {"acme", "nsp", "dx",  "zen", "gw",  "sas", "iam",
                                 "hr",   "erp", "crm", "mfa", "pki", "nrm", "vpn",
                                 "rbs",  "idm", "ldx", "cfg", "bsl", "kx",  "tlx",
                                 "orc",  "qa",  "ops", "edu", "lab", "fin", "med"};

// The base schema's best-known names come first, as a real tree's do.
const char* const kBaseClasses[] = {
    "Top",
    "Organization",
    "Organizational Unit",
    "Country",
    "Locality",
    "Person",
    "Organizational Person",
    "User",
    "Group",
    "Server",
    "Volume",
    "Printer",
    "Queue",
    "Alias",
    "Device",
    "Profile",
    "Computer",
    "Directory Map",
    "Partition",
    "Unknown",
};
const char* const kBaseAttributes[] = {
    "Object Class",
    "CN",
    "OU",
    "O",
    "L",
    "C",
    "Description",
    "Surname",
    "Given Name",
    "Full Name",
    "Title",
    "Telephone Number",
    "Facsimile Telephone Number",
    "Email Address",
    "Member",
    "Owner",
    "See Also",
    "Postal Address",
    "Street Address",
    "Version",
    "Status",
    "Host Server",
    "Network Address",
    "ACL",
    "Back Link",
    "Revision",
    "Last Referenced Time",
    "Obituary",
    "Reference",
    "Equivalent To Me",
    "Security Equals",
    "Login Disabled",
    "Home Directory",
};
// Which of the base attributes name objects (CN, OU, O, L, C).
constexpr std::size_t kFirstNamingAttr = 1;
constexpr std::size_t kNamingAttrs = 5;

// Syntax ids with their weights: text and names dominate, as in a real schema.
struct SyntaxWeight {
    std::uint32_t id;
    int weight;
};
constexpr SyntaxWeight kSyntaxes[] = {
    {3, 34}, {1, 15}, {8, 10}, {9, 8}, {7, 7},  {2, 5},  {24, 4}, {19, 2}, {25, 2}, {10, 2},
    {15, 1}, {14, 1}, {12, 1}, {6, 1}, {22, 1}, {27, 1}, {21, 1}, {18, 1}, {20, 1}, {5, 1},
};

bool IsStringSyntax(std::uint32_t id) { return id >= 2 && id <= 6; }

struct Extension {
    std::string prefix;  // empty: names of separate words
    std::uint32_t arc = 0;
};

// Names unique without regard to letter case, within classes or within attributes.
class NameMaker {
  public:
    explicit NameMaker(Rng& rng) : rng_(rng) {}

    bool taken(const std::string& name) const { return used_.contains(NameKey(name)); }
    bool claim(const std::string& name) { return used_.insert(NameKey(name)).second; }

    std::string make(const Extension& ext, std::size_t minWords, std::size_t maxWords) {
        for (int attempt = 0; attempt < 8; ++attempt) {
            std::string name = compose(ext, Pick(rng_, minWords, maxWords));
            if (claim(name)) return name;
        }
        // Crowded: a number makes it unique.
        const std::string base = compose(ext, minWords);
        for (;;) {
            const std::string suffix = std::to_string(++counter_);
            std::string name = base.substr(0, kMaxName - suffix.size()) + suffix;
            if (claim(name)) return name;
        }
    }

  private:
    std::string compose(const Extension& ext, std::size_t words) {
        std::string name = ext.prefix;
        for (std::size_t i = 0; i < words; ++i) {
            std::string word = kWords[Pick(rng_, 0, kWordCount - 1)];
            while (name.find(word) != std::string::npos)
                word = kWords[Pick(rng_, 0, kWordCount - 1)];
            const std::string sep = ext.prefix.empty() && !name.empty() ? " " : "";
            if (name.size() + sep.size() + word.size() > kMaxName && i > 0) break;
            name += sep + word;
        }
        return name.substr(0, kMaxName);
    }

    Rng& rng_;
    std::unordered_set<std::string> used_;
    std::size_t counter_ = 0;
};

Asn1Id Oid(std::uint32_t arc, std::uint32_t kind, std::size_t number) {
    Asn1Id id;
    std::string error;
    EncodeOid("1.3.6.1.4.1.99999." + std::to_string(arc) + "." + std::to_string(kind) + "." +
                  std::to_string(number),
              id, error);
    return id;
}

SimAttr MakeAttr(Rng& rng, const std::string& name, std::uint32_t arc, std::size_t number) {
    static const std::discrete_distribution<std::size_t> syntaxPick = [] {
        std::vector<double> w;
        for (const SyntaxWeight& s : kSyntaxes) w.push_back(s.weight);
        return std::discrete_distribution<std::size_t>(w.begin(), w.end());
    }();
    std::discrete_distribution<std::size_t> pick = syntaxPick;
    SimAttr a;
    a.name = name;
    a.info.attrSyntaxID = kSyntaxes[pick(rng)].id;
    std::uint32_t flags = 0;
    if (Chance(rng, 0.4)) flags |= 0x001;
    if (IsStringSyntax(a.info.attrSyntaxID) && Chance(rng, 0.35)) {
        static const std::int32_t uppers[] = {32, 64, 128, 256, 1024};
        flags |= 0x002;
        a.info.attrLower = 1;
        a.info.attrUpper = uppers[Pick(rng, 0, std::size(uppers) - 1)];
    } else if (a.info.attrSyntaxID == 8 && Chance(rng, 0.2)) {
        flags |= 0x002;
        a.info.attrLower = 0;
        a.info.attrUpper = static_cast<std::int32_t>(Pick(rng, 1, 10000));
    }
    if (Chance(rng, 0.2)) flags |= 0x040;
    if (Chance(rng, 0.05)) flags |= 0x080;
    if (Chance(rng, 0.03)) flags |= 0x008;
    if (Chance(rng, 0.02)) flags |= 0x010;
    if (IsStringSyntax(a.info.attrSyntaxID) && Chance(rng, 0.1)) flags |= 0x020;
    a.info.attrFlags = flags;
    a.info.asn1ID = Oid(arc, 4, number);
    return a;
}

bool Holds(const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

// Tree #1: the base schema and the extensions, classes first so that each brings its
// own attributes.
struct Tree1Plan {
    std::vector<Extension> extensions;
    std::vector<std::size_t> classExt;                 // extension of each class
    std::vector<std::vector<std::size_t>> extClasses;  // classes of each extension
    std::vector<std::vector<std::size_t>> ownAttrs;    // attributes each class brought
    std::size_t popular = 0;                           // base attributes used everywhere
};

constexpr std::size_t kSuper = 0, kContainment = 1, kNaming = 2, kMandatory = 3, kOptional = 4;

void BuildTree1(Rng& rng, const SchemaGenOptions& o, SimTree& tree, Tree1Plan& plan,
                NameMaker& classNames, NameMaker& attrNames, std::size_t& prefixUse) {
    const std::size_t n = o.classes;
    const std::size_t m = o.attributes;

    // Extensions: the base schema, then groups of a few dozen classes.
    plan.extensions.push_back({"", 1});
    std::size_t baseCount = std::clamp<std::size_t>(n / 50, 1, 150);
    baseCount = std::min(baseCount, n);
    plan.classExt.assign(baseCount, 0);
    plan.extClasses.push_back({});
    for (std::size_t i = 0; i < baseCount; ++i) plan.extClasses[0].push_back(i);
    while (plan.classExt.size() < n) {
        const std::size_t size = std::min(Pick(rng, 5, 40), n - plan.classExt.size());
        const std::size_t ext = plan.extensions.size();
        Extension e;
        // Most vendors write camel-case names after their prefix; some use separate words.
        if (Chance(rng, 0.8)) e.prefix = kPrefixes[prefixUse++ % std::size(kPrefixes)];
        e.arc = static_cast<std::uint32_t>(ext + 1);
        plan.extensions.push_back(e);
        plan.extClasses.push_back({});
        for (std::size_t i = 0; i < size; ++i) {
            plan.extClasses[ext].push_back(plan.classExt.size());
            plan.classExt.push_back(ext);
        }
    }

    // Classes: names, flags, identifiers.
    tree.classes.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        SimClass& c = tree.classes[i];
        const std::size_t ext = plan.classExt[i];
        if (i < std::size(kBaseClasses) && ext == 0 && classNames.claim(kBaseClasses[i]))
            c.name = kBaseClasses[i];
        else
            c.name = classNames.make(plan.extensions[ext], 1, 3);
        std::uint32_t flags = 0;
        if (i == 0) {
            flags = 0x04;
        } else if (i == 1) {
            flags = 0x02 | 0x01;  // the first container, so every class can be contained
        } else if (Chance(rng, 0.12)) {
            flags = 0x20;
        } else {
            if (Chance(rng, 0.7)) flags |= 0x02;
            if (Chance(rng, 0.15)) flags |= 0x01;
            if (Chance(rng, 0.03)) flags |= 0x08;
        }
        if (ext == 0) flags |= 0x04;
        c.flags = flags;
        c.id = Oid(plan.extensions[ext].arc, 6, i);
    }
    std::vector<std::size_t> containers;
    for (std::size_t i = 0; i < n; ++i)
        if (tree.classes[i].flags & 0x01) containers.push_back(i);

    // Attributes: the popular base ones, then each class's own share (skewed: most bring a
    // handful, a few bring dozens).
    plan.popular = std::min<std::size_t>(m, std::clamp<std::size_t>(m / 250, 8, 200));
    tree.attributes.reserve(m);
    for (std::size_t j = 0; j < plan.popular; ++j) {
        std::string name;
        if (j < std::size(kBaseAttributes) && attrNames.claim(kBaseAttributes[j]))
            name = kBaseAttributes[j];
        else
            name = attrNames.make(plan.extensions[0], 1, 3);
        tree.attributes.push_back(MakeAttr(rng, name, 1, j));
    }
    std::vector<double> weights(n);
    std::lognormal_distribution<double> spread(0.0, 0.9);
    for (std::size_t i = 1; i < n; ++i) weights[i] = spread(rng);
    const double total = std::accumulate(weights.begin(), weights.end(), 0.0);
    const std::size_t ownTotal = m - plan.popular;
    std::vector<std::size_t> ownCount(n, 0);
    std::size_t given = 0;
    if (total > 0)
        for (std::size_t i = 1; i < n; ++i) {
            ownCount[i] =
                static_cast<std::size_t>(weights[i] / total * static_cast<double>(ownTotal));
            given += ownCount[i];
        }
    while (given < ownTotal) {
        ++ownCount[n > 1 ? Pick(rng, 1, n - 1) : 0];
        ++given;
    }
    plan.ownAttrs.assign(n, {});
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t k = 0; k < ownCount[i]; ++k) {
            const std::size_t j = tree.attributes.size();
            const Extension& ext = plan.extensions[plan.classExt[i]];
            tree.attributes.push_back(MakeAttr(rng, attrNames.make(ext, 1, 3), ext.arc, j));
            plan.ownAttrs[i].push_back(j);
        }

    // Item lists.
    auto attrName = [&](std::size_t j) -> const std::string& { return tree.attributes[j].name; };
    auto popularAttr = [&]() -> const std::string& {
        return attrName(PickSkewed(rng, plan.popular));
    };
    for (std::size_t i = 0; i < n; ++i) {
        SimClass& c = tree.classes[i];
        auto& items = c.items;
        const std::vector<std::size_t>& own = plan.ownAttrs[i];
        const std::size_t ext = plan.classExt[i];
        if (i == 0) {
            items[kMandatory].push_back(attrName(0));
            for (std::size_t j = 1; j < std::min<std::size_t>(plan.popular, 8); ++j)
                if (j >= kFirstNamingAttr + kNamingAttrs) items[kOptional].push_back(attrName(j));
            continue;
        }
        const bool auxiliary = (c.flags & 0x20) != 0;
        const bool effective = (c.flags & 0x02) != 0;

        // Super classes: the extension's first class, else a base class or Top.
        const std::size_t root = plan.extClasses[ext].front();
        std::size_t super = 0;
        if (!auxiliary) {
            if (root != i && Chance(rng, 0.75))
                super = root;
            else
                super = Pick(rng, 0, std::min(i, plan.extClasses[0].size()) - 1);
        }
        items[kSuper].push_back(tree.classes[super].name);
        if (!auxiliary && Chance(rng, 0.05)) {
            const std::size_t other = Pick(rng, 0, i - 1);
            if (!Holds(items[kSuper], tree.classes[other].name))
                items[kSuper].push_back(tree.classes[other].name);
        }

        if (effective && !containers.empty()) {
            const std::size_t count = Pick(rng, 1, 3);
            for (std::size_t k = 0; k < count; ++k) {
                const std::string& name =
                    tree.classes[containers[PickSkewed(rng, containers.size())]].name;
                if (!Holds(items[kContainment], name)) items[kContainment].push_back(name);
            }
        }

        std::size_t next = 0;  // the next own attribute not placed yet
        if (effective) {
            if (own.empty() || Chance(rng, 0.7)) {
                const std::size_t pick = kFirstNamingAttr + Pick(rng, 0, kNamingAttrs - 1);
                items[kNaming].push_back(attrName(std::min(pick, plan.popular - 1)));
            } else {
                items[kNaming].push_back(attrName(own[0]));
                items[kMandatory].push_back(attrName(own[0]));
                next = 1;
            }
        }
        const std::size_t mandatory = std::min(Pick(rng, 0, 2), own.size() - next);
        for (std::size_t k = 0; k < mandatory; ++k)
            items[kMandatory].push_back(attrName(own[next++]));
        for (; next < own.size(); ++next) items[kOptional].push_back(attrName(own[next]));
        const std::size_t extra = Pick(rng, 0, 3);
        for (std::size_t k = 0; k < extra; ++k) {
            const std::string& name = popularAttr();
            if (!Holds(items[kMandatory], name) && !Holds(items[kOptional], name))
                items[kOptional].push_back(name);
        }
    }
}

// One change to a class definition of Tree #2; pool gives attributes that only Tree #2 has.
void ChangeClass(Rng& rng, SimClass& c, const SimTree& tree2, std::vector<std::string>& pool,
                 const std::vector<std::string>& popular,
                 const std::vector<std::string>& containers) {
    auto& items = c.items;
    const std::size_t what = Pick(rng, 0, 99);
    if (what < 30) {
        std::string name;
        if (!pool.empty()) {
            name = pool.back();
            pool.pop_back();
        } else {
            name = popular[Pick(rng, 0, popular.size() - 1)];
        }
        if (!Holds(items[kOptional], name)) items[kOptional].push_back(name);
    } else if (what < 55) {
        for (std::size_t kind : {kOptional, kMandatory, kContainment, kSuper}) {
            if (items[kind].empty()) continue;
            items[kind].erase(items[kind].begin() +
                              static_cast<std::ptrdiff_t>(Pick(rng, 0, items[kind].size() - 1)));
            break;
        }
    } else if (what < 65) {
        if (!containers.empty()) {
            const std::string& name = containers[Pick(rng, 0, containers.size() - 1)];
            if (!Holds(items[kContainment], name)) items[kContainment].push_back(name);
        }
    } else if (what < 75) {
        if (!items[kOptional].empty()) {
            const std::size_t k = Pick(rng, 0, items[kOptional].size() - 1);
            items[kMandatory].push_back(items[kOptional][k]);
            items[kOptional].erase(items[kOptional].begin() + static_cast<std::ptrdiff_t>(k));
        }
    } else if (what < 85) {
        // Same items, another order: not identical, yet no line.
        if (items[kOptional].size() >= 2)
            std::reverse(items[kOptional].begin(), items[kOptional].end());
    } else if (what < 92) {
        // Same item in other letters: not identical, yet no line.
        for (std::size_t kind : {kOptional, kMandatory, kNaming}) {
            if (items[kind].empty()) continue;
            std::string& item = items[kind][Pick(rng, 0, items[kind].size() - 1)];
            for (char& ch : item)
                if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
            break;
        }
    } else {
        c.id = Oid(900000, 6, tree2.classes.size() + Pick(rng, 0, 1000000));
    }
    if (Chance(rng, 0.1)) c.flags ^= 0x08;
}

void ChangeAttr(Rng& rng, SimAttr& a) {
    const std::size_t what = Pick(rng, 0, 99);
    DirAttrInfo& info = a.info;
    if (what < 30) {
        std::uint32_t syntax = info.attrSyntaxID;
        while (syntax == info.attrSyntaxID)
            syntax = kSyntaxes[Pick(rng, 0, std::size(kSyntaxes) - 1)].id;
        info.attrSyntaxID = syntax;
    } else if (what < 55) {
        info.attrFlags ^= 0x001;
    } else if (what < 75) {
        if (info.attrFlags & 0x002) {
            info.attrUpper = info.attrUpper * 2 + 1;
        } else {
            info.attrFlags |= 0x002;
            info.attrLower = 1;
            info.attrUpper = 64;
        }
    } else if (what < 90) {
        info.attrFlags ^= 0x040;
    } else {
        info.attrFlags ^= 0x080;
    }
}

std::string Upper(std::string s) {
    for (char& ch : s)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    return s;
}

bool SameDefinition(const SimClass& a, const SimClass& b) {
    return a.items == b.items && a.id.length == b.id.length &&
           std::equal(a.id.data, a.id.data + a.id.length, b.id.data);
}

bool SameDefinition(const SimAttr& a, const SimAttr& b) {
    return AttrDefText(a.info) == AttrDefText(b.info);
}

template <typename T>
void CountDifferences(const std::vector<T>& list1, const std::vector<T>& list2, std::size_t& only1,
                      std::size_t& only2, std::size_t& changed) {
    std::unordered_map<std::string, const T*> index2;
    for (const T& e : list2) index2.emplace(NameKey(e.name), &e);
    std::unordered_set<std::string> keys1;
    for (const T& e : list1) {
        keys1.insert(NameKey(e.name));
        const auto it = index2.find(NameKey(e.name));
        if (it == index2.end())
            ++only1;
        else if (!SameDefinition(e, *it->second))
            ++changed;
    }
    for (const T& e : list2)
        if (!keys1.contains(NameKey(e.name))) ++only2;
}

void AppendJsonString(std::string& out, const std::string& s) {
    out += '"';
    for (const char ch : s) {
        const auto b = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (b < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", b);
            out += escaped;
        } else {
            out += ch;
        }
    }
    out += '"';
}

void AppendJsonList(std::string& out, const char* key, const std::vector<std::string>& list) {
    out += ", \"";
    out += key;
    out += "\": [";
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i > 0) out += ", ";
        AppendJsonString(out, list[i]);
    }
    out += ']';
}

}  // namespace

SchemaPair GenerateSchemaPair(const SchemaGenOptions& o) {
    if (o.classes == 0 || o.attributes == 0)
        throw std::invalid_argument("a schema needs at least one class and one attribute");
    if (!(o.diff >= 0.0 && o.diff <= 1.0))
        throw std::invalid_argument("the share of differences must lie between 0 and 1");

    Rng rng(o.seed);
    auto tree1 = std::make_shared<SimTree>();
    tree1->defaultContext = "O=Bench";
    Tree1Plan plan;
    NameMaker classNames(rng);
    NameMaker attrNames(rng);
    std::size_t prefixUse = 0;
    BuildTree1(rng, o, *tree1, plan, classNames, attrNames, prefixUse);

    // Tree #2: a copy, then whole extensions dropped, new ones added and some definitions
    // changed.
    const std::size_t n = o.classes;
    const std::size_t m = o.attributes;
    const auto classDiff = static_cast<std::size_t>(std::llround(o.diff * static_cast<double>(n)));
    const auto attrDiff = static_cast<std::size_t>(std::llround(o.diff * static_cast<double>(m)));
    const std::size_t classesOnly1 = std::min(classDiff / 4, n - 1);
    const std::size_t classesOnly2 = classDiff / 4;
    const std::size_t classesChanged = classDiff - classDiff / 4 - classesOnly2;
    const std::size_t attrsOnly1 = std::min(attrDiff / 4, m - plan.popular);
    const std::size_t attrsOnly2 = attrDiff / 4;
    const std::size_t attrsChanged = attrDiff - attrDiff / 4 - attrsOnly2;

    std::vector<bool> classGone(n, false);
    std::vector<bool> attrGone(m, false);
    {
        // Whole extensions first, the way a product's schema is missing from a tree.
        std::vector<std::size_t> exts(plan.extensions.size() - 1);
        std::iota(exts.begin(), exts.end(), std::size_t{1});
        std::shuffle(exts.begin(), exts.end(), rng);
        std::size_t removed = 0;
        std::vector<std::size_t> freed;  // attributes of the dropped classes
        for (std::size_t ext : exts) {
            for (std::size_t i : plan.extClasses[ext]) {
                if (removed == classesOnly1) break;
                classGone[i] = true;
                ++removed;
                freed.insert(freed.end(), plan.ownAttrs[i].begin(), plan.ownAttrs[i].end());
            }
            if (removed == classesOnly1) break;
        }
        std::size_t dropped = 0;
        for (std::size_t j : freed) {
            if (dropped == attrsOnly1) break;
            attrGone[j] = true;
            ++dropped;
        }
        // Not enough: other classes' own attributes go as well, a class at a time, and
        // those classes lose them in Tree #2 (they count among the changed ones).
        std::vector<std::size_t> donors(n - 1);
        std::iota(donors.begin(), donors.end(), std::size_t{1});
        std::shuffle(donors.begin(), donors.end(), rng);
        for (std::size_t i : donors) {
            if (dropped == attrsOnly1) break;
            if (classGone[i]) continue;
            for (std::size_t j : plan.ownAttrs[i]) {
                if (dropped == attrsOnly1) break;
                if (attrGone[j]) continue;
                attrGone[j] = true;
                ++dropped;
            }
        }
        while (dropped < attrsOnly1) {
            const std::size_t j = Pick(rng, plan.popular, m - 1);
            if (attrGone[j]) continue;
            attrGone[j] = true;
            ++dropped;
        }
    }

    auto tree2 = std::make_shared<SimTree>();
    tree2->defaultContext = tree1->defaultContext;
    std::unordered_set<std::string> goneAttrNames;
    for (std::size_t j = 0; j < m; ++j) {
        if (attrGone[j])
            goneAttrNames.insert(tree1->attributes[j].name);
        else
            tree2->attributes.push_back(tree1->attributes[j]);
    }
    std::vector<std::size_t> origin;  // Tree #1's index of each common class
    for (std::size_t i = 0; i < n; ++i) {
        if (classGone[i]) continue;
        origin.push_back(i);
        SimClass c = tree1->classes[i];
        for (auto& list : c.items)
            std::erase_if(list,
                          [&](const std::string& item) { return goneAttrNames.contains(item); });
        tree2->classes.push_back(std::move(c));
    }

    // Attributes only Tree #2 has: new extensions' own, the rest added to changed classes.
    std::vector<std::string> pool;
    for (std::size_t k = 0; k < attrsOnly2; ++k) {
        Extension ext{kPrefixes[prefixUse++ % std::size(kPrefixes)],
                      static_cast<std::uint32_t>(plan.extensions.size() + 1 + k / 20)};
        const std::string name = attrNames.make(ext, 1, 3);
        tree2->attributes.push_back(MakeAttr(rng, name, ext.arc, m + k));
        pool.push_back(name);
    }
    std::shuffle(pool.begin(), pool.end(), rng);
    std::vector<std::string> popularNames;
    for (std::size_t j = 0; j < plan.popular; ++j)
        popularNames.push_back(tree1->attributes[j].name);
    std::vector<std::string> containerNames;
    for (const SimClass& c : tree2->classes)
        if (c.flags & 0x01) containerNames.push_back(c.name);

    // Classes only Tree #2 has, in new extensions.
    const std::size_t commonClasses = tree2->classes.size();
    {
        std::size_t made = 0;
        while (made < classesOnly2) {
            const std::size_t size = std::min(Pick(rng, 5, 40), classesOnly2 - made);
            Extension ext{Chance(rng, 0.8) ? kPrefixes[prefixUse++ % std::size(kPrefixes)] : "",
                          static_cast<std::uint32_t>(800000 + made)};
            std::string root;
            for (std::size_t k = 0; k < size; ++k, ++made) {
                SimClass c;
                c.name = classNames.make(ext, 1, 3);
                c.flags = Chance(rng, 0.8) ? 0x02 : 0x20;
                c.id = Oid(ext.arc, 6, k);
                c.items[kSuper].push_back(
                    root.empty() ? tree2->classes[Pick(rng, 0, commonClasses - 1)].name : root);
                if (root.empty()) root = c.name;
                if ((c.flags & 0x02) && !containerNames.empty())
                    c.items[kContainment].push_back(
                        containerNames[PickSkewed(rng, containerNames.size())]);
                const std::size_t own = Pick(rng, 1, 8);
                for (std::size_t a = 0; a < own; ++a) {
                    if (pool.empty()) break;
                    c.items[a == 0 && (c.flags & 0x02) ? kMandatory : kOptional].push_back(
                        pool.back());
                    if (a == 0 && (c.flags & 0x02)) c.items[kNaming].push_back(pool.back());
                    pool.pop_back();
                }
                if (c.items[kNaming].empty() && (c.flags & 0x02))
                    c.items[kNaming].push_back(popularNames[1 % popularNames.size()]);
                tree2->classes.push_back(std::move(c));
            }
        }
    }

    // Changed definitions among the common names.
    {
        std::vector<std::size_t> order(commonClasses);
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::shuffle(order.begin(), order.end(), rng);
        std::size_t changed = 0;
        for (std::size_t i = 0; i < commonClasses; ++i)
            if (!SameDefinition(tree1->classes[origin[i]], tree2->classes[i])) ++changed;
        for (std::size_t i : order) {
            if (changed >= classesChanged) break;
            SimClass& c = tree2->classes[i];
            if (i == 0 || !SameDefinition(tree1->classes[origin[i]], c)) continue;
            const SimClass before = c;
            for (int tries = 0; tries < 8 && SameDefinition(before, c); ++tries)
                ChangeClass(rng, c, *tree2, pool, popularNames, containerNames);
            if (!SameDefinition(before, c)) ++changed;
        }
        // Whatever the new classes did not take still exists in Tree #2, unused.
        std::vector<std::size_t> attrOrder(m - attrsOnly1);
        std::iota(attrOrder.begin(), attrOrder.end(), std::size_t{0});
        std::shuffle(attrOrder.begin(), attrOrder.end(), rng);
        const std::size_t changedAttrs = std::min(attrsChanged, attrOrder.size());
        for (std::size_t k = 0; k < changedAttrs; ++k)
            ChangeAttr(rng, tree2->attributes[attrOrder[k]]);
        // A few names written in other letters: still the same name to the comparison.
        const std::size_t renames =
            std::max<std::size_t>(changedAttrs / 20, changedAttrs > 0 ? 1 : 0);
        for (std::size_t k = changedAttrs; k < changedAttrs + renames && k < attrOrder.size();
             ++k) {
            SimAttr& a = tree2->attributes[attrOrder[k]];
            a.name = Upper(a.name);
        }
    }

    // A directory hands out its schema in its own order, not sorted and not the other's.
    std::shuffle(tree1->classes.begin(), tree1->classes.end(), rng);
    std::shuffle(tree1->attributes.begin(), tree1->attributes.end(), rng);
    std::shuffle(tree2->classes.begin(), tree2->classes.end(), rng);
    std::shuffle(tree2->attributes.begin(), tree2->attributes.end(), rng);

    SchemaPair pair;
    pair.tree1 = tree1;
    pair.tree2 = tree2;
    SchemaGenSummary& s = pair.summary;
    s.classes1 = tree1->classes.size();
    s.classes2 = tree2->classes.size();
    s.attributes1 = tree1->attributes.size();
    s.attributes2 = tree2->attributes.size();
    CountDifferences(tree1->classes, tree2->classes, s.classesOnly1, s.classesOnly2,
                     s.classesChanged);
    CountDifferences(tree1->attributes, tree2->attributes, s.attributesOnly1, s.attributesOnly2,
                     s.attributesChanged);
    for (const SimClass& c : tree1->classes)
        for (const auto& list : c.items) s.items1 += list.size();
    s.items1 += tree1->classes.size();  // one identifier each
    return pair;
}

std::string SummaryText(const SchemaGenSummary& s) {
    auto line = [](const char* what, std::size_t n1, std::size_t n2, std::size_t only1,
                   std::size_t only2, std::size_t changed) {
        return std::string(what) + ": " + std::to_string(n1) + " in Tree #1, " +
               std::to_string(n2) + " in Tree #2; " + std::to_string(only1) + " only in Tree #1, " +
               std::to_string(only2) + " only in Tree #2, " + std::to_string(changed) +
               " defined otherwise\n";
    };
    return line("Classes", s.classes1, s.classes2, s.classesOnly1, s.classesOnly2,
                s.classesChanged) +
           line("Attributes", s.attributes1, s.attributes2, s.attributesOnly1, s.attributesOnly2,
                s.attributesChanged) +
           "Class items in Tree #1 (with identifiers): " + std::to_string(s.items1) + "\n";
}

QByteArray TreeDescriptionJson(const SimTree& tree) {
    std::string out;
    out.reserve(tree.classes.size() * 400 + tree.attributes.size() * 120 + 64);
    out += "{\n\"defaultContext\": ";
    AppendJsonString(out, tree.defaultContext);
    if (tree.batchSize != 0) out += ",\n\"batchSize\": " + std::to_string(tree.batchSize);
    out += ",\n\"classes\": [\n";
    static const char* const keys[] = {"superClasses", "containmentClasses", "namingAttributes",
                                       "mandatoryAttributes", "optionalAttributes"};
    for (std::size_t i = 0; i < tree.classes.size(); ++i) {
        const SimClass& c = tree.classes[i];
        out += "{\"name\": ";
        AppendJsonString(out, c.name);
        out += ", \"flags\": " + std::to_string(c.flags);
        const std::string oid = Asn1IdText(c.id);
        if (!oid.empty()) out += ", \"oid\": \"" + oid + "\"";
        for (std::size_t k = 0; k < 5; ++k)
            if (!c.items[k].empty()) AppendJsonList(out, keys[k], c.items[k]);
        out += i + 1 < tree.classes.size() ? "},\n" : "}\n";
    }
    out += "],\n\"attributes\": [\n";
    for (std::size_t i = 0; i < tree.attributes.size(); ++i) {
        const SimAttr& a = tree.attributes[i];
        out += "{\"name\": ";
        AppendJsonString(out, a.name);
        out += ", \"flags\": " + std::to_string(a.info.attrFlags);
        out += ", \"syntax\": " + std::to_string(a.info.attrSyntaxID);
        if (a.info.attrLower != 0 || a.info.attrUpper != 0)
            out += ", \"lower\": " + std::to_string(a.info.attrLower) +
                   ", \"upper\": " + std::to_string(a.info.attrUpper);
        const std::string oid = Asn1IdText(a.info.asn1ID);
        if (!oid.empty()) out += ", \"oid\": \"" + oid + "\"";
        out += i + 1 < tree.attributes.size() ? "},\n" : "}\n";
    }
    out += "]\n}\n";
    return QByteArray::fromStdString(out);
}

QByteArray ClientConfigJson(const std::string& treeFile1, const std::string& treeFile2) {
    std::string out = "{\n\"connections\": [\n{\"treeName\": \"";
    out += kBenchTree1;
    out += "\", \"treeFile\": ";
    AppendJsonString(out, treeFile1);
    out += "},\n{\"treeName\": \"";
    out += kBenchTree2;
    out += "\", \"treeFile\": ";
    AppendJsonString(out, treeFile2);
    out += "}\n],\n\"primary\": 0\n}\n";
    return QByteArray::fromStdString(out);
}

SimDirectory MakeBenchDirectory(const SchemaPair& pair) {
    SimDirectory directory;
    directory.connections.push_back({kBenchTree1, pair.tree1});
    directory.connections.push_back({kBenchTree2, pair.tree2});
    directory.primary = 0;
    return directory;
}

DirCode LoadSlotOnline(Workspace& ws, UiHooks& ui, int tree, const std::string& treeName) {
    DirClient& client = ws.client();
    TTreeInfo& slot = ws.tree(tree);
    if (slot.Context == 0) client.dcNewContext(slot.Context);
    if (const std::uint32_t code = InitNetWare(client, ws.Session, ui); code != 0)
        return static_cast<DirCode>(code);
    slot.ClassNames.clear();
    slot.AttrNames.clear();
    return LoadTree(ws, ui, tree, TreeSource::Live(treeName)).code;
}

void LoadSlotFromFile(Workspace& ws, int tree, const std::string& path) {
    SilentUi ui;
    LoadTree(ws, ui, tree, TreeSource::File(path));
}

void WriteSchemaFiles(const SchemaPair& pair, const std::string& path1, const std::string& path2) {
    Workspace ws(std::make_unique<SimulatedClient>(MakeBenchDirectory(pair)));
    SilentUi ui;
    const std::string* paths[] = {&path1, &path2};
    const char* names[] = {kBenchTree1, kBenchTree2};
    for (int t = 1; t <= 2; ++t) {
        if (const DirCode code = LoadSlotOnline(ws, ui, t, names[t - 1]); code != 0)
            throw std::runtime_error(std::string("reading ") + names[t - 1] + " failed with " +
                                     std::to_string(code));
        SaveSchemaFile(ws, ui, t, *paths[t - 1], {});
    }
}

std::string SchemaFilesFolder(const SchemaGenOptions& options, const std::string& dir) {
    char name[128];
    std::snprintf(name, sizeof name, "c%zu-a%zu-d%g-s%llu", options.classes, options.attributes,
                  options.diff, static_cast<unsigned long long>(options.seed));
    return QDir(QString::fromStdString(dir)).absoluteFilePath(name).toStdString();
}

std::string EnsureSchemaFiles(const SchemaGenOptions& options, const std::string& dir) {
    const QString folder = QString::fromStdString(SchemaFilesFolder(options, dir));
    const QString marker = folder + "/complete";
    if (QFile::exists(marker)) return folder.toStdString();
    if (!QDir().mkpath(folder)) throw std::runtime_error("cannot create " + folder.toStdString());
    for (const char* file : {"/tree1.txt", "/tree2.txt"}) QFile::remove(folder + file);
    const SchemaPair pair = GenerateSchemaPair(options);
    WriteSchemaFiles(pair, (folder + "/tree1.txt").toStdString(),
                     (folder + "/tree2.txt").toStdString());
    QFile done(marker);
    if (!done.open(QIODevice::WriteOnly) ||
        done.write(QByteArray::fromStdString(SummaryText(pair.summary))) < 0)
        throw std::runtime_error("cannot write " + marker.toStdString());
    return folder.toStdString();
}
