#pragma once

#include <QString>

#include "app/core/AppError.h"
#include "app/core/BusinessErrorTexts.h"

// The texts of the store's error (`StoreError`, declared with `AppError`), looked up afresh on
// every call. Any thread.
QString errorDescription(StoreError error);
QString failureReason(StoreError error);
QString recoverySuggestion(StoreError error);
LocalizedErrorTexts localizedTexts(StoreError error);
