#include "core/directory/D_NW.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "core/D_Util.h"

namespace {

constexpr std::uint32_t kRequestSize = kDirRequestSize;
constexpr std::uint32_t kClassNamesReplySize = kDirClassNamesReplySize;
constexpr std::uint32_t kLargeReplySize = 64512;
constexpr std::size_t kClassNameSize = kDirNameBufferSize;
// Attribute names as long as class names: a longer name in a smaller buffer would be cut,
// and two names alike up to the cut would read as one.
constexpr std::size_t kAttrNameSize = kDirNameBufferSize;
// Items name classes and attributes, so they get the larger of those reads' buffers.
constexpr std::size_t kItemNameSize = kClassNameSize;
static_assert(kMaxClassNameBytes < kClassNameSize && kMaxAttrNameBytes < kAttrNameSize);
constexpr std::uint32_t kTreeNameSize = 255;
constexpr std::size_t kTreeNameMax = 32;
constexpr std::uint32_t kConnectionTreeKind = 4;

const char* const kNotInitialized = "Could not initialize NetWare Client. InitNetWare";
const char* const kNoConnection = "Could not find server/tree connection. InitNetWare";
const char* const kLeftOut =
    "The directory client leaves out what it cannot use of its configuration:\n";

// Text the client wrote into a buffer, read up to its NUL and never past the buffer.
template <std::size_t N>
std::string BufferText(const std::array<char, N>& buffer) {
    return std::string(buffer.data(), strnlen(buffer.data(), N));
}

bool HoldsName(const std::vector<std::string>& list, const std::string& name) {
    const std::string key = NameKey(name);
    for (const std::string& entry : list)
        if (NameKey(entry) == key) return true;
    return false;
}

// Creates the request for one class read and the reply buffer; on failure releases what
// it made and gives the code.
DirCode StartClassRead(DirClient& client, DirContext context, const std::string& className,
                       DirBuffer& request, DirBuffer& reply) {
    request = 0;
    reply = 0;
    DirCode code = client.dcNewBuffer(kRequestSize, request);
    if (code != 0) return code;
    code = client.dcStartRequest(context, DSV_READ_CLASS_DEF, request);
    if (code == 0) {
        client.dcAddClassName(context, request, StrAsPChar(className));
        code = client.dcNewBuffer(kLargeReplySize, reply);
    }
    if (code != 0) client.dcDropBuffer(request);
    return code;
}

struct ClassFlagWord {
    std::uint32_t bit;
    const char* word;
};
constexpr ClassFlagWord kClassFlags[] = {
    {0x20, "Auxiliary"},
    {0x02, "Effective"},
    {0x40, "Operational"},
    {0x04, "Non-Removable"},
    {0x01, "Container"},
    {0x08, "Ambiguous Naming"},
    {0x10, "Ambiguous Containment"},
};

struct AttrFlagWord {
    std::uint32_t bit;
    const char* word;  // nullptr: the "Sized" word with the bounds
};
constexpr AttrFlagWord kAttrFlags[] = {
    {0x001, "SglVal"},  {0x002, nullptr},  {0x004, "NonRem"},   {0x008, "RdOnly"},
    {0x010, "Hidden"},  {0x020, "String"}, {0x080, "PublRd"},   {0x100, "SrvrRd"},
    {0x200, "WrtMngd"}, {0x400, "PerRep"}, {0x040, "SyncImdt"}, {0x800, "SyncNever"},
};

constexpr const char* kSyntaxNames[] = {
    "UNKNOWN",
    "DIST_NAME",
    "CE_STRING",
    "CI_STRING",
    "PR_STRING",
    "NU_STRING",
    "CI_LIST",
    "BOOLEAN",
    "INTEGER",
    "OCTET_STRING",
    "TEL_NUMBER",
    "FAX_NUMBER",
    "NET_ADDRESS",
    "OCTET_LIST",
    "EMAIL_ADDRESS",
    "PATH",
    "REPLICA_POINTER",
    "OBJECT_ACL",
    "PO_ADDRESS",
    "TIMESTAMP",
    "CLASS_NAME",
    "STREAM",
    "COUNTER",
    "BACK_LINK",
    "TIME",
    "TYPED_NAME",
    "HOLD",
    "INTERVAL",
    "COMPONENT",
    "ENUM_COMPONENT",
    "NULL",
    "OID",
    "ENUMERATED",
    "SET",
    "SEQUENCE",
    "CHOICE",
    "ANY",
    "SYNTAX_COUNT",
};
static_assert(std::size(kSyntaxNames) == 38);

// An identifier arc of any size (UUID arcs exceed 64 bits), in base-10^9 digits.
class ArcNumber {
  public:
    void Shift7(std::uint32_t low) {  // value * 128 + low
        std::uint64_t carry = low;
        for (std::uint32_t& d : digits_) {
            const std::uint64_t v = std::uint64_t{d} * 128u + carry;
            d = static_cast<std::uint32_t>(v % kBase);
            carry = v / kBase;
        }
        for (; carry != 0; carry /= kBase)
            digits_.push_back(static_cast<std::uint32_t>(carry % kBase));
    }
    bool Below(std::uint32_t limit) const {
        return digits_.empty() || (digits_.size() == 1 && digits_[0] < limit);
    }
    std::uint32_t Low() const { return digits_.empty() ? 0 : digits_[0]; }
    ArcNumber& Minus80() {  // the value is at least 80
        std::uint32_t borrow = 80;
        for (std::size_t i = 0; i < digits_.size() && borrow != 0; ++i) {
            if (digits_[i] >= borrow) {
                digits_[i] -= borrow;
                borrow = 0;
            } else {
                digits_[i] = digits_[i] + kBase - borrow;
                borrow = 1;
            }
        }
        while (!digits_.empty() && digits_.back() == 0) digits_.pop_back();
        return *this;
    }
    std::string Text() const {
        if (digits_.empty()) return "0";
        std::array<char, 16> part{};
        std::snprintf(part.data(), part.size(), "%u", digits_.back());
        std::string text = part.data();
        for (std::size_t i = digits_.size() - 1; i-- > 0;) {
            std::snprintf(part.data(), part.size(), "%09u", digits_[i]);
            text += part.data();
        }
        return text;
    }

