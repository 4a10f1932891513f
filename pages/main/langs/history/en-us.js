MainStrings.add('en-us', {
    "history.title": "Version history",
    "history.windowTitle": "Pellanor version history",
    "history.running": "You have version {0}.",
    "history.list": "Published versions",
    "history.loading": "Loading the version history…",
    "history.loadingNote": "This can take a few seconds.",
    "history.version": "Version {0}",
    "history.installed": "Installed",
    "history.newer": "Newer",
    "history.empty": "No versions have been published yet.",
    "history.failed": "The version history could not be loaded.",
    "history.unavailable": "Not available in this version."
});
