// The simulated directory: connections, contexts, buffers and schema reads served from
// tree descriptions held in memory. It is the embedded default client and also the engine
// under the tests' scripted fake.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/directory/DirClient.h"
#include "core/directory/RecordView.h"
#include "core/model/PublishedSchema.h"
#include "core/model/TreeSchema.h"

// The codes this client answers with. Connection codes are 16-bit; directory codes are
// negative, in the ranges a NetWare client uses.
namespace simcode {
inline constexpr ConnCode kNotReady = 0xFFFF;
inline constexpr ConnCode kInvalidConnection = 0x8801;
inline constexpr ConnCode kInvalidParameter = 0x8836;
inline constexpr ConnCode kNoPrimaryConnection = 0x880F;
inline constexpr ConnCode kNoMoreConnections = 0x8847;

inline constexpr DirCode kNotEnoughMemory = -301;
inline constexpr DirCode kBadKey = -302;
inline constexpr DirCode kBadContext = -303;
inline constexpr DirCode kBufferFull = -304;
inline constexpr DirCode kBufferEmpty = -307;
inline constexpr DirCode kBadVerb = -308;
inline constexpr DirCode kInvalidHandle = -322;
inline constexpr DirCode kBadIteration = -327;
inline constexpr DirCode kNoSuchAttribute = -603;
inline constexpr DirCode kNoSuchClass = -604;
inline constexpr DirCode kTreeNotFound = -634;
inline constexpr DirCode kInsufficientBuffer = -649;
}  // namespace simcode

// Makes an operation answer a chosen code. With a name, only calls about that class or
// attribute count (case-insensitive); with call n > 0, only the n-th counted call fails,
// with 0 every one does. Takes and item counts still consume their entry, so a failed
// take skips that entry just as a real client's would.
struct SimFailure {
    std::string operation;
    std::string name;
    DirCode code = 0;
    std::uint32_t call = 0;
};

struct SimTree {
    std::string defaultContext;
    std::vector<SimClass> classes;
    std::vector<SimAttr> attributes;
    std::uint32_t batchSize = 0;  // 0: as many as the reply buffer holds
    std::vector<SimFailure> failures;
    // What an LDAP server or schema files publish; none for a tree description.
    std::shared_ptr<PublishedSchema> published;
};

// A tree read from elsewhere (a live LDAP server, schema files) each time a slot changes
// to it. The operations serve such a tree too, from its records.
using SimTreeSource = SchemaSource;

struct SimConnection {
    std::string treeName;  // as the client reports it, padding and all
    std::shared_ptr<SimTree> tree;
    std::shared_ptr<SimTreeSource> source = nullptr;  // when set, it gives the tree
};

struct SimDirectory {
    std::vector<SimConnection> connections;  // in scan order
    std::optional<std::size_t> primary;
    // Error code to text; without a table there is no message library.
    std::optional<std::map<std::int32_t, std::string>> messages;
    std::vector<SimFailure> failures;  // for any operation, whatever the tree
    std::string leftOut;               // the configuration's parts left out, one a line
};

// The most bytes a tree name of the directory client has, its padding aside.
inline constexpr std::size_t kTreeNameBytes = 32;

// The form under which a tree name is looked up: the whole name, trailing underscores
// dropped, ASCII letters upper-cased.
std::string TreeLookupKey(const std::string& name);

// The tree a mapped schema is served as: its classes, attributes and published
// definitions, with the schema's origin.
SimTree ServedTree(const TreeSchema& schema);

class SimulatedClient : public DirClient {
  public:
    explicit SimulatedClient(SimDirectory directory);

    ConnCode dcStartup(void* reserved1, void* reserved2) override;
    ConnCode dcPrimaryConnection(ConnRef& ref) override;
    ConnCode dcNextConnection(std::uint32_t& scanPosition, ConnRef& ref) override;
    ConnCode dcOpenConnection(ConnRef ref, std::uint32_t mode, std::uint32_t reserved,
                              ConnHandle& handle) override;
    ConnCode dcConnectionTree(ConnRef ref, std::uint32_t kind, std::uint32_t size,
                              char* buffer) override;

    DirCode dcNewContext(DirContext& context) override;
    DirCode dcDropContext(DirContext context) override;
    DirCode dcReadContext(DirContext context, std::uint32_t key, void* value) override;
    DirCode dcWriteContext(DirContext context, std::uint32_t key, const void* value) override;
    DirCode dcHomeContext(DirContext context, std::uint32_t size, char* buffer) override;

    DirCode dcNewBuffer(std::uint32_t size, DirBuffer& buffer) override;
    DirCode dcDropBuffer(DirBuffer buffer) override;
    DirCode dcStartRequest(DirContext context, std::uint32_t operation, DirBuffer buffer) override;
    DirCode dcAddClassName(DirContext context, DirBuffer request, const char* name) override;
    DirCode dcAddAttrName(DirContext context, DirBuffer request, const char* name) override;

