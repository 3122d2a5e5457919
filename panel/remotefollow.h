#pragma once
// The register panel under remote control (--remote[=HOST:PORT]): the server
// runs in the panel's thread, and the panel's controls follow what remote
// commands change, without sending anything themselves.
#include <QStringList>

class Instrument;
namespace remote {
class Server;
}

struct PanelOptions;

// Starts the server when the options ask for it (after the load handler).
// False, after a message on standard error, when it cannot listen.
bool StartRemoteIfAsked(const PanelOptions& options);
// The same for a command line as the programs take it.
bool StartRemoteIfAsked(const QStringList& arguments);

// The instrument the panel follows (created on first use), and its server
// once started (nullptr before).
Instrument& FollowingInstrument();
remote::Server* FollowingServer();