  private:
    static constexpr std::uint32_t kBase = 1000000000u;
    std::vector<std::uint32_t> digits_;  // least significant first; none is 0
};

// The first two arcs from one first number under 80 (or one first byte, whatever it is).
std::string ArcPairText(unsigned number) {
    std::array<char, 32> part{};
    std::snprintf(part.data(), part.size(), "%u.%u", number / 40, number % 40);
    return part.data();
}

}  // namespace

// ---- Session and tree list

std::uint32_t InitNetWare(DirClient& client, NwSession& session, UiHooks& ui) {
    if (session.connectionHandle != 0xFFFF) return 0;
    ConnCode code = client.dcStartup(nullptr, nullptr);
    if (code == 0) {
        ConnRef ref = 0;
        code = client.dcPrimaryConnection(ref);
        if (code != 0) {
            std::uint32_t scanPosition = 0;
            code = client.dcNextConnection(scanPosition, ref);
        }
        if (code == 0) {
            ConnHandle handle = 0xFFFF;
            code = client.dcOpenConnection(ref, 1, 0, handle);
            if (code == 0) session.connectionHandle = handle;
        }
    }
    // A code wider than 16 bits is a fault of the client; it must not pass for success
    // just because its low half is zero.
    if (code != 0)
        ReportClientError(client, ui, code, code == 0xFFFF ? kNotInitialized : kNoConnection);
    // Connections left out of the configuration leave their trees out of the lists: said
    // once, so a missing tree is no mystery.
    else if (const std::string notice = client.configurationNotice(); !notice.empty())
        ShowMsgDlg(ui, DlgType::Warning, std::string(kLeftOut) + notice);
    return code;
}

void ListReachableTrees(DirClient& client, UiHooks& ui, std::vector<std::string>& list) {
    std::uint32_t scanPosition = 0;
    for (;;) {
        const std::uint32_t before = scanPosition;
        ConnRef ref = 0;
        if (client.dcNextConnection(scanPosition, ref) != 0) break;
        ui.processEvents();
        const std::string name = ConnectionTreeName(client, ref);
        if (!name.empty() && !HoldsName(list, name)) list.push_back(name);
        // A client that does not move on would keep the scan going for ever.
        if (scanPosition == before) break;
    }
}

int FindReachableTree(const std::vector<std::string>& trees, const std::string& name) {
    for (std::size_t i = 0; i < trees.size(); ++i)
        if (trees[i] == name) return static_cast<int>(i);
    const std::string upper = AsciiUpper(name);
    for (std::size_t i = 0; i < trees.size(); ++i)
        if (AsciiUpper(trees[i]) == upper) return static_cast<int>(i);
    return -1;
}

