#!/usr/bin/python3
"""Whole path under wine: tillgate-headless.exe with its settings imported
into the wine registry, serving two simulated registers
(tillgate-regsim.exe) on one COM port linked to a pseudo-terminal.

    whole_path_test.py BUILD_DIR

Run by scripts/test-windows inside its wine session, with WINE naming the
loader, WINEPREFIX the prefix and TILLGATE_TEST_SERIAL_PAIR two COM ports
joined as by a null-modem cable ("COM7 COM8").

The registers identify, sell by code and by barcode and close their
documents; otchet.dbf, read back with dbfread, holds what they were
answered, and Ctrl+C stops the server cleanly. Then a register sells
without closing, the server is killed and started again: the open document
comes back from the journal in %LOCALAPPDATA%\\Tillgate and its close writes
the row with the serial number given before the kill.

Then the service (installed with the user's settings copied to the
machine's key, RUNNING, logging, stopped with `sc stop`, removed with its
settings kept) and the installer (silent install and uninstall).
"""

import datetime
import glob
import os
import signal
import subprocess
import sys
import tempfile
import time

from dbfread import DBF

FAILURES = []


def check(condition, message):
    if not condition:
        FAILURES.append(message)
        print("FAIL: " + message, flush=True)


def windows_path(path):
    """The path as wine's drive Z: shows it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Shop:
    def __init__(self, build, root, server_port, sim_port):
        self.build = build
        self.root = root
        self.wine = os.environ.get("WINE", "wine")
        self.server_port = server_port
        self.sim_port = sim_port
        # A Cyrillic folder name on the way, as shops have them.
        self.goods = os.path.join(root, "Товары")
        self.reports = os.path.join(root, "Отчёты")
        os.makedirs(self.goods)
        os.makedirs(self.reports)
        self.sims = []
        self.server = None
        self.server_logs = []

    def exe(self, folder, name):
        return os.path.join(self.build, folder, name)

    def run(self, args, **kwargs):
        return subprocess.run([self.wine] + args, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=60, **kwargs)

    def headless(self, *args):
        done = self.run([self.exe("app/headless", "tillgate-headless.exe")] + list(args))
        return done.returncode, done.stdout.decode("utf-8", "replace") + \
            done.stderr.decode("utf-8", "replace")

    def make_goods(self, csv_text):
        csv = os.path.join(self.root, "goods.csv")
        with open(csv, "w", encoding="utf-8") as f:
            f.write(csv_text)
        done = self.run([self.exe("tools/mkgoods", "tillgate-mkgoods.exe"), windows_path(csv),
                         "-o", windows_path(os.path.join(self.goods, "tovars.dbf"))])
        check(done.returncode == 0, "mkgoods: %s" % done.stderr)

    def settings_file(self, port_number):
        """A REGEDIT4 export in code page 1251, as an old Windows PC writes."""
        def quoted(path):
            return windows_path(path).replace("\\", "\\\\")
        lines = ["REGEDIT4", "", "[HKEY_CURRENT_USER\\Tillgate]", "",
                 "[HKEY_CURRENT_USER\\Tillgate\\DataBase]",
                 '"InPath"="%s"' % quoted(self.goods), '"OutPath"="%s"' % quoted(self.reports),
                 '"Res"=dword:00000000', "",
                 "[HKEY_CURRENT_USER\\Tillgate\\Equipment]",
                 '"COM%d"=hex:01,01,01' % port_number,
                 '"MASKA%d"="25CCCCCWWWWW"' % port_number,
                 '"STROKA%d"="NC"' % port_number,
                 '"COD_LENGTH%d"=dword:00000004' % port_number,
                 '"AvtoStart"=dword:00000000', "", ""]
        path = os.path.join(self.root, "settings.reg")
        with open(path, "wb") as f:
            f.write("\r\n".join(lines).encode("cp1251"))
        return path

    def start_sim(self, name, scenario, extra):
        path = os.path.join(self.root, name + ".txt")
        with open(path, "w", encoding="utf-8") as f:
            f.write(scenario)
        log = open(os.path.join(self.root, name + ".log"), "w+", encoding="utf-8")
        proc = subprocess.Popen(
            [self.wine, self.exe("tools/regsim", "tillgate-regsim.exe"), "--scenario",
             windows_path(path), "--device", "\\\\.\\" + self.sim_port] + list(extra),
            stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
        self.sims.append((name, proc))
        # The server drops a register that misses its start command: the
        # simulator must be answering before the server starts.
        check(self.wait_for(name, "device ", 30), "the simulator %s did not open %s:\n%s" %
              (name, self.sim_port, self.sim_log(name)))
        time.sleep(0.5)
        return proc

    def sim_log(self, name):
        with open(os.path.join(self.root, name + ".log"), encoding="utf-8") as f:
            return f.read()

    def wait_for(self, name, text, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if text in self.sim_log(name):
                return True
            time.sleep(0.1)
        return False

    def start_server(self):
        log = open(os.path.join(self.root, "server-%d.log" % len(self.server_logs)), "w+",
                   encoding="utf-8")
        self.server_logs.append(log)
        env = dict(os.environ)
        env.pop("TILLGATE_STATE_DIR", None)
        env.pop("TILLGATE_REGISTRY", None)
        self.server = subprocess.Popen(
            [self.wine, self.exe("app/headless", "tillgate-headless.exe")], env=env,
            stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)

    def server_log(self):
        log = self.server_logs[-1]
        log.flush()
        log.seek(0)
        return log.read()

    def stop_server(self, sig):
        self.server.send_signal(sig)
        try:
            code = self.server.wait(20)
        except subprocess.TimeoutExpired:
            self.server.kill()
            code = "hung"
        return code

    def wait_sim(self, name, proc, timeout):
        try:
            code = proc.wait(timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            code = "killed"
        check(code == 0, "simulator %s ended with %s:\n%s" % (name, code, self.sim_log(name)))

    def cleanup(self):
        for _, proc in self.sims:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        if self.server is not None and self.server.poll() is None:
            self.server.kill()
            self.server.wait()


GOODS = """CODE,NAME,PRICE,DIVNUM,SH_CODE,RES
101,Хлеб Бородинский,45.90,1,4601234000017,100
102,Молоко 3.2% 1 л,79.90,2,46012340,50
4321,Соль,12.50,4,,10
"""

TWO_REGISTERS = """
register 1
d 0000001 26
p 101 2000 expect=goods
s 4601234000017 expect=goods
i 101 date=07.12 time=10:15 expect=o

