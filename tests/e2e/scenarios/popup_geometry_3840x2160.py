# The offer popup on a 3840 x 2160 screen: 1000 x 600 pixels, one pixel in
# from the bottom-right corner of the work area, with its controls laid out
# for that size.
import _geometry
from _geometry import REMOTES, SERVER, TIMEOUT  # noqa: F401

SCREEN = (3840, 2160)


def run(s):
    _geometry.check(s, (2839, 1559, 1000, 600))
