// UI driver of the end-to-end tests: starts one Windows program, then answers line commands on
// stdin about that program's windows with one line of JSON each on stdout.
#include "win32/WinApi.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr UINT kMessageTimeoutMs = 3000;
constexpr DWORD kPollMs = 20;

struct CommandError {
    std::string message;
};

[[noreturn]] void fail(std::string message)
{
    throw CommandError{std::move(message)};
}

std::string lastErrorText(const char* what)
{
    DWORD code = GetLastError();
    char buffer[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                   MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT), buffer, sizeof buffer, nullptr);
    std::string text = std::string(what) + " failed (error " + std::to_string(code) + ")";
    // The system text is in the ANSI code page; keep only its ASCII so the JSON stays UTF-8.
    std::string ascii;
    for (char c : std::string(buffer))
        if (c >= 0x20 && c < 0x7F)
            ascii += c;
    return ascii.empty() ? text : text + ": " + ascii;
}

// ---- RAII holders ----------------------------------------------------------------------------

struct HandleCloser {
    void operator()(HANDLE h) const
    {
        if (h && h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// Memory allocated inside the target process.
class RemoteMemory {
public:
    RemoteMemory(HANDLE process, size_t size, DWORD protect)
        : process_(process), address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, protect))
    {
        if (!address_)
            fail(lastErrorText("VirtualAllocEx"));
    }
    ~RemoteMemory()
    {
        if (address_)
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    void* address() const { return address_; }
    // Leaves the memory to the target, for code that a thread of it may still run.
    void abandon() { address_ = nullptr; }
    void write(const void* data, size_t size, size_t offset = 0) const
    {
        if (!WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr))
            fail(lastErrorText("WriteProcessMemory"));
    }
    void read(void* data, size_t size, size_t offset = 0) const
    {
        if (!ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr))
            fail(lastErrorText("ReadProcessMemory"));
    }

private:
    HANDLE process_;
    void* address_;
};

// Shares this thread's input state with the target's thread, so GetCursor reads the target's cursor.
class ThreadInputAttachment {
public:
    explicit ThreadInputAttachment(DWORD target) : target_(target)
    {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // this thread needs a message queue
        if (!AttachThreadInput(GetCurrentThreadId(), target_, TRUE))
            fail(lastErrorText("AttachThreadInput"));
    }
    ~ThreadInputAttachment() { AttachThreadInput(GetCurrentThreadId(), target_, FALSE); }
    ThreadInputAttachment(const ThreadInputAttachment&) = delete;
    ThreadInputAttachment& operator=(const ThreadInputAttachment&) = delete;

private:
    DWORD target_;
};

// ---- text and JSON ---------------------------------------------------------------------------

std::string toUtf8(const std::wstring& wide)
{
    if (wide.empty())
        return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring fromUtf8(const std::string& text)
{
    if (text.empty())
        return {};
    int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0)
        fail("argument is not valid UTF-8");
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::string hexBytes(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string quote(const std::string& utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buffer[8];
                snprintf(buffer, sizeof buffer, "\\u%04x", c);
                out += buffer;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string handleJson(const void* handle)
{
    return handle ? std::to_string(reinterpret_cast<uintptr_t>(handle)) : "null";
}

class JsonObject {
public:
    JsonObject& raw(const char* key, const std::string& json)
    {
        text_ += (text_.size() > 1 ? "," : "") + quote(key) + ":" + json;
        return *this;
    }
    JsonObject& str(const char* key, const std::string& utf8) { return raw(key, quote(utf8)); }
    JsonObject& num(const char* key, long long value) { return raw(key, std::to_string(value)); }
    JsonObject& flag(const char* key, bool value) { return raw(key, value ? "true" : "false"); }
    JsonObject& handle(const char* key, const void* value) { return raw(key, handleJson(value)); }
    std::string done() const { return text_ + "}"; }

private:
    std::string text_ = "{";
};

std::string jsonArray(const std::vector<std::string>& items)
{
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i)
        out += (i ? "," : "") + items[i];
    return out + "]";
}

std::string rectJson(const RECT& r)
{
    return JsonObject().num("x", r.left).num("y", r.top).num("w", r.right - r.left).num("h", r.bottom - r.top).done();
}

// ---- reading windows -------------------------------------------------------------------------

struct WindowText {
    bool ok = false;
    std::string utf8;
    std::string ansi;
};

// Both sides of WM_GETTEXT; a window that does not answer in time gives ok == false.
WindowText readText(HWND hwnd)
{
    WindowText text;
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length))
        return text;
    std::wstring wide(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, wide.size(), reinterpret_cast<LPARAM>(wide.data()),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied))
        return text;
    wide.resize(wcsnlen(wide.c_str(), wide.size()));
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length))
        return text;
    std::string ansi(length * 2 + 2, '\0');  // the length may count characters, not bytes
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, ansi.size(), reinterpret_cast<LPARAM>(ansi.data()),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied))
        return text;
    ansi.resize(strnlen(ansi.c_str(), ansi.size()));
    text.ok = true;
    text.utf8 = toUtf8(wide);
    text.ansi = ansi;
    return text;
}

