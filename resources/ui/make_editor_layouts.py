#!/usr/bin/python3
"""Writes Zuno_Fwd_GUI_SlotSetup.ui, Zuno_Fwd_GUI_RPCsetup.ui and Zuno_Fwd_GUI_Carriers.ui next
to this script.

The editor windows are mostly rows of identical controls that differ only in the number at
the end of their tags; writing them by hand invites a mistyped tag. Run it after changing the
rows, then commit the .ui files: the application loads those, not this script. Needs only the
standard library. With --check it writes nothing and fails when a committed file differs from
what it would write (the `ui_layouts` test).
"""
import io
import os
import sys
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
SLOTS = 16
VISIBLE_CHANNELS = 16
SCROLL_RANGE = 59 - VISIBLE_CHANNELS
CARRIERS = 4

ACTIVITY = ["All on", "All but 4, 8, 12, 16", "Only odd slots", "Only 4, 8, 12, 16", "All off", "Random"]
CHANNEL_ACTIVITY = ["All on", "All but 3, 7, ..., 55", "Only 0, 2, 4, ..., 58", "Only 3, 7, ..., 55", "All off",
                    "Random"]
MODULATIONS = ["QPSK", "8-PSK", "16-QAM"]
ALTERNATING = ["All 0", "All 1", "0 in odd, 1 in even slots", "1 in odd, 0 in even slots", "Random"]
CHANNEL_ALTERNATING = ["All 0", "All 1", "0, 1, 0, 1, ...", "1, 0, 1, 0, ...", "Random"]
GAINS = ["All +3 dB", "All 0 dB", "All -3 dB", "All -6 dB", "All -10 dB", "Random (-10 to +3 dB)"]


# --- small builders -------------------------------------------------------------------------

def prop(parent, name, kind, value, stdset=True):
    p = ET.SubElement(parent, "property", name=name)
    if not stdset:
        p.set("stdset", "0")
    if kind == "size":
        s = ET.SubElement(p, "size")
        ET.SubElement(s, "width").text = str(value[0])
        ET.SubElement(s, "height").text = str(value[1])
    else:
        ET.SubElement(p, kind).text = str(value)
    return p


def widget(parent_item, cls, name, **props):
    w = ET.SubElement(parent_item, "widget", {"class": cls, "name": name})
    for key, value in props.items():
        if key == "callback":
            prop(w, "callback", "string", value, stdset=False)
        elif key == "text":
            prop(w, "text", "string", value)
        elif key == "minWidth":
            prop(w, "minimumSize", "size", (value, 0))
        elif key == "maxWidth":
            prop(w, "maximumSize", "size", (value, 16777215))
        elif key == "align":
            prop(w, "alignment", "set", value)
        elif key == "bold":
            f = ET.SubElement(ET.SubElement(w, "property", name="font"), "font")
            ET.SubElement(f, "bold").text = "true"
        else:
            raise KeyError(key)
    return w


def items(w, texts):
    for t in texts:
        prop(ET.SubElement(w, "item"), "text", "string", t)


def grid_item(grid, row, col, rowspan=1, colspan=1, align=None):
    attrs = {"row": str(row), "column": str(col)}
    if rowspan > 1:
        attrs["rowspan"] = str(rowspan)
    if colspan > 1:
        attrs["colspan"] = str(colspan)
    if align:
        attrs["alignment"] = align
    return ET.SubElement(grid, "item", attrs)


def layout(parent, cls, name, spacing=6, margins=None, **attrs):
    lay = ET.SubElement(parent, "layout", {"class": cls, "name": name, **attrs})
    if cls == "QGridLayout":
        prop(lay, "horizontalSpacing", "number", 10)
        prop(lay, "verticalSpacing", "number", spacing)
    else:
        prop(lay, "spacing", "number", spacing)
    if margins is not None:
        for side in ("left", "top", "right", "bottom"):
            prop(lay, side + "Margin", "number", margins)
    return lay


def fast_edit(item, name, entries, callback, width=120):
    w = widget(item, "QComboBox", name, callback=callback, minWidth=width)
    prop(w, "placeholderText", "string", "FastEdit")
    prop(w, "sizeAdjustPolicy", "enum", "QComboBox::AdjustToMinimumContentsLengthWithIcon")
    prop(w, "minimumContentsLength", "number", 8)
    items(w, entries)
    prop(w, "currentIndex", "number", -1)
    return w


def line(item, name):
    w = widget(item, "QFrame", name)
    prop(w, "frameShape", "enum", "QFrame::HLine")
    prop(w, "frameShadow", "enum", "QFrame::Sunken")


