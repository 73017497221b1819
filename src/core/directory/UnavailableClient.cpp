// The client of a workstation without a usable directory client configuration.
#include <cstring>

#include "core/directory/UnavailableClient.h"

namespace {

constexpr ConnCode kNotReady = 0xFFFF;
constexpr DirCode kNoContext = -1;

class ReasonLibrary : public MessageLibrary {
  public:
    explicit ReasonLibrary(std::string reason) : reason_(std::move(reason)) {}
    std::optional<std::string> NWstrerror(std::int32_t code) override {
        if (code == static_cast<std::int32_t>(kNotReady)) return reason_;
        return std::string("Unknown error");
    }

  private:
    std::string reason_;
};

class UnavailableClient : public DirClient {
  public:
    explicit UnavailableClient(std::string reason) : reason_(std::move(reason)) {}

    ConnCode dcStartup(void*, void*) override { return kNotReady; }
    ConnCode dcPrimaryConnection(ConnRef&) override { return kNotReady; }
    ConnCode dcNextConnection(std::uint32_t&, ConnRef&) override { return kNotReady; }
    ConnCode dcOpenConnection(ConnRef, std::uint32_t, std::uint32_t, ConnHandle&) override {
        return kNotReady;
    }
    ConnCode dcConnectionTree(ConnRef, std::uint32_t, std::uint32_t, char*) override {
        return kNotReady;
    }
    DirCode dcNewContext(DirContext& context) override {
        context = 0;
        return kNoContext;
    }
    DirCode dcDropContext(DirContext) override { return kNoContext; }
    DirCode dcReadContext(DirContext, std::uint32_t, void*) override { return kNoContext; }
    DirCode dcWriteContext(DirContext, std::uint32_t, const void*) override { return kNoContext; }
    DirCode dcHomeContext(DirContext, std::uint32_t, char*) override { return kNoContext; }
    DirCode dcNewBuffer(std::uint32_t, DirBuffer& buffer) override {
        buffer = 0;
        return kNoContext;
    }
    DirCode dcDropBuffer(DirBuffer) override { return kNoContext; }
    DirCode dcStartRequest(DirContext, std::uint32_t, DirBuffer) override { return kNoContext; }
    DirCode dcAddClassName(DirContext, DirBuffer, const char*) override { return kNoContext; }
    DirCode dcAddAttrName(DirContext, DirBuffer, const char*) override { return kNoContext; }
    DirCode dcFetchClasses(DirContext, std::uint32_t, std::uint32_t, DirBuffer, std::int32_t&,
                           DirBuffer) override {
        return kNoContext;
    }
    DirCode dcClassCount(DirContext, DirBuffer, std::uint32_t&) override { return kNoContext; }
    DirCode dcTakeClass(DirContext, DirBuffer, char*, std::size_t, DirClassInfo&) override {
        return kNoContext;
    }
    DirCode dcItemCount(DirContext, DirBuffer, std::uint32_t&) override { return kNoContext; }
    DirCode dcTakeItem(DirContext, DirBuffer, char*, std::size_t) override { return kNoContext; }
    DirCode dcFetchAttributes(DirContext, std::uint32_t, std::uint32_t, DirBuffer, std::int32_t&,
                              DirBuffer) override {
        return kNoContext;
    }
    DirCode dcAttrCount(DirContext, DirBuffer, std::uint32_t&) override { return kNoContext; }
    DirCode dcTakeAttr(DirContext, DirBuffer, char*, std::size_t, DirAttrInfo&) override {
        return kNoContext;
    }
    std::unique_ptr<MessageLibrary> loadMessageLibrary() override {
        if (reason_.empty()) return nullptr;
        return std::make_unique<ReasonLibrary>(reason_);
    }

  private:
    std::string reason_;
};

}  // namespace

std::unique_ptr<DirClient> CreateUnavailableClient(const std::string& reason) {
    return std::make_unique<UnavailableClient>(reason);
}
