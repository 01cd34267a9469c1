// A child made by fork() closes every socket the library had open in the
// parent, however many there are, and none of the application's.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "socket.h"

namespace {

int openSocketCount()
{
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr)
        return -1;
    while (dirent* entry = readdir(dir)) {
        char target[64] = {};
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        if (readlink(link.c_str(), target, sizeof target - 1) > 0 && std::string(target).rfind("socket:", 0) == 0)
            ++count;
    }
    closedir(dir);
    return count;
}

TEST(inheritedSockets, aForkedChildClosesEverySocketOfTheLibraryAndNoneOfTheApplication)
{
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(listener, 128), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);

    const int before = openSocketCount();
    std::vector<std::unique_ptr<vant::loopbackSocket>> sockets;
    for (int i = 0; i < 40; ++i) {
        sockets.push_back(std::make_unique<vant::loopbackSocket>(ntohs(address.sin_port)));
        sockets.back()->open(vant::deadlineIn(5000));
    }
    ASSERT_EQ(openSocketCount(), before + 40);

    const pid_t child = fork();
    if (child == 0)
        _exit(openSocketCount() == before ? 0 : 1);
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child kept sockets of the library";
    EXPECT_EQ(openSocketCount(), before + 40) << "the parent's stay open";
    close(listener);
}

} // namespace
