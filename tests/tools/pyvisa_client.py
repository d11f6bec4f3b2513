"""pyvisa-py as an independent client of zuno-sim: the IEEE 488.2 commands, the numeric limits,
a binary block and the waveform that plays; on VXI-11 also the status byte without a query,
device clear and the query errors of the message exchange.

usage: pyvisa_client.py RESOURCE   Prints "ok" and exits 0 when every answer is the expected
one; exits 77 when pyvisa-py is not installed."""
import sys

try:
    import pyvisa
    import pyvisa_py  # noqa: F401  (the backend "@py")
except ImportError as e:
    print("pyvisa-py is missing:", e)
    sys.exit(77)

resource = sys.argv[1]
inst = pyvisa.ResourceManager("@py").open_resource(resource, timeout=5000)
inst.read_termination = "\n"
inst.write_termination = "\n"


def check(query, expected):
    got = inst.query(query).strip()
    assert got == expected, f"{query!r} answered {got!r}, not {expected!r}"


inst.write("*CLS")
assert inst.query("*IDN?").startswith("Zuno,Simulated Signal Generator,SIM0001,")  # then the version
inst.write("*ESE 16;*SRE 32")
check("*ESE?", "16")
check("*SRE?", "32")
inst.write(":FREQ 9GHz")
check(":SYST:ERR:COUN?", "1")
check("*STB?", "100")  # an error waits (EAV), an execution error (ESB), so a service request
check("*ESR?", "16")
check(":SYST:ERR?", '-222,"Data out of range"')
check("*STB?", "0")
inst.write(":FREQ 9GHz")
inst.write(":NOPE")
check(":SYST:ERR:ALL?", '-222,"Data out of range",-113,"Undefined header"')
check(":SYST:ERR:ALL?", '0,"No error"')
check("*TST?", "0")
check("*OPT?", "002")
check(":SYSTem:VERSion?", "1999.0")
inst.write("*WAI")
check("*OPC?", "1")
check(":FREQ? MAX", "6000000000")
check(":POW? MIN", "-136")
inst.write(":FREQ MAX")
inst.write(":FREQ DEF")
check(":FREQ?", "1000000000")

inst.write_binary_values(':MEM:DATA "arbi:PYVISA",', [1, -2, 3, -4], datatype="h", is_big_endian=True)
check(":MEM:CAT?", '"PYVISA"')
inst.write(':RAD:ARB:WAV "arbi:PYVISA";:RAD:ARB ON')
inst.write(':MEM:DEL "arbi:PYVISA"')
check(":SYST:ERR?", '-221,"Settings conflict"')

if resource.upper().endswith("::INSTR"):
    inst.write(":FREQ 9GHz")
    assert inst.read_stb() & 0x04, "no error available in the status byte"
    inst.write("*IDN?")
    assert inst.read_stb() & 0x10, "no message available in the status byte"
    inst.clear()
    check(":SYST:ERR?", '-222,"Data out of range"')
    inst.write("*IDN?")
    check(":SYST:ERR?", '-410,"Query INTERRUPTED"')
    inst.timeout = 500
    try:
        inst.read()
        raise AssertionError("a read with nothing asked was answered")
    except pyvisa.errors.VisaIOError:
        pass
    inst.timeout = 5000
    check(":SYST:ERR?", '-420,"Query UNTERMINATED"')

inst.close()
print("ok")
