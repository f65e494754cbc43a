#include "app/core/ObjCQuota.h"

#include "frameworks/business/BusinessFacade.h"

ObjCQuota::ObjCQuota(const OVQuota& quota, QObject* parent) : ObjCQuota(quota.overall, quota.used, quota.free, parent) {}
