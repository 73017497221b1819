// Arbitrary bytes as a tree description, as a client configuration and as identifier
// texts. A description that parses is then served by the simulated client and read
// through every directory operation: nothing may crash, leak a buffer or lose a name.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/directory/D_NW.h"
#include "core/directory/SimulatedClient.h"
#include "sources/ClientConfig.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_client_config: broken invariant: %s\n", what);
        std::abort();
    }
}

void ReadEverything(const SimTree& parsed) {
    SimDirectory directory;
    auto tree = std::make_shared<SimTree>(parsed);
    directory.connections.push_back({"FUZZ_TREE___", tree});
    directory.primary = 0;
    SimulatedClient client(std::move(directory));
    SilentUi ui;
    NwSession session;
    InitNetWare(client, session, ui);
    std::vector<std::string> trees;
    ListReachableTrees(client, ui, trees);

    DirContext context = 0;
    client.dcNewContext(context);
    DSChangeCurrentTree(client, context, "FUZZ_TREE");
    ChangeContextFlags(client, context, '+', 4);

    NameList classes;
    const DirCode classCode = U_DSReadAvailableClasses(client, context, classes);
    NameList attrs;
    const DirCode attrCode = U_DSReadAvailableAttributes(client, context, "*", attrs);
    if (parsed.failures.empty()) {
        if (classCode == 0) {
            Check(classes.size() == parsed.classes.size(), "every class name read");
            for (std::size_t i = 0; i < classes.size(); ++i)
                Check(classes[i].name == parsed.classes[i].name &&
                          classes[i].number == parsed.classes[i].flags,
                      "class names whole, in order, with their flags");
        }
        if (attrCode == 0) {
            Check(attrs.size() == parsed.attributes.size(), "every attribute name read");
            for (std::size_t i = 0; i < attrs.size(); ++i)
                Check(attrs[i].name == parsed.attributes[i].name,
                      "attribute names whole and in order");
        }
    }
    std::size_t reads = 0;
    for (const SimClass& c : parsed.classes) {
        if (++reads > 40) break;
        DirClassInfo info;
        U_DSGetClassDef(client, context, c.name, info);
        ClassFlagsText(info.classFlags);
        for (int kind : {0, 1, 2, 3, 4, 6}) {
            std::vector<std::string> list;
            U_DSReadAttributes(client, ui, context, c.name, kind, list);
            if (kind != 6)
                for (const std::string& item : list)
                    Check(item.size() < kDirNameBufferSize, "item fits its buffer");
        }
    }
    for (const SimAttr& a : parsed.attributes) {
        if (++reads > 80) break;
        std::string text;
        if (U_DSGetAttributeInfo(client, context, a.name, text) == 0)
            Check(!text.empty(), "a definition read has its text");
        else
            Check(text.empty(), "a failed read has no text");
    }
    Check(client.liveBuffers() == 0, "every buffer released");
    ClientErrorText(client, -601);
    client.dcDropContext(context);
}

void Identifiers(const std::string& text) {
    Asn1Id id;
    std::string error;
    if (EncodeOid(text, id, error)) {
        Check(id.length == 0 || (id.length == id.data[1] + 2u && id.length <= 32), "encoding");
        const std::string dotted = Asn1IdText(id);
        // What decodes the same way encodes back to the very same bytes.
        if (!dotted.empty() && id.data[2] < 120) {
            Asn1Id again;
            Check(EncodeOid(dotted, again, error), "decoded identifier encodes");
            Check(again.length == id.length && std::equal(id.data, id.data + id.length, again.data),
                  "round trip");
        }
    }
    if (ParseOidBytes(text, id, error)) {
        Check(id.length <= 32, "at most 32 bytes");
        Asn1IdText(id);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    SimTree tree;
    std::string error;
    if (ParseTreeDescription(bytes, tree, error))
        ReadEverything(tree);
    else
        Check(!error.empty(), "a rejected tree says why");

    ClientConfig config;
    if (ParseClientConfig(bytes, "/nonexistent", config, error)) {
        Check(!config.primary || *config.primary < config.connections.size(), "primary exists");
        for (const ConnectionConfig& c : config.connections)
            Check(c.kind != "tree-file" || c.treeFile.starts_with("/"), "tree file resolved");
    } else {
        Check(!error.empty(), "a rejected configuration says why");
    }

    if (size <= 256) Identifiers(std::string(bytes.constData(), bytes.size()));
    return 0;
}
