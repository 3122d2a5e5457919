#pragma once
// The transports: SCPI over TCP (one line per message, newline-terminated)
// and over standard input/output. Every client has its own status and error
// queue; all of them, in arrival order, run their commands one at a time on
// this thread through the one Instrument.
#include "instrument.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>
#include <string>

class QTcpServer;

namespace remote {

constexpr int kMaxClients = 8;
constexpr size_t kMaxLine = 64 * 1024;  // longer lines are dropped with -223

// One client: splits what it sends into lines and runs them in order; a line
// that waits for a long operation holds back the client's later lines only.
class Client : public QObject {
    Q_OBJECT
public:
    Client(Instrument& instrument, QObject* parent);
    void Feed(const char* data, size_t size);
    // Input has ended: a last line without its newline still counts.
    void EndOfInput();
    void Pump();
    void Resume();
    bool Waiting() const { return waiting_; }
    size_t Backlog() const { return backlogBytes_; }
    Session& Status() { return session_; }

signals:
    void StartedWaiting(Client* client);
    void Drained();  // nothing left to run

protected:
    virtual void Send(const std::string& reply) = 0;
    virtual bool OutputFull() const { return false; }
    // Goes on after a pause (a wait ended, or a slice of time used up):
    // input held back meanwhile may be read now.
    virtual void CarryOn() { Pump(); }

private:
    void Finish(const std::string& reply);

    Instrument& instrument_;
    Session session_;
    LineRun run_;
    std::string partial_;
    std::deque<std::string> lines_;
    size_t backlogBytes_ = 0;
    bool discarding_ = false;
    bool waiting_ = false;
    bool pumping_ = false;
    bool scheduled_ = false;
};

class Server : public QObject {
    Q_OBJECT
public:
    explicit Server(Instrument& instrument, QObject* parent = nullptr);

    // "HOST:PORT"; an empty host is 127.0.0.1. False and `error` when the
    // address is wrong or cannot be bound. Warns on standard error when the
    // address is not a loopback one.
    bool Listen(const QString& hostPort, QString& error);
    QHostAddress Address() const;
    quint16 Port() const;
    bool Listening() const;
    int TcpClients() const;

    // Commands from standard input, answers on standard output; `ended` runs
    // once input has ended and everything read has been answered.
    void StartStdio(std::function<void()> ended);

signals:
    // A TCP client connected or left; `clients` are connected now.
    void ClientsChanged(int clients);

private:
    void Accept();
    void Adopt(Client* client);
    void ResumeWaiting();

    Instrument& instrument_;
    QTcpServer* tcp_ = nullptr;
    std::deque<QPointer<Client>> waiting_;
    int tcpClients_ = 0;
};

// Parses "HOST:PORT" ("[::1]:5025" for IPv6); false when it is not one.
bool ParseHostPort(const QString& text, QHostAddress& address, quint16& port);

}  // namespace remote
