#include "ircu/IrcuServer.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "ircu/IrcTestClient.h"
#include "ircu/LoopbackPort.h"

#ifndef KHUB_IRCU_SHIM
#error "KHUB_IRCU_SHIM must name the built rlimit shim"
#endif

namespace khub::test {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPackagedBinary = "/usr/sbin/ircd-ircu";

void PutLe32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xff);
}

std::string Le32(std::uint32_t value) {
    std::string s(4, '\0');
    PutLe32(s, 0, value);
    return s;
}

// Every place where bytes matches pattern; '?' bytes in mask match anything.
std::vector<std::size_t> FindAll(const std::string& bytes, const std::string& pattern,
                                 const std::string& mask = {}) {
    std::vector<std::size_t> hits;
    for (std::size_t i = 0; i + pattern.size() <= bytes.size(); ++i) {
        bool match = true;
        for (std::size_t j = 0; j < pattern.size() && match; ++j) {
            if (!mask.empty() && mask[j] == '?') continue;
            match = bytes[i + j] == pattern[j];
        }
        if (match) hits.push_back(i);
    }
    return hits;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

const char* kIauthScript = R"(#!/bin/bash
# Accepts every client with the user name it gave (stock ircu refuses mixed-case names
# without an ident answer). The client is let through once the server says it is ready (H).
echo "V :khub-test-iauth 1"
echo "O AU"
declare -A ip port
while read -r id cmd a b rest; do
  case "$cmd" in
    C) ip[$id]=$a; port[$id]=$b ;;
    U) echo "o $id ${ip[$id]} ${port[$id]} $a" ;;
    H) echo "D $id ${ip[$id]} ${port[$id]}" ;;
  esac
done
)";

}  // namespace

std::string IrcuServer::BinaryPath() {
    return fs::exists(kPackagedBinary) ? kPackagedBinary : "";
}

IrcuServer::IrcuServer() : IrcuServer(Options{}) {}

IrcuServer::IrcuServer(Options options) : options_(std::move(options)) {
    if (!Start()) Stop();
}

IrcuServer::~IrcuServer() {
    Stop();
}

bool IrcuServer::PrepareBinary(const std::string& target) {
    std::string bytes = ReadFile(kPackagedBinary);
    // The client table: compiled for 1,048,572 connections; 65,536 is plenty.
    auto capacity = FindAll(bytes, "\xBE" + Le32(1048548) + "\x48\x8D\x3D");
    if (capacity.size() != 1) {
        error_ = "ircd-ircu: the MAXCLIENTS instruction was found " +
                 std::to_string(capacity.size()) + " times instead of once";
        return false;
    }
    PutLe32(bytes, capacity[0] + 1, 65536);
    // Preallocated client structures: 1024 instead of a million starts in under a second.
    auto prealloc = FindAll(bytes, "\xBB" + Le32(1048572) + "\x48\x83\xEC\x08");
    if (prealloc.size() == 1) PutLe32(bytes, prealloc[0] + 1, 1024);
    // Flood limit: lets bursts of about 60 lines through instead of 5.
    std::string flood("\x48\x8B\x47\x50\x48\x2B\x05????\x48\x83\xF8\x09\x7F", 16);
    std::string mask("xxxxxxx????xxxxx", 16);
    auto limit = FindAll(bytes, flood, mask);
    if (limit.size() != 1) {
        error_ = "ircd-ircu: the flood limit was found " + std::to_string(limit.size()) +
                 " times instead of once";
        return false;
    }
    bytes[limit[0] + 14] = static_cast<char>(126);
    std::ofstream out(target, std::ios::binary);
    out << bytes;
    out.close();
    chmod(target.c_str(), 0755);
    return static_cast<bool>(out);
}