    DirCode dcFetchClasses(DirContext context, std::uint32_t infoType, std::uint32_t allClasses,
                           DirBuffer request, std::int32_t& iterationHandle,
                           DirBuffer reply) override;
    DirCode dcClassCount(DirContext context, DirBuffer reply, std::uint32_t& count) override;
    DirCode dcTakeClass(DirContext context, DirBuffer reply, char* name, std::size_t nameSize,
                        DirClassInfo& info) override;
    DirCode dcItemCount(DirContext context, DirBuffer reply, std::uint32_t& count) override;
    DirCode dcTakeItem(DirContext context, DirBuffer reply, char* name,
                       std::size_t nameSize) override;

    DirCode dcFetchAttributes(DirContext context, std::uint32_t infoType,
                              std::uint32_t allAttributes, DirBuffer request,
                              std::int32_t& iterationHandle, DirBuffer reply) override;
    DirCode dcAttrCount(DirContext context, DirBuffer reply, std::uint32_t& count) override;
    DirCode dcTakeAttr(DirContext context, DirBuffer reply, char* name, std::size_t nameSize,
                       DirAttrInfo& info) override;

    std::unique_ptr<MessageLibrary> loadMessageLibrary() override;
    std::shared_ptr<SchemaSource> treeSource(const std::string& treeName) override;
    std::string configurationNotice() override { return directory_.leftOut; }

    // Buffers created and not yet dropped.
    std::size_t liveBuffers() const { return buffers_.size(); }
    std::size_t liveContexts() const { return contexts_.size(); }

  protected:
    // Upper-cased names to their first entry, so reading one definition of a large tree
    // does not search the whole tree; built for the tree and sizes it was made from.
    struct NameIndex {
        const SimTree* tree = nullptr;
        std::size_t classCount = 0;
        std::size_t attrCount = 0;
        std::unordered_map<std::string, std::size_t> classes;
        std::unordered_map<std::string, std::size_t> attributes;
    };
    struct Context {
        std::uint32_t flags = 0;
        std::string nameContext;
        std::string treeName;  // as last written
        std::shared_ptr<SimTree> tree;
        NameIndex index;
    };
    SimDirectory& directory() { return directory_; }
    // The context's state, or nullptr for an unknown handle.
    Context* context(DirContext handle);

  private:
    struct Reply {
        enum class Kind { None, Classes, Attributes } kind = Kind::None;
        std::uint32_t infoType = 0;
        std::shared_ptr<SimTree> tree;
        std::vector<std::size_t> entries;  // indices into the tree's classes or attributes
        std::size_t next = 0;              // the next entry to take
        std::size_t current = SIZE_MAX;    // the class whose item lists are being walked
        int list = -1;                     // the item list counted last
        std::size_t item = 0;              // the next item of that list
    };
    struct Buffer {
        std::uint32_t size = 0;
        std::uint32_t operation = 0;  // 0 until a request is started in it
        std::uint32_t used = 0;       // bytes the request's names take
        std::vector<std::string> names;
        Reply reply;
    };

    // The code an injected failure gives this call, or 0.
    DirCode injected(const char* operation, const SimTree* tree,
                     const std::vector<std::string>& names);
    DirCode injected(const char* operation, const SimTree* tree, const std::string& name = {});
    const SimConnection* connection(ConnRef ref) const;
    // The first class (or attribute) of the context's tree with that name, or SIZE_MAX.
    static std::size_t findEntry(Context& context, bool classes, const std::string& name);
    // The connection's tree name; a source names a connection that has none, once.
    const std::string& connectionTreeName(std::size_t index);
    std::optional<std::size_t> findConnection(const std::string& name);
    // The connection's tree, read afresh from its source when it has one.
    DirCode treeOf(std::size_t index, std::shared_ptr<SimTree>& tree);
    Buffer* buffer(DirBuffer handle);
    // Picks the requested entries, or all, and the batch that starts at the handle.
    DirCode fetch(const char* operation, DirContext context, std::uint32_t infoType, bool all,
                  DirBuffer request, std::int32_t& iterationHandle, DirBuffer reply,
                  Reply::Kind kind);

    SimDirectory directory_;
    std::map<DirContext, Context> contexts_;
    std::map<DirBuffer, Buffer> buffers_;
    DirContext nextContext_ = 1;
    DirBuffer nextBuffer_ = 1;
    // Calls counted so far per failure rule: (tree or null, rule index).
    std::map<std::pair<const void*, std::size_t>, std::uint32_t> failureCalls_;
    // What the sources said about their codes, latest first: the message table's news.
    std::map<std::int32_t, std::string> sourceMessages_;
};
