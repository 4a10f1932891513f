MainStrings.add('ja-jp', {
    "history.title": "バージョン履歴",
    "history.windowTitle": "Pellanor のバージョン履歴",
    "history.running": "お使いのバージョンは {0} です。",
    "history.list": "公開済みのバージョン",
    "history.loading": "バージョン履歴を読み込んでいます…",
    "history.loadingNote": "数秒かかることがあります。",
    "history.version": "バージョン {0}",
    "history.installed": "インストール済み",
    "history.newer": "新しいバージョン",
    "history.empty": "公開されたバージョンはまだありません。",
    "history.failed": "バージョン履歴を読み込めませんでした。",
    "history.unavailable": "このバージョンでは利用できません。"
});
