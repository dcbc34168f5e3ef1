#include "lab/talk_command.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace orvane::lab {

namespace {

std::set<unsigned long> socketInodes(int pid) {
    std::set<unsigned long> inodes;
    std::string dir = "/proc/" + std::to_string(pid) + "/fd";
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return inodes;
    while (dirent* e = ::readdir(d)) {
        char target[256] = {};
        std::string link = dir + "/" + e->d_name;
        ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        unsigned long inode = 0;
        if (n > 0 && std::sscanf(target, "socket:[%lu]", &inode) == 1) inodes.insert(inode);
    }
    ::closedir(d);
    return inodes;
}

}  // namespace

std::vector<std::uint16_t> udpPortsOfProcess(int pid) {
    std::vector<std::uint16_t> ports;
    std::set<unsigned long> inodes = socketInodes(pid);
    if (inodes.empty()) return ports;
    std::ifstream table("/proc/" + std::to_string(pid) + "/net/udp");
    std::string line;
    std::getline(table, line);  // column titles
    while (std::getline(table, line)) {
        // sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid timeout inode
        std::istringstream f(line);
        std::string sl, local, remote, st, queues, timer, retr, uid, timeout;
        unsigned long inode = 0;
        if (!(f >> sl >> local >> remote >> st >> queues >> timer >> retr >> uid >> timeout >> inode)) continue;
        if (inodes.count(inode) == 0) continue;
        std::size_t colon = local.find(':');
        if (colon == std::string::npos) continue;
        ports.push_back(static_cast<std::uint16_t>(std::strtoul(local.c_str() + colon + 1, nullptr, 16)));
    }
    return ports;
}

int sendClientCommand(int pid, char command) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    int sent = 0;
    for (std::uint16_t port : udpPortsOfProcess(pid)) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(port);
        if (::sendto(fd, &command, 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) == 1) ++sent;
    }
    ::close(fd);
    return sent;
}

}  // namespace orvane::lab
