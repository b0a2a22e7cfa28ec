#pragma once

#include "localbackend/AccountStore.h"
#include "localbackend/LocalBackendServer.h"
#include "localbackend/OrderBook.h"
#include "localbackend/PlanCatalogue.h"

namespace Norvane::LocalBackend {

// payments/create, payments/status/{orderNo}, orders and the payment code picture that a
// created order's "payment_url" names. A status query moves the order along its script; when
// it completes, the account's VIP is extended by the plan's days.
class PaymentRoutes
{
public:
    PaymentRoutes(LocalBackendServer &server, AccountStore &accounts, const PlanCatalogue &plans,
                  OrderBook &orders);
    PaymentRoutes(const PaymentRoutes &) = delete;
    PaymentRoutes &operator=(const PaymentRoutes &) = delete;

    static constexpr int kMaxPerPage = 100;

private:
    Reply create(const RecordedRequest &request);
    Reply status(const RecordedRequest &request);
    Reply history(const RecordedRequest &request);
    Reply paymentCode(const RecordedRequest &request);
    QUrl paymentUrl(const QString &orderNumber) const;

    LocalBackendServer &m_server;
    AccountStore &m_accounts;
    const PlanCatalogue &m_plans;
    OrderBook &m_orders;
};

} // namespace Norvane::LocalBackend
