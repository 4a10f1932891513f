MainStrings.add('ru-ru', {
    "history.title": "История версий",
    "history.windowTitle": "История версий Pellanor",
    "history.running": "У вас версия {0}.",
    "history.list": "Выпущенные версии",
    "history.loading": "Загрузка истории версий…",
    "history.loadingNote": "Это может занять несколько секунд.",
    "history.version": "Версия {0}",
    "history.installed": "Установлена",
    "history.newer": "Новее",
    "history.empty": "Версии ещё не выпускались.",
    "history.failed": "Не удалось загрузить историю версий.",
    "history.unavailable": "Недоступно в этой версии."
});