def ok_cancel(vbox):
    row = layout(ET.SubElement(vbox, "item"), "QHBoxLayout", "layButtons", spacing=8)
    # Where the dialog says why it kept a value.
    status = widget(ET.SubElement(row, "item"), "QLabel", "lblStatus")
    prop(status, "wordWrap", "bool", "true")
    # It takes the row's free width: a wrapping label would otherwise shrink to one letter.
    policy = ET.SubElement(ET.SubElement(status, "property", name="sizePolicy"), "sizepolicy",
                           hsizetype="Expanding", vsizetype="Preferred")
    ET.SubElement(policy, "horstretch").text = "1"
    ET.SubElement(policy, "verstretch").text = "0"
    spacer = ET.SubElement(ET.SubElement(row, "item"), "spacer", name="spcButtons")
    prop(spacer, "orientation", "enum", "Qt::Horizontal")
    prop(spacer, "sizeHint", "size", (40, 20), stdset=False)
    ok = widget(ET.SubElement(row, "item"), "QPushButton", "pbOK", text="OK", callback="pbOK_Callback", minWidth=90)
    prop(ok, "default", "bool", "true")
    widget(ET.SubElement(row, "item"), "QPushButton", "pbCancel", text="Cancel", callback="pbCancel_Callback",
           minWidth=90)


def window(tag, title, module, close_op):
    ui = ET.Element("ui", version="4.0")
    ET.SubElement(ui, "class").text = tag
    w = ET.SubElement(ui, "widget", {"class": "QWidget", "name": tag})
    prop(w, "windowTitle", "string", title)
    prop(w, "windowModality", "enum", "Qt::ApplicationModal")
    prop(w, "module", "string", module, stdset=False)
    prop(w, "closeRequest", "string", close_op, stdset=False)
    vbox = layout(w, "QVBoxLayout", "layMain", spacing=8, margins=12)
    return ui, vbox


CHECK = "--check" in sys.argv[1:]
STALE = []


def write(ui, name):
    ET.SubElement(ui, "resources")
    ET.SubElement(ui, "connections")
    tree = ET.ElementTree(ui)
    ET.indent(tree, space=" ")
    out = io.BytesIO()
    out.write(b'<?xml version="1.0" encoding="UTF-8"?>\n')
    tree.write(out, encoding="utf-8", xml_declaration=False)
    out.write(b"\n")
    path = os.path.join(HERE, name + ".ui")
    if CHECK:
        with open(path, "rb") as f:
            if f.read() != out.getvalue():
                STALE.append(path)
        return
    with open(path + ".tmp", "wb") as f:
        f.write(out.getvalue())
    os.replace(path + ".tmp", path)


CENTER = "Qt::AlignHCenter|Qt::AlignVCenter"
RIGHT = "Qt::AlignRight|Qt::AlignTrailing|Qt::AlignVCenter"


# --- slot setup -----------------------------------------------------------------------------

