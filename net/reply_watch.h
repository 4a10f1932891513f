// What every reply of the client shares: the inactivity limit, the size cap of JSON answers and
// the one rule that tells success from failure. Used only inside net/.
#pragma once

#include <QNetworkReply>
#include <QString>

namespace pellanor::net::detail {

enum class Outcome { Success, Failure, TimedOut };

// Aborts the reply when no byte has moved for `inactivityMs`, marking it timed out; with
// `maxBytes` above 0, aborts it too once its answer grows past that, marking it too large.
void watchReply(QNetworkReply* reply, int inactivityMs, qint64 maxBytes);

// How a finished reply ended. Redirects are never followed, so a 3xx is a failure as well as
// any transport error or status of 400 and above; `description` receives its text.
Outcome outcomeOf(QNetworkReply* reply, QString* description);

// Compact {"error": description}.
QString errorJson(const QString& description);

// The thread id the log lines name.
std::size_t threadId();

}  // namespace pellanor::net::detail
