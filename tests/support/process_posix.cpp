// What the tests take from the operating system (POSIX): a built program run in a child
// process with its output collected, the environment it inherits, a file that cannot be
// read, a full device.
#include "test_support.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workDir) {
    RunResult result;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return result;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    pid_t child = fork();
    if (child == 0) {
        int nullInput = open("/dev/null", O_RDONLY);
        dup2(nullInput, 0);
        dup2(pipeEnds[1], 1);
        dup2(pipeEnds[1], 2);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        if (!workDir.empty() && chdir(workDir.c_str()) != 0)
            _exit(127);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    if (child < 0) {
        close(pipeEnds[0]);
        return result;
    }
    char buffer[4096];
    for (;;) {
        ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
        if (got > 0)
            result.output.append(buffer, static_cast<std::size_t>(got));
        else if (got == 0 || errno != EINTR)
            break;
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) == -1 && errno == EINTR) {
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.rawOutput = result.output;
    return result;
}

void setEnvironment(const std::string& name, const std::string& value) {
    if (value.empty())
        unsetenv(name.c_str());
    else
        setenv(name.c_str(), value.c_str(), 1);
}

// The process's own memory opens, but its first page is never mapped, so reading from
// offset 0 fails at once.
struct UnreadableFile::Server {};

UnreadableFile::UnreadableFile() : path_("/proc/self/mem") {}

UnreadableFile::~UnreadableFile() = default;

std::string fullDevicePath() {
    struct stat info;
    return stat("/dev/full", &info) == 0 ? "/dev/full" : "";
}

} // namespace testsupport
