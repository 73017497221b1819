#include "FakeDirClient.h"

#include <algorithm>
#include <cstring>

namespace {

std::string Quote(const char* text) {
    return text == nullptr ? std::string("null") : "\"" + std::string(text) + "\"";
}

std::string Args(std::initializer_list<std::string> args) {
    std::string out;
    for (const std::string& a : args) out += (out.empty() ? "" : ",") + a;
    return out;
}

std::string N(std::int64_t value) { return std::to_string(value); }

SimDirectory DefaultDirectory(const std::shared_ptr<SimTree>& tree) {
    SimDirectory d;
    d.connections.push_back({"FAKE_TREE", tree});
    d.primary = 0;
    return d;
}

}  // namespace

Asn1Id MakeAsn1Id(const std::vector<std::uint8_t>& bytes) {
    Asn1Id id;
    const std::size_t n = std::min<std::size_t>(bytes.size(), sizeof id.data);
    std::copy_n(bytes.begin(), n, id.data);
    id.length = static_cast<std::uint32_t>(n);
    return id;
}

FakeDirClient::FakeDirClient()
    : SimulatedClient(DefaultDirectory(std::make_shared<SimTree>())),
      tree_(directory().connections.front().tree) {}

SimClass& FakeDirClient::addClass(const std::string& name, std::uint32_t flags,
                                  const std::vector<std::uint8_t>& oidBytes,
                                  const std::vector<std::string>& superClasses,
                                  const std::vector<std::string>& containment,
                                  const std::vector<std::string>& naming,
                                  const std::vector<std::string>& mandatory,
                                  const std::vector<std::string>& optional) {
    SimClass c;
    c.name = name;
    c.flags = flags;
    c.id = MakeAsn1Id(oidBytes);
    c.items = {superClasses, containment, naming, mandatory, optional};
    tree_->classes.push_back(std::move(c));
    return tree_->classes.back();
}

SimAttr& FakeDirClient::addAttr(const std::string& name, std::uint32_t flags, std::uint32_t syntax,
                                std::int32_t lower, std::int32_t upper,
                                const std::vector<std::uint8_t>& oidBytes) {
    SimAttr a;
    a.name = name;
    a.info.attrFlags = flags;
    a.info.attrSyntaxID = syntax;
    a.info.attrLower = lower;
    a.info.attrUpper = upper;
    a.info.asn1ID = MakeAsn1Id(oidBytes);
    tree_->attributes.push_back(std::move(a));
    return tree_->attributes.back();
}

void FakeDirClient::setConnections(const std::vector<std::string>& treeNames) {
    directory().connections.clear();
    for (const std::string& name : treeNames) directory().connections.push_back({name, tree_});
}

std::shared_ptr<SimTree> FakeDirClient::addConnection(const std::string& treeName,
                                                      std::shared_ptr<SimTree> tree) {
    if (!tree) tree = std::make_shared<SimTree>();
    directory().connections.push_back({treeName, tree});
    return tree;
}

void FakeDirClient::failOn(const std::string& operation, std::int32_t code, std::uint32_t nthCall,
                           const std::string& name) {
    directory().failures.push_back({operation, name, code, nthCall});
}

void FakeDirClient::setContextTreeText(DirContext handle, const std::string& text) {
    if (Context* c = context(handle)) c->treeName = text;
}

std::vector<std::string> FakeDirClient::callNames() const {
    std::vector<std::string> names;
    for (const std::string& c : calls_) names.push_back(c.substr(0, c.find('(')));
    return names;
}

std::size_t FakeDirClient::count(const std::string& operation) const {
    const std::vector<std::string> names = callNames();
    return static_cast<std::size_t>(std::count(names.begin(), names.end(), operation));
}

ConnCode FakeDirClient::dcStartup(void* reserved1, void* reserved2) {
    log("dcStartup(" + Args({reserved1 ? "ptr" : "null", reserved2 ? "ptr" : "null"}) + ")");
    return SimulatedClient::dcStartup(reserved1, reserved2);
}

ConnCode FakeDirClient::dcPrimaryConnection(ConnRef& ref) {
    log("dcPrimaryConnection()");
    return SimulatedClient::dcPrimaryConnection(ref);
}

ConnCode FakeDirClient::dcNextConnection(std::uint32_t& scanPosition, ConnRef& ref) {
    log("dcNextConnection(" + N(scanPosition) + ")");
    return SimulatedClient::dcNextConnection(scanPosition, ref);
}

ConnCode FakeDirClient::dcOpenConnection(ConnRef ref, std::uint32_t mode, std::uint32_t reserved,
                                         ConnHandle& handle) {
    log("dcOpenConnection(" + Args({N(ref), N(mode), N(reserved)}) + ")");
    return SimulatedClient::dcOpenConnection(ref, mode, reserved, handle);
}

ConnCode FakeDirClient::dcConnectionTree(ConnRef ref, std::uint32_t kind, std::uint32_t size,
                                         char* buffer) {
    log("dcConnectionTree(" + Args({N(ref), N(kind), N(size)}) + ")");
    return SimulatedClient::dcConnectionTree(ref, kind, size, buffer);
}

DirCode FakeDirClient::dcNewContext(DirContext& handle) {
    log("dcNewContext()");
    return SimulatedClient::dcNewContext(handle);
}

DirCode FakeDirClient::dcDropContext(DirContext handle) {
    log("dcDropContext(" + N(handle) + ")");
    return SimulatedClient::dcDropContext(handle);
}

DirCode FakeDirClient::dcReadContext(DirContext handle, std::uint32_t key, void* value) {
    log("dcReadContext(" + Args({N(handle), N(key)}) + ")");
    return SimulatedClient::dcReadContext(handle, key, value);
}

