MainStrings.add('pt-pt', {
    "history.title": "Histórico de versões",
    "history.windowTitle": "Histórico de versões do Pellanor",
    "history.running": "Tem a versão {0}.",
    "history.list": "Versões publicadas",
    "history.loading": "A carregar o histórico de versões…",
    "history.loadingNote": "Pode demorar alguns segundos.",
    "history.version": "Versão {0}",
    "history.installed": "Instalada",
    "history.newer": "Mais recente",
    "history.empty": "Ainda não foi publicada nenhuma versão.",
    "history.failed": "Não foi possível carregar o histórico de versões.",
    "history.unavailable": "Indisponível nesta versão."
});
