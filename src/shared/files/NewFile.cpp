// Writing a file into a folder without ever overwriting a file or leaving one half-written.
#include "shared/files/NewFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tavelin::shared::files {

namespace {

constexpr int maxSuffix = 9999;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) { }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    int release()
    {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

std::string errnoText(const std::string& what, const std::string& path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

bool writeAll(int fd, const std::vector<uint8_t>& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        auto n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// A hidden name no one else uses; O_EXCL makes sure of it.
int createTemporary(int dirFd, std::string& name)
{
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, ".tavelin-%08x.png.part", unsigned(random()));
        int fd = openat(dirFd, buffer, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            name = buffer;
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

int renameNoReplace(int dirFd, const char* from, const char* to)
{
    return renameat2(dirFd, from, dirFd, to, RENAME_NOREPLACE);
}

int hardLink(int dirFd, const char* from, const char* to) { return linkat(dirFd, from, dirFd, to, 0); }

MoveCalls moveCalls { &renameNoReplace, &hardLink };

// Creates to (never there before: O_EXCL, a link included) and writes bytes into it; a file left
// incomplete is removed.
int createExclusive(int dirFd, const std::string& to, const std::vector<uint8_t>& bytes)
{
    FileDescriptor file(openat(dirFd, to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (file.get() < 0)
        return -1;
    bool complete = writeAll(file.get(), bytes) && fsync(file.get()) == 0;
    if (close(file.release()) == 0 && complete)
        return 0;
    int error = errno;
    unlinkat(dirFd, to.c_str(), 0);
    errno = error;
    return -1;
}

// Moves the finished temporary file from into place as to unless something (a file, a link) is
// already there: EEXIST then.
int moveIntoPlace(int dirFd, const std::string& from, const std::string& to, const std::vector<uint8_t>& bytes)
{
    if (moveCalls.renameNoReplace(dirFd, from.c_str(), to.c_str()) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    // File systems without RENAME_NOREPLACE: a hard link fails with EEXIST the same way.
    if (moveCalls.hardLink(dirFd, from.c_str(), to.c_str()) == 0) {
        unlinkat(dirFd, from.c_str(), 0);
        return 0;
    }
    if (errno == EEXIST)
        return -1;
    // Nor hard links: the complete file appears at its name only as it is written, but nothing is replaced.
    if (createExclusive(dirFd, to, bytes) != 0)
        return -1;
    unlinkat(dirFd, from.c_str(), 0);
    return 0;
}

// A folder named with its slash ("/", "~/Desktop/" in user-dirs.dirs) gets no second one.
std::string pathIn(const std::string& folder, const std::string& name)
{
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string candidateName(const std::string& stem, int suffix)
{
    return suffix == 1 ? stem + ".png" : stem + "-" + std::to_string(suffix) + ".png";
}

// Writes bytes to a temporary file in folder, then moves it to the first free name of nameFor(1..candidates).
core::FileWriteResult writeFirstFree(const std::string& folder, const std::vector<uint8_t>& bytes, int candidates,
    const std::function<std::string(int)>& nameFor, const std::string& whenAllTaken)
{
    FileDescriptor dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        return core::WriteError { errnoText("cannot open folder", folder) };
    std::string temporary;
    FileDescriptor file(createTemporary(dir.get(), temporary));
    if (file.get() < 0)
        return core::WriteError { errnoText("cannot create a file in", folder) };
    bool complete = writeAll(file.get(), bytes) && fsync(file.get()) == 0;
    int closed = close(file.release());
    if (!complete || closed != 0) {
        auto error = errnoText("cannot write into", folder);
        unlinkat(dir.get(), temporary.c_str(), 0);
        return core::WriteError { error };
    }
    for (int suffix = 1; suffix <= candidates; ++suffix) {
        auto name = nameFor(suffix);
        if (moveIntoPlace(dir.get(), temporary, name, bytes) == 0)
            return core::WrittenFile { pathIn(folder, name) };
        if (errno != EEXIST) {
            auto error = errnoText("cannot create", pathIn(folder, name));
            unlinkat(dir.get(), temporary.c_str(), 0);
            return core::WriteError { error };
        }
    }
    unlinkat(dir.get(), temporary.c_str(), 0);
    return core::WriteError { whenAllTaken };
}

}

MoveCalls setMoveCalls(MoveCalls calls) { return std::exchange(moveCalls, calls); }

core::FileWriteResult writeNewFile(const std::string& folder, const std::string& stem,
    const std::vector<uint8_t>& bytes)
{
    return writeFirstFree(folder, bytes, maxSuffix, [&stem](int suffix) { return candidateName(stem, suffix); },
        "too many screenshots named " + stem + " in " + folder);
}

core::FileWriteResult writeFileNoReplace(const std::string& path, const std::vector<uint8_t>& bytes)
{
    auto slash = path.rfind('/');
    auto folder = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
    auto name = slash == std::string::npos ? path : path.substr(slash + 1);
    return writeFirstFree(folder, bytes, 1, [&name](int) { return name; }, path + " already exists; it is never replaced");
}

}
