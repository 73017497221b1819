#include "core/model/Definitions.h"

std::string_view ClassItemLabel(int kind) {
    static const char* const labels[kClassItemKinds] = {"Super Class",
                                                        "Containment Class",
                                                        "Naming Attribute",
                                                        "Mandatory Attribute",
                                                        "Optional Attribute",
                                                        "Attribute",
                                                        "ASN"};
    if (kind < 0 || kind >= kClassItemKinds) return "unknown";
    return labels[kind];
}

void ClassInfoInit(TClassInfo& info) {
    info.Flags.clear();
    for (auto& list : info.Items) list.clear();
}

void ClassInfoFree(TClassInfo& info) {
    info.Flags.clear();
    for (auto& list : info.Items) std::vector<std::string>().swap(list);
}
