// Directory access: the session, the tree list, contexts, schema reads and the exact texts
// of class flags, identifiers and attribute definitions. Calls only the DirClient interface.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Names.h"
#include "core/UiHooks.h"
#include "core/directory/DirClient.h"

// The buffers of the schema reads: requests (and the reply of one attribute definition),
// the class-name read's reply, and the buffer every name is written into.
inline constexpr std::uint32_t kDirRequestSize = 4096;
inline constexpr std::uint32_t kDirClassNamesReplySize = 4096;
inline constexpr std::size_t kDirNameBufferSize = 4096;

// The longest class and attribute names, in bytes, that every schema read takes whole.
// In a reply, 4 bytes are the buffer's own and each entry takes a length word, the name,
// its NUL and its record; the least room is the class-name read's reply for a class and
// the attribute definition read's reply for an attribute. Sources leave out, and report,
// definitions with longer names.
inline constexpr std::size_t kMaxClassNameBytes =
    kDirClassNamesReplySize - 4 - (4 + 1 + sizeof(DirClassInfo));
inline constexpr std::size_t kMaxAttrNameBytes =
    kDirRequestSize - 4 - (4 + 1 + sizeof(DirAttrInfo));

// The session connection; 0xFFFF until the session has started.
struct NwSession {
    ConnHandle connectionHandle = 0xFFFF;
};

// Result of the session start (0 = started); its failure dialog is already shown.
std::uint32_t InitNetWare(DirClient& client, NwSession& session, UiHooks& ui);
void ListReachableTrees(DirClient& client, UiHooks& ui, std::vector<std::string>& list);
// The position of the reachable tree a name stands for: the same bytes first, else the same
// name in any ASCII letter case (the selectors keep one spelling per tree); -1 for none.
int FindReachableTree(const std::vector<std::string>& trees, const std::string& name);
std::string ConnectionTreeName(DirClient& client, ConnRef ref, ConnCode* code = nullptr);
std::string ContextTreeName(DirClient& client, DirContext context);
DirCode DSChangeCurrentTree(DirClient& client, DirContext context, const std::string& treeName);
void ChangeContextFlags(DirClient& client, DirContext context, char sign, std::uint32_t bits);
std::string ClientErrorText(DirClient& client, std::int64_t code);
void ReportClientError(DirClient& client, UiHooks& ui, std::int64_t code, const std::string& what);
// The client's message table's text for a code; empty when it has none.
std::string ClientMessageText(DirClient& client, std::int64_t code);
// "Error %04X: %s" for a failed directory call, with the client's explanation beneath it
// (for a live server: which one, and what went wrong). Nothing for 0.
void ReportDirectoryError(DirClient& client, UiHooks& ui, std::int64_t code,
                          const std::string& text);
// The system's message for an error number, trimmed; empty when it has none.
std::string SystemErrorText(int number);

DirCode U_DSReadAvailableClasses(DirClient& client, DirContext context, NameList& list);
DirCode U_DSReadAvailableAttributes(DirClient& client, DirContext context,
                                    const std::string& pattern, NameList& list);
DirCode U_DSGetClassDef(DirClient& client, DirContext context, const std::string& className,
                        DirClassInfo& info);
// ui.processEvents runs once before each class definition taken.
DirCode U_DSReadAttributes(DirClient& client, UiHooks& ui, DirContext context,
                           const std::string& className, int itemKind,
                           std::vector<std::string>& list);
std::string ClassFlagsText(std::uint32_t flags);
std::string Asn1IdText(const Asn1Id& id);

DirCode U_DSGetAttributeInfo(DirClient& client, DirContext context, const std::string& attrName,
                             std::string& definition);
std::string AttrDefText(const DirAttrInfo& info);
std::string SyntaxName(std::uint32_t syntaxId);
