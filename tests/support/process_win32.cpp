// What the tests take from the operating system (Windows): a built program run in a child
// process with its output collected, a file that cannot be read, a full device, a file held
// open by another program.
#include "test_support.h"

#include <windows.h>

#include <atomic>
#include <thread>

namespace testsupport {

namespace {

// Quotes one argument so that the C runtime of the child splits it back out unchanged:
// backslashes count only in front of a quote, where each must be doubled.
std::string quoteArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos)
        return argument;
    std::string quoted = "\"";
    for (std::size_t i = 0;; ++i) {
        std::size_t backslashes = 0;
        while (i < argument.size() && argument[i] == '\\') {
            ++backslashes;
            ++i;
        }
        if (i == argument.size()) {
            quoted.append(backslashes * 2, '\\');
            break;
        }
        if (argument[i] == '"')
            quoted.append(backslashes * 2 + 1, '\\');
        else
            quoted.append(backslashes, '\\');
        quoted += argument[i];
    }
    return quoted + "\"";
}

// The text stream of the child's C runtime writes each line feed as carriage return and line
// feed. Undone only when every line feed came so; otherwise the bytes stay as they are, so
// that a comparison shows that the stream was not a text stream.
std::string undoTextMode(const std::string& raw) {
    std::string text;
    text.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\n') {
            if (i == 0 || raw[i - 1] != '\r')
                return raw;
            text.pop_back();
        }
        text += raw[i];
    }
    return text;
}

} // namespace

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workDir) {
    RunResult result;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        result.output = "CreatePipe failed: " + std::to_string(GetLastError());
        return result;
    }
    // Only the child's end is inherited, so the pipe ends when the child does.
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE noInput = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 &inheritable, OPEN_EXISTING, 0, nullptr);

    std::string commandLine = quoteArgument(program);
    for (const std::string& arg : args)
        commandLine += " " + quoteArgument(arg);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = noInput;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION child{};
    // Wine now and then fails a process start with ERROR_INTERNAL_ERROR when
    // several tests start programs at once; the same start succeeds a moment
    // later, so such a failure is retried a few times before it counts.
    BOOL started = FALSE;
    DWORD startError = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
        started =
            CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                           workDir.empty() ? nullptr : workDir.c_str(), &startup, &child);
        startError = started ? 0 : GetLastError();
        if (started || startError != ERROR_INTERNAL_ERROR)
            break;
        Sleep(50 * (attempt + 1));
    }
    CloseHandle(writeEnd);
    if (noInput != INVALID_HANDLE_VALUE)
        CloseHandle(noInput);
    if (!started) {
        result.output = "CreateProcess failed: " + std::to_string(startError);
        CloseHandle(readEnd);
        return result;
    }
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
        result.rawOutput.append(buffer, got);
    CloseHandle(readEnd);
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD exitCode = 0;
    if (GetExitCodeProcess(child.hProcess, &exitCode))
        result.exitStatus = exitCode;
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    result.output = undoTextMode(result.rawOutput);
    return result;
}

// A named pipe served by a thread of this process: every program that opens it is cut off at
// once, so its first read fails. A new instance is listening before the connected one is cut
// off, so a program that opens the pipe more than once finds it each time.
struct UnreadableFile::Server {
    std::atomic<bool> stopping{false};
    std::thread thread;
};

namespace {

HANDLE listenOn(const std::string& name) {
    return CreateNamedPipeA(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT,
                            PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
}

} // namespace

UnreadableFile::UnreadableFile() : server_(std::make_unique<Server>()) {
    static std::atomic<unsigned> counter{0};
    path_ = "\\\\.\\pipe\\plc-unreadable-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(counter++);
    HANDLE first = listenOn(path_);
    if (first == INVALID_HANDLE_VALUE)
        return;
    server_->thread = std::thread([this, first] {
        HANDLE current = first;
        for (;;) {
            ConnectNamedPipe(current, nullptr); // fails with ERROR_PIPE_CONNECTED if early
            if (server_->stopping)
                break;
            HANDLE next = listenOn(path_);
            DisconnectNamedPipe(current);
            CloseHandle(current);
            current = next;
            if (current == INVALID_HANDLE_VALUE)
                return;
        }
        CloseHandle(current);
    });
}

UnreadableFile::~UnreadableFile() {
    if (!server_->thread.joinable())
        return;
    server_->stopping = true;
    // Wake the thread that waits for the next program; while it is still cutting one off, no
    // instance may be listening yet.
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE wake =
            CreateFileA(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (wake != INVALID_HANDLE_VALUE) {
            CloseHandle(wake);
            break;
        }
        if (GetLastError() != ERROR_PIPE_BUSY)
            Sleep(10);
        else
            WaitNamedPipeA(path_.c_str(), 100);
    }
    server_->thread.join();
}

bool runningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void setEnvironment(const std::string& name, const std::string& value) {
    // The programs started afterwards inherit the process's environment block.
    SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str());
}

std::string fullDevicePath() {
    // Windows has no device that is always full. Under Wine drive Z: is the root of the
    // build machine, whose full device the Win32 calls reach like any file.
    const char* const path = "Z:\\dev\\full";
    if (!runningUnderWine())
        return "";
    HANDLE device = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return "";
    const bool isDevice = GetFileType(device) == FILE_TYPE_CHAR;
    CloseHandle(device);
    return isDevice ? path : "";
}

HeldFile::HeldFile(const std::string& path, bool forWriting, bool shareReading, bool shareWriting) {
    const DWORD share =
        (shareReading ? FILE_SHARE_READ : 0) | (shareWriting ? FILE_SHARE_WRITE : 0);
    HANDLE handle = CreateFileA(path.c_str(), forWriting ? GENERIC_WRITE : GENERIC_READ, share,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
        handle_ = handle;
}

HeldFile::~HeldFile() {
    if (handle_ != nullptr)
        CloseHandle(static_cast<HANDLE>(handle_));
}

} // namespace testsupport
