// Writing a stream's bytes to a file so that a failure never leaves a half-written file: the
// bytes go to a new file beside the target, which replaces the target only once it is complete.
#include <string>

#include "rtl/Classes.h"
#include "rtl/Exceptions.h"
#include "rtl/FileSystem.h"
#include "rtl/SysUtils.h"

namespace {

// Owns the temporary file until it has replaced the target: closes and removes it otherwise.
class TempFile {
public:
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (handle_ != os::kNoFile) os::FsClose(handle_);
        if (!name_.empty()) os::FsRemove(name_);
    }

    // Creates the first free name of the form target + ".vpnew" + n.
    bool Create(const std::string& target) {
        for (int n = 0; n < 100; ++n) {
            std::string name = target + ".vpnew" + IntToStr(n);
            switch (os::FsCreateNew(name, handle_)) {
                case os::CreateResult::Created: name_ = name; return true;
                case os::CreateResult::Exists: continue;
                case os::CreateResult::Failed: return false;
            }
        }
        return false;
    }

    bool WriteAll(const unsigned char* data, std::size_t size) {
        while (size > 0) {
            std::size_t written = os::FsWrite(handle_, data, size);
            if (written == 0 || written > size) return false;
            data += written;
            size -= written;
        }
        return true;
    }

    bool Finish() {
        bool ok = os::FsFlush(handle_);
        ok = os::FsClose(handle_) && ok;
        handle_ = os::kNoFile;
        return ok;
    }

    bool ReplaceTarget(const std::string& target) {
        if (!os::FsReplace(name_, target)) return false;
        name_.clear();
        return true;
    }

private:
    os::FileHandle handle_ = os::kNoFile;
    std::string name_;
};

}  // namespace

void TCustomMemoryStream::SaveToFile(const std::string& path) const {
    // A directory or a read-only file is never replaced (the attribute is checked here because
    // a privileged process could replace the file all the same).
    if (os::FsKind(path) == os::PathKind::Directory || os::FsIsReadOnly(path)) {
        throw EFCreateError(path);
    }
    TempFile temp;
    if (!temp.Create(path)) throw EFCreateError(path);
    if (!temp.WriteAll(memory_, size_)) throw EWriteError();
    if (!temp.Finish()) throw EWriteError();
    if (!temp.ReplaceTarget(path)) throw EFCreateError(path);
}
