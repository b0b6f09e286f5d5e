#!/usr/bin/env python3
"""Writes the feeds of this folder that are not UTF-8, from the texts below.

Run once from this folder when a text changes (python3 make_encoded.py); the files it writes
are committed, so tests never need Python.
"""

FEEDS = {
    # A mainland news portal: GB2312 declared, as such sites still send it.
    "gb2312.xml": ("gb2312", "gb2312", """<?xml version="1.0" encoding="gb2312"?>
<rss version="2.0">
<channel>
<title>新闻中心-滚动新闻</title>
<link>http://news.example.test/</link>
<description>最新新闻</description>
<language>zh-cn</language>
<item>
<title><![CDATA[北京今冬首场降雪]]></title>
<link>http://news.example.test/2026-12-08/1.shtml</link>
<description><![CDATA[<p>气象台发布暴雪蓝色预警。</p>]]></description>
<pubDate>Tue, 08 Dec 2026 10:00:00 +0800</pubDate>
</item>
<item>
<title>上海地铁新线开通试运营</title>
<link>http://news.example.test/2026-12-08/2.shtml</link>
<description>全长３０公里，设站２０座。</description>
</item>
</channel>
</rss>
"""),
    # A Taiwanese forum: Big5.
    "big5.xml": ("big5", "big5", """<?xml version="1.0" encoding="big5"?>
<rss version="2.0">
<channel>
<title>臺灣科技論壇</title>
<link>http://forum.example.tw/</link>
<item>
<title>新款筆電開箱與評測</title>
<link>http://forum.example.tw/t/1</link>
</item>
<item>
<title>颱風動態：請注意強風豪雨</title>
<link>http://forum.example.tw/t/2</link>
</item>
</channel>
</rss>
"""),
    # A German regional paper: ISO-8859-1 declared; the quotes are windows-1252 bytes, as
    # such servers really send them.
    "iso-8859-1.xml": ("ISO-8859-1", "cp1252", """<?xml version="1.0" encoding="ISO-8859-1"?>
<rss version="2.0">
<channel>
<title>Münchner Abendblatt</title>
<link>http://abendblatt.example.test/</link>
<item>
<title>Weihnachtsmärkte öffnen – Glühwein wird teurer</title>
<link>http://abendblatt.example.test/1</link>
</item>
<item>
<title>„Straßenbahn fährt wieder“, sagt die MVG</title>
<link>http://abendblatt.example.test/2</link>
</item>
</channel>
</rss>
"""),
    # A Japanese blog host: Shift_JIS.
    "shift_jis.xml": ("Shift_JIS", "cp932", """<?xml version="1.0" encoding="Shift_JIS"?>
<rss version="2.0">
<channel>
<title>日本の天気ブログ</title>
<link>http://tenki.example.jp/</link>
<item>
<title>東京で初雪を観測</title>
<link>http://tenki.example.jp/1</link>
</item>
</channel>
</rss>
"""),
    # A Russian site: windows-1251.
    "windows-1251.xml": ("windows-1251", "cp1251", """<?xml version="1.0" encoding="windows-1251"?>
<rss version="2.0">
<channel>
<title>Новости дня</title>
<link>http://novosti.example.test/</link>
<item>
<title>Морозы до минус тридцати</title>
<link>http://novosti.example.test/1</link>
</item>
</channel>
</rss>
"""),
    # A Windows server writing UTF-16 with a byte-order mark, both byte orders.
    "utf16le.xml": ("UTF-16", "utf-16-le-bom", """<?xml version="1.0" encoding="UTF-16"?>
<rss version="2.0">
<channel>
<title>Ελληνικά νέα 📰</title>
<link>http://nea.example.test/</link>
<item>
<title>Χιόνια στην Αθήνα</title>
<link>http://nea.example.test/1</link>
</item>
<item>
<title>中文 and 𠀀 beyond the BMP</title>
<link>http://nea.example.test/2</link>
</item>
</channel>
</rss>
"""),
    "utf16be.xml": ("UTF-16", "utf-16-be-bom", """<?xml version="1.0" encoding="UTF-16"?>
<rss version="2.0">
<channel>
<title>Big-endian bulletin</title>
<link>http://be.example.test/</link>
<item>
<title>Ünïcödé survives the swap</title>
<link>http://be.example.test/1</link>
</item>
</channel>
</rss>
"""),
}


def main():
    for name, (_, codec, text) in FEEDS.items():
        text = text.replace("\n", "\r\n") if name.startswith("utf16") else text
        if codec == "utf-16-le-bom":
            data = b"\xff\xfe" + text.encode("utf-16-le")
        elif codec == "utf-16-be-bom":
            data = b"\xfe\xff" + text.encode("utf-16-be")
        else:
            data = text.encode(codec)
        with open(name, "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
