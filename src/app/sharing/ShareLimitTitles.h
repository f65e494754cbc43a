#pragma once

#include <QString>
#include <QVariant>

// Menu titles of a list of limits: the unlimited value as `unlimitedTitle`, the rest as digits;
// no value for anything but a list of numbers.
QVariant shareLimitTitles(const QVariant& value, const QString& unlimitedTitle);