JsonObject& addText(JsonObject& json, HWND hwnd)
{
    WindowText text = readText(hwnd);
    if (!text.ok)
        return json.raw("text", "null").raw("text_a", "null");
    return json.str("text", text.utf8).str("text_a", hexBytes(text.ansi));
}

std::string className(HWND hwnd)
{
    wchar_t buffer[256] = {};
    GetClassNameW(hwnd, buffer, 256);
    return toUtf8(buffer);
}

long long windowLong(HWND hwnd, int index)
{
    return static_cast<long long>(static_cast<uint32_t>(GetWindowLongPtrW(hwnd, index)));
}

RECT clientRectOnScreen(HWND hwnd)
{
    RECT r{};
    GetClientRect(hwnd, &r);
    MapWindowPoints(hwnd, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string topLevelJson(HWND hwnd)
{
    RECT window{};
    GetWindowRect(hwnd, &window);
    JsonObject json;
    json.handle("hwnd", hwnd).str("class", className(hwnd));
    addText(json, hwnd);
    return json.raw("rect", rectJson(window))
        .raw("client", rectJson(clientRectOnScreen(hwnd)))
        .flag("visible", IsWindowVisible(hwnd))
        .flag("enabled", IsWindowEnabled(hwnd))
        .num("style", windowLong(hwnd, GWL_STYLE))
        .num("exstyle", windowLong(hwnd, GWL_EXSTYLE))
        .handle("owner", GetWindow(hwnd, GW_OWNER))
        .done();
}

// Descendants of a window, depth first, each level in z order (which is the dialog tab order).
void collectChildren(HWND parent, std::vector<HWND>& out)
{
    for (HWND child = GetWindow(parent, GW_CHILD); child && out.size() < 4096; child = GetWindow(child, GW_HWNDNEXT)) {
        out.push_back(child);
        collectChildren(child, out);
    }
}

std::string controlJson(HWND top, HWND control)
{
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, top, reinterpret_cast<POINT*>(&r), 2);
    JsonObject json;
    json.handle("hwnd", control).num("id", GetDlgCtrlID(control)).str("class", className(control));
    addText(json, control);
    return json.raw("rect", rectJson(r))
        .flag("enabled", IsWindowEnabled(control))
        .flag("visible", IsWindowVisible(control))
        .num("style", windowLong(control, GWL_STYLE))
        .num("exstyle", windowLong(control, GWL_EXSTYLE))
        .handle("parent", GetParent(control))
        .done();
}

HWND findControl(HWND top, int id)
{
    std::vector<HWND> children;
    collectChildren(top, children);
    for (HWND child : children)
        if (GetDlgCtrlID(child) == id)
            return child;
    fail("no control with id " + std::to_string(id));
}

HWND findChildOfClass(HWND top, const char* cls)
{
    std::vector<HWND> children;
    collectChildren(top, children);
    for (HWND child : children)
        if (className(child) == cls)
            return child;
    fail(std::string("no ") + cls + " in this window");
}

HWND parseWindow(const std::string& token)
{
    size_t used = 0;
    unsigned long long value = 0;
    try {
        value = std::stoull(token, &used, 0);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != token.size())
        fail("not a window handle: " + token);
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
}

// ---- the program under test ------------------------------------------------------------------

class Target {
public:
    void start(const std::wstring& exe, const std::wstring& cwd, const std::wstring& args)
    {
        if (running())
            fail("a program is already running; kill it or wait for its exit first");
        std::wstring commandLine = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
        // Without handles of its own the program would write into this driver's answers.
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        UniqueHandle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inheritable, OPEN_EXISTING, 0, nullptr));
        if (nul.get() == INVALID_HANDLE_VALUE)
            fail(lastErrorText("CreateFile(NUL)"));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.get();
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                            cwd.c_str(), &startup, &info))
            fail(lastErrorText("CreateProcess"));
        process_.reset(info.hProcess);
        CloseHandle(info.hThread);
        pid_ = info.dwProcessId;
        systemImages_.clear();
    }

    bool running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

    HANDLE process() const
    {
        if (!process_)
            fail("no program started");
        return process_.get();
    }

    DWORD pid() const
    {
        process();
        return pid_;
    }

    // Top-level windows of the process, in z order; none once it has exited.
    std::vector<HWND> windows() const
    {
        if (!running())
            return {};
        struct Search {
            DWORD pid;
            std::vector<HWND> found;
        } search{pid(), {}};
        EnumWindows(
            [](HWND hwnd, LPARAM data) -> BOOL {
                auto* s = reinterpret_cast<Search*>(data);
                DWORD owner = 0;
                GetWindowThreadProcessId(hwnd, &owner);
                if (owner == s->pid)
                    s->found.push_back(hwnd);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    // A window of this process, checked before anything is sent or posted to it.
    HWND own(const std::string& token) const
    {
        HWND hwnd = parseWindow(token);
        DWORD owner = 0;
        if (!IsWindow(hwnd) || !GetWindowThreadProcessId(hwnd, &owner))
            fail("no window " + token);
        if (owner != pid())
            fail("window " + token + " does not belong to the program under test");
        return hwnd;
    }

    // The handle that the target itself gets from LoadCursorW/LoadIconW(NULL, id): system
    // cursors and icons are cached per process, so only the target can say which is which.
    uintptr_t systemImage(const char* function, WORD id)
    {
        std::string key = std::string(function) + "/" + std::to_string(id);
        auto known = systemImages_.find(key);
        if (known != systemImages_.end())
            return known->second;
        uintptr_t handle = callInTarget(function, id);
        systemImages_[key] = handle;
        return handle;
    }

    void kill()
    {
        if (!running())
            return;
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 5000);
    }

private:
    uintptr_t remoteUser32() const
    {
        UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid()));
        if (snapshot.get() == INVALID_HANDLE_VALUE)
            fail(lastErrorText("CreateToolhelp32Snapshot"));
        MODULEENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Module32FirstW(snapshot.get(), &entry); more; more = Module32NextW(snapshot.get(), &entry))
            if (_wcsicmp(entry.szModule, L"user32.dll") == 0)
                return reinterpret_cast<uintptr_t>(entry.modBaseAddr);
        fail("user32.dll is not loaded in the program under test");
    }

    // Runs function(NULL, MAKEINTRESOURCE(id)) of user32 on a new thread of the target; the
    // thread's exit code is the handle's low 32 bits, which is all that a user handle uses.
    uintptr_t callInTarget(const char* function, WORD id)
    {
        BOOL emulated = FALSE;
        if (IsWow64Process(process(), &emulated) && emulated)
            fail("cursors and icons can be named only in a 64-bit program");
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        auto local = reinterpret_cast<uintptr_t>(GetProcAddress(user32, function));
        if (!local)
            fail(std::string("no ") + function);
        uint64_t address = remoteUser32() + (local - reinterpret_cast<uintptr_t>(user32));
        unsigned char code[] = {
            0x48, 0x83, 0xEC, 0x28,              // sub rsp, 40 (shadow space, alignment)
            0x31, 0xC9,                          // xor ecx, ecx
            0xBA, 0, 0, 0, 0,                    // mov edx, id
            0x48, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0,  // mov rax, function
            0xFF, 0xD0,                          // call rax
            0x48, 0x83, 0xC4, 0x28,              // add rsp, 40
            0xC3,                                // ret
        };
        uint32_t id32 = id;
        memcpy(code + 7, &id32, 4);
        memcpy(code + 13, &address, 8);
        RemoteMemory memory(process(), sizeof code, PAGE_EXECUTE_READWRITE);
        memory.write(code, sizeof code);
        FlushInstructionCache(process(), memory.address(), sizeof code);
        UniqueHandle thread(CreateRemoteThread(process(), nullptr, 0,
                                               reinterpret_cast<LPTHREAD_START_ROUTINE>(memory.address()),
                                               nullptr, 0, nullptr));
        if (!thread)
            fail(lastErrorText("CreateRemoteThread"));
        if (WaitForSingleObject(thread.get(), 5000) != WAIT_OBJECT_0) {
            memory.abandon();
            fail(std::string(function) + " did not return in the program under test");
        }
        DWORD exitCode = 0;
        GetExitCodeThread(thread.get(), &exitCode);
        return exitCode;
    }

    UniqueHandle process_;
    DWORD pid_ = 0;
    std::map<std::string, uintptr_t> systemImages_;
};

