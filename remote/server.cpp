#include "server.h"
#include "remotelog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdio>
#include <thread>
#include <unistd.h>

namespace remote {

// ---------------------------------------------------------------- Client

Client::Client(Instrument& instrument, QObject* parent) : QObject(parent), instrument_(instrument) {}

void Client::Feed(const char* data, size_t size)
{
    std::string_view in(data, size);
    while (!in.empty()) {
        const size_t nl = in.find('\n');
        const std::string_view piece = in.substr(0, nl);
        if (discarding_) {
            // The rest of an oversized line: dropped up to its end.
        } else if (partial_.size() + piece.size() > kMaxLine) {
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
            backlogBytes_ += partial_.size() + 1;
            lines_.push_back(std::move(partial_));
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

void Client::Pump()
{
    if (pumping_)
        return;  // a reply sent from inside a run comes back here
    pumping_ = true;
    // A few milliseconds at a time, so that a client streaming commands
    // leaves room for the others; the rest runs from the event loop.
    QElapsedTimer spent;
    spent.start();
    while (!waiting_ && !lines_.empty() && !OutputFull()) {
        if (spent.nsecsElapsed() > 5'000'000) {
            if (!scheduled_) {
                scheduled_ = true;
                QMetaObject::invokeMethod(this, [this] {
                    scheduled_ = false;
                    CarryOn();
                }, Qt::QueuedConnection);
            }
            break;
        }
        std::string line = std::move(lines_.front());
        lines_.pop_front();
        backlogBytes_ -= line.size() + 1;
        std::string reply;
        if (instrument_.RunText(session_, line, run_, reply)) {
            Finish(reply);
        } else {
            waiting_ = true;
            emit StartedWaiting(this);
        }
    }
    pumping_ = false;
    if (!waiting_ && lines_.empty())
        emit Drained();
}

void Client::Resume()
{
    if (!waiting_)
        return;
    std::string reply;
    if (!instrument_.Run(session_, run_, reply))
        return;
    waiting_ = false;
    Finish(reply);
    CarryOn();
}

void Client::Finish(const std::string& reply)
{
    if (session_.opcWanted && !instrument_.Busy()) {
        session_.opcWanted = false;
        session_.esr |= 1;
    }
    if (!reply.empty())
        Send(reply);
}

// ---------------------------------------------------------------- TCP

namespace {
constexpr qint64 kReadChunk = 64 * 1024;
constexpr size_t kMaxBacklog = 1024 * 1024;     // lines read ahead of the one running
constexpr qint64 kMaxUnsent = 8 * 1024 * 1024;  // answers the peer has not taken yet

class TcpClient final : public Client {
public:
    TcpClient(Instrument& instrument, QTcpSocket* socket, QObject* parent)
        : Client(instrument, parent), socket_(socket)
    {
        socket_->setParent(this);
        socket_->setReadBufferSize(kReadChunk * 4);
        socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        QObject::connect(socket_, &QTcpSocket::readyRead, this, [this] { ReadAndRun(); });
        QObject::connect(socket_, &QTcpSocket::bytesWritten, this, [this] { ReadAndRun(); });
    }

    void ReadAndRun()
    {
        for (;;) {
            while (Backlog() < kMaxBacklog && socket_->bytesAvailable() > 0) {
                char buf[kReadChunk];
                const qint64 n = socket_->read(buf, sizeof buf);
                if (n <= 0)
                    break;
                Feed(buf, static_cast<size_t>(n));
            }
            Pump();
            if (Waiting() || OutputFull() || Backlog() > 0 || socket_->bytesAvailable() == 0)
                return;
        }
    }

    QTcpSocket* Socket() const { return socket_; }

protected:
    void Send(const std::string& reply) override
    {
        if (socket_->state() != QAbstractSocket::ConnectedState)
            return;
        QByteArray out(reply.data(), static_cast<qsizetype>(reply.size()));
        out += '\n';
        socket_->write(out);
    }
    bool OutputFull() const override { return socket_->bytesToWrite() > kMaxUnsent; }
    void CarryOn() override { ReadAndRun(); }

private:
    QTcpSocket* socket_;
};

// ---------------------------------------------------------------- standard input

class StdioClient final : public Client {
public:
    using Client::Client;

protected:
    void Send(const std::string& reply) override
    {
        std::fwrite(reply.data(), 1, reply.size(), stdout);
        std::fputc('\n', stdout);
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
            socket->abort();  // refused: the server serves at most kMaxClients at once
            socket->deleteLater();
            continue;
        }
        ++tcpClients_;
        qCInfo(lcRemote, "%s connected; clients: %d", qPrintable(peer), tcpClients_);
        emit ClientsChanged(tcpClients_);
        auto* client = new TcpClient(instrument_, socket, this);
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
    auto inputOver = std::make_shared<bool>(false);
    auto check = [client, inputOver, ended] {
        if (*inputOver && !client->Waiting() && client->Backlog() == 0 && ended)
            ended();
    };
    QObject::connect(client, &Client::Drained, client, check);
    // A reader thread: standard input may be a terminal, a pipe or a file.
    std::thread([client, inputOver, check] {
        char buf[65536];
        for (;;) {
            const ssize_t n = ::read(0, buf, sizeof buf);
            if (n <= 0)
                break;
            QByteArray chunk(buf, static_cast<qsizetype>(n));
            QMetaObject::invokeMethod(client, [client, chunk] {
                client->Feed(chunk.constData(), static_cast<size_t>(chunk.size()));
                client->Pump();
            }, Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(client, [client, inputOver, check] {
            client->EndOfInput();
            *inputOver = true;
            client->Pump();
            check();
        }, Qt::QueuedConnection);
    }).detach();
}

}  // namespace remote
