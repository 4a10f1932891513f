MainStrings.add('zh-cn', {
    "history.title": "版本历史",
    "history.windowTitle": "Pellanor 版本历史",
    "history.running": "当前版本为 {0}。",
    "history.list": "已发布的版本",
    "history.loading": "正在加载版本历史…",
    "history.loadingNote": "这可能需要几秒钟。",
    "history.version": "版本 {0}",
    "history.installed": "已安装",
    "history.newer": "较新",
    "history.empty": "尚未发布任何版本。",
    "history.failed": "无法加载版本历史。",
    "history.unavailable": "此版本不提供该功能。"
});
