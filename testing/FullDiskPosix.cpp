#include "testing/FullDiskPosix.h"

#include <csignal>
#include <cstdio>
#include <fstream>
#include <string_view>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "testing/TempDir.h"

namespace kalvo::test {
namespace {

constexpr char TmpfsSize[] = "size=64k";
constexpr char OnTmpfsMark = 'T';
constexpr char OnLimitMark = 'L';

bool WriteProcFile(const std::string& path, const std::string& text)
{
    std::ofstream file(path);
    return static_cast<bool>(file << text << std::flush);
}

// A mount namespace of this process's own, entered directly as root or through a user namespace
// in which this user is root.
bool EnterOwnMountNamespace()
{
    if (unshare(CLONE_NEWNS) == 0)
        return true;
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    return unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 && WriteProcFile("/proc/self/setgroups", "deny")
           && WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1")
           && WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
}

bool MountSmallTmpfs(const std::string& folder)
{
    // Private, so the mount stays in this namespace and ends with the child.
    return EnterOwnMountNamespace() && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
           && mount("tmpfs", folder.c_str(), "tmpfs", 0, TmpfsSize) == 0;
}

// Fills the file system until a write fails for want of space.
bool FillUp(const std::string& folder)
{
    const int fd = open((folder + "/filler").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const std::string chunk(512, 'f');
    ssize_t written;
    while ((written = write(fd, chunk.data(), chunk.size())) > 0) {
    }
    const bool full = written < 0 && errno == ENOSPC;
    // The last bytes of the last block.
    while (full && write(fd, chunk.data(), 1) > 0) {
    }
    close(fd);
    return full;
}

[[noreturn]] void Report(int pipeFd, char mark, std::string_view failures)
{
    const std::string message = mark + std::string(failures);
    const bool sent = write(pipeFd, message.data(), message.size()) == static_cast<ssize_t>(message.size());
    _exit(sent ? 0 : 1);
}

[[noreturn]] void RunChild(int pipeFd, const std::string& folder,
                           const std::function<void(const std::string&)>& setup,
                           const std::function<std::string(const std::string&)>& body)
{
    if (MountSmallTmpfs(folder)) {
        setup(folder);
        if (!FillUp(folder))
            Report(pipeFd, OnTmpfsMark, "the tmpfs did not fill up");
        Report(pipeFd, OnTmpfsMark, body(folder));
    }
    setup(folder);
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit none{0, 0};
    if (setrlimit(RLIMIT_FSIZE, &none) != 0)
        Report(pipeFd, OnLimitMark, "no file-size limit could be set");
    Report(pipeFd, OnLimitMark, body(folder));
}

}  // namespace

FullDiskRun RunOnFullDisk(const std::function<void(const std::string& folder)>& setup,
                          const std::function<std::string(const std::string& folder)>& body)
{
    TempDir dir;
    const std::string folder = dir.file("full");
    std::filesystem::create_directory(folder);
    int fds[2];
    if (pipe(fds) != 0)
        return {false, "no pipe"};
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return {false, "no child process"};
    }
    if (child == 0) {
        close(fds[0]);
        RunChild(fds[1], folder, setup, body);
    }
    close(fds[1]);
    std::string message;
    char buffer[512];
    ssize_t got;
    while ((got = read(fds[0], buffer, sizeof buffer)) > 0)
        message.append(buffer, static_cast<std::size_t>(got));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || message.empty())
        return {false, "the child process did not report back"};
    return {message.front() == OnTmpfsMark, message.substr(1)};
}

}  // namespace kalvo::test
