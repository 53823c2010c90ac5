# The offer popup on a 2560 x 1080 screen: 666 x 300 pixels, one pixel in
# from the bottom-right corner of the work area, with its controls laid out
# for that size.
import _geometry
from _geometry import REMOTES, SERVER, TIMEOUT  # noqa: F401

SCREEN = (2560, 1080)


def run(s):
    _geometry.check(s, (1893, 779, 666, 300))
