#pragma once
// An IRC server the lobby plays on, on a free loopback port with a config of its own in a
// temp folder; stopped and removed when the object goes. ircd-ircu is IrcuServer; ngircd,
// InspIRCd and ircd-hybrid conflict with it as installed packages, so their .debs are only
// unpacked (scripts/unpack-ircds.sh) into the source tree's .cache/ircds, and each runs from
// there; without them, unavailable() holds. The first member of a channel is its operator.

#include <optional>
#include <string>

#include "ircu/IrcuServer.h"
#include "ircu/ServerProcess.h"
#include "ircu/TempDir.h"

namespace khub::test {

enum class IrcdKind { Ircu, Ngircd, InspIrcd, Hybrid };
std::string IrcdName(IrcdKind kind);

class PackagedIrcd {
  public:
    explicit PackagedIrcd(IrcdKind kind);
    ~PackagedIrcd();

    bool ok() const { return (ircu_ ? ircu_->ok() : process_.running()) && error_.empty(); }
    // The server or a library it needs cannot be had here: a reason to skip, not to fail.
    bool unavailable() const { return unavailable_; }
    const std::string& error() const { return error_; }
    int port() const { return port_; }
    // Whether it sends an ident notice before registration (a client then waits for it).
    bool sendsIdentNotice() const {
        return kind_ != IrcdKind::Ngircd && kind_ != IrcdKind::InspIrcd;
    }

  private:
    bool Start();
    std::string PatchedHybrid();

    IrcdKind kind_;
    std::optional<IrcuServer> ircu_;
    TempDir dir_{"khub-ircd"};
    std::string hybridModules_;  // a short folder holding a link to hybrid's modules
    int port_ = 0;
    ServerProcess process_;
    bool unavailable_ = false;
    std::string error_;
};

}  // namespace khub::test