std::string ConnectionTreeName(DirClient& client, ConnRef ref, ConnCode* code) {
    std::array<char, kTreeNameSize> buffer{};
    const ConnCode result =
        client.dcConnectionTree(ref, kConnectionTreeKind, kTreeNameSize, buffer.data());
    if (code != nullptr) *code = result;
    if (result != 0) return {};
    std::string name = BufferText(buffer);
    if (name.size() > kTreeNameMax) name.resize(kTreeNameMax);
    return TrimTrailingChars(name, "_");
}

std::string ContextTreeName(DirClient& client, DirContext context) {
    std::array<char, DCK_TEXT_SIZE> buffer{};
    if (client.dcReadContext(context, DCK_TREE_NAME, buffer.data()) != 0) return {};
    return SubstituteStr(BufferText(buffer), "CN=", "", false, true);
}

DirCode DSChangeCurrentTree(DirClient& client, DirContext context, const std::string& treeName) {
    if (!treeName.empty() && AsciiUpper(treeName) != AsciiUpper(ContextTreeName(client, context))) {
        std::string name = treeName;
        const DirCode code = client.dcWriteContext(context, DCK_TREE_NAME, NulTerminatedBuf(name));
        if (code != 0) return code;
    }
    std::array<char, DCK_TEXT_SIZE> buffer{};
    std::string nameContext;
    if (client.dcHomeContext(context, DCK_TEXT_SIZE, buffer.data()) == 0)
        nameContext = BufferText(buffer);
    if (nameContext.empty()) nameContext = "[Root]";
    if (nameContext.front() == '.') nameContext.erase(0, 1);
    return client.dcWriteContext(context, DCK_NAME_CONTEXT, StrAsPChar(nameContext));
}

void ChangeContextFlags(DirClient& client, DirContext context, char sign, std::uint32_t bits) {
    if (sign != '+') return;
    std::uint32_t flags = bits;
    client.dcReadContext(context, DCK_FLAGS, &flags);
    flags |= bits;
    client.dcWriteContext(context, DCK_FLAGS, &flags);
}

std::string SystemErrorText(int number) {
    std::array<char, 256> buffer{};
    // The GNU strerror_r may answer with its own static text instead of the buffer.
#if defined(_GNU_SOURCE) && !defined(__APPLE__)
    std::string text = strerror_r(number, buffer.data(), buffer.size());
#else
    std::string text =
        strerror_r(number, buffer.data(), buffer.size()) == 0 ? buffer.data() : std::string();
#endif
    if (text.starts_with("Unknown error")) return {};
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 32))
    // Under a translated locale the "Unknown error" text is translated too; the
    // untranslated description tells whether the number has a message at all.
    if (strerrordesc_np(number) == nullptr) return {};
#endif
    std::size_t end = text.size();
    while (end > 0) {
        const unsigned char c = static_cast<unsigned char>(text[end - 1]);
        if (c > ' ' && c != '.' && c != 0x7F) break;
        --end;
    }
    text.resize(end);
    return text;
}

std::string ClientErrorText(DirClient& client, std::int64_t code) {
    std::array<char, 16> head{};
    std::snprintf(head.data(), head.size(), "0x%.4X", static_cast<std::uint32_t>(code));
    std::unique_ptr<MessageLibrary> library = client.loadMessageLibrary();
    if (!library) return head.data();
    std::string message = "Unknown error";
    if (std::optional<std::string> text = library->NWstrerror(static_cast<std::int32_t>(code)))
        message = *text;
    if (message == "Unknown error") message = SystemErrorText(static_cast<int>(code));
    library.reset();
    return std::string(head.data()) + " (" + message + ")";
}

std::string ClientMessageText(DirClient& client, std::int64_t code) {
    std::unique_ptr<MessageLibrary> library = client.loadMessageLibrary();
    if (!library) return {};
    std::optional<std::string> text = library->NWstrerror(static_cast<std::int32_t>(code));
    if (!text || *text == "Unknown error") return {};
    return *text;
}

void ReportDirectoryError(DirClient& client, UiHooks& ui, std::int64_t code,
                          const std::string& text) {
    if (code == 0) return;
    ui.showDirectoryError(code, text, ClientMessageText(client, code));
}

void ReportClientError(DirClient& client, UiHooks& ui, std::int64_t code, const std::string& what) {
    if (code == 0) return;
    ShowMsgDlg(ui, DlgType::Error, what + " returned error " + ClientErrorText(client, code));
}

