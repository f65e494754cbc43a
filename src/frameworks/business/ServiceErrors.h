#pragma once

#include "frameworks/business/BusinessError.h"
#include "service/ServiceResult.h"

// The business error a failed service call stands for.
BusinessError businessError(const ServiceFailure& failure);
