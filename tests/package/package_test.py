#!/usr/bin/env python3
"""The installer package under Wine, in prefixes of its own: a silent install registers and
works with nothing registered by hand, writes the same registry entries as regsvr32 of the
libraries, installs no board without the simulated-boards feature, and a silent removal
leaves nothing of the package behind.

package_test.py MSI BIN_DIR WORK_DIR BUILD_MSI
"""
import os
import re
import shutil
import subprocess
import sys

MSI, BIN, WORK, BUILD_MSI = (os.path.abspath(a) for a in sys.argv[1:5])
HERE = os.path.dirname(os.path.abspath(__file__))
WINE = shutil.which("wine64") or shutil.which("wine") or "/usr/lib/wine/wine64"
WINESERVER = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
# Keys below which Windows Installer keeps its own bookkeeping of installed products.
BOOKKEEPING = re.compile(r"^(hkey_local_machine\\software\\classes\\installer\\|"
                         r"hkey_local_machine\\software\\microsoft\\windows\\currentversion\\"
                         r"(installer|uninstall)\\)", re.I)
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


class Prefix:
    def __init__(self, name):
        self.path = os.path.join(WORK, name)
        shutil.rmtree(self.path, ignore_errors=True)
        os.makedirs(self.path)
        self.env = dict(os.environ, WINEPREFIX=self.path, WINEARCH="win64", WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.wine("wineboot", "-i")
        # The script host registers its own library on first use: before any baseline.
        with open(self.drive_c("warm.vbs"), "w") as f:
            f.write("WScript.Quit 0\n")
        self.wine("cscript", "//nologo", "C:\\warm.vbs")

    def wine(self, *args):
        result = subprocess.run([WINE, *args], env=self.env, capture_output=True, text=True,
                                errors="replace", timeout=600)
        subprocess.run([WINESERVER, "-w"], env=self.env, timeout=600)
        return result

    def drive_c(self, *parts):
        return os.path.join(self.path, "drive_c", *parts)

    def registry(self):
        """The machine's classes and services as {key: {name: data}}, lower-cased keys."""
        keys = {}
        for root in (r"HKLM\Software\Classes", r"HKLM\System\CurrentControlSet\Services",
                     r"HKLM\Software\Quillon"):
            out = os.path.join(self.path, "export.reg")
            if os.path.exists(out):
                os.remove(out)
            self.wine("reg", "export", root, "Z:" + out.replace("/", "\\"), "/y")
            if not os.path.exists(out):
                continue
            with open(out, "rb") as f:
                text = f.read().decode("utf-16", errors="replace")
            key = None
            for line in text.replace("\\\r\n", "").splitlines():
                if line.startswith("[") and line.endswith("]"):
                    key = line[1:-1].lower()
                    keys.setdefault(key, {})
                elif key and "=" in line:
                    name, _, data = line.partition("=")
                    keys[key][name] = data
        return {k: v for k, v in keys.items() if not BOOKKEEPING.match(k + "\\")}


def added(before, after):
    """Keys and values present or changed after, as {key: {name: data}}."""
    return {k: {n: d for n, d in v.items() if before.get(k, {}).get(n) != d}
            for k, v in after.items() if k not in before or v != before[k]}


def neutral(entries, paths):
    """The entries with the installed files' folder replaced by a name."""
    def plain(text):
        for path, name in paths:
            text = re.sub(re.escape(path.replace("\\", "\\\\")), name, text, flags=re.I)
            # The long-path form names the same file (the platform's type library registration
            # here writes it).
            text = text.replace("\\\\\\\\?\\\\" + name, name)
            # A folder as a directory property gives it, with its separator, is the same folder.
            text = text.replace(name + "\\\\\"", name + "\"")
        return text
    return {k: {n: plain(d) for n, d in v.items()} for k, v in entries.items()}


def products(prefix):
    """The installed products named Corvid, with their versions."""
    result = prefix.wine("reg", "query", r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall",
                         "/s")
    names = re.findall(r"DisplayName\s+REG_SZ\s+(Corvid[^\r\n]*)", result.stdout)
    return sorted(n.strip() for n in names)


def script(prefix, boards):
    shutil.copy(os.path.join(HERE, "acquire.vbs"), prefix.drive_c("acquire.vbs"))
    result = prefix.wine("cscript", "//nologo", "C:\\acquire.vbs", str(boards), "C:\\frame.bmp")
    return result.returncode, result.stdout.strip()


msi = "Z:" + MSI.replace("/", "\\")

# Installed by the package, with nothing registered by hand.
a = Prefix("installed")
baseline = a.registry()
check(a.wine("msiexec", "/i", msi, "/qn").returncode == 0, "silent install")
check(os.path.exists(a.drive_c("Program Files", "Corvid", "Corvid.ocx")), "control installed")
check(os.path.exists(a.drive_c("windows", "system32", "kvboard.drv")), "driver installed")
shortcuts = [os.path.join(d, f) for d, _, files in os.walk(a.drive_c()) for f in files
             if f.lower() == "vidora.lnk"]
check(len(shortcuts) == 1 and "start menu" in shortcuts[0].lower(),
      "Start menu shortcut ({})".format(shortcuts))
shortcut = shortcuts[0] if shortcuts else a.drive_c("missing.lnk")
code, out = script(a, 7)
check(code == 0 and out.endswith("ok"), "script host: both ProgIDs, 7 boards, a frame ({})".format(out))
with open(a.drive_c("frame.bmp"), "rb") as f:
    check(f.read(2) == b"BM", "the acquired frame saved as a bitmap")
installed = added(baseline, a.registry())

# The libraries registered by hand in a second prefix: the same entries.
b = Prefix("registered")
reference_before = b.registry()
for name in ("Corvid.ocx", "kvboard.drv"):
    shutil.copy(os.path.join(BIN, name), b.drive_c("windows", "system32", name))
    b.wine("regsvr32", "/s", "C:\\windows\\system32\\" + name)
registered = added(reference_before, b.registry())
# The package's own record of its shortcut is the one entry regsvr32 has no part in.
installed = {k: v for k, v in installed.items() if not k.startswith("hkey_local_machine\\software\\quillon")}
package_entries = neutral(installed, [("C:\\Program Files\\Corvid", "<folder>")])
regsvr32_entries = neutral(registered, [("C:\\windows\\system32", "<folder>")])
check(package_entries == regsvr32_entries,
      "package and regsvr32 write the same registry entries ({} keys)".format(len(registered)))
for key in sorted(set(package_entries) | set(regsvr32_entries)):
    if package_entries.get(key) != regsvr32_entries.get(key):
        print("  {}: package {} regsvr32 {}".format(key, package_entries.get(key),
                                                   regsvr32_entries.get(key)))

# A newer package replaces the installed one.
newer = os.path.join(WORK, "Corvid-newer.msi")
check(subprocess.run([BUILD_MSI, "3.0.99", newer]).returncode == 0, "a newer package built")
check(a.wine("msiexec", "/i", "Z:" + newer.replace("/", "\\"), "/qn").returncode == 0,
      "silent upgrade")
check(products(a) == ["Corvid 3.0.99"], "the newer package replaced the older ({})".format(products(a)))
code, out = script(a, 7)
check(code == 0, "the upgraded control works ({})".format(out))

# Removal leaves nothing behind.
check(a.wine("msiexec", "/x", "Z:" + newer.replace("/", "\\"), "/qn").returncode == 0,
      "silent removal")
left = added(baseline, a.registry())
check(not left, "removal leaves no registry entry ({})".format(sorted(left)[:10]))
check(not os.path.exists(a.drive_c("Program Files", "Corvid")), "program folder removed")
check(not os.path.exists(a.drive_c("windows", "system32", "kvboard.drv")), "driver removed")
check(not os.path.exists(shortcut), "shortcut removed")

# Without the simulated boards: the control and Vidora, no board.
check(a.wine("msiexec", "/i", msi, "ADDLOCAL=Control,Vidora", "/qn").returncode == 0,
      "install without the simulated boards")
check(not os.path.exists(a.drive_c("windows", "system32", "kvboard.drv")), "no driver")
code, out = script(a, 0)
check(code == 0, "the control works and lists no board ({})".format(out))
check(a.wine("msiexec", "/x", msi, "/qn").returncode == 0, "removal")
check(not added(baseline, a.registry()), "nothing left after the second removal")

for prefix in (a, b):
    subprocess.run([WINESERVER, "-k"], env=prefix.env)
shutil.rmtree(WORK, ignore_errors=True)
sys.exit(1 if failures else 0)