register 2
d 0000002 26
s 46012340 3000 expect=goods
p 4321 500 expect=goods
i 202 date=07.12 time=10:20 expect=o
"""

LEFT_OPEN = """
register 1
d 0000001 26
p 102 expect=goods
"""

CLOSED_AFTER_RESTART = """
register 1
i 303 date=07.12 time=11:00 expect=o
"""


def read_dbf(path):
    return [tuple(r.values()) for r in DBF(path, encoding="cp866", char_decode_errors="strict")]


def state_folder():
    """%LOCALAPPDATA%\\Tillgate of the prefix's user."""
    found = glob.glob(os.path.join(os.environ["WINEPREFIX"], "drive_c", "users", "*",
                                   "AppData", "Local", "Tillgate"))
    return found[0] if found else None


def service_state(shop):
    done = shop.run(["sc", "query", "Tillgate"])
    text = done.stdout.decode("utf-8", "replace")
    for state in ("START_PENDING", "STOP_PENDING", "RUNNING", "STOPPED"):
        if state in text:
            return state
    return "none (%d)" % done.returncode


def wait_state(shop, want, timeout):
    deadline = time.monotonic() + timeout
    state = service_state(shop)
    while state != want and time.monotonic() < deadline:
        time.sleep(0.3)
        state = service_state(shop)
    return state


