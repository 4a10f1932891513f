MainStrings.add('fr-fr', {
    "history.title": "Historique des versions",
    "history.windowTitle": "Historique des versions de Pellanor",
    "history.running": "Vous avez la version {0}.",
    "history.list": "Versions publiées",
    "history.loading": "Chargement de l'historique des versions…",
    "history.loadingNote": "Cela peut prendre quelques secondes.",
    "history.version": "Version {0}",
    "history.installed": "Installée",
    "history.newer": "Plus récente",
    "history.empty": "Aucune version n'a encore été publiée.",
    "history.failed": "Impossible de charger l'historique des versions.",
    "history.unavailable": "Non disponible dans cette version."
});
