#include "server.h"
#include "remotelog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <semaphore>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace remote {

// ---------------------------------------------------------------- Client

namespace {
// How long a client runs its commands before the others get their turn (one
// command at least, however long it takes).
constexpr qint64 kSliceNs = 5'000'000;
}  // namespace

Client::Client(Instrument& instrument, QObject* parent) : QObject(parent), instrument_(instrument)
{
    later_.setSingleShot(true);
    later_.setInterval(0);
    QObject::connect(&later_, &QTimer::timeout, this, [this] { CarryOn(); });
}

void Client::Feed(const char* data, size_t size)
{
    std::string_view in(data, size);
    while (!in.empty()) {
        const size_t nl = in.find('\n');
        const std::string_view piece = in.substr(0, nl);
        if (discarding_) {
            // The rest of an oversized line: dropped up to its end.
        } else if (partial_.size() + piece.size() > kMaxLine + 1) {  // + its CR
            partial_.clear();
            partial_.shrink_to_fit();
            session_.PushError(scpi::kTooMuchData, "line longer than 65536 bytes discarded");
            discarding_ = true;
        } else {
            partial_.append(piece);
        }
        if (nl == std::string_view::npos)
            break;
        if (!discarding_) {
            if (!partial_.empty() && partial_.back() == '\r')
                partial_.pop_back();
            if (partial_.size() > kMaxLine)
                session_.PushError(scpi::kTooMuchData, "line longer than 65536 bytes discarded");
            else if (!partial_.empty())
                ready_.append(partial_) += '\n';
            partial_.clear();
        }
        discarding_ = false;
        in.remove_prefix(nl + 1);
    }
}

void Client::EndOfInput()
{
    if (!discarding_ && !partial_.empty())
        Feed("\n", 1);
}

bool Client::BeginLine()
{
    if (readyFrom_ >= ready_.size())
        return false;
    const size_t nl = ready_.find('\n', readyFrom_);
    instrument_.Begin(session_, run_, ready_.substr(readyFrom_, nl - readyFrom_));
    inLine_ = true;
    readyFrom_ = nl + 1;
    // What has run is cut off once it is the larger part: linear in the input.
    if (readyFrom_ == ready_.size()) {
        ready_.clear();
        readyFrom_ = 0;
        if (ready_.capacity() > kMaxLine)
            ready_.shrink_to_fit();
    } else if (readyFrom_ > ready_.size() / 2) {
        ready_.erase(0, readyFrom_);
        readyFrom_ = 0;
    }
    return true;
}

void Client::Pump()
{
    if (pumping_)
        return;  // an answer sent from inside a run comes back here
    pumping_ = true;
    // A command at a time, a few milliseconds in all, so that a long line or
    // a stream of lines leaves room for the others; the rest runs from the
    // event loop. A client that does not take its answers waits for it.
    QElapsedTimer spent;
    spent.start();
    while (!waiting_ && !OutputFull() && (inLine_ || BeginLine())) {
        if (spent.nsecsElapsed() > kSliceNs) {
            Later();
            break;
        }
        std::string out;
        const Instrument::Progress progress = instrument_.Next(session_, run_, out);
        Handle(progress, out);
    }
    pumping_ = false;
    emit Paused();
}

void Client::Resume()
{
    if (!waiting_)
        return;
    waiting_ = false;
    std::string out;
    const Instrument::Progress progress = instrument_.Next(session_, run_, out);
    Handle(progress, out);
    if (!waiting_)
        Later();  // the rest of the line, and the lines after it
}

void Client::Handle(Instrument::Progress progress, const std::string& out)
{
    if (!out.empty())
        Send(out);
    if (progress == Instrument::Progress::Waits) {
        waiting_ = true;
        emit StartedWaiting(this);
    } else if (progress == Instrument::Progress::LineDone) {
        inLine_ = false;
        if (session_.opcWanted && !instrument_.Busy()) {
            session_.opcWanted = false;
            session_.esr |= 1;
        }
    }
}

void Client::Later()
{
    // A timer, not a posted call: the event loop reads the other clients'
    // sockets before its timers, and posted calls before both.
    if (!later_.isActive())
        later_.start();
}

// ---------------------------------------------------------------- TCP