DirCode FakeDirClient::dcWriteContext(DirContext handle, std::uint32_t key, const void* value) {
    std::string shown = "null";
    if (value != nullptr)
        shown = key == DCK_FLAGS ? N(*static_cast<const std::uint32_t*>(value))
                                 : Quote(static_cast<const char*>(value));
    log("dcWriteContext(" + Args({N(handle), N(key), shown}) + ")");
    return SimulatedClient::dcWriteContext(handle, key, value);
}

DirCode FakeDirClient::dcHomeContext(DirContext handle, std::uint32_t size, char* buffer) {
    log("dcHomeContext(" + Args({N(handle), N(size)}) + ")");
    return SimulatedClient::dcHomeContext(handle, size, buffer);
}

DirCode FakeDirClient::dcNewBuffer(std::uint32_t size, DirBuffer& buffer) {
    log("dcNewBuffer(" + N(size) + ")");
    return SimulatedClient::dcNewBuffer(size, buffer);
}

DirCode FakeDirClient::dcDropBuffer(DirBuffer buffer) {
    log("dcDropBuffer(" + N(buffer) + ")");
    return SimulatedClient::dcDropBuffer(buffer);
}

DirCode FakeDirClient::dcStartRequest(DirContext handle, std::uint32_t operation,
                                      DirBuffer buffer) {
    log("dcStartRequest(" + Args({N(handle), N(operation), N(buffer)}) + ")");
    return SimulatedClient::dcStartRequest(handle, operation, buffer);
}

DirCode FakeDirClient::dcAddClassName(DirContext handle, DirBuffer request, const char* name) {
    log("dcAddClassName(" + Args({N(handle), N(request), Quote(name)}) + ")");
    return SimulatedClient::dcAddClassName(handle, request, name);
}

DirCode FakeDirClient::dcAddAttrName(DirContext handle, DirBuffer request, const char* name) {
    log("dcAddAttrName(" + Args({N(handle), N(request), Quote(name)}) + ")");
    return SimulatedClient::dcAddAttrName(handle, request, name);
}

DirCode FakeDirClient::dcFetchClasses(DirContext handle, std::uint32_t infoType,
                                      std::uint32_t allClasses, DirBuffer request,
                                      std::int32_t& iterationHandle, DirBuffer reply) {
    log("dcFetchClasses(" +
        Args({N(handle), N(infoType), N(allClasses), N(request), N(iterationHandle), N(reply)}) +
        ")");
    if (stuck_) iterationHandle = -1;
    const DirCode code = SimulatedClient::dcFetchClasses(handle, infoType, allClasses, request,
                                                         iterationHandle, reply);
    if (stuck_ && code == 0) iterationHandle = *stuck_;
    return code;
}

DirCode FakeDirClient::dcClassCount(DirContext handle, DirBuffer reply, std::uint32_t& count) {
    log("dcClassCount(" + Args({N(handle), N(reply)}) + ")");
    return SimulatedClient::dcClassCount(handle, reply, count);
}

DirCode FakeDirClient::dcTakeClass(DirContext handle, DirBuffer reply, char* name,
                                   std::size_t nameSize, DirClassInfo& info) {
    log("dcTakeClass(" + Args({N(handle), N(reply), N(static_cast<std::int64_t>(nameSize))}) + ")");
    return SimulatedClient::dcTakeClass(handle, reply, name, nameSize, info);
}

DirCode FakeDirClient::dcItemCount(DirContext handle, DirBuffer reply, std::uint32_t& count) {
    log("dcItemCount(" + Args({N(handle), N(reply)}) + ")");
    return SimulatedClient::dcItemCount(handle, reply, count);
}

DirCode FakeDirClient::dcTakeItem(DirContext handle, DirBuffer reply, char* name,
                                  std::size_t nameSize) {
    log("dcTakeItem(" + Args({N(handle), N(reply), N(static_cast<std::int64_t>(nameSize))}) + ")");
    return SimulatedClient::dcTakeItem(handle, reply, name, nameSize);
}

DirCode FakeDirClient::dcFetchAttributes(DirContext handle, std::uint32_t infoType,
                                         std::uint32_t allAttributes, DirBuffer request,
                                         std::int32_t& iterationHandle, DirBuffer reply) {
    log("dcFetchAttributes(" +
        Args({N(handle), N(infoType), N(allAttributes), N(request), N(iterationHandle), N(reply)}) +
        ")");
    if (stuck_) iterationHandle = -1;
    const DirCode code = SimulatedClient::dcFetchAttributes(handle, infoType, allAttributes,
                                                            request, iterationHandle, reply);
    if (stuck_ && code == 0) iterationHandle = *stuck_;
    return code;
}

DirCode FakeDirClient::dcAttrCount(DirContext handle, DirBuffer reply, std::uint32_t& count) {
    log("dcAttrCount(" + Args({N(handle), N(reply)}) + ")");
    return SimulatedClient::dcAttrCount(handle, reply, count);
}

DirCode FakeDirClient::dcTakeAttr(DirContext handle, DirBuffer reply, char* name,
                                  std::size_t nameSize, DirAttrInfo& info) {
    log("dcTakeAttr(" + Args({N(handle), N(reply), N(static_cast<std::int64_t>(nameSize))}) + ")");
    return SimulatedClient::dcTakeAttr(handle, reply, name, nameSize, info);
}

std::unique_ptr<MessageLibrary> FakeDirClient::loadMessageLibrary() {
    log("loadMessageLibrary()");
    return SimulatedClient::loadMessageLibrary();
}
