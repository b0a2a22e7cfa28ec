#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkRequest>
#include <QPair>

class QNetworkAccessManager;

// Sends every request at once, each with its body, and waits until all have ended however
// they ended; false when they did not end within the time.
bool sendTogether(QNetworkAccessManager &nam, const QByteArray &method,
                  const QList<QPair<QNetworkRequest, QByteArray>> &requests, int timeoutMs = 60000);