namespace {
constexpr qint64 kReadChunk = 64 * 1024;
// Answers the peer has not taken yet: past this, its commands wait until it
// reads (one answer may go beyond it).
constexpr qint64 kMaxUnsent = 1024 * 1024;
constexpr qint64 kMaxIdleCheckMs = 24 * 3600 * 1000;

// Keepalive probes after a minute of silence, every 10 s, six of them: a peer
// that vanished without closing frees its place within two minutes.
void KeepAlive(qintptr fd)
{
    const int on = 1;
    const int idle = 60;
    const int interval = 10;
    const int count = 6;
    ::setsockopt(static_cast<int>(fd), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(static_cast<int>(fd), IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(static_cast<int>(fd), IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(static_cast<int>(fd), IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
}

class TcpClient final : public Client {
public:
    TcpClient(Instrument& instrument, QTcpSocket* socket, int idleSeconds, QObject* parent)
        : Client(instrument, parent), socket_(socket)
    {
        socket_->setParent(this);
        socket_->setReadBufferSize(kReadChunk * 4);
        socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        KeepAlive(socket_->socketDescriptor());
        QObject::connect(socket_, &QTcpSocket::readyRead, this, [this] { Active(); });
        QObject::connect(socket_, &QTcpSocket::bytesWritten, this, [this] { Active(); });
        lastActive_.start();
        if (idleSeconds > 0) {
            // One timer for the whole connection, not restarted on every
            // line: when it fires it looks at the last activity and waits on
            // for what is left (a day at most at once: a timer counts
            // milliseconds in an int).
            const qint64 limit = idleSeconds * qint64{1000};
            idle_.setSingleShot(true);
            idle_.setTimerType(Qt::PreciseTimer);
            QObject::connect(&idle_, &QTimer::timeout, this, [this, &instrument, idleSeconds, limit] {
                if (const qint64 left = limit - lastActive_.elapsed(); left > 0) {
                    IdleCheckIn(left);
                    return;
                }
                if (Waiting() || instrument.Busy()) {
                    IdleCheckIn(limit);
                    return;
                }
                qCInfo(lcRemote, "closing the connection of %s: idle for %d s",
                       qPrintable(socket_->peerAddress().toString()), idleSeconds);
                socket_->abort();
            });
            IdleCheckIn(limit);
        }
    }

    void ReadAndRun()
    {
        for (;;) {
            while (Backlog() < kMaxReady && socket_->bytesAvailable() > 0) {
                char buf[kReadChunk];
                const qint64 n = socket_->read(buf, sizeof buf);
                if (n <= 0)
                    break;
                Feed(buf, static_cast<size_t>(n));
            }
            Pump();
            if (HasWork() || OutputFull() || socket_->bytesAvailable() == 0)
                return;
        }
    }

protected:
    void Send(const std::string& bytes) override
    {
        // Handed to the system at once, not on the event loop's next turn,
        // which may come after another client's long command.
        if (socket_->state() == QAbstractSocket::ConnectedState) {
            socket_->write(bytes.data(), static_cast<qint64>(bytes.size()));
            socket_->flush();
        }
    }
    bool OutputFull() const override { return socket_->bytesToWrite() > kMaxUnsent; }
    void CarryOn() override { ReadAndRun(); }

private:
    void Active()
    {
        lastActive_.start();
        ReadAndRun();
    }
    void IdleCheckIn(qint64 ms) { idle_.start(static_cast<int>(std::min<qint64>(ms, kMaxIdleCheckMs))); }

    QTcpSocket* socket_;
    QElapsedTimer lastActive_;  // the peer's last line, or answer taken
    QTimer idle_;
};

// ---------------------------------------------------------------- standard input

class StdioClient final : public Client {
public:
    using Client::Client;

protected:
    void Send(const std::string& bytes) override
    {
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        std::fflush(stdout);
    }
};
}  // namespace

// ---------------------------------------------------------------- Server

Server::Server(Instrument& instrument, QObject* parent) : QObject(parent), instrument_(instrument)
{
    // Queued: a long operation may end inside another client's command.
    QObject::connect(&instrument_, &Instrument::Idle, this, [this] { ResumeWaiting(); }, Qt::QueuedConnection);
}

bool ParseHostPort(const QString& text, QHostAddress& address, quint16& port)
{
    const qsizetype colon = text.lastIndexOf(':');
    if (colon < 0)
        return false;
    QString host = text.left(colon);
    bool ok = false;
    const uint p = text.mid(colon + 1).toUInt(&ok);
    if (!ok || p > 65535)
        return false;
    if (host.startsWith('[') && host.endsWith(']'))
        host = host.mid(1, host.size() - 2);
    if (host.isEmpty())
        address = QHostAddress(QHostAddress::LocalHost);
    else if (host.compare("localhost", Qt::CaseInsensitive) == 0)
        address = QHostAddress(QHostAddress::LocalHost);
    else if (!address.setAddress(host))
        return false;
    port = static_cast<quint16>(p);
    return true;
}

bool Server::Listen(const QString& hostPort, QString& error)
{
    QHostAddress address;
    quint16 port = 0;
    if (!ParseHostPort(hostPort, address, port)) {
        error = "not an address and port: " + hostPort + " (for example 127.0.0.1:5025)";
        return false;
    }
    if (tcp_ == nullptr) {
        tcp_ = new QTcpServer(this);
        QObject::connect(tcp_, &QTcpServer::newConnection, this, [this] { Accept(); });
    }
    if (!tcp_->listen(address, port)) {
        error = "cannot listen on " + hostPort + ": " + tcp_->errorString();
        return false;
    }
    if (!address.isLoopback())
        std::fprintf(stderr,
                     "warning: listening on %s, port %u: anyone who can reach this port controls the board "
                     "(sets its outputs, ranges and pins, runs sweeps and the self-test, and writes sweep files "
                     "into the data folder); there is no password\n",
                     qPrintable(address.toString()), tcp_->serverPort());
    return true;
}

QHostAddress Server::Address() const { return tcp_ != nullptr ? tcp_->serverAddress() : QHostAddress(); }
quint16 Server::Port() const { return tcp_ != nullptr ? tcp_->serverPort() : 0; }
bool Server::Listening() const { return tcp_ != nullptr && tcp_->isListening(); }
int Server::TcpClients() const { return tcpClients_; }

void Server::Accept()
{
    while (QTcpSocket* socket = tcp_->nextPendingConnection()) {
        const QString peer = socket->peerAddress().toString() + ":" + QString::number(socket->peerPort());
        if (tcpClients_ >= kMaxClients) {
            qCInfo(lcRemote, "refused the connection of %s: %d clients are connected already", qPrintable(peer),
                   tcpClients_);
            Refuse(socket);
            continue;
        }
        ++tcpClients_;
        qCInfo(lcRemote, "%s connected; clients: %d", qPrintable(peer), tcpClients_);
        emit ClientsChanged(tcpClients_);
        auto* client = new TcpClient(instrument_, socket, idleSeconds_, this);
        Adopt(client);
        QObject::connect(socket, &QTcpSocket::disconnected, client, [this, client, peer] {
            --tcpClients_;
            qCInfo(lcRemote, "%s disconnected; clients: %d", qPrintable(peer), tcpClients_);
            emit ClientsChanged(tcpClients_);
            client->deleteLater();
        });
        client->ReadAndRun();
    }
}

void Server::Refuse(QTcpSocket* socket)
{
    // One line says why; then the connection is closed, and dropped if the
    // peer does not even take that.
    const std::string why = scpi::ErrorLine(scpi::kDeviceError, "connection refused: " +
                                                                    std::to_string(kMaxClients) +
                                                                    " clients are served already, the most at once");
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->write((why + "\n").c_str());
    socket->disconnectFromHost();
    QTimer::singleShot(1000, socket, [socket] { socket->abort(); });
}

void Server::Adopt(Client* client)
{
    QObject::connect(client, &Client::StartedWaiting, this, [this](Client* c) {
        waiting_.emplace_back(c);
        if (!instrument_.Busy())
            ResumeWaiting();  // already over
    });
}

void Server::ResumeWaiting()
{
    // In the order the clients began to wait; a resumed line may start another
    // long operation, and then the rest wait on.
    std::deque<QPointer<Client>> list;
    list.swap(waiting_);
    while (!list.empty()) {
        QPointer<Client> c = list.front();
        list.pop_front();
        if (c.isNull())
            continue;
        if (instrument_.Busy()) {
            waiting_.push_back(c);
            continue;
        }
        c->Resume();
    }
    for (auto& c : waiting_)
        if (!c.isNull() && c->Status().opcWanted && !instrument_.Busy()) {
            c->Status().opcWanted = false;
            c->Status().esr |= 1;
        }
}

void Server::StartStdio(std::function<void()> ended)
{
    auto* client = new StdioClient(instrument_, this);
    client->Status().onError = instrument_.stdioErrors;
    Adopt(client);
    // The reader reads on once what it handed over has run down below the
    // backlog limit: input of any length costs no more than a client's
    // backlog. Everything but the semaphore lives on this thread.
    struct Reading {
        std::binary_semaphore more{0};
        bool owed = false;
        bool over = false;
    };
    auto reading = std::make_shared<Reading>();
    auto settle = [client, reading, ended] {
        if (reading->owed && client->Backlog() < kMaxReady) {
            reading->owed = false;
            reading->more.release();
        }
        if (reading->over && client->Idle() && ended) {
            reading->over = false;
            ended();
        }
    };
    QObject::connect(client, &Client::Paused, client, settle);
    // A reader thread: standard input may be a terminal, a pipe or a file.
    std::thread([client, reading, settle] {
        char buf[65536];
        for (;;) {
            const ssize_t n = ::read(0, buf, sizeof buf);
            if (n <= 0)
                break;
            QByteArray chunk(buf, static_cast<qsizetype>(n));
            QMetaObject::invokeMethod(client, [client, reading, settle, chunk] {
                client->Feed(chunk.constData(), static_cast<size_t>(chunk.size()));
                reading->owed = true;
                client->Pump();
            }, Qt::QueuedConnection);
            reading->more.acquire();
        }
        QMetaObject::invokeMethod(client, [client, reading, settle] {
            client->EndOfInput();
            reading->over = true;
            client->Pump();
        }, Qt::QueuedConnection);
    }).detach();
}

}  // namespace remote
