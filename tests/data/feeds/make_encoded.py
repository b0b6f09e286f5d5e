#!/usr/bin/env python3
"""Writes the feeds of this folder that are not UTF-8, from the texts below.

Run once from this folder when a text changes (python3 make_encoded.py); the files it writes
are committed, so tests never need Python.
"""


def simple_feed(encoding, title, link, items):
    """An RSS 2.0 channel with a title and a link, and items of a title and a link."""
    entries = "".join(f"<item>\n<title>{t}</title>\n<link>{l}</link>\n</item>\n" for t, l in items)
    return (f'<?xml version="1.0" encoding="{encoding}"?>\n<rss version="2.0">\n<channel>\n'
            f"<title>{title}</title>\n<link>{link}</link>\n{entries}</channel>\n</rss>\n")


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
}

# name, declared encoding, Python codec, channel title and link, items (title, link).
SIMPLE_FEEDS = [
    # A Taiwanese forum: Big5.
    ("big5.xml", "big5", "big5", "臺灣科技論壇", "http://forum.example.tw/",
     [("新款筆電開箱與評測", "http://forum.example.tw/t/1"),
      ("颱風動態：請注意強風豪雨", "http://forum.example.tw/t/2")]),
    # A German regional paper: ISO-8859-1 declared; the quotes are windows-1252 bytes, as
    # such servers really send them.
    ("iso-8859-1.xml", "ISO-8859-1", "cp1252", "Münchner Abendblatt", "http://abendblatt.example.test/",
     [("Weihnachtsmärkte öffnen – Glühwein wird teurer", "http://abendblatt.example.test/1"),
      ("„Straßenbahn fährt wieder“, sagt die MVG", "http://abendblatt.example.test/2")]),
    # A Japanese blog host: Shift_JIS.
    ("shift_jis.xml", "Shift_JIS", "cp932", "日本の天気ブログ", "http://tenki.example.jp/",
     [("東京で初雪を観測", "http://tenki.example.jp/1")]),
    # A Russian site: windows-1251.
    ("windows-1251.xml", "windows-1251", "cp1251", "Новости дня", "http://novosti.example.test/",
     [("Морозы до минус тридцати", "http://novosti.example.test/1")]),
    # A Windows server writing UTF-16 with a byte-order mark, both byte orders.
    ("utf16le.xml", "UTF-16", "utf-16-le-bom", "Ελληνικά νέα 📰", "http://nea.example.test/",
     [("Χιόνια στην Αθήνα", "http://nea.example.test/1"),
      ("中文 and 𠀀 beyond the BMP", "http://nea.example.test/2")]),
    ("utf16be.xml", "UTF-16", "utf-16-be-bom", "Big-endian bulletin", "http://be.example.test/",
     [("Ünïcödé survives the swap", "http://be.example.test/1")]),
]
for name, encoding, codec, title, link, items in SIMPLE_FEEDS:
    FEEDS[name] = (encoding, codec, simple_feed(encoding, title, link, items))


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
