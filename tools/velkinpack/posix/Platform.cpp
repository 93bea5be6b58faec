// The packer's system layer on Linux: POSIX files, iconv for code page 932.
#include "Platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <thread>

#include "Errors.h"

namespace platform {
namespace {

std::string Reason() { return std::strerror(errno); }

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Reset(); }
    int Get() const { return fd_; }
    void Reset(int fd = -1) {
        Close();
        fd_ = fd;
    }
    int Close() {
        const int result = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

class InputFile : public ByteSource {
public:
    InputFile(std::string path, std::uint64_t expectedSize, bool openNow)
        : path_(std::move(path)), size_(expectedSize) {
        if (openNow) Open(false);
    }
    std::uint64_t Size() const override { return size_; }
    std::string Name() const override { return path_; }
    void Release() const override { fd_.Reset(); }
    // The open descriptor, opened now (with its size checked) if it is not yet.
    int Descriptor() const {
        if (fd_.Get() < 0) Open(true);
        return fd_.Get();
    }

    void ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const override {
        if (offset > size_ || count > size_ - offset) throw PackError(path_ + ": read past the end of the file");
        if (fd_.Get() < 0) Open(true);
        auto* p = static_cast<char*>(buffer);
        while (count != 0) {
            const ssize_t got = ::pread(fd_.Get(), p, count, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) throw PackError("cannot read " + path_ + ": " + Reason());
            if (got == 0) throw PackError("cannot read " + path_ + ": the file became shorter while the packer read it");
            p += got;
            offset += static_cast<std::uint64_t>(got);
            count -= static_cast<std::size_t>(got);
        }
    }

private:
    void Open(bool checkSize) const {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) throw PackError("cannot open " + path_ + ": " + Reason());
        fd_.Reset(fd);
        struct stat st{};
        if (::fstat(fd, &st) != 0) throw PackError("cannot read " + path_ + ": " + Reason());
        if (S_ISDIR(st.st_mode)) throw PackError("cannot read " + path_ + ": it is a folder, not a file");
        const auto actual = static_cast<std::uint64_t>(st.st_size);
        if (checkSize && actual != size_) throw PackError(path_ + " changed its size while the packer was running");
        size_ = actual;
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }

    std::string path_;
    mutable std::uint64_t size_;
    mutable Fd fd_;
};

class PosixOutputFile : public BufferedOutputFile {
public:
    PosixOutputFile(std::string path, bool program) : path_(std::move(path)) {
        temp_ = path_ + ".velkinpack-" + std::to_string(::getpid());
        fd_.Reset(::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, program ? 0777 : 0666));
        if (fd_.Get() < 0) throw PackError("cannot create " + temp_ + ": " + Reason());
    }
    ~PosixOutputFile() override {
        if (!committed_) {
            fd_.Reset();
            ::unlink(temp_.c_str());
        }
    }

    void WriteAt(std::uint64_t offset, const void* data, std::size_t count) override {
        Flush();
        if (::pwrite(fd_.Get(), data, count, static_cast<off_t>(offset)) != static_cast<ssize_t>(count)) {
            throw PackError("cannot write " + temp_ + ": " + Reason());
        }
    }

    // A large copy from a file goes through the kernel on a second thread (copy_file_range,
    // as cp copies), while this thread reads the same bytes for the observer: the sum then
    // costs no time of its own when a second processor is free.
    void Copy(const ByteSource& source, std::uint64_t offset, std::uint64_t count, const ByteObserver* observe) override {
        const auto* file = dynamic_cast<const InputFile*>(&source);
        if (file == nullptr || count < kKernelCopyMin) return OutputFile::Copy(source, offset, count, observe);
        Flush();
        const int in = file->Descriptor();
        std::string copyFailure;
        std::thread copier([&] { copyFailure = KernelCopy(in, offset, count, file->Name()); });
        std::exception_ptr readFailure;
        try {
            if (observe != nullptr) ReadRange(source, offset, count, *observe);
        } catch (...) {
            readFailure = std::current_exception();
        }
        copier.join();
        if (readFailure) std::rethrow_exception(readFailure);
        if (!copyFailure.empty()) throw PackError(copyFailure);
        Advance(count);
    }

    void Commit() override {
        Flush();
        // Keep the mode an existing output had; a new one gets the usual mode for the umask.
        struct stat st{};
        if (::stat(path_.c_str(), &st) == 0) ::fchmod(fd_.Get(), st.st_mode & 07777);
        if (fd_.Close() != 0) throw PackError("cannot write " + temp_ + ": " + Reason());
        if (::rename(temp_.c_str(), path_.c_str()) != 0) throw PackError("cannot replace " + path_ + ": " + Reason());
        committed_ = true;
    }

private:
    static constexpr std::uint64_t kKernelCopyMin = 4u << 20;

