# The life of the per-user installer package (make package) under Wine's
# msiexec: installed with /qn it puts the exe under
# %LOCALAPPDATA%\Programs\Valdry\QmxAssistant, writes the Run value and the
# Add/Remove Programs entry, and the installed exe runs. A later version
# (the build's second package, holding the testing flavor of the exe)
# replaces the exe and keeps the settings file Never ask wrote; the older
# package is then refused and changes nothing. Installing again while the
# assistant runs ends the running copy (exit code 0); Wine's msiexec runs
# the install elevated (MsiRunningElevated), so the
# package does not start the assistant again under that token, and the Run
# value starts it at the next logon. The assistant's component has its HKCU
# value as key path, and the versioned exe carries no file hash.
# msiexec /x removes the exe, the settings file, the Run value, the
# downloaded installer, the working folder, the Add/Remove Programs entry and
# the folders it made (not the Programs folder another program uses), and
# ends the running copy first.
import glob
import os
import re
import shutil
import subprocess

from qmx_e2e import TOP, customersetting, remote, usb_path, win_path, CUSTOMERSETTING_PATH

REMOTES = [remote(usb_path("ad03"), customer=7)]
SERVER = {CUSTOMERSETTING_PATH: customersetting({"CustomerID": 9})}
TIMEOUT = 240

RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
KEY_PATH_KEY = r"HKCU\Software\Valdry\QmxAssistant"
# Wine keeps the entries of per-user products here too.
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
NEVER_ASK = b"[Option]\r\nNotify=off\r\n"  # as WritePrivateProfileStringW writes it
MSI_FAILED = 1603 & 0xFF  # the exit status Wine's msiexec leaves to Linux


def reg_query(s, *args):
    """{key: {value name: data}} from `wine reg query`; {} when the key is missing."""
    out = os.path.join(s.work, "reg.out")
    with open(out, "wb") as f:
        subprocess.run([s.wine, "reg", "query"] + list(args), env=s.env(), stdin=subprocess.DEVNULL,
                       stdout=f, stderr=subprocess.STDOUT, timeout=60)
    keys, key = {}, None
    with open(out, "rb") as f:
        for line in f.read().decode("utf-8", "replace").splitlines():
            if line.startswith("HKEY_"):
                key = keys.setdefault(line.strip(), {})
            elif key is not None and line.startswith("    ") and "    REG_" in line:
                name, _, data = line.strip().partition("    ")
                key[name] = data.partition("    ")[2]
    return keys


def run_value(s):
    return reg_query(s, RUN_KEY).get("HKEY_CURRENT_USER" + RUN_KEY[4:], {}).get("QmxAssistant")


def products(s):
    """The Add/Remove Programs entries of QmxAssistant."""
    return [v for v in reg_query(s, UNINSTALL_KEY, "/s").values()
            if v.get("DisplayName") == "QmxAssistant"]


def msiexec(s, *args):
    """msiexec's exit status. Output goes to a file: a copy of the assistant
    the package starts inherits it and outlives msiexec."""
    log = os.path.join(s.work, "msiexec-%d.log" % len(glob.glob(os.path.join(s.work, "msiexec-*.out"))))
    with open(log + ".out", "wb") as f:
        p = subprocess.run([s.wine, "msiexec"] + list(args) + ["/qn", "/l*v", win_path(log)],
                           env=s.env(), stdin=subprocess.DEVNULL, stdout=f,
                           stderr=subprocess.STDOUT, timeout=120)
    return p.returncode


def key_path_value(s):
    return reg_query(s, KEY_PATH_KEY).get("HKEY_CURRENT_USER" + KEY_PATH_KEY[4:], {}).get(
        "Installed")


def msi_table(msi, table):
    """The rows of one table of the package (msitools' msiinfo)."""
    out = subprocess.run(["msiinfo", "export", msi, table], stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, timeout=60).stdout.decode(errors="replace")
    return [line.split("\t") for line in out.splitlines()[3:]]


def read(path):
    with open(path, "rb") as f:
        return f.read()


