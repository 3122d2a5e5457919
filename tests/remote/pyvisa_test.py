#!/usr/bin/python3
"""qv4816x-scpi driven by PyVISA's pure-Python backend on the simulated board:
the same traffic as the panel for the same actions, several clients, a client
vanishing mid-sweep, oversized and binary lines, the client limit."""
import json
import os
import random
import shutil
import socket
import struct
import subprocess
import sys
import time

import pyvisa

PROG, PANEL_TRACE, WORKDIR = sys.argv[1:4]
IDN = "QV,QV4816X,SIMULATED,1.01.0006"


def start(*args, sim="only"):
    trace = os.path.join(WORKDIR, "scpi-%d.trace" % os.getpid())
    open(trace, "w").close()
    env = dict(os.environ, EVLINK_SIM=sim, EVLINK_TRACE=trace, XDG_DATA_HOME=os.path.join(WORKDIR, "xdg"))
    proc = subprocess.Popen([PROG, "--listen", "127.0.0.1:0", "--data-dir", WORKDIR, *args], env=env,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    line = proc.stdout.readline()
    assert line.startswith("listening on 127.0.0.1:"), line
    return proc, int(line.rsplit(":", 1)[1]), trace


def requests(trace):
    with open(trace) as f:
        return [l.rstrip("\n") for l in f if l.startswith("request ")]


def visa(rm, port):
    inst = rm.open_resource("TCPIP::127.0.0.1::%d::SOCKET" % port,
                            read_termination="\n", write_termination="\n", timeout=10000)
    return inst


def raw(port):
    s = socket.create_connection(("127.0.0.1", port), timeout=10)
    return s, s.makefile("rb")


def panel_script():
    steps = []
    with open(PANEL_TRACE) as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("> "):
                steps.append((line[2:], []))
            else:
                steps[-1][1].append(line)
    assert len(steps) >= 10, steps
    return steps


def same_traffic_as_the_panel(rm, port, trace):
    steps = panel_script()
    assert steps[0][0] == "(start-up)"
    assert requests(trace) == steps[0][1], "start-up:\n%s\n%s" % (requests(trace), steps[0][1])
    inst = visa(rm, port)
    assert inst.query("*IDN?") == IDN
    for command, expected in steps[1:]:
        before = len(requests(trace))
        if "?" in command:
            inst.query(command)
        else:
            inst.write(command)
        assert inst.query("*OPC?") == "1"
        sent = requests(trace)[before:]
        assert sent == expected, "%s:\n server %s\n panel  %s" % (command, sent, expected)
    assert inst.query("SYST:ERR?") == '0,"No error"'
    # Typed into DAC B's first field and clicked, at 16 bits, hex, pulse LDAC.
    before = len(requests(trace))
    inst.write("DAC:CODE B,#H8000")
    inst.query("*OPC?")
    assert requests(trace)[before:] == ["request code=217 dir=0 value=0x0001 index=0x8000 length=0"]
    inst.close()


def several_clients_keep_their_own_status(rm, port):
    clients = [visa(rm, port) for _ in range(3)]
    clients[0].write("NO:SUCH:COMMAND")
    assert clients[1].query("SYST:ERR?") == '0,"No error"'
    assert clients[0].query("SYST:ERR?") == '-113,"Undefined header"'
    clients[2].write("DAC:CODE D,#H0ABC")
    assert clients[2].query("*OPC?") == "1"
    assert clients[1].query("DAC:CODE? D") == str(0xABC)
    values = clients[0].query("MEAS:VOLT? ALL").split(",")
    assert len(values) == 4 and all(float(v) > -10.001 for v in values), values
    for c in clients:
        c.close()


def values_as_bench_users_type_them(rm, port):
    inst = visa(rm, port)
    inst.write("DAC:RANG A,UNI10")
    for volts in ("2.5V", "2500mV", "2500 MV", "2500000 UV"):
        inst.write("DAC:CODE A,0;VOLT A," + volts)
        assert inst.query("DAC:CODE? A") == "16384", volts
    inst.write("DAC:CODE B,MAX")
    assert inst.query("DAC:CODE? B") == "65535"
    assert inst.query("DAC:CODE? B,MIN;CODE? B,DEF") == "0;0"
    inst.write("DAC:CODE B,DEF")
    assert inst.query("DAC:CODE? (@2)") == "0"
    assert inst.query("DAC:RANG? A,MAX") == "BIP10P8"
    inst.write("DAC2:CODE 300")
    inst.write("DAC:CODE 5,(@3,4)")
    assert inst.query_ascii_values("DAC:CODE? (@1:4)", converter="d") == [16384, 300, 5, 5]
    assert inst.query("DAC1:CODE?") == "16384"
    inst.write("POW:DAC ON,(@1:4);:POW:REF ON;:PINS:CLR ON;:DAC:LOAD")
    assert inst.query("POW:REG?") == "31"
    values = inst.query_ascii_values("MEAS:VOLT:DC? (@1,2)")
    assert len(values) == 2 and abs(values[0] - 2.5) < 0.1, values
    assert len(inst.query_ascii_values("MEAS? A")) == 1
    assert inst.query("SYST:ERR:ALL?") == '0,"No error"'
    inst.write("DAC:VOLT A,2.5S")
    inst.write("DAC5:CODE 1")
    assert inst.query("SYST:ERR:CODE:ALL?") == "-131,-114"
    inst.close()


def a_client_vanishing_mid_sweep(rm, port):
    s, _ = raw(port)
    s.sendall(b"SWEep:STARt\n*OPC?\n")
    watcher = visa(rm, port)
    deadline = time.time() + 10
    while watcher.query("SWE:STAT?") != "RUN":
        assert time.time() < deadline
    s.close()  # gone while its *OPC? waits
    t0 = time.perf_counter()
    assert watcher.query("*IDN?") == IDN
    assert time.perf_counter() - t0 < 1.0
    first = int(watcher.query("SWE:PROG?").split(",")[0])
    time.sleep(0.2)
    assert int(watcher.query("SWE:PROG?").split(",")[0]) > first
    watcher.write("SWE:ABOR")
    assert watcher.query("*OPC?;SWE:STAT?") == "1;IDLE"
    assert len(watcher.query("SWE:DATA? B,0,10").split(",")) == 10
    figures = json.loads(watcher.query("SWE:ANAL?"))["channels"]
    assert [c["channel"] for c in figures] == ["A", "B", "C", "D"], figures
    path = os.path.join(WORKDIR, "remote-sweep.dat")
    watcher.write('SWE:SAVE "%s"' % path)
    assert watcher.query("SYST:ERR?") == '0,"No error"'
    with open(path, "rb") as f:
        lines = f.read().split(b"\r\n")
    assert len(lines) == 65537 and lines[0].startswith(b" 0,"), lines[:2]
    watcher.close()


def status_polling_and_binary_blocks(rm, port):
    inst = visa(rm, port)
    inst.write("*RST;*CLS;STAT:PRES;:STAT:OPER:ENAB 8;*SRE 128;:POW:DAC A,ON;DAC B,ON;:DAC:RANG A,BIP10")
    inst.write("INIT")
    running, stb = [], []
    deadline = time.time() + 30
    while True:
        cond = int(inst.query("STAT:OPER:COND?"))
        stb.append(int(inst.query("*STB?")))
        if not cond & 8:
            break
        running.append(cond)
        assert time.time() < deadline
    assert running, "the sweep was never seen running"
    assert all(c & 8 for c in running)
    assert stb[-1] & 0xC0 == 0xC0, stb  # OPERation summary and the service request
    assert inst.query("STAT:OPER?") == "8" and inst.query("STAT:OPER?") == "0"
    assert int(inst.query("*STB?")) & 0x80 == 0
    ascii = [float(v) for v in inst.query("FETC? A").split(",")]
    # The shortest text of each single-precision reading gives it back exactly.
    single = list(struct.unpack("%df" % len(ascii), struct.pack("%df" % len(ascii), *ascii)))
    assert len(ascii) == 65536 and ascii[0] < -9 and ascii[-1] > 9, ascii[:2] + ascii[-2:]
    for fmt, datatype in (("REAL,32", "f"), ("REAL,64", "d")):
        for order, big in (("NORM", True), ("SWAP", False)):
            inst.write("FORM %s;:FORM:BORD %s" % (fmt, order))
            got = inst.query_binary_values("SWE:DATA? A", datatype=datatype, is_big_endian=big,
                                           container=list)
            assert got == single, (fmt, order)
            part = inst.query_binary_values("FETC? B,100,3", datatype=datatype, is_big_endian=big)
            assert len(part) == 3, (fmt, order, part)
    # The block's header, and a block in a line with other answers.
    inst.write("FORM REAL,64;:FORM:BORD NORM")
    inst.write("FORM?;:SWE:DATA? A,0,1;:FORM:BORD?")
    reply = inst.read_raw()
    assert reply.startswith(b"REAL,64;#18") and reply.endswith(b";NORM\n"), reply
    inst.write("*RST")
    assert inst.query("FORM?;:FORM:BORD?") == "ASC;NORM"
    assert inst.query("SYST:ERR:ALL?") == '0,"No error"'
    inst.close()


def settings_saved(rm, port):
    inst = visa(rm, port)
    inst.write("*RST;:DAC:RANG B,BIP5;:DAC:CODE B,1234;:POW:DAC B,ON;:CONT:CLAM ON;:PINS:LDAC:PULS OFF")
    learnt = inst.query("*LRN?")
    inst.write("*SAV 3")
    assert inst.query("SYST:ERR?") == '0,"No error"'
    inst.close()
    return learnt


def one_owner_during_a_sweep(rm, port, trace):
    """A client's writes during another's sweep get -221 with the reason and
    send nothing; the sweep's traffic stays its own."""
    owner, other = visa(rm, port), visa(rm, port)
    owner.write("SWE:STAR")
    assert other.query("SWE:STAT?") == "RUN"
    before = len(requests(trace))
    for write in ("DAC:RANG A,BIP10", "POW:DAC A,OFF", "SWE:STAR", "*RST"):
        other.write(write)
        assert other.query("SYST:ERR?") == '-221,"Settings conflict;a sweep is running"', write
    other.write("*TST?")
    assert other.query("SYST:ERR?") == '-221,"Settings conflict;a sweep is running"'
    owner.write("DAC:RANG B,UNI5")  # the one who started it is refused as well
    assert owner.query("SYST:ERR?") == '-221,"Settings conflict;a sweep is running"'
    assert int(other.query("SWE:PROG?").split(",")[0]) > 0
    owner.write("SWE:ABOR")
    assert owner.query("*OPC?;SWE:STAT?") == "1;IDLE"
    during = requests(trace)[before:]
    writes = [l for l in during if " dir=0 " in l and int(l.split("value=")[1][:6], 16) >= 8]
    assert writes == [], writes[:3]
    assert other.query("SYST:PAN:CHAN?") == "0"  # no panel here: nothing changes at one
    assert other.query("SYST:BOARD?") == "SIMULATED,only"
    owner.close()
    other.close()


def oversized_and_binary_lines(port):
    s, r = raw(port)
    s.sendall(b"X" * 100000 + b"\n*IDN?\nSYST:ERR?\n")
    assert r.readline() == (IDN + "\n").encode()
    assert r.readline().startswith(b'-223,"Too much data')
    rng = random.Random(10)
    junk = bytes(rng.randrange(256) for _ in range(50000))
    s.sendall(junk + b"\n*CLS\n*IDN?\n")
    assert r.readline() == (IDN + "\n").encode()  # whatever the junk answered comes before
    s.close()


def the_ninth_client_is_refused(port):
    # The clients of the earlier checks are gone, but the server may not have
    # seen every hang-up yet: a refused connection is tried again meanwhile.
    socks = []
    deadline = time.time() + 10
    while len(socks) < 8:
        s, r = raw(port)
        s.sendall(b"*IDN?\n")
        if r.readline() == (IDN + "\n").encode():
            socks.append((s, r))
        else:
            s.close()
            assert time.time() < deadline, "only %d clients served" % len(socks)
            time.sleep(0.1)
    s9, r9 = raw(port)
    assert r9.readline().startswith(b'-300,"Device-specific error;connection refused')  # and why
    assert r9.readline() == b""  # then closed
    for s, _ in socks + [(s9, r9)]:
        s.close()


def main():
    shutil.rmtree(os.path.join(WORKDIR, "xdg"), ignore_errors=True)
    rm = pyvisa.ResourceManager("@py")
    proc, port, trace = start()
    try:
        same_traffic_as_the_panel(rm, port, trace)
        several_clients_keep_their_own_status(rm, port)
        values_as_bench_users_type_them(rm, port)
        oversized_and_binary_lines(port)
        a_client_vanishing_mid_sweep(rm, port)
        one_owner_during_a_sweep(rm, port, trace)
        status_polling_and_binary_blocks(rm, port)
        learnt = settings_saved(rm, port)
        the_ninth_client_is_refused(port)
        assert proc.poll() is None, "the server ended"
    finally:
        proc.terminate()
        proc.wait(10)
    # *RCL in a new server gives the settings *SAV kept.
    proc, port, _ = start()
    try:
        inst = visa(rm, port)
        assert inst.query("*LRN?") != learnt
        inst.write("*RCL 3")
        assert inst.query("*LRN?") == learnt
        assert "DAC:CODE B,1234" in learnt and "DAC:RANG B,BIP5" in learnt and "CLAM 1" in learnt, learnt
        inst.write("*RCL 7")
        assert inst.query("SYST:ERR:CODE?") == "-257"
        inst.close()
    finally:
        proc.terminate()
        proc.wait(10)
    # Any address but a loopback one is announced with a warning.
    proc = subprocess.Popen([PROG, "--listen", "0.0.0.0:0"], env=dict(os.environ, EVLINK_SIM="only"),
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    proc.stdout.readline()
    proc.terminate()
    warning = proc.communicate(timeout=10)[1]
    assert "anyone who can reach this port controls the board" in warning, warning
    assert "runs sweeps and the self-test" in warning, warning
    # --verbose logs connections, refusals and hang-ups; quiet without it.
    for verbose in (True, False):
        proc, port, trace = start(*(["--verbose"] if verbose else []))
        s, r = raw(port)
        s.sendall(b"SWE:STAR\nDAC:RANG A,BIP10\nSWE:ABOR\nSWE:SAVE \"../x.dat\"\n*OPC?\n")
        assert r.readline() == b"1\n"
        r.close()
        s.close()
        time.sleep(0.3)
        proc.terminate()
        log = proc.communicate(timeout=10)[1]
        expected = ["connected; clients: 1", "refused DAC:RANG: a sweep is running",
                    "refused SWEep:SAVE: \"..\" is not allowed", "disconnected; clients: 0"]
        assert all((e in log) == verbose for e in expected), log
    print("pyvisa end-to-end ok")


if __name__ == "__main__":
    main()
