#include "localbackend/LocalBackendServer.h"

#include <QAbstractHttpServer>
#include <QCryptographicHash>
#include <QDebug>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QMetaEnum>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <map>

namespace Norvane::LocalBackend {

namespace {

const QString kWildcard = QStringLiteral("{}");
const QString kFallbackSecret = QStringLiteral("local-secret");

// What the transport sends for one request, decided before anything is written.
struct Answer
{
    Reply reply;
    int delayMs = 0;
    bool noAnswer = false;
};

QByteArray methodName(QHttpServerRequest::Method method)
{
    const char *key = QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(int(method));
    return key ? QByteArray(key).toUpper() : QByteArrayLiteral("UNKNOWN");
}

// The number of literal segments of the pattern when it matches the path, or -1. Routes with
// more literal segments win, so "/servers/list" is preferred over "/servers/{}". The path is
// split while still percent-encoded, so an encoded "/" stays inside its segment.
int matchScore(const QString &pattern, const QString &encodedPath, QStringList *captured)
{
    const QStringList want = pattern.split(u'/');
    QStringList have = encodedPath.split(u'/');
    for (QString &segment : have)
        segment = QUrl::fromPercentEncoding(segment.toUtf8());
    if (want.size() != have.size())
        return -1;
    int literals = 0;
    QStringList args;
    for (qsizetype i = 0; i < want.size(); ++i) {
        if (want.at(i) == kWildcard) {
            if (have.at(i).isEmpty())
                return -1;
            args.append(have.at(i));
        } else if (want.at(i) == have.at(i)) {
            ++literals;
        } else {
            return -1;
        }
    }
    if (captured)
        *captured = args;
    return literals;
}

// Index of the entry matching method and path with the most literal segments, or -1.
template<typename Entry>
qsizetype bestMatch(const QList<Entry> &entries, const QByteArray &method, const QString &path,
                    QStringList *captured)
{
    qsizetype best = -1;
    int bestScore = -1;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries.at(i).method != method)
            continue;
        QStringList args;
        const int score = matchScore(entries.at(i).pattern, path, &args);
        if (score > bestScore) {
            best = i;
            bestScore = score;
            if (captured)
                *captured = args;
        }
    }
    return best;
}

QByteArray signedForm(const QByteArray &body, const QString &secret, bool validSignature)
{
    const QByteArray data = body.toBase64();
    QByteArray signature =
        QCryptographicHash::hash(data + secret.toUtf8(), QCryptographicHash::Md5).toHex();
    if (!validSignature)
        signature[0] = signature.at(0) == '0' ? '1' : '0';
    const QJsonObject form{{"encrypted", true},
                           {"data", QString::fromLatin1(data)},
                           {"signature", QString::fromLatin1(signature)}};
    return QJsonDocument(form).toJson(QJsonDocument::Compact);
}

// The HTTP side: turns each parsed request into an Answer through the dispatcher and writes it,
// now, later, or never. Responders that are kept are released when their socket goes or when
// this object is destroyed, whichever comes first.
class HttpFront final : public QAbstractHttpServer
{
public:
    using Dispatcher = std::function<Answer(const QHttpServerRequest &)>;

    explicit HttpFront(Dispatcher dispatcher) : m_dispatcher(std::move(dispatcher)) {}

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        respond(request, socket);
        return true;
    }

    // Unreachable through handleRequest, which answers everything (unknown paths with a 404);
    // kept so anything the library routes here is still recorded and answered the same way.
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        respond(request, socket);
    }

private:
    struct Kept
    {
        QPointer<QTcpSocket> socket;
        std::unique_ptr<QHttpServerResponder> responder;
        Reply reply;
        QMetaObject::Connection watch;
    };

    void respond(const QHttpServerRequest &request, QTcpSocket *socket)
    {
        const Answer answer = m_dispatcher(request);
        if (!answer.noAnswer && answer.delayMs <= 0) {
            QHttpServerResponder responder = makeResponder(request, socket);
            send(responder, answer.reply);
            return;
        }
        const quint64 id = m_nextId++;
        Kept &kept = m_kept[id];
        kept.socket = socket;
        kept.responder = std::make_unique<QHttpServerResponder>(makeResponder(request, socket));
        kept.reply = answer.reply;
        kept.watch = connect(socket, &QObject::destroyed, this, [this, id] { m_kept.erase(id); });
        if (!answer.noAnswer)
            QTimer::singleShot(answer.delayMs, this, [this, id] { sendKept(id); });
    }

    void sendKept(quint64 id)
    {
        const auto it = m_kept.find(id);
        if (it == m_kept.end())
            return;
        const QPointer<QTcpSocket> socket = it->second.socket;
        if (socket && socket->state() == QAbstractSocket::ConnectedState)
            send(*it->second.responder, it->second.reply);
        disconnect(it->second.watch);
        m_kept.erase(it);
    }

    static void send(QHttpServerResponder &responder, const Reply &reply)
    {
        responder.write(reply.body, reply.contentType,
                        static_cast<QHttpServerResponder::StatusCode>(reply.status));
    }

    Dispatcher m_dispatcher;
    std::map<quint64, Kept> m_kept;
    quint64 m_nextId = 0;
};

} // namespace