def run(s):
    with open(os.path.join(TOP, "CMakeLists.txt")) as f:
        major, minor, patch = re.search(r"project\(QmxAssistant VERSION (\d+)\.(\d+)\.(\d+)",
                                        f.read()).groups()
    version = "%s.%s.%s" % (major, minor, patch)
    later = "%s.%s.%d" % (major, minor, int(patch) + 1)
    older = os.path.join(s.build_dir, "QmxAssistant-%s.msi" % version)
    newer = os.path.join(s.build_dir, "packaging", "QmxAssistant-%s.msi" % later)
    s.check(os.path.isfile(older) and os.path.isfile(newer),
            "the packages in the build (targets qmx_msi qmx_msi_next): %s %s" % (older, newer))
    programs = os.path.join(s.user_dir, "AppData", "Local", "Programs")
    programs_existed = os.path.isdir(programs)
    # Another program in the shared Programs folder: a removal leaves it.
    neighbour = os.path.join(programs, "Another Maker", "app.txt")
    install_dir = os.path.join(programs, "Valdry", "QmxAssistant")
    exe = os.path.join(install_dir, "QmxAssistant.exe")
    ini = os.path.join(install_dir, "QmxAssistant.ini")
    download = os.path.join(s.appdata, "QmxAssistant", "Temp", "setup.exe")
    exe_win = "C:\\users\\%s\\AppData\\Local\\Programs\\Valdry\\QmxAssistant\\QmxAssistant.exe" \
        % os.path.basename(s.user_dir)
    release = read(os.path.join(s.build_dir, "QmxAssistant.exe"))
    testing = read(os.path.join(s.build_dir, "QmxAssistantSim.exe"))
    try:
        os.makedirs(os.path.dirname(neighbour), exist_ok=True)
        with open(neighbour, "wb") as f:
            f.write(b"another program")

        s.step("the package's tables")
        s.check_eq(msi_table(older, "MsiFileHash"), [], "file hashes (the exe is versioned)")
        s.check_eq([row[5] for row in msi_table(older, "Component") if row[0] == "Assistant"],
                   [row[0] for row in msi_table(older, "Registry") if row[5] == "Assistant"],
                   "the assistant component's key path is its registry value")

        s.step("install /qn")
        s.check_eq(msiexec(s, "/i", win_path(older)), 0, "msiexec /i exit status")
        s.check(os.path.isfile(exe) and read(exe) == release, "the release exe installed as " + exe)
        s.check_eq(run_value(s), '"%s"' % exe_win, "Run value")
        s.check_eq(key_path_value(s), "0x1", "the assistant component's key path value")
        s.check_eq([(e.get("Publisher"), e.get("DisplayVersion")) for e in products(s)],
                   [("Valdry", version)], "Add/Remove Programs entries (publisher, version)")
        icons = [v.get("ProductIcon", "") for v in
                 reg_query(s, r"HKCU\Software\Microsoft\Installer\Products", "/s").values()
                 if v.get("ProductName") == "QmxAssistant"]
        s.check(len(icons) == 1 and os.path.isfile(s.host_path(icons[0])),
                "the product icon is registered and on disk: %r" % icons)

        s.step("the installed exe runs and, with no remote, ends")
        s.app_dir_win = exe_win.rpartition("\\")[0]
        s.set_remotes([])
        s.check_eq(s.wait_exit(s.start()), 0, "exit code")

        s.step("a later version replaces the exe and keeps Never ask")
        with open(ini, "wb") as f:
            f.write(NEVER_ASK)
        os.makedirs(os.path.dirname(download))
        with open(download, "wb") as f:
            f.write(b"MZ downloaded installer")
        s.check_eq(msiexec(s, "/i", win_path(newer)), 0, "msiexec /i exit status")
        s.check(read(exe) == testing, "the later package's exe replaced the installed one")
        s.check_eq(read(ini), NEVER_ASK, "settings file after the upgrade")
        s.check_eq([e.get("DisplayVersion") for e in products(s)], [later],
                   "Add/Remove Programs versions after the upgrade")

        s.step("the older package is refused and changes nothing")
        s.check_eq(msiexec(s, "/i", win_path(older)), MSI_FAILED, "msiexec /i exit status")
        s.check(read(exe) == testing, "exe unchanged")
        s.check_eq(read(ini), NEVER_ASK, "settings file")
        s.check_eq([e.get("DisplayVersion") for e in products(s)], [later],
                   "Add/Remove Programs versions")

        s.step("an elevated install while the assistant runs ends it, starts no copy")
        with open(ini, "wb") as f:
            f.write(b"[Option]\r\n")
        s.set_remotes(REMOTES)
        app = s.start()
        s.check_eq(s.wait_settled(app), "running", "the installed copy before the install")
        s.check_eq(msiexec(s, "/i", win_path(newer)), 0, "msiexec /i exit status")
        try:
            s.check_eq(app.proc.wait(60), 0, "exit code of the copy that ran")
        except subprocess.TimeoutExpired:
            s.fail("the copy that ran did not end")
        with open(sorted(glob.glob(os.path.join(s.work, "msiexec-*.log")),
                         key=os.path.getmtime)[-1], errors="replace") as f:
            log = f.read()
        s.check("Property(S): MsiRunningElevated = 1" in log and "QmxWasRunning = 1" in log,
                "the install ran elevated and found the assistant running")
        s.check_eq(s.probe("process", "QmxAssistant.exe")[-1]["count"], 0,
                   "copies the elevated install started")

        s.step("msiexec /x removes everything")
        s.check_eq(msiexec(s, "/x", win_path(newer)), 0, "msiexec /x exit status")
        s.wait_until(lambda: s.probe("process", "QmxAssistant.exe")[-1]["count"] == 0,
                     "the running copy to end")
        for path in (exe, ini, install_dir, os.path.dirname(install_dir), download,
                     os.path.join(s.appdata, "QmxAssistant")):
            s.check(not os.path.exists(path), "left behind: %s" % path)
        s.check(os.path.isfile(neighbour), "another program's file kept")
        s.check_eq(run_value(s), None, "Run value")
        s.check_eq(key_path_value(s), None, "the assistant component's key path value")
        s.check_eq(products(s), [], "Add/Remove Programs entries")
    finally:
        # The prefix outlives the scenario, and wineboot starts what the Run key names.
        for msi in (newer, older):
            msiexec(s, "/x", win_path(msi))
        subprocess.run([s.wine, "reg", "delete", RUN_KEY, "/v", "QmxAssistant", "/f"], env=s.env(),
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=60)
        shutil.rmtree(os.path.join(programs, "Valdry"), ignore_errors=True)
        shutil.rmtree(os.path.dirname(neighbour), ignore_errors=True)
        if not programs_existed and os.path.isdir(programs) and not os.listdir(programs):
            os.rmdir(programs)