// ---- Schema names and class definitions

DirCode U_DSReadAvailableClasses(DirClient& client, DirContext context, NameList& list) {
    DirBuffer request = 0;
    DirCode code = client.dcNewBuffer(kRequestSize, request);
    if (code != 0) return code;
    code = client.dcStartRequest(context, DSV_READ_CLASS_DEF, request);
    DirBuffer reply = 0;
    if (code == 0) code = client.dcNewBuffer(kClassNamesReplySize, reply);
    if (code != 0) {
        client.dcDropBuffer(request);
        return code;
    }
    std::int32_t iteration = -1;
    std::array<char, kClassNameSize> name{};
    do {
        code = client.dcFetchClasses(context, 3, 1, request, iteration, reply);
        if (code != 0) break;
        std::uint32_t count = 0;
        code = client.dcClassCount(context, reply, count);
        if (code != 0) count = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            DirClassInfo info;
            name.fill('\0');
            code = client.dcTakeClass(context, reply, name.data(), name.size(), info);
            if (code == 0) list.push_back({BufferText(name), info.classFlags});
        }
    } while (iteration != -1);
    client.dcDropBuffer(reply);
    client.dcDropBuffer(request);
    return code;
}

DirCode U_DSReadAvailableAttributes(DirClient& client, DirContext context, const std::string&,
                                    NameList& list) {
    // The program passes only "*": every attribute is read, whatever the pattern.
    DirBuffer reply = 0;
    DirCode code = client.dcNewBuffer(kLargeReplySize, reply);
    if (code != 0) return code;
    std::int32_t iteration = -1;
    std::array<char, kAttrNameSize> name{};
    do {
        code = client.dcFetchAttributes(context, 0, 1, 0, iteration, reply);
        if (code != 0) break;
        std::uint32_t count = 0;
        code = client.dcAttrCount(context, reply, count);
        if (code != 0) count = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            DirAttrInfo info;
            name.fill('\0');
            code = client.dcTakeAttr(context, reply, name.data(), name.size(), info);
            if (code != 0) continue;  // only this entry is lost, not the rest of its batch
            list.push_back({BufferText(name), 0});
        }
    } while (iteration != -1);
    client.dcDropBuffer(reply);
    return code;
}

DirCode U_DSGetClassDef(DirClient& client, DirContext context, const std::string& className,
                        DirClassInfo& info) {
    info = DirClassInfo{};
    DirBuffer request = 0;
    DirBuffer reply = 0;
    DirCode code = StartClassRead(client, context, className, request, reply);
    if (code != 0) return code;
    std::int32_t iteration = -1;
    std::array<char, kClassNameSize> name{};
    do {
        code = client.dcFetchClasses(context, 3, 0, request, iteration, reply);
        if (code != 0) break;
        std::uint32_t count = 0;
        code = client.dcClassCount(context, reply, count);
        if (code != 0) count = 0;
        for (std::uint32_t i = 0; i < count; ++i)
            code = client.dcTakeClass(context, reply, name.data(), name.size(), info);
    } while (iteration != -1);
    client.dcDropBuffer(reply);
    client.dcDropBuffer(request);
    return code;
}

DirCode U_DSReadAttributes(DirClient& client, UiHooks& ui, DirContext context,
                           const std::string& className, int itemKind,
                           std::vector<std::string>& list) {
    DirBuffer request = 0;
    DirBuffer reply = 0;
    DirCode code = StartClassRead(client, context, className, request, reply);
    if (code != 0) return code;
    std::int32_t iteration = -1;
    std::array<char, kItemNameSize> name{};
    for (;;) {
        const std::int32_t before = iteration;
        code = client.dcFetchClasses(context, 2, 0, request, iteration, reply);
        if (code != 0) break;
        std::uint32_t count = 0;
        code = client.dcClassCount(context, reply, count);
        if (code != 0) count = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            ui.processEvents();
            DirClassInfo info;
            code = client.dcTakeClass(context, reply, name.data(), name.size(), info);
            if (code != 0) continue;
            if (itemKind == 6) {
                const std::string oid = Asn1IdText(info.asn1ID);
                if (!oid.empty()) list.push_back(oid);
            }
            for (int kind = 0; kind <= 4; ++kind) {
                std::uint32_t items = 0;
                code = client.dcItemCount(context, reply, items);
                if (code != 0) continue;
                for (std::uint32_t j = 0; j < items; ++j) {
                    name.fill('\0');
                    code = client.dcTakeItem(context, reply, name.data(), name.size());
                    if (code != 0) break;
                    const std::string item = BufferText(name);
                    if (kind == itemKind && !HoldsName(list, item)) list.push_back(item);
                }
            }
        }
        // A client that hands back the handle it was given would repeat the batch for ever.
        if (iteration == -1 || iteration == before) break;
    }
    client.dcDropBuffer(reply);
    client.dcDropBuffer(request);
    return code;
}

