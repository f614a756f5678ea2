#include "support/PackagedIrcd.h"

#include <stdlib.h>

#include <filesystem>
#include <sstream>

#include "ircu/LoopbackPort.h"

#ifndef KHUB_IRCDS_DIR
#error "KHUB_IRCDS_DIR must name the folder the servers are unpacked into"
#endif

namespace khub::test {

namespace fs = std::filesystem;

namespace {

const std::string kRoot = std::string(KHUB_IRCDS_DIR) + "/root";

std::string NgircdConfig(const std::string& dir, int port) {
    std::ostringstream c;
    c << "[Global]\n Name = irc.ngircd.test\n Info = loopback test server\n"
      << " AdminInfo1 = test\n AdminInfo2 = test\n AdminEMail = nobody@localhost\n"
      << " Listen = 127.0.0.1\n Ports = " << port << "\n PidFile = " << dir << "/ngircd.pid\n"
      << " MotdPhrase = \"test server\"\n"
      << "[Limits]\n MaxConnectionsIP = 0\n"
      << "[Options]\n DNS = no\n PAM = no\n Ident = no\n";
    return c.str();
}

std::string InspircdConfig(const std::string& dir, int port) {
    std::ostringstream c;
    c << "<path configdir=\"" << dir << "\" datadir=\"" << dir << "\" logdir=\"" << dir
      << "\" runtimedir=\"" << dir << "\" moduledir=\"" << kRoot << "/usr/lib/inspircd/modules\">\n"
      << "<server name=\"irc.inspircd.test\" description=\"loopback test server\" "
         "network=\"TestNet\">\n"
      << "<admin name=\"test\" nick=\"test\" email=\"nobody@localhost\">\n"
      << "<bind address=\"127.0.0.1\" port=\"" << port << "\" type=\"clients\">\n"
      << "<connect allow=\"*\" timeout=\"60\" pingfreq=\"120\" localmax=\"100\" "
         "globalmax=\"100\" resolvehostnames=\"no\">\n"
      << "<dns server=\"127.0.0.1\" timeout=\"2\">\n"
      << "<pid file=\"" << dir << "/inspircd.pid\">\n";
    return c.str();
}

std::string HybridConfig(int port) {
    std::ostringstream c;
    c << "serverinfo { name = \"irc.hybrid.test\"; description = \"loopback test server\";"
      << " network_name = \"TestNet\"; hub = no; default_max_clients = 512; };\n"
      << "admin { name = \"test\"; description = \"test\"; email = \"<nobody@localhost>\"; };\n"
      << "class { name = \"users\"; ping_time = 90 seconds; number_per_ip_local = 100;"
      << " number_per_ip_global = 100; max_number = 100; sendq = 100 kbytes; };\n"
      << "listen { host = \"127.0.0.1\"; port = " << port << "; };\n"
      << "auth { user = \"*@*\"; class = \"users\"; };\n"
      // The default refuses a second connection from one address within two seconds.
      << "general { throttle_time = 0 seconds; };\n"
      << "log { use_logging = no; };\n";
    return c.str();
}

}  // namespace

std::string IrcdName(IrcdKind kind) {
    static const char* const names[] = {"ircu", "ngircd", "InspIRCd", "hybrid"};
    return names[static_cast<int>(kind)];
}

PackagedIrcd::PackagedIrcd(IrcdKind kind) : kind_(kind) {
    if (kind == IrcdKind::Ircu) {
        ircu_.emplace();
        port_ = ircu_->port();
        unavailable_ = !ircu_->ok();
        error_ = ircu_->error();
    } else if (!Start()) {
        process_.Stop();
    }
}

PackagedIrcd::~PackagedIrcd() {
    std::error_code ec;
    if (!hybridModules_.empty()) fs::remove_all(hybridModules_, ec);
}

// ircd-hybrid has its module folder compiled in. A copy of the binary names a folder of the
// same length instead: a link under /tmp to the unpacked modules.
std::string PackagedIrcd::PatchedHybrid() {
    const std::string compiled = "/usr/lib/ircd-hybrid/modules/";
    std::string folder = "/tmp/khubXXXXXX";
    if (!mkdtemp(folder.data())) return {};
    hybridModules_ = folder;
    std::string link = folder + "/" + std::string(compiled.size() - folder.size() - 2, 'm');
    std::error_code ec;
    fs::create_directory_symlink(kRoot + compiled, link, ec);
    if (ec) return {};  // the permissions call below would clear ec
    fs::permissions(folder,
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec,
                    ec);
    std::string bytes = ReadFileBytes(kRoot + "/usr/sbin/ircd-hybrid");
    const std::string replacement = link + "/";
    int found = 0;
    for (std::size_t at = bytes.find(compiled); at != std::string::npos;
         at = bytes.find(compiled, at + compiled.size())) {
        bytes.replace(at, compiled.size(), replacement);
        ++found;
    }
    if (found == 0 || ec) return {};
    std::string binary = dir_ / "ircd-hybrid";
    WriteFileBytes(binary, bytes);
    fs::permissions(binary, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec,
                    ec);
    return binary;
}

bool PackagedIrcd::Start() {
    const std::string dir = dir_.path().string();
    port_ = FreeLoopbackPort();
    static const char* const binaries[] = {"", "ngircd", "inspircd", "ircd-hybrid"};
    const std::string unpacked = kRoot + "/usr/sbin/" + binaries[static_cast<int>(kind_)];
    // scripts/unpack-ircds.sh (./test runs it) unpacks them, or says why it could not.
    if (!fs::exists(unpacked)) {
        unavailable_ = true;
        error_ = unpacked + " is missing: scripts/unpack-ircds.sh " + KHUB_IRCDS_DIR;
        return false;
    }
    std::vector<std::string> argv, env;
    switch (kind_) {
        case IrcdKind::Ngircd:
            dir_.Write("ngircd.conf", NgircdConfig(dir, port_));
            argv = {unpacked, "-n", "-f", dir_ / "ngircd.conf"};
            env = {"LD_LIBRARY_PATH=" + kRoot + "/usr/lib/x86_64-linux-gnu"};
            break;
        case IrcdKind::InspIrcd:
            dir_.Write("inspircd.conf", InspircdConfig(dir, port_));
            argv = {unpacked, "--config=" + (dir_ / "inspircd.conf"), "--nofork"};
            break;
        case IrcdKind::Hybrid: {
            std::string binary = PatchedHybrid();
            if (binary.empty()) {
                error_ = "ircd-hybrid: its module folder could not be redirected";
                return false;
            }
            dir_.Write("ircd.conf", HybridConfig(port_));
            argv = {binary,     "-foreground",     "-configfile", dir_ / "ircd.conf",
                    "-pidfile", dir_ / "ircd.pid", "-logfile",    dir_ / "ircd.log"};
            break;
        }
        case IrcdKind::Ircu:
            return false;
    }
    if (!process_.Start(dir, argv, dir_ / "server.out", env)) {
        error_ = process_.error();
        return false;
    }
    if (!WaitUntilListening(port_, 15000)) {
        std::string output = ReadFileBytes(dir_ / "server.out");
        // A shared library it needs is not installed (hybrid's libltdl7 without root).
        unavailable_ = output.find("error while loading shared libraries") != std::string::npos;
        error_ =
            IrcdName(kind_) + " did not listen on port " + std::to_string(port_) + ": " + output;
        return false;
    }
    return true;
}

}  // namespace khub::test
