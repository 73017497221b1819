// The layer's own cache: one parsed copy per path for as long as any object holds it.
#include <filesystem>
#include <mutex>
#include <unordered_map>

#include "core/ini/IniDocument.h"

std::shared_ptr<IniDocument> AcquireDocument(const std::string& fileName, IniFile::Mode mode) {
    std::string key;
    if (!fileName.empty()) {
        std::error_code ec;
        const auto abs = std::filesystem::absolute(fileName, ec);
        key = ec ? fileName : abs.lexically_normal().string();
    }
    if (mode == IniFile::Mode::Snapshot) {
        // Outside the shared cache, so no write through another object on the path
        // reaches it either.
        auto doc = std::make_shared<IniDocument>(key);
        doc->frozen = true;
        return doc;
    }
    static std::mutex mutex;
    static std::unordered_map<std::string, std::weak_ptr<IniDocument>> registry;
    std::lock_guard<std::mutex> lock(mutex);
    if (auto it = registry.find(key); it != registry.end())
        if (auto doc = it->second.lock()) return doc;
    std::erase_if(registry, [](const auto& entry) { return entry.second.expired(); });
    auto doc = std::make_shared<IniDocument>(key);
    registry[key] = doc;
    return doc;
}

IniFile::Hold::Hold(IniFile& file) : doc_(file.doc_) { ++doc_->holds; }

IniFile::Hold::~Hold() {
    if (--doc_->holds == 0) doc_->heldFresh = false;
}
