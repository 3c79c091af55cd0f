#!/usr/bin/python3
"""Whole path: `tillgate --headless` serving simulated registers on
pseudo-terminals, with real goods files, read back with dbfread.

    whole_path_test.py sales    BINARY_DIR TILLGATE
    whole_path_test.py exchange BINARY_DIR TILLGATE
    whole_path_test.py status   BINARY_DIR TILLGATE

TILLGATE is the program, run as `TILLGATE --headless`.

`sales`: two lines (registers 1, 2 and 5 on COM1, register 3 on COM2) sell
by code, barcode and weight barcode, return, void (accepted and refused),
repeat a message and close their documents; the report then holds exactly
the expected rows, the registers saw the expected texts and amounts, and RES
moved exactly as the operations say.

`exchange`: while registers sell, a new goods file comes in through
tovars2.dbf + tovars.exp and the report is collected again and again through
otchet.exp; no row is lost or doubled.

`status`: status.json in the state folder says what the server does (ports,
registers with their serial numbers and open documents, the store's
figures), is replaced while it runs and says when it stopped; after a
restart a register's open document comes back with its serial number, which
its report rows then carry although it did not identify again.
"""

import datetime
import json
import os
import signal
import subprocess
import sys
import tempfile
import time

from dbfread import DBF

FAILURES = []
PROGRAM = None


def check(condition, message):
    if not condition:
        FAILURES.append(message)
        print("FAIL: " + message, flush=True)


