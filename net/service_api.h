// The program's conversation with its maker's web service: the latest version and the version
// history, the service's general information, feedback and usage events; and two questions
// about the network that do not contact the service. Answers are handed on as text; only
// submitFeedback looks inside one.
//
// The service's base URL is ours (product::kServiceBaseUrl), or the one the environment variable
// PELLANOR_SERVICE_URL names, for tests and private deployments; pages cannot change it.
#pragma once

#include <QString>

#include <functional>
#include "product/product.h"

namespace pellanor::net {

// Without a trailing slash. Does not block.
QString serviceBaseUrl();

// The language of the version queries: the stored "app_language" setting, else the detected
// UI language. The settings module supplies it; until it does, the system's first UI language
// is used. Set once at start-up, before the first query.
void setLanguageSource(std::function<QString()> source);

// GETs with a 3 s limit; the service's JSON or an error text of the HTTP client. Block the
// calling (UI) thread inside a nested event loop.
QString checkUpdate();
QString getVersionList();
QString getAppInfo();

// POSTs the script's object (an empty one for text that is not an object) with "client_id"
// and "app_version" set; false when the answer has an "error" member. Blocks like the GETs.
bool submitFeedback(const QString& feedback);

// Whether the user lets usage events leave the machine. Asked by reportEvent, and again on the
// HTTP client's thread before every attempt of an event already handed on, so consent
// withdrawn while an event waits for its retry stops it. Empty (the default) means no check,
// as for the command line. May be set from any thread; `allowed` should answer quickly, and is
// copied for each ask, so any state it keeps belongs outside it.
void setEventConsent(std::function<bool()> allowed);

// Sends the completed event fire-and-forget (retried by the client); true once handed on,
// false without consent (logged, nothing sent). Does not block beyond the connectivity check.
bool reportEvent(const QString& event);

// A default route in the IPv4 routing table. Blocks briefly.
bool isInternetAvailable();
// The system's connectivity verdict, logged. Blocks briefly.
bool isNetworkConnected();

}  // namespace pellanor::net
