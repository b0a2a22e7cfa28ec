#include "localbackend/BackendState.h"

#include "localbackend/LocalBackendServer.h"

#include <QRandomGenerator>

#include <algorithm>

namespace Norvane::LocalBackend {

namespace {

QVariant configValue(const QJsonObject &configs, const QString &key)
{
    return configs.value(key).toObject().value("value").toVariant();
}

template<typename Item>
int nextId(const QList<Item> &items)
{
    int highest = 0;
    for (const Item &item : items)
        highest = std::max(highest, item.id);
    return highest + 1;
}

} // namespace

bool BackendState::configBool(const QString &key, bool fallback) const
{
    return configs.contains(key) ? configValue(configs, key).toBool() : fallback;
}

int BackendState::configInt(const QString &key, int fallback) const
{
    return configs.contains(key) ? configValue(configs, key).toInt() : fallback;
}

QString BackendState::configText(const QString &key) const
{
    return configValue(configs, key).toString();
}

Account *BackendState::account(int id)
{
    const auto it = std::find_if(accounts.begin(), accounts.end(), [id](const Account &a) { return a.id == id; });
    return it == accounts.end() ? nullptr : &*it;
}

Account *BackendState::accountByEmail(const QString &email)
{
    const auto it = std::find_if(accounts.begin(), accounts.end(), [&](const Account &a) {
        return a.email.compare(email, Qt::CaseInsensitive) == 0;
    });
    return it == accounts.end() ? nullptr : &*it;
}

QString BackendState::bearerToken(const RecordedRequest &request)
{
    const QByteArray header = request.header("Authorization").trimmed();
    static const QByteArray scheme = "Bearer ";
    if (!header.startsWith(scheme))
        return {};
    return QString::fromUtf8(header.mid(scheme.size()).trimmed());
}

Account *BackendState::accountFor(const RecordedRequest &request)
{
    const QString token = bearerToken(request);
    if (token.isEmpty() || !tokens.contains(token))
        return nullptr;
    return account(tokens.value(token));
}

Account &BackendState::addAccount(Account account)
{
    account.id = nextId(accounts);
    accounts.append(account);
    return accounts.last();
}

QString BackendState::issueToken(int accountId)
{
    QString token;
    do {
        token.clear();
        for (int i = 0; i < 3; ++i)
            token += QString::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, u'0');
    } while (tokens.contains(token));
    tokens.insert(token, accountId);
    return token;
}

void BackendState::revokeToken(const QString &token)
{
    tokens.remove(token);
}

Device &BackendState::device(const QString &id)
{
    Device &device = devices[id];
    device.id = id;
    return device;
}

const QJsonObject *BackendState::plan(int id) const
{
    const auto it = std::find_if(plans.cbegin(), plans.cend(),
                                 [id](const QJsonObject &p) { return p.value("id").toInt() == id; });
    return it == plans.cend() ? nullptr : &*it;
}

const QJsonObject *BackendState::server(int id) const
{
    const auto it = std::find_if(servers.cbegin(), servers.cend(),
                                 [id](const QJsonObject &s) { return s.value("id").toInt() == id; });
    return it == servers.cend() ? nullptr : &*it;
}

PaymentOrder *BackendState::order(const QString &orderNumber)
{
    const auto it = std::find_if(orders.begin(), orders.end(),
                                 [&](const PaymentOrder &o) { return o.orderNumber == orderNumber; });
    return it == orders.end() ? nullptr : &*it;
}

PaymentOrder &BackendState::addOrder(PaymentOrder order)
{
    order.id = nextId(orders);
    order.orderNumber = QStringLiteral("NV%1%2")
                            .arg(order.createdAt.toUTC().toString(QStringLiteral("yyyyMMddHHmmss")))
                            .arg(order.id, 6, 10, QLatin1Char('0'));
    orders.append(order);
    return orders.last();
}

} // namespace Norvane::LocalBackend