std::string ClassFlagsText(std::uint32_t flags) {
    std::string text;
    for (const ClassFlagWord& f : kClassFlags)
        if ((flags & f.bit) != 0) text = JoinNonEmpty(text, f.word, "\\");
    return text;
}

std::string Asn1IdText(const Asn1Id& id) {
    const std::uint32_t n = id.data[1];
    if (id.data[0] != 6 || n < 2 || n + 2 > id.length || n + 2 > sizeof id.data) return {};
    const std::uint32_t end = n + 2;
    std::string text;
    std::uint32_t i = 3;
    const unsigned first = id.data[2];
    if (first < 0x80) {
        text = ArcPairText(first);
    } else {
        // A first number of several bytes can only be under arc 2: 2.48 and above.
        ArcNumber value;
        for (i = 2; i < end; ++i) {
            value.Shift7(id.data[i] & 0x7Fu);
            if (id.data[i] < 0x80) break;
        }
        if (i == end) return {};
        ++i;
        // Leading 0x80 bytes (not minimal, but readable) can leave a small number.
        if (value.Below(80)) {
            text = ArcPairText(value.Low());
        } else {
            text = "2.";
            text += value.Minus80().Text();
        }
    }
    ArcNumber value;
    for (; i < end; ++i) {
        const std::uint8_t byte = id.data[i];
        value.Shift7(byte & 0x7Fu);
        if (byte < 0x80) {
            text += '.';
            text += value.Text();
            value = ArcNumber{};
        }
    }
    return text;
}

// ---- Attribute definitions

DirCode U_DSGetAttributeInfo(DirClient& client, DirContext context, const std::string& attrName,
                             std::string& definition) {
    definition.clear();
    DirBuffer request = 0;
    DirBuffer reply = 0;
    bool haveRequest = false;
    bool haveReply = false;
    DirAttrInfo info;
    DirCode code = client.dcNewBuffer(kRequestSize, request);
    haveRequest = code == 0;
    if (code == 0) code = client.dcStartRequest(context, DSV_READ_ATTR_DEF, request);
    if (code == 0) {
        std::string name = attrName;
        code = client.dcAddAttrName(context, request, NulTerminatedBuf(name));
    }
    std::int32_t iteration = -1;
    if (code == 0) {
        code = client.dcNewBuffer(kRequestSize, reply);
        haveReply = code == 0;
    }
    if (code == 0) code = client.dcFetchAttributes(context, 1, 0, request, iteration, reply);
    if (code == 0) {
        std::uint32_t count = 0;
        code = client.dcAttrCount(context, reply, count);
    }
    if (code == 0) {
        std::array<char, kAttrNameSize> name{};
        code = client.dcTakeAttr(context, reply, name.data(), name.size(), info);
    }
    if (haveReply) client.dcDropBuffer(reply);
    if (haveRequest) client.dcDropBuffer(request);
    if (code == 0) definition = AttrDefText(info);
    return code;
}

std::string AttrDefText(const DirAttrInfo& info) {
    std::string flags;
    for (const AttrFlagWord& f : kAttrFlags) {
        if ((info.attrFlags & f.bit) == 0) continue;
        std::string word;
        if (f.word != nullptr) {
            word = f.word;
        } else {
            std::array<char, 48> sized{};
            if (info.attrLower == info.attrUpper)
                std::snprintf(sized.data(), sized.size(), "Sized (%d)", info.attrLower);
            else
                std::snprintf(sized.data(), sized.size(), "Sized (%d-%d)", info.attrLower,
                              info.attrUpper);
            word = sized.data();
        }
        flags = JoinNonEmpty(flags, word, "\\");
    }
    const std::string text = SyntaxName(info.attrSyntaxID);
    return flags.empty() ? text : JoinNonEmpty(text, "[" + flags + "]", " ");
}

std::string SyntaxName(std::uint32_t syntaxId) {
    return syntaxId < std::size(kSyntaxNames) ? kSyntaxNames[syntaxId] : "Unknown Syntax";
}
