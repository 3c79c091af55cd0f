#!/usr/bin/python3
"""The headless server killed with SIGKILL at random moments while simulated
registers on pseudo-terminals sell and close documents, and started again
each time. The registers send a message left without an answer again with
the same sequence byte, as real registers do. At the end every sale a
register was answered for is in otchet.dbf exactly once, in its document,
read back with dbfread, and the header counts the records there are; and
every goods' stock (RES in tovars.dbf) is its stock at the start minus what
the report and the operations still open say was sold.

    kill_test.py BINARY_DIR SERVER [KILLS [SEED]]

SERVER is run as `SERVER --headless`. KILLS (default 40) bounds the kills;
they come every 0.2 to 2.5 s for as long as the registers work.
"""

import os
import random
import re
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import whole_path_test as kit  # noqa: E402  (the scratch shop and its simulators)

GOODS = """CODE,NAME,PRICE,DIVNUM,SH_CODE,RES
101,Хлеб,45.90,1,4601234000017,100000
102,Молоко,79.90,2,46012340,100000
103,Соль,12.50,4,,100000
"""

# Registers 1, 2, 3 on COM1 and 4, 5 on COM2; documents numbered per
# register (register n: n * 1000 + k), so that a row names its document
# whatever the register's serial number.
LINES = {1: (1, 2, 3), 2: (4, 5)}
STOCK = 100000
# The code the report holds for a sale (its barcode for one by barcode) ->
# the goods' CODE.
GOODS_OF = {"101": "101", "4601234000017": "101", "102": "102", "46012340": "102", "103": "103"}
DOCUMENTS = 10


def scenario(registers):
    steps = []
    for n in registers:
        steps += ["register %d" % n, "d %07d 26" % n]
        for k in range(1, DOCUMENTS + 1):
            steps += ["p 101 %d" % (1000 + k), "s 4601234000017", "p 103 %d" % (2000 + n),
                      "repeat", "s 46012340 %d" % (3000 + k),
                      "i %d date=07.12 time=11:00" % (n * 1000 + k)]
    return "\n".join(steps) + "\n"


SENT = re.compile(r"^net=(\d+) sent (\w) seq=(\d+) (.*?)( repeat| resend)?$")
GOT = re.compile(r"^net=(\d+) got (goods|command (\w))")
CODE = re.compile(r"(?:code|barcode)=(\d+) qty=(\d+)")


def answered_rows(log_text):
    """What the registers were answered for: document -> [(code, quantity)]
    in order. A message sent again (repeated or resent) carries the same
    sequence byte and stands for the same sale."""
    documents = {}
    open_sales = {}  # register -> {sequence: (code, quantity)}, in order
    last_sent = {}   # register -> (type, sequence, rest)
    for line in log_text.splitlines():
        m = SENT.match(line)
        if m:
            last_sent[m.group(1)] = (m.group(2), int(m.group(3)), m.group(4))
            continue
        m = GOT.match(line)
        if not m or m.group(1) not in last_sent:
            continue
        net = m.group(1)
        kind, sequence, rest = last_sent.pop(net)
        sales = open_sales.setdefault(net, {})
        if m.group(2) == "goods":
            code, quantity = CODE.search(rest).groups()
            quantity = int(quantity) / 1000 if int(quantity) else 1.0
            sales.pop(sequence, None)
            sales[sequence] = (code, quantity)
        elif m.group(3) == "o":
            number = int(re.search(r"doc=(\d+)", rest).group(1))
            documents.setdefault(number, []).extend(sales.values())
            open_sales[net] = {}
    return documents, open_sales


class Server:
    def __init__(self, program, registry, state, log_path):
        self.program = program
        self.env = dict(os.environ, TILLGATE_REGISTRY=registry, TILLGATE_STATE_DIR=state)
        self.log = open(log_path, "a", encoding="utf-8")
        self.proc = None

    def start(self):
        self.log.write("---- start\n")
        self.log.flush()
        self.proc = subprocess.Popen([self.program, "--headless"], env=self.env,
                                     stdout=self.log, stderr=subprocess.STDOUT)

    def kill(self):
        self.proc.send_signal(signal.SIGKILL)
        self.proc.wait()
        self.log.write("---- killed\n")
        self.log.flush()

    def stop(self):
        started = time.monotonic()
        self.proc.send_signal(signal.SIGTERM)
        try:
            code = self.proc.wait(20)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            code = "not stopped"
        return code, time.monotonic() - started


