MainStrings.add('tr-tr', {
    "history.title": "Sürüm geçmişi",
    "history.windowTitle": "Pellanor sürüm geçmişi",
    "history.running": "Kullandığınız sürüm: {0}.",
    "history.list": "Yayımlanan sürümler",
    "history.loading": "Sürüm geçmişi yükleniyor…",
    "history.loadingNote": "Bu birkaç saniye sürebilir.",
    "history.version": "Sürüm {0}",
    "history.installed": "Yüklü",
    "history.newer": "Daha yeni",
    "history.empty": "Henüz yayımlanmış bir sürüm yok.",
    "history.failed": "Sürüm geçmişi yüklenemedi.",
    "history.unavailable": "Bu sürümde kullanılamaz."
});
