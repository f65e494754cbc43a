#pragma once

#include <QString>

// The rule for a comma-separated list of mail addresses: at least one non-empty piece, and every
// non-empty piece (untrimmed) is a whole address.
bool hasValidEmails(const QString& text);