def check_stock(rows, still_open, goods_path):
    """RES of every goods against its starting stock and the quantities the
    report rows and the open operations hold (no voids or returns here)."""
    sold = {}
    quantities = [(r["CODE"], r["QUANTY"]) for r in rows]
    quantities += [q for sales in still_open.values() for q in sales.values()]
    for code, quantity in quantities:
        goods = GOODS_OF.get(str(code).strip(), str(code).strip())
        sold[goods] = sold.get(goods, 0) + float(quantity)
    for r in kit.DBF(goods_path, encoding="cp866", char_decode_errors="strict", load=True).records:
        code = str(r["CODE"]).strip()
        expected = STOCK - sold.get(code, 0)
        kit.check(abs(float(r["RES"]) - expected) < 0.0005,
                  "goods %s: RES %s, %.3f expected (%.3f sold)"
                  % (code, r["RES"], expected, sold.get(code, 0)))
    return sold


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    binary_dir, program = sys.argv[1], sys.argv[2]
    kills = int(sys.argv[3]) if len(sys.argv) > 3 else 40
    seed = int(sys.argv[4]) if len(sys.argv) > 4 else int(time.time())
    rng = random.Random(seed)
    print("seed %d, at most %d kills" % (seed, kills), flush=True)
    kit.PROGRAM = program
    with tempfile.TemporaryDirectory(prefix="tillgate-kill-") as root:
        shop = kit.Shop(binary_dir, root)
        server = None
        try:
            shop.make_goods(GOODS, os.path.join(shop.goods, "tovars.dbf"))
            ptys = {port: shop.start_sim("line%d" % port, scenario(registers),
                                         ["--resend", "--max-time", "150"])
                    for port, registers in LINES.items()}
            shop.write_registry({port: (pty, "25CCCCCWWWWW", "NC", 4)
                                 for port, pty in ptys.items()}, track_stock=True)
            server = Server(program, shop.registry, os.path.join(root, "state"),
                            os.path.join(root, "server.log"))
            server.start()
            done_kills = 0
            deadline = time.monotonic() + 90
            while done_kills < kills and shop.sims_running() and time.monotonic() < deadline:
                time.sleep(rng.uniform(0.2, 2.5))
                server.kill()
                done_kills += 1
                time.sleep(rng.uniform(0, 0.3))
                server.start()
            print("%d kills" % done_kills, flush=True)
            shop.wait_sims(150)
            code, took = server.stop()
        finally:
            shop.cleanup()
            if server and server.proc and server.proc.poll() is None:
                server.proc.kill()
                server.proc.wait()

        with open(os.path.join(root, "server.log"), encoding="utf-8") as f:
            server_log = f.read()
        kit.check(code == 0, "server exit status %s" % code)
        kit.check(took < 5, "the server took %.1f s to stop" % took)
        kit.check(done_kills >= min(kills, 5), "only %d kills happened" % done_kills)
        kit.check("stop: the journal keeps 0 open operation(s) and 0 waiting row(s)" in server_log,
                  "the last stop left something open:\n" + server_log[-3000:])

        expected, still_open = {}, {}
        for port in LINES:
            documents, open_sales = answered_rows(shop.sim_log("line%d" % port))
            expected.update(documents)
            still_open.update({net: s for net, s in open_sales.items() if s})
        kit.check(not still_open, "sales answered but never closed: %s" % still_open)
        kit.check(len(expected) == DOCUMENTS * sum(len(r) for r in LINES.values()),
                  "%d documents closed" % len(expected))

        path = os.path.join(shop.reports, "otchet.dbf")
        table = kit.DBF(path, encoding="cp866", char_decode_errors="strict", load=True)
        rows = [dict(r) for r in table.records]
        size = os.path.getsize(path)
        kit.check(table.header.numrecords == len(rows) and size == 386 + 134 * len(rows),
                  "header counts %d records, %d are there (%d bytes)"
                  % (table.header.numrecords, len(rows), size))
        got = {}
        for r in rows:
            got.setdefault(int(r["CHECK"]), []).append((r["CODE"], r["QUANTY"]))
        for number in sorted(set(expected) | set(got)):
            kit.check(got.get(number) == expected.get(number),
                      "document %d: report %s, answered %s"
                      % (number, got.get(number), expected.get(number)))
        # Whole documents: the rows of one document stand together.
        order = [int(r["CHECK"]) for r in rows]
        kit.check(all(order.count(n) == len([1 for _ in got[n]]) and
                      order[order.index(n):order.index(n) + len(got[n])] == [n] * len(got[n])
                      for n in got), "a document's rows are split")
        sold = check_stock(rows, still_open, os.path.join(shop.goods, "tovars.dbf"))
        print("sold by goods: %s" % ", ".join("%s %.3f" % g for g in sorted(sold.items())))
        print("%d rows in %d documents over %d kills; %d sales withdrawn as repeated"
              % (len(rows), len(got), done_kills, server_log.count("repeated message")))
        if kit.FAILURES:
            print(server_log[-4000:])
    if kit.FAILURES:
        print("%d check(s) failed (seed %d)" % (len(kit.FAILURES), seed))
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