def service_log():
    """tillgate.log in the service's state folder: %ProgramData%\\Tillgate,
    which wine's service manager gives as %ALLUSERSPROFILE% (C:\\users\\Public)."""
    drive = os.path.join(os.environ["WINEPREFIX"], "drive_c")
    for folder in ("ProgramData", os.path.join("users", "Public")):
        path = os.path.join(drive, folder, "Tillgate", "tillgate.log")
        if os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                return f.read()
    return ""


def wait_log(text, timeout):
    deadline = time.monotonic() + timeout
    while text not in service_log() and time.monotonic() < deadline:
        time.sleep(0.2)
    return text in service_log()


def service_part(shop):
    """The service: installed with the user's settings copied to the
    machine's key, running, logging with levels, stopped by the service
    manager, removed with its settings kept."""
    code, said = shop.headless("--install-service")
    check(code == 0 and "copied from HKEY_CURRENT_USER\\Tillgate to "
          "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tillgate" in said and "service Tillgate started" in said,
          "--install-service: %s\n%s" % (code, said))
    code, said = shop.headless("--check", "--service")
    check("registry key: HKEY_LOCAL_MACHINE\\SOFTWARE\\Tillgate" in said and
          "goods folder (InPath): " + windows_path(shop.goods) in said,
          "--check --service (%s):\n%s" % (code, said))
    machine = os.path.join(shop.root, "machine.reg")
    code, said = shop.headless("--export", windows_path(machine), "--service")
    text = open(machine, "rb").read().decode("utf-16", "replace") \
        if os.path.exists(machine) else ""
    check(code == 0 and "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tillgate\\Equipment]" in text,
          "--export --service (%s): %s\n%s" % (code, said, text))
    code, said = shop.headless("--import", windows_path(machine), "--service")
    check(code == 0 and "written to HKEY_LOCAL_MACHINE\\SOFTWARE\\Tillgate" in said,
          "--import --service (%s): %s" % (code, said))
    try:
        state = wait_state(shop, "RUNNING", 20)
        check(state == "RUNNING", "service state after the install: " + state)
        check(wait_log("info: settings from HKEY_LOCAL_MACHINE\\SOFTWARE\\Tillgate", 10),
              "service log:\n" + service_log())
        done = shop.run(["sc", "stop", "Tillgate"])
        check(done.returncode == 0, "sc stop: %s" % done.stdout)
        state = wait_state(shop, "STOPPED", 20)
        check(state == "STOPPED", "service state after sc stop: " + state)
        log = service_log()
        for text in ["notice: stopping on service stop", "notice: stopped"]:
            check(text in log, "service log lacks %s:\n%s" % (text, log))
    finally:
        code, said = shop.headless("--remove-service")
    check(code == 0 and "removed" in said, "--remove-service: %s %s" % (code, said))
    check(service_state(shop).startswith("none"), "the service is still there after removal")
    kept = shop.run(["reg", "query", "HKLM\\SOFTWARE\\Tillgate\\DataBase"])
    check(kept.returncode == 0, "the machine's settings went with the service")


def wait_until(condition, timeout):
    deadline = time.monotonic() + timeout
    while not condition() and time.monotonic() < deadline:
        time.sleep(0.3)
    return condition()


