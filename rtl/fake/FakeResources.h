// The in-memory patch package of the native build: resources that tests put in place.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace fake {

class Resources {
public:
    static Resources& Get();

    void Clear();
    // Names and types are matched without regard to ASCII letter case, as the loader does.
    void Set(const std::string& name, const std::string& type, std::string bytes);
    void Remove(const std::string& name, const std::string& type);
    // Every lookup made, found or not, as "TYPE/NAME" in upper case, in order.
    const std::vector<std::string>& Lookups() const { return lookups_; }

    const std::string* Find(const std::string& name, const std::string& type);

private:
    static std::string Key(const std::string& name, const std::string& type);
    std::map<std::string, std::string> items_;
    std::vector<std::string> lookups_;
};

}  // namespace fake
