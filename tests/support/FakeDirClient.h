// A scripted directory client for tests: the simulated directory with its data set up in
// code, any operation made to answer a chosen code on a chosen call, and every call logged.
//
//   FakeDirClient fake;                      // one tree "FAKE_TREE", reached and primary
//   fake.addClass("Person", 0x02, {0x06, 0x03, 0x55, 0x06, 0x06}, {"Top"}, {"Organization"},
//                 {"CN"}, {"CN", "Surname"}, {"Description"});
//   fake.addAttr("CN", 0x83, 3, 1, 64);
//   fake.failOn("dcTakeClass", -601, 2);    // the second take fails
//   fake.setBatchSize(3);
//   ... fake.calls() ...                     // {"dcNewBuffer(4096)", "dcStartRequest(1,15,1)",
//   ...}
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/directory/SimulatedClient.h"

class FakeDirClient : public SimulatedClient {
  public:
    FakeDirClient();

    // ---- Data of the default tree (or of the tree given)
    SimClass& addClass(const std::string& name, std::uint32_t flags,
                       const std::vector<std::uint8_t>& oidBytes = {},
                       const std::vector<std::string>& superClasses = {},
                       const std::vector<std::string>& containment = {},
                       const std::vector<std::string>& naming = {},
                       const std::vector<std::string>& mandatory = {},
                       const std::vector<std::string>& optional = {});
    SimAttr& addAttr(const std::string& name, std::uint32_t flags, std::uint32_t syntax,
                     std::int32_t lower = 0, std::int32_t upper = 0,
                     const std::vector<std::uint8_t>& oidBytes = {});
    void setBatchSize(std::uint32_t size) { tree_->batchSize = size; }
    void setDefaultContext(const std::string& text) { tree_->defaultContext = text; }
    std::shared_ptr<SimTree> tree() const { return tree_; }

    // ---- Connections: by default one, "FAKE_TREE", the primary one
    // Replaces the connections by these reported names, all reaching the default tree.
    void setConnections(const std::vector<std::string>& treeNames);
    // Adds a connection to the given tree, or to a new empty one; returns that tree.
    std::shared_ptr<SimTree> addConnection(const std::string& treeName,
                                           std::shared_ptr<SimTree> tree = nullptr);
    void setPrimary(std::optional<std::size_t> index) { directory().primary = index; }

    // ---- Messages: none by default (no message library)
    void setMessageTable(std::map<std::int32_t, std::string> table) {
        directory().messages = std::move(table);
    }
    void clearMessageTable() { directory().messages.reset(); }

    // ---- Scripting
    // The operation answers code on its nthCall-th call (counted from 1), or on every call
    // when nthCall is 0; with a name, only calls about that class or attribute count.
    void failOn(const std::string& operation, std::int32_t code, std::uint32_t nthCall = 0,
                const std::string& name = {});
    // Sets the tree-name text a context reports, as a client might ("CN=TREE").
    void setContextTreeText(DirContext context, const std::string& text);
    // A client stuck on one batch: every fetch answers the first batch again and leaves
    // this iteration handle; nullopt ends it.
    void stickIterationHandle(std::optional<std::int32_t> handle) { stuck_ = handle; }

    // ---- What was called
    const std::vector<std::string>& calls() const { return calls_; }
    // The operation names alone, in call order.
    std::vector<std::string> callNames() const;
    std::size_t count(const std::string& operation) const;
    void clearCalls() { calls_.clear(); }

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

  private:
    void log(std::string entry) { calls_.push_back(std::move(entry)); }

    std::shared_ptr<SimTree> tree_;
    std::vector<std::string> calls_;
    std::optional<std::int32_t> stuck_;
};

// An identifier record of these bytes, length = their count (at most 32 are kept).
Asn1Id MakeAsn1Id(const std::vector<std::uint8_t>& bytes);
