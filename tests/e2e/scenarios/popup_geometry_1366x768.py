# The offer popup on a 1366 x 768 screen: 500 x 300 pixels, one pixel in
# from the bottom-right corner of the work area, with its controls laid out
# for that size.
import _geometry
from _geometry import REMOTES, SERVER, TIMEOUT  # noqa: F401

SCREEN = (1366, 768)


def run(s):
    _geometry.check(s, (865, 467, 500, 300))