def installer_part(shop):
    """The installer, silent: programs under Program Files\\Tillgate, the
    service registered and running with the settings there; the silent
    uninstall removes programs and service and keeps the settings."""
    setups = glob.glob(os.path.join(shop.build, "tillgate-setup-*.exe"))
    check(len(setups) == 1, "installers built: %s" % setups)
    if len(setups) != 1:
        return
    done = subprocess.run([shop.wine, setups[0], "/S"], stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=120)
    if done.returncode < 0:
        # Wine itself killed by a signal (seen once as SIGSEGV before the
        # installer wrote anything), not the installer's answer: once more.
        print("silent install: wine died by signal %d; running it again" % -done.returncode)
        done = subprocess.run([shop.wine, setups[0], "/S"], stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=120)
    check(done.returncode == 0, "silent install: %s %s" % (done.returncode, done.stderr))
    folder = os.path.join(os.environ["WINEPREFIX"], "drive_c", "Program Files", "Tillgate")
    for name in ("tillgate.exe", "tillgate-headless.exe", "tillgate-mkgoods.exe", "tillgate-regsim.exe",
                 "uninstall.exe", os.path.join("docs", "windows.txt")):
        check(os.path.exists(os.path.join(folder, name)), "not installed: " + name)
    menu = glob.glob(os.path.join(os.environ["WINEPREFIX"], "drive_c", "**", "Start Menu",
                                  "Programs", "Tillgate", "*.lnk"), recursive=True)
    names = sorted(os.path.basename(m) for m in menu)
    check("Tillgate.lnk" in names and "Check the settings.lnk" in names and
          "Tillgate on Windows.lnk" in names,
          "Start-menu entries: %s" % names)
    state = wait_state(shop, "RUNNING", 20)
    check(state == "RUNNING", "service after the install: " + state)
    done = subprocess.run([shop.wine, os.path.join(folder, "uninstall.exe"), "/S"],
                          stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    check(done.returncode == 0, "silent uninstall: %s" % done.returncode)
    # The uninstaller goes on from a copy of itself: its work is waited for.
    gone = wait_until(lambda: service_state(shop).startswith("none") and
                      not os.path.exists(os.path.join(folder, "tillgate-headless.exe")) and
                      not os.path.exists(os.path.join(folder, "tillgate.exe")) and
                      not any(os.path.exists(m) for m in menu), 60)
    check(gone, "after the uninstall: service %s, programs %s, Start-menu entries %s" %
          (service_state(shop), os.listdir(folder) if os.path.isdir(folder) else "gone",
           [m for m in menu if os.path.exists(m)]))
    kept = shop.run(["reg", "query", "HKLM\\SOFTWARE\\Tillgate\\DataBase"])
    check(kept.returncode == 0, "the uninstall removed the machine's settings")


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    build = sys.argv[1]
    server_port, sim_port = os.environ["TILLGATE_TEST_SERIAL_PAIR"].split()
    port_number = int(server_port[3:])
    with tempfile.TemporaryDirectory(prefix="tillgate-wine-", dir=build) as root:
        shop = Shop(build, root, server_port, sim_port)
        try:
            shop.make_goods(GOODS)
            settings = shop.settings_file(port_number)
            code, said = shop.headless("--import", windows_path(settings))
            check(code == 0 and "written to HKEY_CURRENT_USER\\Tillgate" in said,
                  "--import: %s %s" % (code, said))
            exported = os.path.join(root, "exported.reg")
            code, said = shop.headless("--export", windows_path(exported))
            check(code == 0, "--export: %s %s" % (code, said))
            text = open(exported, "rb").read() if os.path.exists(exported) else b""
            check(text.startswith(b"\xff\xfe") and
                  "Windows Registry Editor Version 5.00\r\n" in text.decode("utf-16", "replace") and
                  ('"InPath"="%s"' % windows_path(shop.goods).replace("\\", "\\\\")) in
                  text.decode("utf-16", "replace"),
                  "--export wrote:\n%s" % text.decode("utf-16", "replace"))
            # The export (version 5.00, UTF-16) imports as the first did.
            shop.run(["reg", "delete", "HKCU\\Tillgate", "/f"])
            code, said = shop.headless("--import", windows_path(exported))
            check(code == 0, "--import of the export: %s %s" % (code, said))
            code, said = shop.headless("--check")
            check("registry key: HKEY_CURRENT_USER\\Tillgate" in said and
                  "goods folder (InPath): " + windows_path(shop.goods) in said and
                  "tovars.dbf: 3 records" in said,
                  "--check (%s):\n%s" % (code, said))

            # Two registers on one line: identify, sell, close.
            sim = shop.start_sim("line", TWO_REGISTERS, ("--max-time", "60"))
            shop.start_server()
            shop.wait_sim("line", sim, 70)
            code = shop.stop_server(signal.SIGINT)
            log = shop.server_log()
            check(code == 0, "server exit status after Ctrl+C: %s\n%s" % (code, log))
            for text in ["settings from HKEY_CURRENT_USER\\Tillgate",
                         "COM%d register 1: identified, serial number 0000001" % port_number,
                         "COM%d register 2: document 202 closed, 2 rows written" % port_number,
                         "stopping on Ctrl+C", "stopped"]:
                check(text in log, "server log lacks: %s\n%s" % (text, log))
            sim_log = shop.sim_log("line")
            for text in ['net=1 got goods text="Хлеб Бородински|45.90      *2.0" amount=9180',
                         'net=2 got goods text="Молоко 3.2% 1 л|79.90      *3.0" amount=23970',
                         'net=2 got goods text="Соль           |12.50       *.5" amount=625',
                         "net=1 got command o", "net=2 got command o"]:
                check(text in sim_log, "register log lacks: %s\n%s" % (text, sim_log))
            dec7 = datetime.date(2026, 12, 7)
            bread, milk, salt = "Хлеб Бородинский", "Молоко 3.2% 1 л", "Соль"
            want = [
                ("0000001", "101", dec7, "10:15:00", "1", "101", bread, 45.9, 2.0, 91.8, "1"),
                ("0000001", "101", dec7, "10:15:00", "2", "4601234000017", bread, 45.9, 1.0,
                 45.9, "1"),
                ("0000002", "202", dec7, "10:20:00", "2", "46012340", milk, 79.9, 3.0, 239.7,
                 "2"),
                ("0000002", "202", dec7, "10:20:00", "1", "4321", salt, 12.5, 0.5, 6.25, "4"),
            ]
            report = os.path.join(shop.reports, "otchet.dbf")
            rows = read_dbf(report) if os.path.exists(report) else []
            check(sorted(rows) == sorted(want), "report rows:\n got  %s\n want %s" % (rows, want))

            # A document left open survives a killed server in the journal.
            sim = shop.start_sim("open", LEFT_OPEN, ("--forever",))
            shop.start_server()
            answered = shop.wait_for("open", "net=1 got goods", 30)
            check(answered, "the sale was not answered:\n" + shop.sim_log("open"))
            shop.stop_server(signal.SIGKILL)
            sim.kill()
            sim.wait()
            folder = state_folder()
            check(folder is not None and os.path.exists(os.path.join(folder, "journal")),
                  "no journal in %%LOCALAPPDATA%%\\Tillgate (%s)" % folder)
            code, said = shop.headless("--check")
            check("1 open operation(s)" in said, "--check after the kill:\n" + said)

            sim = shop.start_sim("close", CLOSED_AFTER_RESTART, ("--max-time", "60"))
            shop.start_server()
            shop.wait_sim("close", sim, 70)
            code = shop.stop_server(signal.SIGINT)
            log = shop.server_log()
            check(code == 0, "server exit status after the restart: %s\n%s" % (code, log))
            check("COM%d register 1: document 303 closed, 1 rows written" % port_number in log,
                  "server log lacks the close after the restart:\n" + log)
            rows = read_dbf(report) if os.path.exists(report) else []
            check(("0000001", "303", dec7, "11:00:00", "1", "102", milk, 79.9, 1.0, 79.9, "2")
                  in rows, "report rows after the restart: %s" % rows)
            shop.cleanup()
            service_part(shop)
            installer_part(shop)
        finally:
            shop.cleanup()
    if FAILURES:
        print("%d check(s) failed" % len(FAILURES))
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