QByteArray RecordedRequest::header(const QByteArray &name) const
{
    for (const auto &header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    }
    return {};
}

bool RecordedRequest::hasHeader(const QByteArray &name) const
{
    for (const auto &header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QJsonObject RecordedRequest::jsonBody() const
{
    return QJsonDocument::fromJson(body).object();
}

Reply Reply::json(const QJsonObject &object, int status)
{
    Reply reply;
    reply.status = status;
    reply.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return reply;
}

struct LocalBackendServer::Private
{
    struct Route
    {
        QByteArray method;
        QString pattern;
        Handler handler;
    };

    struct ActiveFault
    {
        QByteArray method;
        QString pattern;
        Fault fault;
    };

    explicit Private(LocalBackendServer *owner) : q(owner) {}

    Answer dispatch(const QHttpServerRequest &request);
    void record(RecordedRequest recorded);
    std::optional<Fault> takeFault(const QByteArray &method, const QString &path);
    Reply shaped(Reply reply, const std::optional<Fault> &fault) const;

    LocalBackendServer *q;
    QList<Route> routes;
    QList<ActiveFault> faults;
    bool signingEnabled = false;
    QString signingSecret;
    QList<RecordedRequest> log;
    quint16 port = 0;
    bool tls = false;
    // Declared last so it goes first: kept responders are released while the rest still stands.
    std::unique_ptr<HttpFront> front;
};

Answer LocalBackendServer::Private::dispatch(const QHttpServerRequest &request)
{
    RecordedRequest recorded;
    recorded.method = methodName(request.method());
    recorded.path = request.url().path();
    const QString encodedPath = request.url().path(QUrl::FullyEncoded);
    recorded.query = request.query();
    recorded.headers = request.headers();
    recorded.body = request.body();
    recorded.receivedBodySize = recorded.body.size();
    const qsizetype routeIndex = bestMatch(routes, recorded.method, encodedPath, &recorded.pathArgs);
    // Copied because a receiver of requestReceived may change the routes.
    const Handler handler = routeIndex >= 0 ? routes.at(routeIndex).handler : Handler();

    record(recorded);
    emit q->requestReceived(recorded.method, recorded.path);

    if (recorded.receivedBodySize > kMaxBodySize) {
        qWarning() << "[LocalBackendServer] refused a body of" << recorded.receivedBodySize << "bytes:"
                   << recorded.method << recorded.path;
        Answer refused;
        refused.reply = Reply::json({{"success", false}, {"message", "请求体过大"}}, 413);
        return refused;
    }

    const Reply reply = handler ? handler(recorded)
                                : Reply::json({{"success", false}, {"message", "Not Found"}}, 404);
    const std::optional<Fault> fault = takeFault(recorded.method, encodedPath);
    Answer answer;
    answer.reply = shaped(reply, fault);
    if (fault) {
        answer.delayMs = fault->delayMs;
        answer.noAnswer = fault->noAnswer;
    }
    return answer;
}

// The log keeps its memory bounded however long the server runs and whatever it is sent.
void LocalBackendServer::Private::record(RecordedRequest recorded)
{
    if (recorded.body.size() > kLoggedBodyLimit)
        recorded.body.truncate(kLoggedBodyLimit);
    recorded.body.squeeze();
    if (log.size() >= kRequestLogCapacity)
        log.removeFirst();
    log.append(std::move(recorded));
}

std::optional<Fault> LocalBackendServer::Private::takeFault(const QByteArray &method, const QString &path)
{
    const qsizetype index = bestMatch(faults, method, path, nullptr);
    if (index < 0)
        return std::nullopt;
    const Fault fault = faults.at(index).fault;
    if (fault.times > 0) {
        if (fault.times == 1)
            faults.removeAt(index);
        else
            --faults[index].fault.times;
    }
    return fault;
}

Reply LocalBackendServer::Private::shaped(Reply reply, const std::optional<Fault> &fault) const
{
    const Fault::Signing signing = fault ? fault->signing : Fault::Signing::AsConfigured;
    if (fault && fault->status)
        reply.status = *fault->status;
    if (fault && fault->body)
        reply.body = *fault->body;

    const bool success = reply.status >= 200 && reply.status <= 299;
    // Only the JSON replies of the API take the signed form; a picture stays a picture.
    const bool isJson = reply.contentType == "application/json";
    const bool configured = signingEnabled && !signingSecret.isEmpty() && isJson;
    const QString secret = signingSecret.isEmpty() ? kFallbackSecret : signingSecret;
    if (signing == Fault::Signing::Invalid || signing == Fault::Signing::Valid
        || (configured && success)) {
        reply.body = signedForm(reply.body, secret, signing != Fault::Signing::Invalid);
        reply.contentType = "application/json";
    }

    if (fault && fault->contentType)
        reply.contentType = *fault->contentType;
    return reply;
}

LocalBackendServer::LocalBackendServer(QObject *parent)
    : QObject(parent), d(std::make_unique<Private>(this))
{
    d->front = std::make_unique<HttpFront>(
        [this](const QHttpServerRequest &request) { return d->dispatch(request); });
}

LocalBackendServer::~LocalBackendServer() = default;

void LocalBackendServer::route(const QByteArray &method, const QString &pattern, Handler handler)
{
    if (!pattern.startsWith(u'/')) {
        qWarning() << "[LocalBackendServer] route pattern must be an absolute path, ignored:" << pattern;
        return;
    }
    for (auto &existing : d->routes) {
        if (existing.method == method && existing.pattern == pattern) {
            existing.handler = std::move(handler);
            return;
        }
    }
    d->routes.append({method, pattern, std::move(handler)});
}

void LocalBackendServer::setFault(const QByteArray &method, const QString &pattern, const Fault &fault)
{
    d->faults.removeIf([&](const Private::ActiveFault &active) {
        return active.method == method && active.pattern == pattern;
    });
    if (fault.times == 0)
        return; // a fault for no request is no fault
    d->faults.append({method, pattern, fault});
}

void LocalBackendServer::clearFaults()
{
    d->faults.clear();
}

void LocalBackendServer::setSigning(bool enabled, const QString &secret)
{
    d->signingEnabled = enabled;
    d->signingSecret = secret;
}

bool LocalBackendServer::listen(quint16 port)
{
    if (d->port != 0) {
        qWarning() << "[LocalBackendServer] already listening on port" << d->port;
        return false;
    }
    d->port = d->front->listen(QHostAddress::LocalHost, port);
    if (d->port == 0) {
        qWarning() << "[LocalBackendServer] cannot listen on 127.0.0.1 port" << port;
        return false;
    }
    return true;
}

bool LocalBackendServer::listenTls(const QSslCertificate &certificate, const QSslKey &key, quint16 port)
{
    if (d->port != 0) {
        qWarning() << "[LocalBackendServer] already listening on port" << d->port;
        return false;
    }
    if (certificate.isNull() || key.isNull()) {
        qWarning() << "[LocalBackendServer] TLS needs a certificate and a private key";
        return false;
    }
    d->front->sslSetup(certificate, key);
    d->tls = listen(port);
    return d->tls;
}

quint16 LocalBackendServer::port() const
{
    return d->port;
}

bool LocalBackendServer::isTls() const
{
    return d->tls;
}

QUrl LocalBackendServer::baseUrl() const
{
    if (d->port == 0)
        return {};
    return QUrl(QStringLiteral("%1://127.0.0.1:%2/api/v1/")
                    .arg(d->tls ? QStringLiteral("https") : QStringLiteral("http"))
                    .arg(d->port));
}

QList<RecordedRequest> LocalBackendServer::requests() const
{
    return d->log;
}

QList<RecordedRequest> LocalBackendServer::requests(const QByteArray &method, const QString &path) const
{
    QList<RecordedRequest> matching;
    for (const RecordedRequest &request : d->log) {
        if (request.method == method && request.path == path)
            matching.append(request);
    }
    return matching;
}

void LocalBackendServer::clearRequests()
{
    d->log.clear();
}

} // namespace Norvane::LocalBackend
