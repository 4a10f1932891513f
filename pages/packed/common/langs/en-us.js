// English texts of the pages: the default table itself (common/js/defaultlangs.js, which every
// page loads before its language), so the two can never drift apart.
(window.PellanorLangs = window.PellanorLangs || {})["en-us"] = Object.assign({}, window.PellanorDefaultLang);
