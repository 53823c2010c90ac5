# The release exe (real SetupAPI enumeration and hidapi, compiled-in server)
# under Wine, which has no supported remote (at most its own virtual HID
# mouse and keyboard): it enumerates the present HID interfaces with their
# details, finds nothing, releases the set and ends with exit code 0.
# Wine's setupapi trace shows the enumeration really ran.
FLAVOR = "release"
TIMEOUT = 60

HID_CLASS = "{4d1e55b2-f16f-11cf-88cb-001111000030}"
DIGCF_PRESENT_DEVICEINTERFACE = "0x00000012"


def run(s):
    app = s.start(env={"WINEDEBUG": "trace+setupapi"})
    s.step("exits after its scan")
    s.check_eq(s.wait_exit(app), 0, "exit code")
    s.check_eq(s.access_log(), [], "requests to the loopback server")
    s.step("the scan enumerated the HID interfaces")
    lines = app.output().splitlines()
    opened = [l for l in lines if "SetupDiGetClassDevs" in l]
    s.check(len(opened) == 1 and HID_CLASS in opened[0] and DIGCF_PRESENT_DEVICEINTERFACE in opened[0],
            "one device set of present HID interfaces: %r" % opened)
    details = [l for l in lines if "SetupDiGetDeviceInterfaceDetailA" in l]
    interfaces = [l for l in lines if "SETUPDI_CreateDeviceInterface" in l]
    s.check_eq(len(details), 2 * len(interfaces), "detail queries (size, then data, per interface)")
    s.check_eq(sum("SetupDiDestroyDeviceInfoList" in l for l in lines), 1, "device sets released")
