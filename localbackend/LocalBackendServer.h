#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

#include <functional>
#include <memory>
#include <optional>

namespace Norvane::LocalBackend {

// One request as the server received it, kept for tests to inspect.
struct RecordedRequest
{
    QByteArray method;                              // "GET", "POST", ...
    QString path;                                   // "/api/v1/auth/me", no query
    QUrlQuery query;
    QList<QPair<QByteArray, QByteArray>> headers;   // as received
    QByteArray body;                                // whole for routes; cut in the request log
    qsizetype receivedBodySize = 0;                 // the length of the whole body
    QStringList pathArgs;                           // values matched by "{}" segments of the route

    QByteArray header(const QByteArray &name) const; // case-insensitive; empty when absent
    bool hasHeader(const QByteArray &name) const;
    QJsonObject jsonBody() const;                    // empty unless the body is a JSON object
    bool isBodyCut() const { return body.size() < receivedBodySize; }
};

struct Reply
{
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";

    static Reply json(const QJsonObject &object, int status = 200);
};

// Overrides what a route answers. Unset members keep the route's own answer.
struct Fault
{
    enum class Signing { AsConfigured, Valid, Invalid };

    std::optional<int> status;
    std::optional<QByteArray> body;
    std::optional<QByteArray> contentType;
    int delayMs = 0;
    bool noAnswer = false;               // the request is read and never answered
    Signing signing = Signing::AsConfigured;
    int times = -1;                      // how many requests it applies to; -1 for all
};

class LocalBackendServer : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<Reply(const RecordedRequest &)>;

    // Larger bodies are refused with 413 before any route sees them.
    static constexpr qsizetype kMaxBodySize = 1024 * 1024;
    // The request log holds the latest requests, each body cut to this length.
    static constexpr int kRequestLogCapacity = 2000;
    static constexpr qsizetype kLoggedBodyLimit = 16 * 1024;

    explicit LocalBackendServer(QObject *parent = nullptr);
    ~LocalBackendServer() override;

    // pattern: an absolute path whose segments may be "{}" to match any one segment,
    // e.g. "/api/v1/servers/{}". A later route for the same method and pattern replaces the earlier.
    void route(const QByteArray &method, const QString &pattern, Handler handler);

    void setFault(const QByteArray &method, const QString &pattern, const Fault &fault);
    void clearFaults();

    // When enabled with a non-empty secret, every 2xx JSON answer is sent in the signed form
    // {"encrypted":true,"data":base64(body),"signature":md5hex(data + secret)}.
    void setSigning(bool enabled, const QString &secret);

    // Listen on 127.0.0.1; port 0 picks a free port. Returns false when it cannot listen.
    bool listen(quint16 port = 0);
    bool listenTls(const QSslCertificate &certificate, const QSslKey &key, quint16 port = 0);

    quint16 port() const;
    bool isTls() const;
    QUrl baseUrl() const;                // "http(s)://127.0.0.1:<port>/api/v1/"

    // The latest kRequestLogCapacity requests, oldest first.
    QList<RecordedRequest> requests() const;
    QList<RecordedRequest> requests(const QByteArray &method, const QString &path) const;
    void clearRequests();

signals:
    void requestReceived(const QByteArray &method, const QString &path);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Norvane::LocalBackend
