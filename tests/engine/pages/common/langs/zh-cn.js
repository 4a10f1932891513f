var lang = "中文";
