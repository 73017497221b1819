#include "core/fit/FitReasons.h"

namespace {

struct KindNames {
    std::string_view key;
    std::string_view title;
};

constexpr std::array<KindNames, kFitKinds> kNames = {{
    {"unknown-class", "object class the tree does not define"},
    {"unknown-attribute", "attribute type the tree does not define"},
    {"not-allowed", "attribute no class of the entry allows"},
    {"missing-must", "mandatory attribute missing"},
    {"single-value", "several values for a single-valued attribute"},
    {"syntax", "value its syntax refuses"},
    {"structural", "structural class missing or not one chain"},
    {"rdn-absent", "RDN value absent from the entry"},
    {"server-set", "attribute the server sets itself"},
    {"too-long", "value longer than its bound"},
    {"duplicate-value", "value given twice"},
    {"duplicate-dn", "DN given twice, or parent missing"},
    {"malformed", "LDIF record that cannot be read"},
}};

}  // namespace

std::string_view FitKindKey(FitKind kind) { return kNames[static_cast<std::size_t>(kind)].key; }

std::string_view FitKindTitle(FitKind kind) { return kNames[static_cast<std::size_t>(kind)].title; }
