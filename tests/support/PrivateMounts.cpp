#include "support/PrivateMounts.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorvex::test {

int inPrivateMounts(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            ::_exit(kNoMounts);
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return 255;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

bool bindMount(const std::filesystem::path& source, const std::filesystem::path& target) {
    return ::mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) == 0;
}

bool mountTmpfs(const std::filesystem::path& target) {
    return ::mount("quorvex-test", target.c_str(), "tmpfs", 0, "size=8m,mode=0755") == 0;
}

} // namespace quorvex::test
