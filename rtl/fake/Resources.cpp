// The in-memory patch package of the native build, behind the runtime's resource lookup.
#include "rtl/fake/FakeResources.h"

#include "rtl/Resources.h"

namespace fake {

Resources& Resources::Get() {
    static Resources resources;
    return resources;
}

void Resources::Clear() {
    items_.clear();
    lookups_.clear();
}

std::string Resources::Key(const std::string& name, const std::string& type) {
    std::string key = type + "/" + name;
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

void Resources::Set(const std::string& name, const std::string& type, std::string bytes) {
    items_[Key(name, type)] = std::move(bytes);
}

void Resources::Remove(const std::string& name, const std::string& type) { items_.erase(Key(name, type)); }

const std::string* Resources::Find(const std::string& name, const std::string& type) {
    std::string key = Key(name, type);
    lookups_.push_back(key);
    auto it = items_.find(key);
    return it == items_.end() ? nullptr : &it->second;
}

}  // namespace fake

namespace os {

void* ModuleInstance() { return &fake::Resources::Get(); }

bool FindModuleResource(void*, const std::string& name, const std::string& type,
                        const unsigned char*& data, std::size_t& size) {
    const std::string* bytes = fake::Resources::Get().Find(name, type);
    if (!bytes) return false;
    data = reinterpret_cast<const unsigned char*>(bytes->data());
    size = bytes->size();
    return true;
}

}  // namespace os