bool IrcuServer::Start() {
    if (BinaryPath().empty()) {
        error_ = "ircd-ircu is not installed (apt-get install -y ircd-ircu)";
        return false;
    }
    const std::string dir = dir_.path().string();
    const std::string binary = dir_ / "ircd";
    const std::string shim = dir_ / "rlimit_shim.so";
    if (!PrepareBinary(binary)) return false;
    std::error_code ec;
    fs::copy_file(KHUB_IRCU_SHIM, shim, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        error_ = "cannot copy the rlimit shim: " + ec.message();
        return false;
    }
    const std::string iauth = dir_.Write("iauth.sh", kIauthScript);
    chmod(iauth.c_str(), 0755);
    dir_.Write("ircd.motd", "K-Hub test server\n");

    port_ = FreeLoopbackPort();
    std::ostringstream conf;
    conf << "General { name = \"" << options_.name << "\"; description = \"K-Hub test\";"
         << " numeric = 1; vhost = \"127.0.0.1\"; };\n"
         << "Admin { Location = \"loopback\"; Contact = \"nobody\"; };\n"
         << "Class { name = \"Users\"; pingfreq = " << options_.pingFrequencySeconds
         << " seconds; sendq = 4000000; maxlinks = 5000;"
         << (options_.classUserMode ? " usermode = \"+i\";" : "") << " };\n"
         << "Class { name = \"Opers\"; pingfreq = " << options_.pingFrequencySeconds
         << " seconds; sendq = 4000000; maxlinks = 100; local = no; };\n"
         << "Client { class = \"Users\"; ip = \"*@*\"; };\n"
         << "Client { class = \"Users\"; host = \"*@*\"; };\n"
         << "Operator { host = \"*@*\"; password = \"$PLAIN$" << options_.operPassword
         << "\"; name = \"" << options_.operName << "\"; class = \"Opers\"; };\n"
         << "Port { vhost = \"127.0.0.1\"; port = " << port_ << "; };\n"
         << "IAuth { program = \"" << iauth << "\"; };\n"
         << "features {\n"
         << " \"NICKLEN\" = \"15\";\n \"NODNS\" = \"TRUE\";\n \"AUTH_TIMEOUT\" = \"2\";\n"
         << " \"CLIENT_FLOOD\" = \"8000\";\n \"IPCHECK_CLONE_LIMIT\" = \"10000\";\n"
         << " \"IPCHECK_CLONE_PERIOD\" = \"1\";\n \"IPCHECK_CLONE_DELAY\" = \"0\";\n"
         << " \"PINGFREQUENCY\" = \"" << options_.pingFrequencySeconds << "\";\n"
         << " \"CONFIG_OPERCMDS\" = \"TRUE\";\n"
         << " \"MPATH\" = \"" << (dir_ / "ircd.motd") << "\";\n"
         << " \"RPATH\" = \"" << (dir_ / "remote.motd") << "\";\n"
         << " \"PPATH\" = \"" << (dir_ / "ircd.pid") << "\";\n"
         << options_.extraFeatures << "};\n";
    const std::string config = dir_.Write("ircd.conf", conf.str());

    if (!process_.Start(dir, {binary, "-n", "-f", config, "-d", dir}, dir_ / "server.out",
                        {"LD_PRELOAD=" + shim})) {
        error_ = process_.error();
        return false;
    }
    if (!WaitUntilListening(port_, 15000)) {
        error_ =
            "ircd-ircu did not listen on port " + std::to_string(port_) + ": " + ServerOutput();
        return false;
    }
    // The server reads the IAuth helper's hello only when some client wakes it, and a client
    // caught in between is never registered. Ready is when a probe gets through with a user
    // name that only the helper lets pass.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int attempt = 1; std::chrono::steady_clock::now() < deadline; ++attempt) {
        IrcTestClient probe;
        if (probe.Connect(port_) && probe.Register("probe" + std::to_string(attempt), "KHubUser",
                                                   std::chrono::milliseconds(1500))) {
            probe.Send("QUIT :ready");
            probe.Pump(std::chrono::milliseconds(50));
            return true;
        }
    }
    error_ = "ircd-ircu registered no client: " + ServerOutput();
    return false;
}

void IrcuServer::Stop() {
    process_.Stop();
}

std::string IrcuServer::ServerOutput() const {
    return ReadFile(dir_ / "server.out");
}

}  // namespace khub::test
