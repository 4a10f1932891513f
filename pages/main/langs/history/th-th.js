MainStrings.add('th-th', {
    "history.title": "ประวัติเวอร์ชัน",
    "history.windowTitle": "ประวัติเวอร์ชันของ Pellanor",
    "history.running": "คุณใช้เวอร์ชัน {0}",
    "history.list": "เวอร์ชันที่เผยแพร่แล้ว",
    "history.loading": "กำลังโหลดประวัติเวอร์ชัน…",
    "history.loadingNote": "อาจใช้เวลาสักครู่",
    "history.version": "เวอร์ชัน {0}",
    "history.installed": "ติดตั้งอยู่",
    "history.newer": "ใหม่กว่า",
    "history.empty": "ยังไม่มีเวอร์ชันที่เผยแพร่",
    "history.failed": "ไม่สามารถโหลดประวัติเวอร์ชันได้",
    "history.unavailable": "ไม่มีในเวอร์ชันนี้"
});
