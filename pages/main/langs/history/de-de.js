MainStrings.add('de-de', {
    "history.title": "Versionsverlauf",
    "history.windowTitle": "Pellanor-Versionsverlauf",
    "history.running": "Sie haben Version {0}.",
    "history.list": "Veröffentlichte Versionen",
    "history.loading": "Versionsverlauf wird geladen …",
    "history.loadingNote": "Das kann einige Sekunden dauern.",
    "history.version": "Version {0}",
    "history.installed": "Installiert",
    "history.newer": "Neuer",
    "history.empty": "Es wurden noch keine Versionen veröffentlicht.",
    "history.failed": "Der Versionsverlauf konnte nicht geladen werden.",
    "history.unavailable": "In dieser Version nicht verfügbar."
});
