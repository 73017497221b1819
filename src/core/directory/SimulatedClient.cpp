#include "core/directory/SimulatedClient.h"

#include "core/model/LdapMapping.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/Names.h"

SimTree ServedTree(const TreeSchema& schema) {
    SimTree tree;
    tree.defaultContext = schema.defaultContext;
    tree.classes.reserve(schema.classes.size());
    for (const SchemaClass& cls : schema.classes) tree.classes.push_back(ClassRecord(schema, cls));
    tree.attributes.reserve(schema.attributes.size());
    for (const SchemaAttribute& attr : schema.attributes)
        tree.attributes.push_back(AttributeRecord(schema, attr));
    tree.published = std::make_shared<PublishedSchema>(PublishedView(schema));
    return tree;
}

namespace {

constexpr ConnRef kRefBase = 0x100;
constexpr ConnHandle kHandleBase = 0x2000;
constexpr std::uint32_t kMaxBuffer = 0x10000;
constexpr std::uint32_t kNewContextFlags = 0x03;
constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
constexpr std::size_t kMaxTextRead = 4096;

std::string AsciiUpperCopy(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// Names fold as the quick check matches them, so a name it calls common is found here.
bool SameName(const std::string& a, const std::string& b) { return NameKey(a) == NameKey(b); }

// Writes at most size - 1 bytes and a NUL: a long text is cut, never overflows, and never
// inside a UTF-8 character.
void WriteText(char* buffer, std::size_t size, const std::string& text) {
    if (buffer == nullptr || size == 0) return;
    std::size_t n = std::min(text.size(), size - 1);
    if (n < text.size()) {
        std::size_t lead = n;
        while (lead > 0 && n - lead < 3 && (static_cast<unsigned char>(text[lead]) & 0xC0) == 0x80)
            --lead;
        const unsigned char c = static_cast<unsigned char>(text[lead]);
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (lead < n && c >= 0xC0 && lead + length > n) n = lead;
    }
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

std::string ReadText(const void* value) {
    if (value == nullptr) return {};
    const char* p = static_cast<const char*>(value);
    return std::string(p, strnlen(p, kMaxTextRead));
}

// Bytes an entry takes in a reply buffer, so that a small buffer holds a small batch.
std::uint32_t ClassEntrySize(const SimClass& c, std::uint32_t infoType) {
    std::size_t size = 4 + c.name.size() + 1 + sizeof(DirClassInfo);
    if (infoType == 2)
        for (const auto& list : c.items) {
            size += 4;
            for (const auto& item : list) size += 4 + item.size() + 1;
        }
    return static_cast<std::uint32_t>(std::min<std::size_t>(size, kMaxBuffer + 1));
}

std::uint32_t AttrEntrySize(const SimAttr& a, std::uint32_t infoType) {
    std::size_t size = 4 + a.name.size() + 1 + (infoType == 1 ? sizeof(DirAttrInfo) : 0);
    return static_cast<std::uint32_t>(std::min<std::size_t>(size, kMaxBuffer + 1));
}

// An injected code when there is one, else the client's own.
DirCode Either(DirCode injectedCode, DirCode own) { return injectedCode != 0 ? injectedCode : own; }

class TableLibrary : public MessageLibrary {
  public:
    explicit TableLibrary(std::map<std::int32_t, std::string> table) : table_(std::move(table)) {}
    std::optional<std::string> NWstrerror(std::int32_t code) override {
        const auto it = table_.find(code);
        return it == table_.end() ? std::string("Unknown error") : it->second;
    }

  private:
    std::map<std::int32_t, std::string> table_;
};

}  // namespace

std::string TreeLookupKey(const std::string& name) {
    std::string key = name;
    while (!key.empty() && key.back() == '_') key.pop_back();
    return AsciiUpperCopy(key);
}

SimulatedClient::SimulatedClient(SimDirectory directory) : directory_(std::move(directory)) {}

DirCode SimulatedClient::injected(const char* operation, const SimTree* tree,
                                  const std::vector<std::string>& names) {
    DirCode result = 0;
    auto check = [&](const std::vector<SimFailure>& rules, const void* owner) {
        for (std::size_t i = 0; i < rules.size(); ++i) {
            const SimFailure& rule = rules[i];
            if (rule.operation != operation) continue;
            if (!rule.name.empty() &&
                std::none_of(names.begin(), names.end(),
                             [&](const std::string& n) { return SameName(n, rule.name); }))
                continue;
            const std::uint32_t seen = ++failureCalls_[{owner, i}];
            if (result == 0 && (rule.call == 0 || rule.call == seen)) result = rule.code;
        }
    };
    check(directory_.failures, nullptr);
    if (tree != nullptr) check(tree->failures, tree);
    return result;
}

DirCode SimulatedClient::injected(const char* operation, const SimTree* tree,
                                  const std::string& name) {
    return injected(operation, tree, std::vector<std::string>{name});
}

const SimConnection* SimulatedClient::connection(ConnRef ref) const {
    if (ref < kRefBase || ref - kRefBase >= directory_.connections.size()) return nullptr;
    return &directory_.connections[ref - kRefBase];
}

const std::string& SimulatedClient::connectionTreeName(std::size_t index) {
    SimConnection& c = directory_.connections[index];
    if (c.treeName.empty() && c.source) c.treeName = c.source->treeName();
    return c.treeName;
}

std::optional<std::size_t> SimulatedClient::findConnection(const std::string& name) {
    const std::string key = TreeLookupKey(name);
    if (key.empty()) return std::nullopt;
    // The whole name; a name the listing cut to 32 bytes (a source's own, longer name) only
    // when one tree's name begins so.
    std::optional<std::size_t> cut;
    std::size_t begunSo = 0;
    for (std::size_t i = 0; i < directory_.connections.size(); ++i) {
        const SimConnection& c = directory_.connections[i];
        if (!c.tree && !c.source) continue;
        const std::string own = TreeLookupKey(connectionTreeName(i));
        if (own == key) return i;
        if (key.size() == kTreeNameBytes && own.size() > key.size() && own.starts_with(key)) {
            cut = i;
            ++begunSo;
        }
    }
    return begunSo == 1 ? cut : std::nullopt;
}

DirCode SimulatedClient::treeOf(std::size_t index, std::shared_ptr<SimTree>& tree) {
    const SimConnection& c = directory_.connections[index];
    if (!c.source) {
        tree = c.tree;
        return tree ? 0 : simcode::kTreeNotFound;
    }
    const SchemaLoad load = c.source->load();
    if (load.failure.code != 0) {
        sourceMessages_[load.failure.code] = load.failure.explanation();
        return load.failure.code;
    }
    // Through the client's own operations a source tree reads as its records; the window and
    // kalvix-cli load it whole (treeSource), where definitions left out are told.
    tree = std::make_shared<SimTree>(ServedTree(*load.schema));
    return 0;
}

namespace {

// A source whose messages also go into the client's message table, so the client explains
// its codes as it does for trees read through the operations.
class ExplainedSource : public SchemaSource {
  public:
    ExplainedSource(std::shared_ptr<SchemaSource> source,
                    std::map<std::int32_t, std::string>& messages)
        : source_(std::move(source)), messages_(messages) {}
    std::string treeName() override { return source_->treeName(); }
    SchemaLoad load() override {
        SchemaLoad load = source_->load();
        if (load.failure.code != 0) messages_[load.failure.code] = load.failure.explanation();
        for (const SourceProblem& notice : load.notices)
            if (!notice.remark) messages_[notice.code] = notice.explanation();
        return load;
    }

  private:
    std::shared_ptr<SchemaSource> source_;
    std::map<std::int32_t, std::string>& messages_;  // the client's; it outlives a load
};

}  // namespace

std::shared_ptr<SchemaSource> SimulatedClient::treeSource(const std::string& treeName) {
    const std::optional<std::size_t> index = findConnection(treeName);
    if (!index || !directory_.connections[*index].source) return nullptr;
    return std::make_shared<ExplainedSource>(directory_.connections[*index].source,
                                             sourceMessages_);
}

std::size_t SimulatedClient::findEntry(Context& context, bool classes, const std::string& name) {
    const SimTree& tree = *context.tree;
    NameIndex& index = context.index;
    // A tree changed in place (tests add entries) gets a new index.
    if (index.tree != &tree || index.classCount != tree.classes.size() ||
        index.attrCount != tree.attributes.size()) {
        index = NameIndex{&tree, tree.classes.size(), tree.attributes.size(), {}, {}};
        for (std::size_t i = 0; i < tree.classes.size(); ++i)
            index.classes.try_emplace(NameKey(tree.classes[i].name), i);
        for (std::size_t i = 0; i < tree.attributes.size(); ++i)
            index.attributes.try_emplace(NameKey(tree.attributes[i].name), i);
    }
    const std::size_t total = classes ? tree.classes.size() : tree.attributes.size();
    auto nameAt = [&](std::size_t i) -> const std::string& {
        return classes ? tree.classes[i].name : tree.attributes[i].name;
    };
    const auto& map = classes ? index.classes : index.attributes;
    const auto hit = map.find(NameKey(name));
    if (hit != map.end() && hit->second < total && SameName(nameAt(hit->second), name))
        return hit->second;
    // A name renamed in place since: look through the tree.
    for (std::size_t i = 0; i < total; ++i)
        if (SameName(nameAt(i), name)) return i;
    return kNone;
}

SimulatedClient::Context* SimulatedClient::context(DirContext handle) {
    const auto it = contexts_.find(handle);
    return it == contexts_.end() ? nullptr : &it->second;
}

SimulatedClient::Buffer* SimulatedClient::buffer(DirBuffer handle) {
    const auto it = buffers_.find(handle);
    return it == buffers_.end() ? nullptr : &it->second;
}

// ---- Setup and connections

ConnCode SimulatedClient::dcStartup(void*, void*) {
    return static_cast<ConnCode>(injected("dcStartup", nullptr));
}

ConnCode SimulatedClient::dcPrimaryConnection(ConnRef& ref) {
    const SimTree* tree = nullptr;
    if (directory_.primary && *directory_.primary < directory_.connections.size())
        tree = directory_.connections[*directory_.primary].tree.get();
    if (DirCode code = injected("dcPrimaryConnection", tree)) return static_cast<ConnCode>(code);
    if (!directory_.primary || *directory_.primary >= directory_.connections.size())
        return simcode::kNoPrimaryConnection;
    ref = kRefBase + static_cast<ConnRef>(*directory_.primary);
    return 0;
}

ConnCode SimulatedClient::dcNextConnection(std::uint32_t& scanPosition, ConnRef& ref) {
    const bool inRange = scanPosition < directory_.connections.size();
    const SimTree* tree = inRange ? directory_.connections[scanPosition].tree.get() : nullptr;
    if (DirCode code = injected("dcNextConnection", tree)) return static_cast<ConnCode>(code);
    if (!inRange) return simcode::kNoMoreConnections;
    ref = kRefBase + scanPosition;
    ++scanPosition;
    return 0;
}

ConnCode SimulatedClient::dcOpenConnection(ConnRef ref, std::uint32_t mode, std::uint32_t,
                                           ConnHandle& handle) {
    const SimConnection* c = connection(ref);
    if (DirCode code = injected("dcOpenConnection", c ? c->tree.get() : nullptr))
        return static_cast<ConnCode>(code);
    if (c == nullptr) return simcode::kInvalidConnection;
    if (mode != 1) return simcode::kInvalidParameter;
    handle = kHandleBase + (ref - kRefBase);
    return 0;
}

ConnCode SimulatedClient::dcConnectionTree(ConnRef ref, std::uint32_t kind, std::uint32_t size,
                                           char* buffer) {
    const SimConnection* c = connection(ref);
    if (DirCode code = injected("dcConnectionTree", c ? c->tree.get() : nullptr))
        return static_cast<ConnCode>(code);
    if (c == nullptr) return simcode::kInvalidConnection;
    if (kind != 4 || size == 0 || buffer == nullptr) return simcode::kInvalidParameter;
    WriteText(buffer, size, connectionTreeName(ref - kRefBase));
    return 0;
}

// ---- Contexts

DirCode SimulatedClient::dcNewContext(DirContext& handle) {
    if (DirCode code = injected("dcNewContext", nullptr)) return code;
    Context c;
    c.flags = kNewContextFlags;
    c.nameContext = "[Root]";
    // A new context works on the tree of the primary connection, as a workstation's
    // preferred tree; a tree from a source is read only when a context changes to it.
    if (directory_.primary && *directory_.primary < directory_.connections.size() &&
        !directory_.connections[*directory_.primary].source) {
        const SimConnection& primary = directory_.connections[*directory_.primary];
        c.tree = primary.tree;
        c.treeName = primary.treeName.substr(0, 32);
        while (!c.treeName.empty() && c.treeName.back() == '_') c.treeName.pop_back();
    }
    handle = nextContext_++;
    contexts_[handle] = std::move(c);
    return 0;
}

DirCode SimulatedClient::dcDropContext(DirContext handle) {
    Context* c = context(handle);
    if (DirCode code = injected("dcDropContext", c ? c->tree.get() : nullptr)) return code;
    if (c == nullptr) return simcode::kBadContext;
    contexts_.erase(handle);
    return 0;
}

DirCode SimulatedClient::dcReadContext(DirContext handle, std::uint32_t key, void* value) {
    Context* c = context(handle);
    if (DirCode code = injected("dcReadContext", c ? c->tree.get() : nullptr)) return code;
    if (c == nullptr) return simcode::kBadContext;
    if (value == nullptr) return simcode::kBadKey;
    switch (key) {
        case DCK_FLAGS:
            *static_cast<std::uint32_t*>(value) = c->flags;
            return 0;
        case DCK_NAME_CONTEXT:
            WriteText(static_cast<char*>(value), DCK_TEXT_SIZE, c->nameContext);
            return 0;
        case DCK_TREE_NAME:
            WriteText(static_cast<char*>(value), DCK_TEXT_SIZE, c->treeName);
            return 0;
        default:
            return simcode::kBadKey;
    }
}

DirCode SimulatedClient::dcWriteContext(DirContext handle, std::uint32_t key, const void* value) {
    Context* c = context(handle);
    if (DirCode code = injected("dcWriteContext", c ? c->tree.get() : nullptr)) return code;
    if (c == nullptr) return simcode::kBadContext;
    if (value == nullptr) return simcode::kBadKey;
    switch (key) {
        case DCK_FLAGS:
            c->flags = *static_cast<const std::uint32_t*>(value);
            return 0;
        case DCK_NAME_CONTEXT:
            c->nameContext = ReadText(value).substr(0, DCK_TEXT_SIZE - 1);
            return 0;
        case DCK_TREE_NAME: {
            const std::string name = ReadText(value).substr(0, DCK_TEXT_SIZE - 1);
            const std::optional<std::size_t> index = findConnection(name);
            if (!index) return simcode::kTreeNotFound;
            std::shared_ptr<SimTree> tree;
            if (DirCode code = treeOf(*index, tree)) return code;
            c->tree = std::move(tree);
            c->treeName = name;
            c->nameContext = "[Root]";
            return 0;
        }
        default:
            return simcode::kBadKey;
    }
}

DirCode SimulatedClient::dcHomeContext(DirContext handle, std::uint32_t size, char* buffer) {
    Context* c = context(handle);
    if (DirCode code = injected("dcHomeContext", c ? c->tree.get() : nullptr)) return code;
    if (c == nullptr) return simcode::kBadContext;
    if (!c->tree) return simcode::kTreeNotFound;
    if (buffer == nullptr || size == 0) return simcode::kInsufficientBuffer;
    WriteText(buffer, size, c->tree->defaultContext);
    return 0;
}

// ---- Buffers and requests

DirCode SimulatedClient::dcNewBuffer(std::uint32_t size, DirBuffer& handle) {
    if (DirCode code = injected("dcNewBuffer", nullptr)) return code;
    if (size == 0 || size > kMaxBuffer) {
        handle = 0;
        return simcode::kNotEnoughMemory;
    }
    handle = nextBuffer_++;
    buffers_[handle].size = size;
    return 0;
}

DirCode SimulatedClient::dcDropBuffer(DirBuffer handle) {
    if (DirCode code = injected("dcDropBuffer", nullptr)) return code;
    return buffers_.erase(handle) == 1 ? 0 : simcode::kInvalidHandle;
}

DirCode SimulatedClient::dcStartRequest(DirContext handle, std::uint32_t operation,
                                        DirBuffer request) {
    Context* c = context(handle);
    if (DirCode code = injected("dcStartRequest", c ? c->tree.get() : nullptr)) return code;
    if (c == nullptr) return simcode::kBadContext;
    Buffer* b = buffer(request);
    if (b == nullptr) return simcode::kInvalidHandle;
    if (operation != DSV_READ_ATTR_DEF && operation != DSV_READ_CLASS_DEF) return simcode::kBadVerb;
    b->operation = operation;
    b->used = 4;
    b->names.clear();
    b->reply = Reply{};
    return 0;
}

namespace {

DirCode AddName(std::uint32_t expectedOperation, std::uint32_t operation, std::uint32_t size,
                std::uint32_t& used, std::vector<std::string>& names, const char* name) {
    if (operation != expectedOperation) return simcode::kBadVerb;
    const std::string text = ReadText(name);
    const std::size_t need = 4 + text.size() + 1;
    if (used + need > size) return simcode::kBufferFull;
    used += static_cast<std::uint32_t>(need);
    names.push_back(text);
    return 0;
}

}  // namespace

DirCode SimulatedClient::dcAddClassName(DirContext handle, DirBuffer request, const char* name) {
    Context* c = context(handle);
    if (DirCode code = injected("dcAddClassName", c ? c->tree.get() : nullptr, ReadText(name)))
        return code;
    if (c == nullptr) return simcode::kBadContext;
    Buffer* b = buffer(request);
    if (b == nullptr) return simcode::kInvalidHandle;
    return AddName(DSV_READ_CLASS_DEF, b->operation, b->size, b->used, b->names, name);
}

DirCode SimulatedClient::dcAddAttrName(DirContext handle, DirBuffer request, const char* name) {
    Context* c = context(handle);
    if (DirCode code = injected("dcAddAttrName", c ? c->tree.get() : nullptr, ReadText(name)))
        return code;
    if (c == nullptr) return simcode::kBadContext;
    Buffer* b = buffer(request);
    if (b == nullptr) return simcode::kInvalidHandle;
    return AddName(DSV_READ_ATTR_DEF, b->operation, b->size, b->used, b->names, name);
}

// ---- Reads

DirCode SimulatedClient::fetch(const char* operation, DirContext handle, std::uint32_t infoType,
                               bool all, DirBuffer request, std::int32_t& iterationHandle,
                               DirBuffer reply, Reply::Kind kind) {
    const bool classes = kind == Reply::Kind::Classes;
    Context* c = context(handle);
    Buffer* req = all ? nullptr : buffer(request);
    const std::vector<std::string> noNames;
    if (DirCode code = injected(operation, c ? c->tree.get() : nullptr, req ? req->names : noNames))
        return code;
    if (c == nullptr) return simcode::kBadContext;
    if (!c->tree) return simcode::kTreeNotFound;
    Buffer* out = buffer(reply);
    if (out == nullptr) return simcode::kInvalidHandle;
    if (classes ? (infoType != 2 && infoType != 3) : (infoType != 0 && infoType != 1))
        return simcode::kBadVerb;
    const SimTree& tree = *c->tree;
    const std::size_t total = classes ? tree.classes.size() : tree.attributes.size();

    std::vector<std::size_t> set;
    if (all) {
        set.resize(total);
        for (std::size_t i = 0; i < total; ++i) set[i] = i;
    } else {
        if (req == nullptr) return simcode::kInvalidHandle;
        if (req->operation != (classes ? DSV_READ_CLASS_DEF : DSV_READ_ATTR_DEF))
            return simcode::kBadVerb;
        for (const std::string& name : req->names) {
            const std::size_t found = findEntry(*c, classes, name);
            if (found == kNone) return classes ? simcode::kNoSuchClass : simcode::kNoSuchAttribute;
            set.push_back(found);
        }
    }

    if (iterationHandle < -1 ||
        (iterationHandle >= 0 && static_cast<std::size_t>(iterationHandle) > set.size()))
        return simcode::kBadIteration;
    const std::size_t start = iterationHandle == -1 ? 0 : static_cast<std::size_t>(iterationHandle);
    const std::uint32_t capacity = out->size > 4 ? out->size - 4 : 0;
    const std::size_t limit = tree.batchSize == 0 ? set.size() : tree.batchSize;
    std::uint32_t used = 0;
    std::size_t end = start;
    while (end < set.size() && end - start < limit) {
        const std::uint32_t size = classes ? ClassEntrySize(tree.classes[set[end]], infoType)
                                           : AttrEntrySize(tree.attributes[set[end]], infoType);
        if (size > capacity - used) break;
        used += size;
        ++end;
    }
    if (end == start && start < set.size()) return simcode::kInsufficientBuffer;

    Reply r;
    r.kind = kind;
    r.infoType = infoType;
    r.tree = c->tree;
    r.entries.assign(set.begin() + static_cast<std::ptrdiff_t>(start),
                     set.begin() + static_cast<std::ptrdiff_t>(end));
    out->reply = std::move(r);
    iterationHandle = end < set.size() ? static_cast<std::int32_t>(end) : -1;
    return 0;
}

DirCode SimulatedClient::dcFetchClasses(DirContext handle, std::uint32_t infoType,
                                        std::uint32_t allClasses, DirBuffer request,
                                        std::int32_t& iterationHandle, DirBuffer reply) {
    return fetch("dcFetchClasses", handle, infoType, allClasses != 0, request, iterationHandle,
                 reply, Reply::Kind::Classes);
}

DirCode SimulatedClient::dcFetchAttributes(DirContext handle, std::uint32_t infoType,
                                           std::uint32_t allAttributes, DirBuffer request,
                                           std::int32_t& iterationHandle, DirBuffer reply) {
    return fetch("dcFetchAttributes", handle, infoType, allAttributes != 0, request,
                 iterationHandle, reply, Reply::Kind::Attributes);
}

DirCode SimulatedClient::dcClassCount(DirContext handle, DirBuffer reply, std::uint32_t& count) {
    Context* c = context(handle);
    if (DirCode code = injected("dcClassCount", c ? c->tree.get() : nullptr)) return code;
    if (c == nullptr) return simcode::kBadContext;
    Buffer* b = buffer(reply);
    if (b == nullptr) return simcode::kInvalidHandle;
    if (b->reply.kind != Reply::Kind::Classes) return simcode::kBufferEmpty;
    count = static_cast<std::uint32_t>(b->reply.entries.size());
    return 0;
}

DirCode SimulatedClient::dcTakeClass(DirContext handle, DirBuffer reply, char* name,
                                     std::size_t nameSize, DirClassInfo& info) {
    Context* c = context(handle);
    if (c == nullptr) return Either(injected("dcTakeClass", nullptr), simcode::kBadContext);
    Buffer* b = buffer(reply);
    if (b == nullptr)
        return Either(injected("dcTakeClass", c->tree.get()), simcode::kInvalidHandle);
    Reply& r = b->reply;
    if (r.kind != Reply::Kind::Classes || r.next >= r.entries.size() ||
        r.entries[r.next] >= r.tree->classes.size())
        return Either(injected("dcTakeClass", r.tree.get()), simcode::kBufferEmpty);
    const std::size_t index = r.entries[r.next++];
    const SimClass& cls = r.tree->classes[index];
    r.current = kNone;
    r.list = -1;
    r.item = 0;
    if (DirCode code = injected("dcTakeClass", r.tree.get(), cls.name)) return code;
    r.current = index;
    WriteText(name, nameSize, cls.name);
    info.classFlags = cls.flags;
    info.asn1ID = cls.id;
    return 0;
}

DirCode SimulatedClient::dcItemCount(DirContext handle, DirBuffer reply, std::uint32_t& count) {
    Context* c = context(handle);
    if (c == nullptr) return Either(injected("dcItemCount", nullptr), simcode::kBadContext);
    Buffer* b = buffer(reply);
    if (b == nullptr)
        return Either(injected("dcItemCount", c->tree.get()), simcode::kInvalidHandle);
    Reply& r = b->reply;
    if (r.kind != Reply::Kind::Classes || r.infoType != 2 || r.current >= r.tree->classes.size() ||
        r.list >= 4)
        return Either(injected("dcItemCount", r.tree.get()), simcode::kBufferEmpty);
    const SimClass& cls = r.tree->classes[r.current];
    ++r.list;
    r.item = 0;
    if (DirCode code = injected("dcItemCount", r.tree.get(), cls.name)) return code;
    count = static_cast<std::uint32_t>(cls.items[static_cast<std::size_t>(r.list)].size());
    return 0;
}

DirCode SimulatedClient::dcTakeItem(DirContext handle, DirBuffer reply, char* name,
                                    std::size_t nameSize) {
    Context* c = context(handle);
    if (c == nullptr) return Either(injected("dcTakeItem", nullptr), simcode::kBadContext);
    Buffer* b = buffer(reply);
    if (b == nullptr) return Either(injected("dcTakeItem", c->tree.get()), simcode::kInvalidHandle);
    Reply& r = b->reply;
    if (r.kind != Reply::Kind::Classes || r.current >= r.tree->classes.size() || r.list < 0 ||
        r.list > 4 ||
        r.item >= r.tree->classes[r.current].items[static_cast<std::size_t>(r.list)].size())
        return Either(injected("dcTakeItem", r.tree.get()), simcode::kBufferEmpty);
    const SimClass& cls = r.tree->classes[r.current];
    const std::string& item = cls.items[static_cast<std::size_t>(r.list)][r.item++];
    if (DirCode code = injected("dcTakeItem", r.tree.get(), cls.name)) return code;
    WriteText(name, nameSize, item);
    return 0;
}

DirCode SimulatedClient::dcAttrCount(DirContext handle, DirBuffer reply, std::uint32_t& count) {
    Context* c = context(handle);
    if (DirCode code = injected("dcAttrCount", c ? c->tree.get() : nullptr)) return code;
    if (c == nullptr) return simcode::kBadContext;
    Buffer* b = buffer(reply);
    if (b == nullptr) return simcode::kInvalidHandle;
    if (b->reply.kind != Reply::Kind::Attributes) return simcode::kBufferEmpty;
    count = static_cast<std::uint32_t>(b->reply.entries.size());
    return 0;
}

DirCode SimulatedClient::dcTakeAttr(DirContext handle, DirBuffer reply, char* name,
                                    std::size_t nameSize, DirAttrInfo& info) {
    Context* c = context(handle);
    if (c == nullptr) return Either(injected("dcTakeAttr", nullptr), simcode::kBadContext);
    Buffer* b = buffer(reply);
    if (b == nullptr) return Either(injected("dcTakeAttr", c->tree.get()), simcode::kInvalidHandle);
    Reply& r = b->reply;
    if (r.kind != Reply::Kind::Attributes || r.next >= r.entries.size() ||
        r.entries[r.next] >= r.tree->attributes.size())
        return Either(injected("dcTakeAttr", r.tree.get()), simcode::kBufferEmpty);
    const SimAttr& attr = r.tree->attributes[r.entries[r.next++]];
    if (DirCode code = injected("dcTakeAttr", r.tree.get(), attr.name)) return code;
    WriteText(name, nameSize, attr.name);
    info = r.infoType == 1 ? attr.info : DirAttrInfo{};
    return 0;
}

std::unique_ptr<MessageLibrary> SimulatedClient::loadMessageLibrary() {
    // Sources explain their failures, so a directory with sources always has a library.
    const bool sources = std::any_of(directory_.connections.begin(), directory_.connections.end(),
                                     [](const SimConnection& c) { return c.source != nullptr; });
    if (!directory_.messages && !sources) return nullptr;
    std::map<std::int32_t, std::string> table =
        directory_.messages.value_or(std::map<std::int32_t, std::string>{});
    for (const auto& [number, text] : sourceMessages_) table[number] = text;
    return std::make_unique<TableLibrary>(std::move(table));
}
