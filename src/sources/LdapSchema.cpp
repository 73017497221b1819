#include "sources/LdapSchema.h"

#include <memory>

#include "core/D_Util.h"

std::string UnescapeSchemaText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 2 < text.size()) {
            const std::string hex = AsciiUpper(text.substr(i + 1, 2));
            if (hex == "27" || hex == "5C") {
                out += hex == "27" ? '\'' : '\\';
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string EscapeInnerApostrophes(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\'' && i > 0 && i + 1 < text.size() && !IsLineBlank(text[i - 1]) &&
            !IsLineBlank(text[i + 1]))
            out += "\\27";
        else
            out += text[i];
    }
    return out;
}

SchemaMapping MapSchema(const SchemaDefinitions& definitions) {
    TreeSchema schema = MapLdapSchema(definitions);
    return {ServedTree(schema), schema.ndsStyle, std::move(schema.skipped)};
}
