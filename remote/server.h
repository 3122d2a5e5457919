#pragma once
// The transports: SCPI over TCP (one line per message, newline-terminated)
// and over standard input/output. Every client has its own status and error
// queue; all of them, in arrival order, run their commands one at a time on
// this thread through the one Instrument.
#include "instrument.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <functional>
#include <string>

class QTcpServer;
class QTcpSocket;

namespace remote {

constexpr int kMaxClients = 8;
constexpr size_t kMaxLine = 64 * 1024;  // longer lines are dropped with -223
constexpr size_t kMaxReady = 1024 * 1024;  // lines read ahead of the one running
constexpr int kDefaultIdleSeconds = 300;

// One client: splits what it sends into lines and runs them in order, a
// command at a time, a few milliseconds at a time; a line that waits for a
// long operation holds back the client's later lines only.
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
    // Bytes received and not yet begun (complete lines and the partial one).
    size_t Backlog() const { return ready_.size() - readyFrom_ + partial_.size(); }
    // A line runs or waits, or a complete one is ready to.
    bool HasWork() const { return waiting_ || inLine_ || readyFrom_ < ready_.size(); }
    bool Idle() const { return !HasWork() && partial_.empty(); }
    Session& Status() { return session_; }

signals:
    void StartedWaiting(Client* client);
    void Paused();  // it stopped running for now: it may want input, or be done

protected:
    // Answer bytes, newlines included.
    virtual void Send(const std::string& bytes) = 0;
    virtual bool OutputFull() const { return false; }
    // Goes on after a pause (a wait ended, or a slice of time used up):
    // input held back meanwhile may be read now.
    virtual void CarryOn() { Pump(); }

private:
    bool BeginLine();
    void Handle(Instrument::Progress progress, const std::string& out);
    void Later();

    Instrument& instrument_;
    Session session_;
    LineRun run_;
    std::string partial_;  // the line being received
    std::string ready_;    // complete lines, each ending in '\n', from readyFrom_ on
    size_t readyFrom_ = 0;
    bool discarding_ = false;
    bool inLine_ = false;
    bool waiting_ = false;
    bool pumping_ = false;
    QTimer later_;  // the rest, on the event loop's next turn
};

class Server : public QObject {
    Q_OBJECT
public:
    explicit Server(Instrument& instrument, QObject* parent = nullptr);

    // A TCP client that sends nothing and takes no answer for this long is
    // closed, unless a sweep or self-test runs or it waits for one; 0 never.
    void SetIdleSeconds(int seconds) { idleSeconds_ = seconds; }
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
    void Refuse(QTcpSocket* socket);
    void Adopt(Client* client);
    void ResumeWaiting();

    Instrument& instrument_;
    QTcpServer* tcp_ = nullptr;
    std::deque<QPointer<Client>> waiting_;
    int tcpClients_ = 0;
    int idleSeconds_ = kDefaultIdleSeconds;
};

// Parses "HOST:PORT" ("[::1]:5025" for IPv6); false when it is not one.
bool ParseHostPort(const QString& text, QHostAddress& address, quint16& port);

}  // namespace remote