def slot_setup():
    ui, vbox = window("figSlotSetup", "Slot Setup", "Zuno_Fwd_GUI_SlotSetup", "close_Callback")
    grid = layout(ET.SubElement(vbox, "item"), "QGridLayout", "laySlots", spacing=4)

    # Channel headings over their columns, then the column headings, then the FastEdit row.
    for col, span, text, name in [(1, 2, "Traffic channel", "lblTraffic"), (3, 3, "RA channel", "lblRA"),
                                  (6, 2, "RPC channels", "lblRPC")]:
        widget(grid_item(grid, 0, col, colspan=span), "QLabel", name, text=text, bold=True, align=CENTER)
        line(grid_item(grid, 1, col, colspan=span), name.replace("lbl", "line"))
    headings = ["Slot", "On", "Modulation", "On", "Value", "Gain (dB)", "On", "Channels"]
    for col, text in enumerate(headings):
        widget(grid_item(grid, 2, col), "QLabel", "lblHead%d" % (col + 1), text=text, align=CENTER)
    widget(grid_item(grid, 3, 0), "QLabel", "lblFastEdit", text="All slots:", align=RIGHT)
    for col, (name, entries, cb) in enumerate([
            ("pldDATAactive", ACTIVITY, "fasteditDATAactive_Callback"),
            ("pldDATAmod", MODULATIONS + ["Random"], "fasteditDATAmod_Callback"),
            ("pldRAactive", ACTIVITY, "fasteditRAactive_Callback"),
            ("pldRAvalue", ALTERNATING, "fasteditRAvalue_Callback"),
            ("pldRAgain", GAINS, "fasteditRAgain_Callback"),
            ("pldRPCactive", ACTIVITY, "fasteditRPCactive_Callback"),
            ("pldRPCsetup", ["Clone 1", "Clone 1,2", "Default"], "fasteditRPCsetup_Callback")], start=1):
        fast_edit(grid_item(grid, 3, col), name, entries, cb)

    for i in range(1, SLOTS + 1):
        r = 3 + i
        widget(grid_item(grid, r, 0), "QLabel", "lblSlot%d" % i, text=str(i), align=CENTER)
        widget(grid_item(grid, r, 1, align="Qt::AlignHCenter"), "QCheckBox", "chkDATAslotActive%d" % i,
               callback="DATAactive_Callback")
        items(widget(grid_item(grid, r, 2), "QComboBox", "lstDATAslotMod%d" % i, callback="DATAmod_Callback"),
              MODULATIONS)
        widget(grid_item(grid, r, 3, align="Qt::AlignHCenter"), "QCheckBox", "chkRAslotActive%d" % i,
               callback="RAactive_Callback")
        widget(grid_item(grid, r, 4), "QLineEdit", "txtRAslotValue%d" % i, callback="RAvalue_Callback",
               align=RIGHT, maxWidth=120)
        widget(grid_item(grid, r, 5), "QLineEdit", "txtRAslotGain%d" % i, callback="RAgain_Callback",
               align=RIGHT, maxWidth=120)
        widget(grid_item(grid, r, 6, align="Qt::AlignHCenter"), "QCheckBox", "chkRPCslotActive%d" % i,
               callback="RPCactive_Callback")
        widget(grid_item(grid, r, 7), "QPushButton", "pbPRCslotSetup%d" % i, text="Set up...",
               callback="RPCsetup_Callback")

    line(ET.SubElement(vbox, "item"), "lineButtons")
    ok_cancel(vbox)
    write(ui, "Zuno_Fwd_GUI_SlotSetup")


# --- RPC channel setup ----------------------------------------------------------------------

def rpc_setup():
    ui, vbox = window("figRPCsetup", "RPC Setup", "Zuno_Fwd_GUI_RPCsetup", "Close_Callback")
    grid = layout(ET.SubElement(vbox, "item"), "QGridLayout", "layChannels", spacing=4)
    headings = ["RPC channel", "MAC index", "Active", "Value", "Gain (dB)"]
    for col, text in enumerate(headings):
        widget(grid_item(grid, 0, col), "QLabel", "lblHead%d" % (col + 1), text=text, align=CENTER, bold=True)
    line(grid_item(grid, 1, 0, colspan=6), "lineHead")
    widget(grid_item(grid, 2, 0, colspan=2), "QLabel", "lblFastEdit", text="All 59 channels:", align=RIGHT)
    gains = GAINS + ["Normalize..."]
    for col, (name, entries, cb, width) in enumerate([
            ("pldRPCactive", CHANNEL_ACTIVITY, "fasteditRPCactive_Callback", 120),
            ("pldRPCvalue", CHANNEL_ALTERNATING, "fasteditRPCvalue_Callback", 120),
            ("pldRPCgain", gains, "fasteditRPCgain_Callback", 170)], start=2):
        fast_edit(grid_item(grid, 2, col), name, entries, cb, width)

    first = 3
    for r in range(1, VISIBLE_CHANNELS + 1):
        row = first + r - 1
        widget(grid_item(grid, row, 0), "QLabel", "txtRPCchn%d" % r, text=str(r - 1), align=CENTER, minWidth=80)
        widget(grid_item(grid, row, 1), "QLabel", "txtMACindex%d" % r, text=str(r + 4), align=CENTER, minWidth=70)
        widget(grid_item(grid, row, 2, align="Qt::AlignHCenter"), "QCheckBox", "chkRPCchnActive%d" % r,
               callback="RPCactive_Callback")
        widget(grid_item(grid, row, 3), "QLineEdit", "txtRPCchnValue%d" % r, callback="RPCvalue_Callback",
               align=RIGHT, maxWidth=120)
        # Wide enough for a normalised gain in full, such as -21.5836249209525.
        widget(grid_item(grid, row, 4), "QLineEdit", "txtRPCchnGain%d" % r, callback="RPCgain_Callback",
               align=RIGHT, minWidth=170)

    # Maximum at the top, as the dialog counts rows scrolled past from the maximum down.
    bar = widget(grid_item(grid, first, 5, rowspan=VISIBLE_CHANNELS), "QScrollBar", "sldrScrollbar",
                 callback="sldrScrollbar_Callback")
    prop(bar, "orientation", "enum", "Qt::Vertical")
    prop(bar, "minimum", "number", 0)
    prop(bar, "maximum", "number", SCROLL_RANGE)
    prop(bar, "singleStep", "number", 1)
    prop(bar, "pageStep", "number", VISIBLE_CHANNELS)
    # A plain bar, its top at 0: arrows, page clicks, dragging, wheel and keys then agree. The
    # controls adapter counts a vertical bar's value from the bottom, as the dialog expects.
    prop(bar, "value", "number", 0)

    line(ET.SubElement(vbox, "item"), "lineButtons")
    ok_cancel(vbox)
    write(ui, "Zuno_Fwd_GUI_RPCsetup")


