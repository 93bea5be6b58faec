// Streams and the string list of the runtime.
#include "rtl/Classes.h"

#include <algorithm>
#include <cstring>

#include "rtl/Exceptions.h"

std::size_t TCustomMemoryStream::Read(void* buffer, std::size_t count) {
    std::size_t available = size_ - position_;
    std::size_t n = std::min(count, available);
    if (n == 0) return 0;
    std::memcpy(buffer, memory_ + position_, n);
    position_ += n;
    return n;
}

void TCustomMemoryStream::SetPosition(std::size_t position) { position_ = std::min(position, size_); }

void TCustomMemoryStream::SetPointer(const unsigned char* memory, std::size_t size) {
    memory_ = memory;
    size_ = size;
    position_ = 0;
}

TBytesStream::TBytesStream(std::string bytes) : bytes_(std::move(bytes)) {
    SetPointer(reinterpret_cast<const unsigned char*>(bytes_.data()), bytes_.size());
}

const std::string& TStringList::Strings(int index) const {
    if (index < 0 || index >= Count()) throw ERangeError();
    return items_[static_cast<std::size_t>(index)];
}

void TStringList::Delete(int index) {
    if (index < 0 || index >= Count()) throw ERangeError();
    items_.erase(items_.begin() + index);
}

void TStringList::AddStrings(const TStringList& other) {
    if (&other == this) {
        std::vector<std::string> copy = items_;
        items_.insert(items_.end(), copy.begin(), copy.end());
        return;
    }
    items_.insert(items_.end(), other.items_.begin(), other.items_.end());
}

void TStringList::LoadFromStream(TStream& stream) {
    std::string text(stream.Size() - stream.Position(), '\0');
    std::size_t got = text.empty() ? 0 : stream.Read(text.data(), text.size());
    text.resize(got);
    SetText(text);
}

void TStringList::SetText(const std::string& text) {
    items_.clear();
    std::size_t p = 0;
    const std::size_t n = text.size();
    while (p < n && text[p] != '\0') {
        std::size_t start = p;
        while (p < n && text[p] != '\r' && text[p] != '\n' && text[p] != '\0') ++p;
        items_.emplace_back(text, start, p - start);
        if (p < n && text[p] == '\r') ++p;
        if (p < n && text[p] == '\n') ++p;
    }
}
