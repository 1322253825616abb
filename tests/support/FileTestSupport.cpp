#include "support/FileTestSupport.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>

namespace Ostrel {

bool MemoryTransfer::Write(const void* data, LONG length) {
    if (bytes.size() + static_cast<size_t>(length) > writeLimit) {
        ++refusedWrites;
        return false;
    }
    bytes.append(static_cast<const char*>(data), static_cast<size_t>(length));
    return true;
}

bool MemoryTransfer::Read(void* buffer, LONG maxLength, uint32_t* bytesRead) {
    ++reads;
    if (failReads) {
        return false;
    }
    const size_t n = std::min(static_cast<size_t>(maxLength), bytes.size() - readPosition);
    std::memcpy(buffer, bytes.data() + readPosition, n);
    readPosition += n;
    *bytesRead = static_cast<uint32_t>(n);
    return true;
}

bool WriteInPieces(IDataTransfer& target, const std::string& bytes, size_t piece) {
    for (size_t at = 0; at < bytes.size(); at += piece) {
        const std::string part = bytes.substr(at, piece);
        if (!target.Write(part.data(), static_cast<LONG>(part.size()))) {
            return false;
        }
    }
    return true;
}

std::string ReadPiece(IDataTransfer& transfer, LONG maxLength) {
    std::string buffer(static_cast<size_t>(maxLength) + 1, '?');
    uint32_t got = 0;
    EXPECT_TRUE(transfer.Read(&buffer[0], maxLength, &got));
    EXPECT_LE(got, static_cast<uint32_t>(maxLength));
    EXPECT_EQ(buffer[static_cast<size_t>(maxLength)], '?') << "wrote past the buffer";
    buffer.resize(got);
    return buffer;
}

bool ReadInPieces(IDataTransfer& transfer, LONG piece, std::string* all) {
    std::string buffer(static_cast<size_t>(piece), '\0');
    all->clear();
    for (;;) {
        uint32_t got = 0;
        if (!transfer.Read(&buffer[0], piece, &got)) {
            return false;
        }
        EXPECT_LE(got, static_cast<uint32_t>(piece));
        all->append(buffer, 0, got);
        if (got < static_cast<uint32_t>(piece)) {
            return true;
        }
    }
}

std::string OnDisk(const std::string& text) {
    std::string stored;
    for (char c : text) {
        stored += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return stored;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
    previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &previous);
    struct rlimit limited = previous;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
}

FileSizeLimit::~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
}

namespace {

// Takes the capabilities that bypass permission bits out of the effective set.
void DropPermissionOverrides() {
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0) {
        return;
    }
    for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
        data[capability / 32].effective &= ~(1u << (capability % 32));
    }
    syscall(SYS_capset, &header, data);
}

} // namespace

bool RunObeyingPermissions(const std::function<bool()>& check) {
    const pid_t child = fork();
    if (child == 0) {
        DropPermissionOverrides();
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

std::vector<std::string> ListDirectory(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* directory = opendir(path.c_str())) {
        while (const dirent* entry = readdir(directory)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        closedir(directory);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace Ostrel
