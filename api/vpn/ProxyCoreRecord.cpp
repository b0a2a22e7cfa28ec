#include "api/vpn/ProxyCoreRecord.h"

#include "api/storage/LocalStorage.h"

namespace Norvane::Api::Vpn {

namespace {

const QString kProcessIdKey = QStringLiteral("proxy_core_pid");

Storage::LocalStorage *storage()
{
    return Storage::LocalStorage::instance();
}

} // namespace

qint64 ProxyCoreRecord::processId()
{
    bool ok = false;
    const qint64 id = storage()->getString(kProcessIdKey).toLongLong(&ok);
    return ok && id > 0 ? id : 0;
}

void ProxyCoreRecord::remember(qint64 processId)
{
    storage()->setString(kProcessIdKey, QString::number(processId));
    storage()->sync();
}

void ProxyCoreRecord::forget()
{
    if (storage()->getString(kProcessIdKey).isEmpty())
        return;
    storage()->remove(kProcessIdKey);
    storage()->sync();
}

} // namespace Norvane::Api::Vpn