struct NamedId {
    const char* name;
    WORD id;
};

const NamedId kCursors[] = {
    {"IDC_ARROW", 32512}, {"IDC_IBEAM", 32513}, {"IDC_WAIT", 32514}, {"IDC_CROSS", 32515},
    {"IDC_UPARROW", 32516}, {"IDC_SIZENWSE", 32642}, {"IDC_SIZENESW", 32643}, {"IDC_SIZEWE", 32644},
    {"IDC_SIZENS", 32645}, {"IDC_SIZEALL", 32646}, {"IDC_NO", 32648}, {"IDC_HAND", 32649},
    {"IDC_APPSTARTING", 32650}, {"IDC_HELP", 32651},
};

const NamedId kIcons[] = {
    {"error", 32513}, {"question", 32514}, {"warning", 32515}, {"information", 32516},
    {"application", 32512}, {"shield", 32518},
};

std::string imageName(Target& target, const char* function, const NamedId* table, size_t count, uintptr_t handle)
{
    if (!handle)
        return "null";
    auto low = static_cast<uint32_t>(handle);
    for (size_t i = 0; i < count; ++i)
        if (target.systemImage(function, table[i].id) == low)
            return quote(table[i].name);
    return "null";
}

// ---- command arguments -----------------------------------------------------------------------

