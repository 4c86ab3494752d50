"""The languages the setup ships besides English, the texts' own language:
each has its file <tag>.json here. The pseudo-language is in the test
builds' table only. The table maker, the texts' checker, the gallery and the
screenshot test read them from here."""

SHIPPED = ["de", "fr", "es", "it", "pt-BR", "nl", "pl", "tr", "ru", "ja", "ko", "zh-Hans", "zh-Hant"]
PSEUDO = "qps-ploc"
