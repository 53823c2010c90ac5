# The popup in the user's UI language: the customer's own title and offer
# text for Chinese (also Taiwan), Korean and Japanese, English for any other
# language (German here), and the wider never-ask button with the Japanese
# table. One start per language; screenshots show the glyphs.
from qmx_e2e import remote, usb_path, offer_documents

REMOTES = [remote(usb_path("ac01"), customer=7)]
TEXTS = {
    "Chinese1": "演示助手", "Chinese2": "现在下载演示软件吗？",
    "Korea1": "프레젠테이션 도우미", "Korea2": "지금 다운로드하시겠습니까?",
    "Japanese1": "プレゼン アシスタント", "Japanese2": "今すぐダウンロードしますか？",
    "English1": "Presenter Assistant", "English2": "Download the presenter now?",
}
SERVER = offer_documents(customer=7, **TEXTS)
TIMEOUT = 120

CASES = [  # locale, title key, offer key, never-ask width
    ("zh_CN.UTF-8", "Chinese1", "Chinese2", 100),
    ("zh_TW.UTF-8", "Chinese1", "Chinese2", 100),
    ("ko_KR.UTF-8", "Korea1", "Korea2", 100),
    ("ja_JP.UTF-8", "Japanese1", "Japanese2", 150),
    ("de_DE.UTF-8", "English1", "English2", 100),
]


def run(s):
    for locale, title, offer, never_ask_w in CASES:
        s.step("%s: customer texts" % locale)
        s.locale = locale
        app = s.start()
        s.check_eq(s.wait_settled(app), "running", "after start-up")
        s.wait_popup(visible=True, timeout=10)
        c = s.controls()
        s.shot(locale)
        s.check_eq(c[19001]["text"], TEXTS[title], "title")
        s.check_eq(c[19002]["text"], TEXTS[offer], "offer text")
        s.check_eq(c[20004]["rect"]["w"], never_ask_w, "never-ask button width")
        s.probe("close")
        s.check_eq(s.wait_exit(app), 0, "exit code after WM_CLOSE")
