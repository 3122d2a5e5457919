#pragma once
// The register panel under remote control (--remote[=HOST:PORT]): the server
// runs in the panel's thread, and the panel's controls follow what remote
// commands change, without sending anything themselves.
#include <QStringList>

class Instrument;
namespace remote {
class Server;
}

// Starts the server when the arguments ask for it (after the load handler);
// --idle-timeout=SECONDS sets how long an idle client is kept. False, after a
// message on standard error, when it cannot listen or a value is wrong.
bool StartRemoteIfAsked(const QStringList& arguments);

// The instrument the panel follows (created on first use), and its server
// once started (nullptr before).
Instrument& FollowingInstrument();
remote::Server* FollowingServer();