// A token is a bare word or a JSON string literal (for paths and texts with spaces).
std::vector<std::string> tokenize(const std::string& line)
{
    std::vector<std::string> tokens;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        if (line[i] != '"') {
            size_t end = line.find_first_of(" \t", i);
            if (end == std::string::npos)
                end = line.size();
            tokens.push_back(line.substr(i, end - i));
            i = end;
            continue;
        }
        std::string token;
        for (++i;; ++i) {
            if (i >= line.size())
                fail("unterminated string");
            char c = line[i];
            if (c == '"')
                break;
            if (c != '\\') {
                token += c;
                continue;
            }
            if (++i >= line.size())
                fail("unterminated string");
            switch (line[i]) {
            case 'n': token += '\n'; break;
            case 'b': token += '\b'; break;
            case 'f': token += '\f'; break;
            case 't': token += '\t'; break;
            case 'r': token += '\r'; break;
            case 'u': {
                if (i + 4 >= line.size())
                    fail("bad \\u escape");
                unsigned code = std::stoul(line.substr(i + 1, 4), nullptr, 16);
                i += 4;
                if (code >= 0xD800 && code < 0xDC00 && line.compare(i + 1, 2, "\\u") == 0 && i + 6 < line.size()) {
                    unsigned low = std::stoul(line.substr(i + 3, 4), nullptr, 16);
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    i += 6;
                }
                std::wstring wide;
                if (code >= 0x10000) {
                    wide += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
                    wide += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
                } else {
                    wide += static_cast<wchar_t>(code);
                }
                token += toUtf8(wide);
                break;
            }
            default: token += line[i];
            }
        }
        tokens.push_back(token);
        ++i;
    }
    return tokens;
}

class Args {
public:
    explicit Args(std::vector<std::string> tokens) : tokens_(std::move(tokens)) {}

    size_t size() const { return tokens_.size(); }
    const std::string& at(size_t i) const
    {
        if (i >= tokens_.size())
            fail("missing argument " + std::to_string(i) + " of " + tokens_[0]);
        return tokens_[i];
    }
    long long number(size_t i) const
    {
        const std::string& token = at(i);
        size_t used = 0;
        long long value = 0;
        try {
            value = std::stoll(token, &used, 0);
        } catch (const std::exception&) {
            fail("not a number: " + token);
        }
        if (used != token.size())
            fail("not a number: " + token);
        return value;
    }
    DWORD milliseconds(size_t i) const
    {
        long long ms = number(i);
        if (ms < 0 || ms > 600000)
            fail("timeout out of range: " + at(i));
        return static_cast<DWORD>(ms);
    }

private:
    std::vector<std::string> tokens_;
};

// ---- commands --------------------------------------------------------------------------------

// Waits, checking every few milliseconds, until found() gives a window, the time is up or the
// program has ended.
template <typename Find>
HWND poll(const Target& target, DWORD ms, Find found)
{
    DWORD begin = GetTickCount();
    for (;;) {
        if (HWND hwnd = found())
            return hwnd;
        if (GetTickCount() - begin >= ms || !target.running())
            return nullptr;
        Sleep(kPollMs);
    }
}

std::string timeoutJson(Target& target)
{
    std::vector<std::string> windows;
    for (HWND hwnd : target.windows())
        windows.push_back(topLevelJson(hwnd));
    return JsonObject().flag("timeout", true).flag("running", target.running()).raw("windows", jsonArray(windows)).done();
}

std::string cmdStart(Target& target, const Args& args)
{
    std::wstring extra;
    for (size_t i = 3; i < args.size(); ++i)
        extra += (i > 3 ? L" " : L"") + fromUtf8(args.at(i));
    target.start(fromUtf8(args.at(1)), fromUtf8(args.at(2)), extra);
    return JsonObject().num("pid", target.pid()).done();
}

std::string cmdWaitExit(Target& target, const Args& args)
{
    DWORD result = WaitForSingleObject(target.process(), args.milliseconds(1));
    if (result == WAIT_TIMEOUT)
        return JsonObject().flag("exited", false).done();
    if (result != WAIT_OBJECT_0)
        fail(lastErrorText("WaitForSingleObject"));
    DWORD code = 0;
    GetExitCodeProcess(target.process(), &code);
    return JsonObject().flag("exited", true).num("exit_code", code).done();
}

std::string cmdWindows(Target& target, const Args&)
{
    std::vector<std::string> windows;
    for (HWND hwnd : target.windows())
        windows.push_back(topLevelJson(hwnd));
    return JsonObject().raw("windows", jsonArray(windows)).done();
}

