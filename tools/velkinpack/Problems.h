// What a build or an inspection found wrong: errors stop a build, warnings are told.
#pragma once

#include <string>
#include <vector>

struct Problem {
    enum Severity { kError, kWarning };
    Severity severity;
    std::string message;
};

class Problems {
public:
    void Error(std::string message) { list_.push_back({Problem::kError, std::move(message)}); }
    void Warning(std::string message) { list_.push_back({Problem::kWarning, std::move(message)}); }
    bool HasErrors() const {
        for (const Problem& p : list_) {
            if (p.severity == Problem::kError) return true;
        }
        return false;
    }
    bool Empty() const { return list_.empty(); }
    const std::vector<Problem>& All() const { return list_; }

private:
    std::vector<Problem> list_;
};
