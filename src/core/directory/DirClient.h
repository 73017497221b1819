// The directory client as the program sees it: one virtual function per client
// operation, with the client's own records. D_NW calls nothing else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class SchemaSource;

// Setup and connection operations answer 16-bit codes, directory operations 32-bit ones.
using ConnCode = std::uint32_t;
using DirCode = std::int32_t;
using DirContext = std::uint32_t;
using DirBuffer = std::uint32_t;  // opaque handle, 0 = none
using ConnRef = std::uint32_t;
using ConnHandle = std::uint32_t;

struct Asn1Id {
    std::uint32_t length = 0;  // bytes of data in use
    std::uint8_t data[32] = {};
};
static_assert(sizeof(Asn1Id) == 36);

struct DirClassInfo {
    std::uint32_t classFlags = 0;
    Asn1Id asn1ID;
};
static_assert(sizeof(DirClassInfo) == 40);

struct DirAttrInfo {
    std::uint32_t attrFlags = 0;
    std::uint32_t attrSyntaxID = 0;
    std::int32_t attrLower = 0;
    std::int32_t attrUpper = 0;
    Asn1Id asn1ID;
};
static_assert(sizeof(DirAttrInfo) == 52);

// Context keys.
inline constexpr std::uint32_t DCK_FLAGS = 1;
inline constexpr std::uint32_t DCK_NAME_CONTEXT = 3;
inline constexpr std::uint32_t DCK_TREE_NAME = 11;
inline constexpr std::size_t DCK_TEXT_SIZE = 256;

// Request operations.
inline constexpr std::uint32_t DSV_READ_ATTR_DEF = 12;
inline constexpr std::uint32_t DSV_READ_CLASS_DEF = 15;

// The client's message library ("NWERR32.DLL"): loaded for one lookup, then released.
class MessageLibrary {
  public:
    virtual ~MessageLibrary() = default;
    // The "NWstrerror" export; nullopt when the library lacks it.
    virtual std::optional<std::string> NWstrerror(std::int32_t code) = 0;
};

// Every text buffer the client writes into comes with its size; the client writes at
// most size - 1 bytes and a terminating NUL, so a long name is cut, never overflows.
class DirClient {
  public:
    virtual ~DirClient() = default;

    virtual ConnCode dcStartup(void* reserved1, void* reserved2) = 0;
    virtual ConnCode dcPrimaryConnection(ConnRef& ref) = 0;
    virtual ConnCode dcNextConnection(std::uint32_t& scanPosition, ConnRef& ref) = 0;
    virtual ConnCode dcOpenConnection(ConnRef ref, std::uint32_t mode, std::uint32_t reserved,
                                      ConnHandle& handle) = 0;
    virtual ConnCode dcConnectionTree(ConnRef ref, std::uint32_t kind, std::uint32_t size,
                                      char* buffer) = 0;

    virtual DirCode dcNewContext(DirContext& context) = 0;
    virtual DirCode dcDropContext(DirContext context) = 0;
    // Key 1 reads a std::uint32_t; keys 3 and 11 read text into DCK_TEXT_SIZE bytes.
    virtual DirCode dcReadContext(DirContext context, std::uint32_t key, void* value) = 0;
    // Key 1 takes a const std::uint32_t*; keys 3 and 11 a NUL-terminated text.
    virtual DirCode dcWriteContext(DirContext context, std::uint32_t key, const void* value) = 0;
    virtual DirCode dcHomeContext(DirContext context, std::uint32_t size, char* buffer) = 0;

    virtual DirCode dcNewBuffer(std::uint32_t size, DirBuffer& buffer) = 0;
    virtual DirCode dcDropBuffer(DirBuffer buffer) = 0;
    virtual DirCode dcStartRequest(DirContext context, std::uint32_t operation,
                                   DirBuffer buffer) = 0;
    virtual DirCode dcAddClassName(DirContext context, DirBuffer request, const char* name) = 0;
    virtual DirCode dcAddAttrName(DirContext context, DirBuffer request, const char* name) = 0;

    virtual DirCode dcFetchClasses(DirContext context, std::uint32_t infoType,
                                   std::uint32_t allClasses, DirBuffer request,
                                   std::int32_t& iterationHandle, DirBuffer reply) = 0;
    virtual DirCode dcClassCount(DirContext context, DirBuffer reply, std::uint32_t& count) = 0;
    virtual DirCode dcTakeClass(DirContext context, DirBuffer reply, char* name,
                                std::size_t nameSize, DirClassInfo& info) = 0;
    virtual DirCode dcItemCount(DirContext context, DirBuffer reply, std::uint32_t& count) = 0;
    virtual DirCode dcTakeItem(DirContext context, DirBuffer reply, char* name,
                               std::size_t nameSize) = 0;

    // request is 0 when none is passed.
    virtual DirCode dcFetchAttributes(DirContext context, std::uint32_t infoType,
                                      std::uint32_t allAttributes, DirBuffer request,
                                      std::int32_t& iterationHandle, DirBuffer reply) = 0;
    virtual DirCode dcAttrCount(DirContext context, DirBuffer reply, std::uint32_t& count) = 0;
    virtual DirCode dcTakeAttr(DirContext context, DirBuffer reply, char* name,
                               std::size_t nameSize, DirAttrInfo& info) = 0;

    // Loads the message library afresh; nullptr when there is none.
    virtual std::unique_ptr<MessageLibrary> loadMessageLibrary() = 0;

    // Beside the operations: where a tree the client reads whole (an LDAP server, schema
    // files) comes from, so it is read once into a schema rather than served piecemeal.
    // nullptr for a tree read through the operations, or one the client does not know.
    virtual std::shared_ptr<SchemaSource> treeSource(const std::string& treeName) {
        (void)treeName;
        return nullptr;
    }

    // What the client's configuration holds that it cannot use and left out, one line each;
    // empty when it uses all of it. The session start says it once.
    virtual std::string configurationNotice() { return {}; }
};