// wait-window <ms> [class]: a visible top-level window; without a class, not a dialog box.
std::string cmdWaitWindow(Target& target, const Args& args)
{
    std::string cls = args.size() > 2 ? args.at(2) : "";
    HWND found = poll(target, args.milliseconds(1), [&]() -> HWND {
        for (HWND hwnd : target.windows()) {
            if (!IsWindowVisible(hwnd))
                continue;
            std::string name = className(hwnd);
            if (cls.empty() ? name != "#32770" : name == cls)
                return hwnd;
        }
        return nullptr;
    });
    if (!found)
        return timeoutJson(target);
    return JsonObject().raw("window", topLevelJson(found)).done();
}

std::string cmdControls(Target& target, const Args& args)
{
    HWND top = target.own(args.at(1));
    std::vector<HWND> children;
    collectChildren(top, children);
    std::vector<std::string> controls;
    for (HWND child : children)
        controls.push_back(controlJson(top, child));

    std::vector<std::string> tabOrder;
    HWND first = GetNextDlgTabItem(top, nullptr, FALSE);
    for (HWND item = first; item && tabOrder.size() < children.size() + 1;) {
        tabOrder.push_back(JsonObject().handle("hwnd", item).num("id", GetDlgCtrlID(item)).done());
        item = GetNextDlgTabItem(top, item, FALSE);
        if (item == first)
            break;
    }
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &gui);
    return JsonObject()
        .raw("controls", jsonArray(controls))
        .raw("tab_order", jsonArray(tabOrder))
        .handle("focus", gui.hwndFocus)
        .handle("active", gui.hwndActive)
        .done();
}

// The dialog box that takes input now: of several (a box over a box), the enabled one.
HWND currentDialog(Target& target)
{
    HWND fallback = nullptr;
    for (HWND hwnd : target.windows()) {
        if (!IsWindowVisible(hwnd) || className(hwnd) != "#32770")
            continue;
        if (IsWindowEnabled(hwnd))
            return hwnd;
        fallback = hwnd;
    }
    return fallback;
}

std::string cmdWaitDialog(Target& target, const Args& args)
{
    HWND dialog = poll(target, args.milliseconds(1), [&] { return currentDialog(target); });
    if (!dialog)
        return timeoutJson(target);

    JsonObject json;
    json.handle("hwnd", dialog).handle("owner", GetWindow(dialog, GW_OWNER));
    WindowText caption = readText(dialog);
    json.str("caption", caption.utf8).str("caption_a", hexBytes(caption.ansi));
    if (HWND message = GetDlgItem(dialog, 0xFFFF))
        addText(json, message);
    else
        json.raw("text", "null").raw("text_a", "null");

    HWND iconStatic = GetDlgItem(dialog, 1088);
    DWORD_PTR icon = 0;
    if (iconStatic)
        SendMessageTimeoutW(iconStatic, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &icon);
    json.flag("has_icon", icon != 0)
        .raw("icon", imageName(target, "LoadIconW", kIcons, std::size(kIcons), icon));

    std::vector<HWND> children;
    collectChildren(dialog, children);
    std::vector<std::string> buttons, controls;
    for (HWND child : children) {
        controls.push_back(controlJson(dialog, child));
        if (className(child) != "Button" || !IsWindowVisible(child))
            continue;
        JsonObject button;
        button.num("id", GetDlgCtrlID(child));
        addText(button, child);
        buttons.push_back(button.flag("enabled", IsWindowEnabled(child)).done());
    }
    RECT frame{};
    GetWindowRect(dialog, &frame);
    return json.raw("buttons", jsonArray(buttons)).raw("controls", jsonArray(controls)).raw("rect", rectJson(frame)).done();
}

// wait-gone <hwnd> <ms>: until the window is destroyed or hidden.
std::string cmdWaitGone(Target&, const Args& args)
{
    HWND hwnd = parseWindow(args.at(1));
    DWORD ms = args.milliseconds(2);
    DWORD begin = GetTickCount();
    while (IsWindow(hwnd) && IsWindowVisible(hwnd)) {
        if (GetTickCount() - begin >= ms)
            return JsonObject().flag("timeout", true).done();
        Sleep(kPollMs);
    }
    return JsonObject().flag("gone", true).done();
}

// Posted input skips the check by which the system keeps a user's clicks from a disabled
// window (a main window under a modal box, say), so the driver makes that check itself.
void requireClickable(HWND hwnd, const std::string& what)
{
    if (!IsWindowVisible(hwnd))
        fail(what + " is hidden");
    if (!IsWindowEnabled(hwnd))
        fail(what + " is disabled");
    HWND top = GetAncestor(hwnd, GA_ROOT);
    if (top != hwnd && !IsWindowEnabled(top))
        fail(what + " is in a disabled window (is a modal box open?)");
}