class Shop:
    """A scratch shop: goods and report folders, a registry file, the
    simulators and the server."""

    def __init__(self, binary_dir, root):
        self.bin = binary_dir
        self.program = PROGRAM
        self.root = root
        self.goods = os.path.join(root, "goods")
        self.reports = os.path.join(root, "reports")
        os.makedirs(self.goods)
        os.makedirs(self.reports)
        self.sims = []
        self.server = None

    def tool(self, *parts):
        return os.path.join(self.bin, *parts)

    def make_goods(self, csv_text, target):
        csv = os.path.join(self.root, "goods-%d.csv" % time.monotonic_ns())
        with open(csv, "w", encoding="utf-8") as f:
            f.write(csv_text)
        subprocess.run([self.tool("tools", "mkgoods", "tillgate-mkgoods"), csv, "-o", target],
                       check=True, stdout=subprocess.DEVNULL)

    def start_sim(self, name, scenario, args=("--max-time", "120")):
        path = os.path.join(self.root, name + ".txt")
        with open(path, "w", encoding="utf-8") as f:
            f.write(scenario)
        log = open(os.path.join(self.root, name + ".log"), "w+", encoding="utf-8")
        proc = subprocess.Popen([self.tool("tools", "regsim", "tillgate-regsim"), "--scenario",
                                 path] + list(args), stdout=log, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 10
        pty = None
        while time.monotonic() < deadline and pty is None:
            log.seek(0)
            first = log.readline()
            if first.startswith("pty "):
                pty = first.split()[1]
            else:
                time.sleep(0.05)
        if pty is None:
            raise RuntimeError("the simulator printed no pty")
        self.sims.append((name, proc, log))
        return pty

    def write_registry(self, lines, track_stock):
        text = ["Windows Registry Editor Version 5.00", "",
                "[HKEY_CURRENT_USER\\Tillgate]", "",
                "[HKEY_CURRENT_USER\\Tillgate\\DataBase]",
                '"InPath"="%s"' % self.goods, '"OutPath"="%s"' % self.reports,
                '"Res"=dword:%08x' % (1 if track_stock else 0), "",
                "[HKEY_CURRENT_USER\\Tillgate\\Equipment]"]
        for port, (device, mask, letters, split) in lines.items():
            text += ['"COM%d"=hex:01,01,01' % port, '"MASKA%d"="%s"' % (port, mask),
                     '"STROKA%d"="%s"' % (port, letters),
                     '"COD_LENGTH%d"=dword:%08x' % (port, split),
                     '"DEVICE%d"="%s"' % (port, device)]
        text += ['"AvtoStart"=dword:00000000', ""]
        self.registry = os.path.join(self.root, "HKEY_CURRENT_USER.reg")
        with open(self.registry, "w", encoding="utf-8") as f:
            f.write("\n".join(text))

    def start_server(self):
        env = dict(os.environ, TILLGATE_REGISTRY=self.registry,
                   TILLGATE_STATE_DIR=os.path.join(self.root, "state"))
        self.server_log = open(os.path.join(self.root, "server.log"), "w+", encoding="utf-8")
        self.server = subprocess.Popen(
            [self.program, "--headless"], env=env,
            stdout=self.server_log, stderr=subprocess.STDOUT)

    def wait_sims(self, timeout):
        deadline = time.monotonic() + timeout
        for name, proc, _ in self.sims:
            try:
                code = proc.wait(max(0.1, deadline - time.monotonic()))
            except subprocess.TimeoutExpired:
                proc.kill()
                code = "killed"
            check(code == 0, "simulator %s ended with %s:\n%s" % (name, code, self.sim_log(name)))

    def sims_running(self):
        return any(proc.poll() is None for _, proc, _ in self.sims)

    def sim_log(self, name):
        with open(os.path.join(self.root, name + ".log"), encoding="utf-8") as f:
            return f.read()

    def stop_server(self):
        self.server.send_signal(signal.SIGTERM)
        try:
            code = self.server.wait(20)
        except subprocess.TimeoutExpired:
            self.server.kill()
            code = "killed"
        check(code == 0, "server exit status %s" % code)
        self.server_log.seek(0)
        return self.server_log.read()

    def cleanup(self):
        for _, proc, _ in self.sims:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        if self.server is not None and self.server.poll() is None:
            self.server.kill()
            self.server.wait()


def read_dbf(path):
    return [tuple(r.values()) for r in DBF(path, encoding="cp866", char_decode_errors="strict")]


SALES_GOODS = """CODE,NAME,PRICE,DIVNUM,SH_CODE,RES
101,Хлеб Бородинский,45.90,1,4601234000017,100
102,Молоко 3.2% 1 л,79.90,2,46012340,50
12345,Сыр весовой,649.00,3,12345,20
4321,Соль,12.50,4,,10
"""

LINE1 = """
register 1
d 0000001 26
p 101 2000 expect=goods
s 4601234000017 expect=goods
s 2512345012345 expect=goods
q 101 1000 expect=goods
l 101 1000 expect=goods
l 101 1000 expect=u
s 4321 expect=goods
i 101 date=07.12 time=10:15 expect=o

register 2
d 0000002 26
s 46012340 3000 expect=goods
p 4321 500 expect=goods
repeat
p 999 expect=u
i 202 date=07.12 time=10:20 expect=o

register 5
p 12345 expect=goods
i 505 date=07.12 time=10:30 expect=o
"""

LINE2 = """
register 3
d 0000003 95
k 2512345005000 expect=u
s 2512345010000 expect=goods
k 2512345005000 expect=goods
i 303 date=01.02 time=08:05 expect=o
"""


def sales_test(binary_dir):
    with tempfile.TemporaryDirectory(prefix="tillgate-e2e-") as root:
        shop = Shop(binary_dir, root)
        try:
            shop.make_goods(SALES_GOODS, os.path.join(shop.goods, "tovars.dbf"))
            pty1 = shop.start_sim("line1", LINE1)
            pty2 = shop.start_sim("line2", LINE2)
            shop.write_registry({1: (pty1, "25CCCCCWWWWW", "NC", 4),
                                 2: (pty2, "25CCCCCWWWWW", "CN", 4)}, track_stock=True)
            shop.start_server()
            shop.wait_sims(90)
            server_log = shop.stop_server()
        finally:
            shop.cleanup()

        bread, milk, cheese, salt = ("Хлеб Бородинский", "Молоко 3.2% 1 л", "Сыр весовой",
                                     "Соль")
        dec7 = datetime.date(2026, 12, 7)

        def row(bank, check_no, date, time_text, op, code, name, price, qty, total, section):
            return (bank, check_no, date, time_text, op, code, name, price, qty, total, section)

        expected = {
            "0000001": [
                row("0000001", "101", dec7, "10:15:00", "1", "101", bread, 45.9, 2.0, 91.8, "1"),
                row("0000001", "101", dec7, "10:15:00", "2", "4601234000017", bread, 45.9, 1.0,
                    45.9, "1"),
                row("0000001", "101", dec7, "10:15:00", "2", "12345", cheese, 649.0, 1.234,
                    800.87, "3"),
                row("0000001", "101", dec7, "10:15:00", "3", "101", bread, 45.9, 1.0, 45.9, "1"),
                row("0000001", "101", dec7, "10:15:00", "4", "101", bread, 45.9, 1.0, 45.9, "1"),
                row("0000001", "101", dec7, "10:15:00", "1", "4321", salt, 12.5, 1.0, 12.5, "4"),
            ],
            "0000002": [
                row("0000002", "202", dec7, "10:20:00", "2", "46012340", milk, 79.9, 3.0, 239.7,
                    "2"),
                row("0000002", "202", dec7, "10:20:00", "1", "4321", salt, 12.5, 0.5, 6.25, "4"),
            ],
            # Never identified: serial number "J"s, year 2000.
            "JJJJJJJ": [
                row("JJJJJJJ", "505", datetime.date(2000, 12, 7), "10:30:00", "1", "12345",
                    cheese, 649.0, 1.0, 649.0, "3"),
            ],
            "0000003": [
                row("0000003", "303", datetime.date(1995, 2, 1), "08:05:00", "2", "12345",
                    cheese, 649.0, 1.0, 649.0, "3"),
                row("0000003", "303", datetime.date(1995, 2, 1), "08:05:00", "4", "12345",
                    cheese, 649.0, 0.5, 324.5, "3"),
            ],
        }
        rows = read_dbf(os.path.join(shop.reports, "otchet.dbf"))
        check(len(rows) == sum(len(v) for v in expected.values()),
              "report has %d rows: %s" % (len(rows), rows))
        for bank, want in expected.items():
            got = [r for r in rows if r[0] == bank]
            check(got == want, "rows of %s:\n got  %s\n want %s" % (bank, got, want))

        # What the registers displayed and were charged.
        log1 = shop.sim_log("line1")
        log2 = shop.sim_log("line2")
        for text in [
                'net=1 got goods text="Хлеб Бородински|45.90      *2.0" amount=9180 section=1',
                'net=1 got goods text="Сыр весовой    |649.00   *1.234" amount=80087 section=3',
                'net=1 got goods text="Соль           |12.50      *1.0" amount=1250 section=4',
                'net=2 got goods text="Молоко 3.2% 1 л|79.90      *3.0" amount=23970 section=2',
                'net=2 got goods text="Соль           |12.50       *.5" amount=625 section=4',
                'net=5 got goods text="Сыр весовой    |649.00     *1.0" amount=64900 section=3',
                'net=1 got command u']:
            check(text in log1, "line 1 register log lacks: " + text)
        for text in [
                'net=3 got goods text="649.00     *1.0|Сыр весовой    " amount=64900 section=3',
                'net=3 got goods text="649.00      *.5|Сыр весовой    " amount=32450 section=3',
                'net=3 got command u']:
            check(text in log2, "line 2 register log lacks: " + text)

        # Stock: 101: 100 -2 -1 +1 +1 (the refused void moved nothing) = 99;
        # 102: 50 - 3; 12345: 20 - 1.234 - 1 - 1 + 0.5; 4321: 10 - 1 - 0.5
        # (the repeated message withdrew its first sale and that sale's stock).
        stock = {r[0]: r[5] for r in read_dbf(os.path.join(shop.goods, "tovars.dbf"))}
        want_stock = {"101": 99.0, "102": 47.0, "12345": 17.266, "4321": 8.5}
        check(stock == want_stock, "RES %s, want %s" % (stock, want_stock))

        for text in ["COM1 register 1: identified, serial number 0000001",
                     "COM1 register 1: sale by code 101 quantity 2 amount 91.8",
                     "COM1 register 2: repeated message",
                     "COM1 register 2: \"p\" refused (u): goods 999 not found",
                     "COM1 register 1: \"l\" refused (u): void of 101 not covered",
                     "COM2 register 3: document 303 closed, 2 rows written",
                     "COM1 register 5: document 505 closed, 1 rows written"]:
            check(text in server_log, "server log lacks: " + text + "\n" + server_log)


EXCHANGE_GOODS = """CODE,NAME,PRICE,DIVNUM,SH_CODE
101,Хлеб,45.90,1,4601234000017
201,Молоко,79.90,2,4607050001016
"""


def selling_scenario(register, serial, documents):
    steps = ["register %d" % register, "d %s 26" % serial]
    for n in range(documents):
        steps += ["s 4607050001016 expect=goods", "p 101 expect=goods",
                  "i %d date=07.12 time=11:00 expect=o" % (n + 1)]
    return "\n".join(steps) + "\n"


def bread_answers(shop):
    logs = shop.sim_log("line1") + shop.sim_log("line2")
    return sum(1 for line in logs.splitlines() if " got goods " in line and "Хлеб" in line)


def exchange_test(binary_dir):
    documents = 14
    with tempfile.TemporaryDirectory(prefix="tillgate-e2e-") as root:
        shop = Shop(binary_dir, root)
        collected = []
        handovers = 0
        goods_taken_in = None
        try:
            shop.make_goods(EXCHANGE_GOODS, os.path.join(shop.goods, "tovars.dbf"))
            pty1 = shop.start_sim("line1", selling_scenario(1, "0000001", documents) +
                                  selling_scenario(2, "0000002", documents))
            pty2 = shop.start_sim("line2", selling_scenario(4, "0000004", documents))
            shop.write_registry({1: (pty1, "25CCCCCWWWWW", "NC", 0),
                                 2: (pty2, "25CCCCCWWWWW", "NC", 0)}, track_stock=False)
            shop.start_server()
            exp = os.path.join(shop.reports, "otchet.exp")
            handed = os.path.join(shop.reports, "otchet2.dbf")
            started = time.monotonic()
            goods_signal = os.path.join(shop.goods, "tovars.exp")
            while shop.sims_running() and time.monotonic() - started < 100:
                # The other software: collect what was handed over, ask again.
                if os.path.exists(handed):
                    collected += read_dbf(handed)
                    os.unlink(handed)
                    handovers += 1
                elif not os.path.exists(exp):
                    with open(exp, "w"):
                        pass
                # A new goods file with a new bread price, once some bread has
                # been sold at the old one (a loaded machine may start slowly).
                if goods_taken_in is None and bread_answers(shop) >= 2:
                    shop.make_goods(EXCHANGE_GOODS.replace("45.90", "50.00"),
                                    os.path.join(shop.goods, "tovars2.dbf"))
                    with open(goods_signal, "w"):
                        pass
                    goods_taken_in = False
                if goods_taken_in is False and not os.path.exists(goods_signal):
                    goods_taken_in = True
                time.sleep(0.2)
            shop.wait_sims(30)
            # The last hand-over after the registers are done.
            deadline = time.monotonic() + 10
            while os.path.exists(exp) and time.monotonic() < deadline:
                time.sleep(0.1)
            if os.path.exists(handed):
                collected += read_dbf(handed)
                os.unlink(handed)
                handovers += 1
            server_log = shop.stop_server()
        finally:
            shop.cleanup()
        collected += read_dbf(os.path.join(shop.reports, "otchet.dbf"))

        check(goods_taken_in is True, "tovars.exp was never taken in")
        check(not os.path.exists(os.path.join(shop.goods, "tovars2.dbf")),
              "tovars2.dbf is still there")
        check(handovers >= 3, "only %d hand-overs happened" % handovers)
        answered = sum(shop.sim_log(n).count(" got goods ") for n in ("line1", "line2"))
        check(answered == 3 * documents * 2, "registers got %d goods answers" % answered)
        check(len(collected) == answered,
              "%d report rows for %d answered operations" % (len(collected), answered))
        keys = [(r[0], r[1], r[4], r[5]) for r in collected]
        check(len(set(keys)) == len(keys), "a report row is doubled")
        for bank in ("0000001", "0000002", "0000004"):
            for n in range(1, documents + 1):
                got = sorted(k[3] for k in keys if k[0] == bank and k[1] == str(n))
                check(got == ["101", "4607050001016"],
                      "document %d of %s has rows %s" % (n, bank, got))
        bread_prices = [r[7] for r in collected if r[5] == "101"]
        check(45.9 in bread_prices and 50.0 in bread_prices,
              "bread prices seen: %s" % sorted(set(bread_prices)))
        check("goods file tovars2.dbf taken in as tovars.dbf" in server_log,
              "server log lacks the goods take-in:\n" + server_log)
        check("report handed over as otchet2.dbf" in server_log,
              "server log lacks the hand-over")
        print("%d rows over %d hand-overs" % (len(collected), handovers))


STATUS_GOODS = """CODE,NAME,PRICE,DIVNUM,SH_CODE
101,Хлеб,45.90,1,4601234000017
102,Молоко,79.90,2,4607050001016
"""

# Register 1 leaves its document open; register 2 closes one.
STATUS_LINE1 = """
register 1
d 0000001 26
p 101 2000 expect=goods

register 2
d 0000002 95
p 102 expect=goods
p 101 expect=goods
i 202 date=07.12 time=10:20 expect=o
"""

# After the restart register 1 closes its document without identifying
# again first.
STATUS_LINE1_AGAIN = """
register 1
wait 8s
i 101 date=07.12 time=10:15 expect=o
"""


def read_status(shop, want=None, timeout=10):
    """status.json as JSON once `want(status)` holds (or `timeout` passes);
    every read must be a whole, valid file."""
    path = os.path.join(shop.root, "state", "status.json")
    deadline = time.monotonic() + timeout
    status = None
    while time.monotonic() < deadline:
        if os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                text = f.read()
            try:
                status = json.loads(text)
            except ValueError as e:
                check(False, "status.json is not JSON (%s):\n%s" % (e, text))
                return None
            if want is None or want(status):
                return status
        time.sleep(0.2)
    return status


def register(status, port, network):
    for r in status["registers"]:
        if r["port"] == port and r["network_number"] == network:
            return r
    return None


def status_test(binary_dir):
    with tempfile.TemporaryDirectory(prefix="tillgate-e2e-") as root:
        shop = Shop(binary_dir, root)
        try:
            shop.make_goods(STATUS_GOODS, os.path.join(shop.goods, "tovars.dbf"))
            pty1 = shop.start_sim("line1", STATUS_LINE1, ("--forever",))
            shop.write_registry({1: (pty1, "25CCCCCWWWWW", "NC", 4),
                                 2: (os.path.join(root, "no-such-tty"), "25CCCCCWWWWW", "NC",
                                     4)}, track_stock=False)
            shop.start_server()

            def settled(s):
                one, two = register(s, 1, 1), register(s, 1, 2)
                return (one is not None and one["pending_operations"] == 1 and
                        two is not None and two["last_document"] == 202)
            status = read_status(shop, settled, 30)
            check(status is not None and settled(status), "status.json never showed the "
                  "sales:\n%s\n%s" % (json.dumps(status, indent=1), shop.sim_log("line1")))
            if status is not None and settled(status):
                check(status["program"] == "tillgate" and status["running"] is True,
                      "status header: %s" % status)
                check(status["pid"] == shop.server.pid, "pid %s" % status["pid"])
                check(len(status["ports"]) == 16, "%d ports" % len(status["ports"]))
                com1, com2, com3 = status["ports"][0], status["ports"][1], status["ports"][2]
                check(com1 == {"number": 1, "name": "COM1", "device": pty1, "state": 2,
                               "line": True, "open": True, "condition": "open",
                               "last_error": None, "last_error_time": None}, "COM1: %s" % com1)
                check(com2["state"] == 2 and com2["open"] is False and
                      com2["condition"] == "open failed" and
                      com2["last_error"] == "port failed to open: open: No such file or "
                                            "directory" and
                      com2["last_error_time"] is not None, "COM2: %s" % com2)
                check(com3["state"] == 0 and com3["line"] is False, "COM3: %s" % com3)
                one, two = register(status, 1, 1), register(status, 1, 2)
                check(one["serial_number"] == "0000001" and one["document_open"] is True and
                      one["last_document"] is None and one["last_answer"] is not None,
                      "register 1: %s" % one)
                check(two["serial_number"] == "0000002" and two["document_open"] is False and
                      two["pending_operations"] == 0, "register 2: %s" % two)
                check(len(status["registers"]) == 2, "registers: %s" % status["registers"])
                check(status["store"] == {"goods_file": True, "goods_records": 2,
                                          "report_file": True, "rows_written": 2,
                                          "rows_waiting": 0, "journal": "ok"},
                      "store: %s" % status["store"])
                # Replaced at least every 5 s while the server runs.
                later = read_status(shop, lambda s: s["written"] != status["written"], 6)
                check(later is not None and later["written"] > status["written"],
                      "status.json not rewritten within 6 s")
            log = shop.stop_server()
            stopped = read_status(shop)
            check(stopped is not None and stopped["running"] is False,
                  "after the stop: %s" % stopped)
            shop.cleanup()
            shop.sims = []

            # Restarted, with register 1's document still open: the journal
            # gives back its operation and its serial number.
            pty1 = shop.start_sim("line1-again", STATUS_LINE1_AGAIN, ("--max-time", "60"))
            shop.write_registry({1: (pty1, "25CCCCCWWWWW", "NC", 4)}, track_stock=False)
            shop.start_server()
            restored = read_status(
                shop, lambda s: s["pid"] == shop.server.pid and register(s, 1, 1) is not None and
                register(s, 1, 1)["last_answer"] is not None, 10)
            one = register(restored, 1, 1) if restored else None
            check(one is not None and one["serial_number"] == "0000001" and
                  one["pending_operations"] == 1, "restored register 1: %s" % one)
            shop.wait_sims(30)
            log += shop.stop_server()
        finally:
            shop.cleanup()
        rows = read_dbf(os.path.join(shop.reports, "otchet.dbf"))
        banks = sorted((r[0], r[1]) for r in rows)
        check(banks == [("0000001", "101"), ("0000002", "202"), ("0000002", "202")],
              "report rows (serial number, document): %s" % banks)
        check("COM1 register 1: document 101 closed, 1 rows written" in log,
              "server log lacks the close after the restart:\n" + log)


def main():
    global PROGRAM
    parts = {"sales": sales_test, "exchange": exchange_test, "status": status_test}
    if len(sys.argv) != 4 or sys.argv[1] not in parts:
        print(__doc__)
        return 2
    PROGRAM = sys.argv[3]
    parts[sys.argv[1]](sys.argv[2])
    if FAILURES:
        print("%d check(s) failed" % len(FAILURES))
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
