#pragma once

#include "api/models/CreatePaymentData.h"
#include "api/models/PaymentStatusData.h"
#include "api/models/SubscriptionPlan.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QTimer;

namespace Norvane::Api::Services {

// Sells VIP time: lists the plans, creates payment orders and follows one order's payment
// status until it ends.
class PaymentService : public QObject
{
    Q_OBJECT

public:
    using PlansCallback =
        std::function<void(bool success, const QString &message, const QList<Models::SubscriptionPlan> &plans)>;
    using CreateCallback =
        std::function<void(bool success, const QString &message, const Models::CreatePaymentData &data)>;
    using StatusCallback =
        std::function<void(bool success, const QString &message, const Models::PaymentStatusData &data)>;
    using OutcomeCallback = std::function<void()>;

    static constexpr int kDefaultPollInterval = 5000;
    static constexpr int kDefaultPollLimit = 60;

    static PaymentService *instance();
    ~PaymentService() override;

    void getSubscriptionPlans(PlansCallback callback = {});
    void createPayment(int planId, const QString &paymentMethod, CreateCallback callback = {});
    void getPaymentStatus(const QString &orderNumber, StatusCallback callback = {});

    // Queries at once, then on every tick; ends on a terminal status or after the tick limit.
    void startPolling(const QString &orderNumber, StatusCallback onStatus = {},
                      OutcomeCallback onCompleted = {}, OutcomeCallback onFailed = {});
    // Ends polling without running a callback.
    void stopPolling();
    bool isPolling() const;

    int pollInterval() const;
    void setPollInterval(int milliseconds);
    int pollLimit() const { return m_pollLimit; }
    void setPollLimit(int ticks);

signals:
    void plansUpdated(const QList<Models::SubscriptionPlan> &plans);
    void paymentCreated(const Models::CreatePaymentData &data);
    void paymentCompleted(const QString &orderNumber);
    void paymentFailed(const QString &orderNumber, const QString &message);
    void paymentStatusUpdated(const Models::PaymentStatusData &data);

private:
    PaymentService();

    struct PollState
    {
        QString orderNumber;
        int count = 0;
        StatusCallback onStatus;
        OutcomeCallback onCompleted;
        OutcomeCallback onFailed;
    };

    void onPollTick();
    void onTickAnswer(quint64 generation, const QString &orderNumber, bool success,
                      const QString &message, const Models::PaymentStatusData &data);
    bool isCurrent(quint64 generation) const { return generation == m_pollGeneration; }

    QTimer *m_pollTimer;
    PollState m_poll;
    // Bumped whenever a polling ends, so answers to its queries can be told apart and dropped.
    quint64 m_pollGeneration = 0;
    int m_pollLimit = kDefaultPollLimit;
    QList<Models::SubscriptionPlan> m_plans;
};

} // namespace Norvane::Api::Services