std::string cmdPress(Target& target, const Args& args)
{
    HWND top = target.own(args.at(1));
    HWND control = findControl(top, static_cast<int>(args.number(2)));
    requireClickable(control, "control " + args.at(2));
    if (!PostMessageW(control, BM_CLICK, 0, 0))
        fail(lastErrorText("PostMessage"));
    return JsonObject().flag("ok", true).done();
}

LPARAM pointParam(long long x, long long y)
{
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y)));
}

// The visible child (at any depth) that lies at a client point of top, or top itself.
HWND windowAt(HWND top, POINT clientPoint)
{
    HWND current = top;
    POINT pt = clientPoint;
    for (;;) {
        HWND child = ChildWindowFromPointEx(current, pt, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
        if (!child || child == current)
            return current;
        MapWindowPoints(current, child, &pt, 1);
        current = child;
    }
}

std::string cmdClick(Target& target, const Args& args)
{
    HWND top = target.own(args.at(1));
    requireClickable(top, "window " + args.at(1));
    long long x = args.number(2), y = args.number(3);
    LPARAM at = pointParam(x, y);
    PostMessageW(top, WM_MOUSEMOVE, 0, at);
    PostMessageW(top, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(top, WM_LBUTTONUP, 0, at);
    HWND under = windowAt(top, POINT{static_cast<LONG>(x), static_cast<LONG>(y)});
    return JsonObject().flag("ok", true).handle("covered_by", under == top ? nullptr : under).done();
}

std::string cmdClose(Target& target, const Args& args)
{
    if (!PostMessageW(target.own(args.at(1)), WM_CLOSE, 0, 0))
        fail(lastErrorText("PostMessage"));
    return JsonObject().flag("ok", true).done();
}

std::string cmdSyscommand(Target& target, const Args& args)
{
    static const std::map<std::string, WPARAM> names = {
        {"SC_CLOSE", SC_CLOSE}, {"SC_MINIMIZE", SC_MINIMIZE}, {"SC_MAXIMIZE", SC_MAXIMIZE},
        {"SC_RESTORE", SC_RESTORE}, {"SC_MOVE", SC_MOVE}, {"SC_SIZE", SC_SIZE},
        {"SC_KEYMENU", SC_KEYMENU}, {"SC_CONTEXTHELP", SC_CONTEXTHELP},
    };
    HWND hwnd = target.own(args.at(1));
    requireClickable(hwnd, "window " + args.at(1));
    auto named = names.find(args.at(2));
    WPARAM command = named != names.end() ? named->second : static_cast<WPARAM>(args.number(2));
    if (!PostMessageW(hwnd, WM_SYSCOMMAND, command, 0))
        fail(lastErrorText("PostMessage"));
    return JsonObject().flag("ok", true).done();
}

WORD virtualKey(const std::string& token)
{
    static const std::map<std::string, WORD> names = {
        {"VK_RETURN", VK_RETURN}, {"VK_ESCAPE", VK_ESCAPE}, {"VK_TAB", VK_TAB}, {"VK_SPACE", VK_SPACE},
        {"VK_F4", VK_F4}, {"VK_LEFT", VK_LEFT}, {"VK_RIGHT", VK_RIGHT}, {"VK_UP", VK_UP}, {"VK_DOWN", VK_DOWN},
    };
    auto named = names.find(token);
    if (named != names.end())
        return named->second;
    if (token.size() == 1 && isalnum(static_cast<unsigned char>(token[0])))
        return static_cast<WORD>(toupper(static_cast<unsigned char>(token[0])));
    long long code = std::stoll(token, nullptr, 0);
    if (code <= 0 || code > 0xFE)
        fail("not a virtual key: " + token);
    return static_cast<WORD>(code);
}

// key <hwnd> <vk> [alt]: real keyboard input (SendInput) to the window, made the foreground
// window first, so the program sees the keys as a user's: its own message loop translates them.
std::string cmdKey(Target& target, const Args& args)
{
    HWND hwnd = target.own(args.at(1));
    WORD vk = virtualKey(args.at(2));
    bool alt = args.size() > 3 && args.at(3) == "alt";
    HWND top = GetAncestor(hwnd, GA_ROOT);
    SetForegroundWindow(top);
    DWORD begin = GetTickCount();
    while (GetForegroundWindow() != top && GetTickCount() - begin < 1000)
        Sleep(kPollMs);
    if (GetForegroundWindow() != top)
        fail("the window could not be made the foreground window");

    std::vector<INPUT> inputs;
    auto add = [&](WORD key, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    if (alt)
        add(VK_MENU, false);
    add(vk, false);
    add(vk, true);
    if (alt)
        add(VK_MENU, true);
    if (SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size())
        fail(lastErrorText("SendInput"));
    return JsonObject().flag("ok", true).done();
}

// cursor <hwnd> <x> <y>: moves the real pointer there, has the window under it set its cursor
// (WM_SETCURSOR, as the system does on a move) and reads the cursor through shared input state.
std::string cmdCursor(Target& target, const Args& args)
{
    HWND top = target.own(args.at(1));
    POINT client{static_cast<LONG>(args.number(2)), static_cast<LONG>(args.number(3))};
    POINT screen = client;
    ClientToScreen(top, &screen);
    SetCursorPos(screen.x, screen.y);
    HWND under = windowAt(top, client);
    POINT local = screen;
    ScreenToClient(under, &local);
    PostMessageW(under, WM_MOUSEMOVE, 0, pointParam(local.x, local.y));
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE),
                        SMTO_ABORTIFHUNG, kMessageTimeoutMs, &ignored);
    SendMessageTimeoutW(under, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &ignored);

    HCURSOR cursor = nullptr;
    {
        ThreadInputAttachment attached(GetWindowThreadProcessId(under, nullptr));
        cursor = GetCursor();
    }
    auto handle = reinterpret_cast<uintptr_t>(cursor);
    return JsonObject()
        .raw("name", imageName(target, "LoadCursorW", kCursors, std::size(kCursors), handle))
        .handle("handle", cursor)
        .handle("window", under)
        .done();
}

// The colour of one pixel of a control as the screen shows it (default: 3 pixels in from the
// right edge of its client area, half-way down, where an edit box's text rarely reaches).
std::string cmdColor(Target& target, const Args& args)
{
    HWND top = target.own(args.at(1));
    HWND control = args.at(2) == "0" ? top : findControl(top, static_cast<int>(args.number(2)));
    RECT client{};
    GetClientRect(control, &client);
    POINT pt{client.right - 3, client.bottom / 2};
    if (args.size() > 4)
        pt = POINT{static_cast<LONG>(args.number(3)), static_cast<LONG>(args.number(4))};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(control, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &ignored);
    ClientToScreen(control, &pt);
    HDC screen = GetDC(nullptr);
    COLORREF color = GetPixel(screen, pt.x, pt.y);
    ReleaseDC(nullptr, screen);
    if (color == CLR_INVALID)
        fail("the pixel could not be read");
    char hex[8];
    snprintf(hex, sizeof hex, "%02x%02x%02x", GetRValue(color), GetGValue(color), GetBValue(color));
    return JsonObject()
        .str("rgb", hex)
        .num("r", GetRValue(color))
        .num("g", GetGValue(color))
        .num("b", GetBValue(color))
        .done();
}

// ---- tree view of the folder dialog ----------------------------------------------------------

class RemoteTree {
public:
    RemoteTree(Target& target, HWND tree)
        : tree_(tree), memory_(target.process(), sizeof(TVITEMW) + kTextChars * sizeof(wchar_t), PAGE_READWRITE)
    {
    }

    HTREEITEM next(HTREEITEM item, UINT relation) const
    {
        return reinterpret_cast<HTREEITEM>(send(TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
    }

    std::string text(HTREEITEM item) const
    {
        auto* remoteText = reinterpret_cast<wchar_t*>(static_cast<char*>(memory_.address()) + sizeof(TVITEMW));
        TVITEMW query{};
        query.mask = TVIF_TEXT | TVIF_HANDLE;
        query.hItem = item;
        query.pszText = remoteText;
        query.cchTextMax = kTextChars;
        memory_.write(&query, sizeof query);
        if (!send(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(memory_.address())))
            fail("TVM_GETITEM failed");
        std::wstring buffer(kTextChars, L'\0');
        memory_.read(buffer.data(), kTextChars * sizeof(wchar_t), sizeof(TVITEMW));
        buffer.resize(wcsnlen(buffer.c_str(), kTextChars));
        return toUtf8(buffer);
    }

    std::vector<std::string> chain(HTREEITEM item) const
    {
        std::vector<std::string> texts;
        for (; item && texts.size() < 64; item = next(item, TVGN_PARENT))
            texts.insert(texts.begin(), quote(text(item)));
        return texts;
    }

    LRESULT send(UINT message, WPARAM wParam, LPARAM lParam) const
    {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(tree_, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result))
            fail("the tree view did not answer");
        return static_cast<LRESULT>(result);
    }

private:
    static constexpr int kTextChars = 520;
    HWND tree_;
    RemoteMemory memory_;
};

std::string treeJson(const RemoteTree& tree)
{
    HTREEITEM selected = tree.next(nullptr, TVGN_CARET);
    if (!selected)
        return JsonObject().raw("selected", "null").raw("path", "[]").done();
    return JsonObject().str("selected", tree.text(selected)).raw("path", jsonArray(tree.chain(selected))).done();
}

std::string cmdTree(Target& target, const Args& args)
{
    HWND dialog = target.own(args.at(1));
    RemoteTree tree(target, findChildOfClass(dialog, "SysTreeView32"));
    return treeJson(tree);
}

// Wine names drives " (C:)" when they have no volume label: blanks around a text do not count.
bool sameItemText(const std::string& item, const std::string& wanted)
{
    auto trim = [](const std::string& text) {
        size_t begin = text.find_first_not_of(' ');
        size_t end = text.find_last_not_of(' ');
        return begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
    };
    return item == wanted || trim(item) == trim(wanted);
}

// tree-select <hwnd> <text>...: from the root, expands and selects the item with each text in turn.
std::string cmdTreeSelect(Target& target, const Args& args)
{
    HWND dialog = target.own(args.at(1));
    RemoteTree tree(target, findChildOfClass(dialog, "SysTreeView32"));
    HTREEITEM item = nullptr;
    for (size_t i = 2; i < args.size(); ++i) {
        if (item)
            tree.send(TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        std::vector<std::string> seen;
        HTREEITEM child = item ? tree.next(item, TVGN_CHILD) : tree.next(nullptr, TVGN_ROOT);
        for (; child && seen.size() < 1000; child = tree.next(child, TVGN_NEXT)) {
            seen.push_back(tree.text(child));
            if (sameItemText(seen.back(), args.at(i)))
                break;
        }
        if (!child) {
            std::string list;
            for (const std::string& text : seen)
                list += (list.empty() ? "" : ", ") + text;
            fail("no tree item \"" + args.at(i) + "\" at level " + std::to_string(i - 1) + "; there are: " + list);
        }
        item = child;
    }
    if (!item)
        fail("tree-select needs at least one item text");
    tree.send(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    return treeJson(tree);
}

// sync <hwnd>: returns once the window's thread has handled what was posted before (two round
// trips: the first reaches its next message check, the second one after the posted messages).
std::string cmdSync(Target& target, const Args& args)
{
    HWND hwnd = target.own(args.at(1));
    DWORD_PTR ignored = 0;
    for (int i = 0; i < 2; ++i)
        if (!SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &ignored))
            return JsonObject().flag("timeout", true).done();
    return JsonObject().flag("ok", true).done();
}

// Files that the driver holds open without sharing, as another program might: until release,
// or the driver's end.
std::map<std::wstring, UniqueHandle>& heldFiles()
{
    static std::map<std::wstring, UniqueHandle> files;
    return files;
}

// hold <path>: opens an existing file with no sharing, so that other programs cannot open it.
std::string cmdHold(Target&, const Args& args)
{
    std::wstring path = fromUtf8(args.at(1));
    if (heldFiles().count(path))
        fail("already held: " + args.at(1));
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        fail(lastErrorText("CreateFile"));
    heldFiles().emplace(path, std::move(file));
    return JsonObject().flag("held", true).done();
}

std::string cmdRelease(Target&, const Args& args)
{
    if (!heldFiles().erase(fromUtf8(args.at(1))))
        fail("not held: " + args.at(1));
    return JsonObject().flag("released", true).done();
}

std::string cmdKill(Target& target, const Args&)
{
    target.kill();
    return JsonObject().flag("ok", true).done();
}

using Command = std::string (*)(Target&, const Args&);

const std::map<std::string, Command> kCommands = {
    {"start", cmdStart}, {"wait-exit", cmdWaitExit}, {"windows", cmdWindows},
    {"wait-window", cmdWaitWindow}, {"controls", cmdControls}, {"wait-dialog", cmdWaitDialog},
    {"wait-gone", cmdWaitGone}, {"press", cmdPress}, {"click", cmdClick}, {"close", cmdClose},
    {"syscommand", cmdSyscommand}, {"key", cmdKey}, {"cursor", cmdCursor}, {"color", cmdColor},
    {"tree", cmdTree}, {"tree-select", cmdTreeSelect}, {"sync", cmdSync}, {"kill", cmdKill},
    {"hold", cmdHold}, {"release", cmdRelease},
};

std::string execute(Target& target, const std::string& line)
{
    try {
        Args args(tokenize(line));
        if (args.size() == 0)
            fail("empty command");
        auto command = kCommands.find(args.at(0));
        if (command == kCommands.end())
            fail("unknown command: " + args.at(0));
        return command->second(target, args);
    } catch (const CommandError& error) {
        return JsonObject().str("error", error.message).done();
    } catch (const std::exception& error) {
        return JsonObject().str("error", std::string("bad argument: ") + error.what()).done();
    }
}

void writeLine(HANDLE out, const std::string& json)
{
    std::string line = json + "\n";
    DWORD written = 0;
    WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

int main()
{
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    Target target;
    std::string pending;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        pending.append(buffer, got);
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line == "quit") {
                target.kill();
                return 0;
            }
            writeLine(out, execute(target, line));
        }
    }
    target.kill();
    return 0;
}
