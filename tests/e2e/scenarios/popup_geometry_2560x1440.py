# The offer popup on a 2560 x 1440 screen: 666 x 400 pixels, one pixel in
# from the bottom-right corner of the work area, with its controls laid out
# for that size.
import _geometry
from _geometry import REMOTES, SERVER, TIMEOUT  # noqa: F401

SCREEN = (2560, 1440)


def run(s):
    _geometry.check(s, (1893, 1039, 666, 400))
