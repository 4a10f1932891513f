MainStrings.add('es-es', {
    "history.title": "Historial de versiones",
    "history.windowTitle": "Historial de versiones de Pellanor",
    "history.running": "Tiene la versión {0}.",
    "history.list": "Versiones publicadas",
    "history.loading": "Cargando el historial de versiones…",
    "history.loadingNote": "Puede tardar unos segundos.",
    "history.version": "Versión {0}",
    "history.installed": "Instalada",
    "history.newer": "Más reciente",
    "history.empty": "Todavía no se ha publicado ninguna versión.",
    "history.failed": "No se pudo cargar el historial de versiones.",
    "history.unavailable": "No disponible en esta versión."
});
