MainStrings.add('it-it', {
    "history.title": "Cronologia delle versioni",
    "history.windowTitle": "Cronologia delle versioni di Pellanor",
    "history.running": "Hai la versione {0}.",
    "history.list": "Versioni pubblicate",
    "history.loading": "Caricamento della cronologia delle versioni…",
    "history.loadingNote": "Potrebbe richiedere alcuni secondi.",
    "history.version": "Versione {0}",
    "history.installed": "Installata",
    "history.newer": "Più recente",
    "history.empty": "Non è stata ancora pubblicata alcuna versione.",
    "history.failed": "Impossibile caricare la cronologia delle versioni.",
    "history.unavailable": "Non disponibile in questa versione."
});
