#pragma once

#include <QString>

// The rule for a comma-separated list of mail addresses: not empty, and every non-empty piece
// (untrimmed) is a whole address. A text of commas only leaves no piece and passes.
bool hasValidEmails(const QString& text);