    // Appends the range at the file's position; the error text, or empty on success.
    std::string KernelCopy(int in, std::uint64_t offset, std::uint64_t count, const std::string& name) {
        auto from = static_cast<off64_t>(offset);
        bool kernel = true;
        std::vector<char> buffer;
        while (count != 0) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count, 1u << 30));
            ssize_t done = 0;
            if (kernel) {
                done = ::copy_file_range(in, &from, fd_.Get(), nullptr, want, 0);
                if (done < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
                    kernel = false;  // a file system that cannot: through a buffer instead
                    continue;
                }
            } else {
                buffer.resize(1 << 18);
                done = ::pread(in, buffer.data(), std::min(want, buffer.size()), from);
                if (done > 0) {
                    try {
                        WriteAll(buffer.data(), static_cast<std::size_t>(done));
                    } catch (const PackError& e) {
                        return e.what();
                    }
                    from += done;
                }
            }
            if (done < 0 && errno == EINTR) continue;
            if (done < 0) return "cannot copy " + name + " into " + temp_ + ": " + Reason();
            if (done == 0) return "cannot read " + name + ": the file became shorter while the packer read it";
            count -= static_cast<std::uint64_t>(done);
        }
        return {};
    }

    void WriteAll(const char* p, std::size_t count) override {
        while (count != 0) {
            const ssize_t put = ::write(fd_.Get(), p, count);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) throw PackError("cannot write " + temp_ + ": " + Reason());
            p += put;
            count -= static_cast<std::size_t>(put);
        }
    }

    std::string path_, temp_;
    Fd fd_;
    bool committed_ = false;
};

class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(::iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) throw PackError(std::string("iconv cannot convert from ") + from + " to " + to);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    ~Iconv() { ::iconv_close(cd_); }
    // Converts all of `in`; false at the first byte that does not convert.
    bool Convert(std::string_view in, std::string& out, std::size_t& badOffset) {
        ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        std::size_t left = in.size();
        char chunk[4096];
        while (left != 0) {
            char* dst = chunk;
            std::size_t room = sizeof chunk;
            const std::size_t r = ::iconv(cd_, &src, &left, &dst, &room);
            out.append(chunk, static_cast<std::size_t>(dst - chunk));
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
                badOffset = static_cast<std::size_t>(src - in.data());
                return false;
            }
        }
        char* dst = chunk;
        std::size_t room = sizeof chunk;
        ::iconv(cd_, nullptr, nullptr, &dst, &room);
        out.append(chunk, static_cast<std::size_t>(dst - chunk));
        return true;
    }

private:
    iconv_t cd_;
};

void WriteFd(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return;
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
}

// UTF-8 text in the encoding of the locale's character set.
std::string ForTerminal(std::string_view utf8) {
    const char* codeset = ::nl_langinfo(CODESET);
    if (codeset == nullptr || std::strcmp(codeset, "UTF-8") == 0) return std::string(utf8);
    static Iconv toTerminal((std::string(codeset) + "//TRANSLIT").c_str(), "UTF-8");
    std::string out;
    std::size_t bad = 0;
    std::string_view rest = utf8;
    while (!toTerminal.Convert(rest, out, bad)) {
        out += '?';
        rest.remove_prefix(bad + 1);
        while (!rest.empty() && (static_cast<unsigned char>(rest.front()) & 0xC0) == 0x80) rest.remove_prefix(1);
    }
    return out;
}

}  // namespace

FileInfo Stat(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return {};
    return {true, S_ISDIR(st.st_mode), static_cast<std::uint64_t>(st.st_size)};
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat x{}, y{};
    return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

std::shared_ptr<ByteSource> OpenInput(const std::string& path) { return std::make_shared<InputFile>(path, 0, true); }

std::shared_ptr<ByteSource> OpenInputLater(const std::string& path, std::uint64_t expectedSize) {
    return std::make_shared<InputFile>(path, expectedSize, false);
}

std::unique_ptr<OutputFile> OutputFile::Create(const std::string& path, bool program) {
    return std::make_unique<PosixOutputFile>(path, program);
}

void CreateDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) {
            throw PackError("cannot create the folder " + prefix + ": " + Reason());
        }
        if (slash == std::string::npos) break;
    }
    if (!Stat(path).directory) throw PackError("cannot create the folder " + path + ": a file of that name is in the way");
}

bool IsEmptyDirectory(const std::string& path) {
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) return true;
    bool empty = true;
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
            empty = false;
            break;
        }
    }
    ::closedir(dir);
    return empty;
}

std::string ExecutableDirectory() {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0) return {};
    path.resize(static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/'));
}

bool DecodeCp932(std::string_view bytes, std::u32string& out, std::size_t& badOffset) {
    static Iconv fromCp932("UTF-32LE", "CP932");
    std::string wide;
    const bool ok = fromCp932.Convert(bytes, wide, badOffset);
    out.clear();
    for (std::size_t i = 0; i + 4 <= wide.size(); i += 4) {
        out += static_cast<char32_t>(Load32(reinterpret_cast<const std::uint8_t*>(wide.data() + i)));
    }
    return ok;
}

bool EncodeCp932Char(char32_t cp, std::string& out) {
    static Iconv toCp932("CP932", "UTF-32LE");
    std::uint8_t wide[4];
    Store32(wide, static_cast<std::uint32_t>(cp));
    std::string bytes;
    std::size_t bad = 0;
    if (!toCp932.Convert(std::string_view(reinterpret_cast<const char*>(wide), 4), bytes, bad) || bytes.empty()) return false;
    out += bytes;
    return true;
}

void WriteOut(std::string_view utf8, bool raw) { WriteFd(STDOUT_FILENO, raw ? std::string(utf8) : ForTerminal(utf8)); }
void WriteErr(std::string_view utf8) { WriteFd(STDERR_FILENO, ForTerminal(utf8)); }

}  // namespace platform
