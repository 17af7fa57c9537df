// The DNS-SD port: browsing the local network for one service type and resolving what it finds.
//
// The real adapter runs on the Avahi daemon; its reports come on the main context, never from
// within `chercher`.
#pragma once

#include <functional>
#include <string>

namespace ovrel {

class Decouverte {
public:
    // A service resolved: its host name as announced (it may end with ".") and its port.
    using SurResolu = std::function<void(const std::string& hote, int port)>;
    virtual ~Decouverte() = default;

    // Browses for services of `type` (for example "_ovrel-box._tcp") in `domaine` ("local"),
    // stopping an earlier browse first: the services it found are forgotten and their pending
    // resolutions never report. Each service found is resolved, within 5 s (one that fails is
    // never reported), and reported through `surResolu` once however many interfaces and
    // protocols announce it, and again each time it comes back after it left. The browse
    // survives the daemon: it starts when the daemon comes and starts again when it comes back.
    virtual void chercher(const std::string& type, const std::string& domaine, SurResolu surResolu) = 0;
    // Stops browsing. Resolutions under way still report, until the next `chercher`.
    virtual void arreter() = 0;
};

}  // namespace ovrel
