#include "support/SendTogether.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <memory>
#include <vector>

bool sendTogether(QNetworkAccessManager &nam, const QByteArray &method,
                  const QList<QPair<QNetworkRequest, QByteArray>> &requests, int timeoutMs)
{
    QEventLoop loop;
    std::vector<std::unique_ptr<QNetworkReply>> replies;
    qsizetype finished = 0;
    for (const auto &[request, body] : requests) {
        replies.emplace_back(nam.sendCustomRequest(request, method, body));
        QObject::connect(replies.back().get(), &QNetworkReply::finished, &loop, [&] {
            if (++finished == requests.size())
                loop.quit();
        });
    }
    if (finished < requests.size()) {
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return finished == requests.size();
}
