#!/usr/bin/python3
"""A characterisation run driven by PyVISA: qv4816x-scpi on a simulated board
with a bow of 3 LSB (EVLINK_SIM inl-lsb=3), the simulated meter on its probe
file, the plan set and run by CHARacterise commands, its data and figures
read back; the board held meanwhile; a meter that hangs; hostile names."""
import json
import os
import subprocess
import sys
import time

import pyvisa

SCPI, SIMMETER, ANALYSE, WORKDIR = sys.argv[1:5]
PROBE = os.path.join(WORKDIR, "characterise.probe")
ENV = dict(os.environ, EVLINK_SIM="only,inl-lsb=3,probe=" + PROBE, EVLINK_TRACE="/dev/null")


def start(args):
    proc = subprocess.Popen(args, env=ENV, stdout=subprocess.PIPE, text=True)
    line = proc.stdout.readline()
    assert line.startswith("listening on 127.0.0.1:"), line
    return proc, int(line.rsplit(":", 1)[1])


def wait_until_ended(inst, seconds=60):
    deadline = time.time() + seconds
    while time.time() < deadline:
        state = inst.query("CHAR:STAT?")
        if state not in ("RUNNING", "PAUSED"):
            return state
        time.sleep(0.05)
    raise AssertionError("the run did not end")


def errors(inst):
    return inst.query("SYST:ERR:ALL?")


def main():
    procs = []
    try:
        scpi, port = start([SCPI, "--listen", "127.0.0.1:0", "--data-dir", WORKDIR])
        procs.append(scpi)
        meter, meter_port = start([SIMMETER, "--port", "0"])
        procs.append(meter)
        hung, hung_port = start([SIMMETER, "--port", "0", "--hang-after", "4"])
        procs.append(hung)

        rm = pyvisa.ResourceManager("@py")
        inst = rm.open_resource("TCPIP::127.0.0.1::%d::SOCKET" % port,
                                read_termination="\n", write_termination="\n", timeout=20000)
        inst.write("POW:DAC A,ON;:DAC:RANG A,BIP10")
        assert inst.query("CHAR:STAT?") == "IDLE"
        inst.write('CHAR:MET "tcp://127.0.0.1:%d"' % meter_port)
        inst.write('CHAR:PLAN "channel=A;codes=carries;random=40;readings=4;settle-ms=0"')
        inst.write('CHAR:FILE "characterisation.txt"')
        assert errors(inst) == '0,"No error"'
        assert inst.query("CHAR:MET?") == '"tcp://127.0.0.1:%d"' % meter_port
        assert "readings=4" in inst.query("CHAR:PLAN?")
        assert float(inst.query("CHAR:EST?")) > 0
        assert inst.query("CHAR:IDEN?").startswith('"QV4816X,QV-SIMDMM,SIMULATED,')

        # Started and held: the client's own writes are refused meanwhile.
        inst.write("CHAR:STAR;:CHAR:PAUS")
        assert inst.query("CHAR:STAT?") in ("RUNNING", "PAUSED")
        inst.write("DAC:CODE A,5")
        assert errors(inst) == '-221,"Settings conflict;a characterisation run is under way"'
        assert inst.query("STAT:OPER:COND?") == str(1 << 9)
        inst.write("CHAR:RES")
        assert wait_until_ended(inst) == "DONE"
        done, total, left = inst.query("CHAR:PROG?").split(",")
        assert done == total and int(total) == 146 + 40 and float(left) == 0, (done, total, left)
        data = inst.query_ascii_values("CHAR:DATA?")
        assert len(data) == 3 * int(total)
        codes = data[0::3]
        assert codes == sorted(codes) and codes[0] == 0 and codes[-1] == 65535
        lsb = 20.0 / 65536
        for code, mean in zip(codes, data[1::3]):
            t = code / 65535
            model = -10 + code * lsb + 3 * lsb * 4 * t * (1 - t)
            assert abs(mean - model) < 0.1 * lsb, (code, mean, model)
        # The figures, as the analysis gives them: the bow of 3 LSB within 0.1.
        figures = json.loads(inst.query("CHAR:ANAL?"))["channels"]
        assert len(figures) == 1 and figures[0]["channel"] == "A", figures
        a = figures[0]
        assert abs(a["inl_endpoint_max_lsb"] - 3) < 0.1 and a["inl_endpoint_max_lsb_uncertainty"] < 0.1, a
        assert abs(a["dnl_max_lsb"]) < 0.1 and abs(a["dnl_min_lsb"]) < 0.1, a
        assert a["codes"] == int(total), a
        print("end-point INL %.3f +- %.3f LSB, DNL %.3f..%.3f +- %.3f LSB over %d codes" % (
            a["inl_endpoint_max_lsb"], a["inl_endpoint_max_lsb_uncertainty"], a["dnl_min_lsb"], a["dnl_max_lsb"],
            a["dnl_max_lsb_uncertainty"], a["codes"]))
        # qv4816x-analyse reads the results file to the same figures.
        printed = subprocess.run([ANALYSE, "--json", os.path.join(WORKDIR, "characterisation.txt")],
                                 capture_output=True, text=True, check=True).stdout
        assert json.loads(printed) == json.loads(inst.query("CHAR:ANAL?")), printed
        with open(os.path.join(WORKDIR, "characterisation.txt")) as f:
            text = f.read()
        assert text.startswith("QV4816X characterisation 1\n") and text.endswith("end=done\n")

        # A meter that stops answering: the run stops, with the reason, and the
        # codes measured before stay in the file.
        inst.write('CHAR:MET "tcp://127.0.0.1:%d";PLAN "readings=1;timeout-ms=300";FILE "hung.txt"' % hung_port)
        inst.write("CHAR:STAR")
        assert wait_until_ended(inst) == "FAILED"
        assert "no answer within 0.3 s" in inst.query("CHAR:MESS?")
        with open(os.path.join(WORKDIR, "hung.txt")) as f:
            lines = f.read().splitlines()
        assert lines[-1].startswith("end=failed: tcp://127.0.0.1:%d: no answer" % hung_port), lines[-1]
        assert len([l for l in lines if l[:1].isdigit()]) == 3  # one reading timed the meter
        inst.write("DAC:CODE A,5")
        assert errors(inst) == '0,"No error"'  # the board is free again

        # Names and values a client may not give.
        for command, error in [('CHAR:FILE "../outside.txt"', "-257"), ('CHAR:FILE "/etc/passwd"', "-257"),
                               ('CHAR:PLAN "readings=0"', "-224"), ('CHAR:PLAN "colour=red"', "-224"),
                               ('CHAR:MET "gpib://1"', "-224"), ("CHAR:MET dmm", "-224"),
                               ('CHAR:PLAN:LIST 1,2,1', "-224"), ("CHAR:PLAN:LIST 70000", "-222"),
                               ('CHAR:PLAN:LIST "missing.txt"', "-257")]:
            inst.write(command)
            assert errors(inst).startswith(error + ","), command
        inst.write("CHAR:MET adc")
        assert inst.query("CHAR:MET?") == '"adc"'
        inst.write("CHAR:PLAN:LIST 10,20,30000")
        assert inst.query("CHAR:PLAN:LIST?") == "10,20,30000"
        assert "codes=list:3" in inst.query("CHAR:PLAN?")
        inst.close()
        print("characterise over PyVISA: ok")
    finally:
        for p in procs:
            p.terminate()
            p.wait(timeout=10)


if __name__ == "__main__":
    main()
