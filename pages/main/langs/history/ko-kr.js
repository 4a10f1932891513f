MainStrings.add('ko-kr', {
    "history.title": "버전 기록",
    "history.windowTitle": "Pellanor 버전 기록",
    "history.running": "현재 버전은 {0}입니다.",
    "history.list": "게시된 버전",
    "history.loading": "버전 기록을 불러오는 중…",
    "history.loadingNote": "몇 초 정도 걸릴 수 있습니다.",
    "history.version": "버전 {0}",
    "history.installed": "설치됨",
    "history.newer": "최신",
    "history.empty": "아직 게시된 버전이 없습니다.",
    "history.failed": "버전 기록을 불러올 수 없습니다.",
    "history.unavailable": "이 버전에서는 사용할 수 없습니다."
});