# --- carriers and noise ---------------------------------------------------------------------

def carrier_setup():
    ui, vbox = window("figCarriers", "Carriers and Noise", "Zuno_Fwd_GUI_Carriers", "close_Callback")
    grid = layout(ET.SubElement(vbox, "item"), "QGridLayout", "layCarriers", spacing=4)
    headings = ["Carrier", "Offset (Hz)", "Gain (dB)", "Settings", "PN offset", "Parameter file", ""]
    for col, text in enumerate(headings):
        widget(grid_item(grid, 0, col), "QLabel", "lblHead%d" % (col + 1), text=text, align=CENTER, bold=True)
    line(grid_item(grid, 1, 0, colspan=len(headings)), "lineHead")
    for r in range(1, CARRIERS + 1):
        row = 1 + r
        widget(grid_item(grid, row, 0), "QLabel", "lblCarrier%d" % r, text=str(r), align=CENTER)
        widget(grid_item(grid, row, 1), "QLineEdit", "txtCarrierOffset%d" % r, callback="CarrierOffset_Callback",
               align=RIGHT, minWidth=110)
        widget(grid_item(grid, row, 2), "QLineEdit", "txtCarrierGain%d" % r, callback="CarrierGain_Callback",
               align=RIGHT, maxWidth=80)
        items(widget(grid_item(grid, row, 3), "QComboBox", "pdCarrierSettings%d" % r,
                     callback="CarrierSettings_Callback"), ["Main settings", "Parameter file..."])
        widget(grid_item(grid, row, 4), "QLineEdit", "txtCarrierPN%d" % r, callback="CarrierPN_Callback",
               align=RIGHT, maxWidth=80)
        widget(grid_item(grid, row, 5), "QLabel", "txtCarrierFile%d" % r, minWidth=160)
        widget(grid_item(grid, row, 6), "QPushButton", "pbRemoveCarrier%d" % r, text="Remove",
               callback="RemoveCarrier_Callback")
    add = layout(ET.SubElement(vbox, "item"), "QHBoxLayout", "layAdd")
    widget(ET.SubElement(add, "item"), "QPushButton", "pbAddCarrier", text="Add Carrier", callback="AddCarrier_Callback")
    spacer = ET.SubElement(ET.SubElement(add, "item"), "spacer", name="spcAdd")
    prop(spacer, "orientation", "enum", "Qt::Horizontal")
    prop(spacer, "sizeHint", "size", (40, 20), stdset=False)

    line(ET.SubElement(vbox, "item"), "lineSignal")
    signal = layout(ET.SubElement(vbox, "item"), "QGridLayout", "laySignal", spacing=4, columnstretch="0,0,1")
    for row, (check, text, field, callback) in enumerate([
            ("chkNoise", "Noise, C/N (dB):", "txtNoiseCN", "NoiseCN"),
            ("chkCrest", "Crest factor target (dB):", "txtCrest", "Crest")]):
        widget(grid_item(signal, row, 0), "QCheckBox", check, text=text, callback=check + "_Callback")
        widget(grid_item(signal, row, 1), "QLineEdit", field, callback=field + "_Callback", align=RIGHT, maxWidth=80)
    widget(grid_item(signal, 2, 0, colspan=2), "QCheckBox", "chkQuantizeOffsets",
           text="Quantize offsets to multiples of 37.5 Hz", callback="chkQuantizeOffsets_Callback")
    widget(grid_item(signal, 3, 0), "QLabel", "lblLength", text="Waveform:")
    length = widget(grid_item(signal, 3, 1, colspan=2), "QLabel", "txtLength")
    prop(length, "wordWrap", "bool", "true")
    prop(length, "minimumSize", "size", (420, 0))

    line(ET.SubElement(vbox, "item"), "lineButtons")
    ok_cancel(vbox)
    write(ui, "Zuno_Fwd_GUI_Carriers")


if __name__ == "__main__":
    slot_setup()
    rpc_setup()
    carrier_setup()
    for path in STALE:
        print(f"{path} is not what {os.path.basename(__file__)} writes: run it and commit its output",
              file=sys.stderr)
    sys.exit(1 if STALE else 0)
