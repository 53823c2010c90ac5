# With the maker's key built in, the downloaded installer is replaced on disk
# between the completed state and the press of Open: Open checks the file
# again, does not start it, and shows the failed state instead of hiding.
# Download then fetches the genuine file again, and the one start that
# follows is the only start the installer ever saw.
import _download as d
import _signing as sig

REMOTES = d.REMOTES
TIMEOUT = 120


def run(s):
    maker = sig.Maker(s)
    s.set_signing_key(maker.public)
    installer = d.standin_bytes(s)
    server = d.InstallerServer(s, installer)
    try:
        d.serve_offer(s, sig.signed_description(maker, server.url, installer))
        d.start_with_offer(s)

        s.step("a signed installer completes")
        s.click(d.DOWNLOAD)
        d.wait_state(s, d.COMPLETED, "the completed state")

        s.step("another program takes its place on disk")
        with open(d.installer_path(s), "wb") as f:
            f.write(installer + b"\0replaced after the download")

        s.step("Open refuses it")
        s.click(d.OPEN)
        d.wait_state(s, d.FAILED, "the failed state")
        s.check(s.popup()["visible"], "popup still shown")
        s.shot("refused")

        s.step("downloaded again, Open starts it once")
        s.click(d.DOWNLOAD)
        d.wait_state(s, d.COMPLETED, "the completed state")
        s.check_eq(d.read_installer(s), installer, "the genuine file is back")
        sig.open_once(s)
    finally:
        server.stop()
