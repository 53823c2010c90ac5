# A download running when a slide show starts goes on behind it: its end
# applies the completed state to the popup without raising it over the show
# or taking the foreground, and the completed state is there when the show
# ends.
import _download as d
from _presenter import PAGE_DOWN, Presenter, pixel

REMOTES = d.REMOTES
TIMEOUT = 120

BLACK = (0, 0, 0)            # the slide show's background
HEADER_BLUE = (48, 99, 170)  # the popup's header band


def run(s):
    installer = d.standin_bytes(s)
    server = d.InstallerServer(s, installer, hold_at=len(installer) // 2)
    try:
        d.serve_offer(s, d.description(server.url, d.md5_hex(installer)))
        d.start_with_offer(s)
        rect = s.popup()["rect"]
        header = (rect["x"] + rect["w"] // 2, rect["y"] + 10)

        s.step("Download; the show starts while the transfer is held")
        s.click(d.DOWNLOAD)
        s.check(server.held.wait(30), "the installer was requested")
        d.wait_state(s, d.DOWNLOADING, "the downloading state")
        show = Presenter(s)

        s.step("the transfer ends during the show: the popup stays behind it")
        server.release()
        d.wait_state(s, d.COMPLETED, "the completed state")
        s.check_eq(d.read_installer(s), installer, "the installer file")
        s.check_eq(pixel(s, *header), BLACK, "the popup's header during the show")
        s.check_eq(show.press("Next"), [PAGE_DOWN], "the key at the slide show")
        s.check_eq(show.lost_foreground(), [], "the slide show lost the foreground")

        s.step("the show ends: the completed state shows")
        show.end_show()
        s.wait_until(lambda: pixel(s, *header) == HEADER_BLUE, "the popup's header after the show",
                     timeout=10, interval=1)
        s.check_eq(s.popup()["visible"], True, "popup visible")
        s.check_eq(show.lost_foreground(), [], "the window lost the foreground")
    finally:
        server.stop()
